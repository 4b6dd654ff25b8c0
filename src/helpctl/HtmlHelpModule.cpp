#include "helpctl/HtmlHelpModule.h"

#include <dlfcn.h>

#include <cstdlib>

#include "helpctl/HelpPaths.h"

namespace kal {

std::string HLPDefaultViewerModulePath() {
  if (const char* named = std::getenv(HLPcViewerModuleVariable); named && *named) return named;
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&HLPDefaultViewerModulePath), &info) != 0 && info.dli_fname)
    return HLPJoinPath(HLPDirectoryOf(info.dli_fname), HLPcViewerModuleName);
  return HLPcViewerModuleName;
}

THLPHtmlHelpModule::THLPHtmlHelpModule(const std::string& path) {
  ::dlerror();
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = ::dlerror();
    error_ = why ? why : path + ": cannot be loaded";
    return;
  }
  void* symbol = ::dlsym(handle, "HtmlHelpA");
  if (symbol == nullptr) {
    const char* why = ::dlerror();
    error_ = why ? why : path + ": no HtmlHelpA";
    ::dlclose(handle);
    return;
  }
  entry_ = reinterpret_cast<HLPHtmlHelpFunc>(symbol);
}

}  // namespace kal
