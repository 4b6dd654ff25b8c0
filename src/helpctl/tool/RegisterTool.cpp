// brontel-register [--unregister] [library]: loads a component library
// (libbrontel.so beside this tool when none is named) and calls its
// DllRegisterServer or DllUnregisterServer. Prints the result code; exit
// status 0 on success, 1 on failure, 2 for a wrong command line.

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/component/Component.h"
#include "platform/component/ComponentCreation.h"

int main(int argc, char** argv) {
  bool unregister = false;
  std::string library;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--unregister") == 0 && !unregister) {
      unregister = true;
    } else if (argv[i][0] != '-' && library.empty()) {
      library = argv[i];
    } else {
      std::fprintf(stderr, "usage: %s [--unregister] [library]\n", argv[0]);
      return 2;
    }
  }
  if (library.empty()) library = kal::PLTExecutableFolder() + "libbrontel.so";
  void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    std::fprintf(stderr, "%s\n", ::dlerror());
    return 1;
  }
  const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
  auto call = reinterpret_cast<kal::PLTResult (*)()>(::dlsym(handle, entry));
  if (call == nullptr) {
    std::fprintf(stderr, "%s: no %s\n", library.c_str(), entry);
    return 1;
  }
  const kal::PLTResult r = call();
  std::printf("%s %s: 0x%08X\n", entry, library.c_str(), static_cast<unsigned>(r));
  return kal::PLTSucceeded(r) ? 0 : 1;
}
