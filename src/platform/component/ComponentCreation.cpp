#include "platform/component/ComponentCreation.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <vector>

namespace kal {

namespace {

thread_local std::string lastError;

// Libraries loaded so far by path; they are never closed (their objects and
// windows may outlive any one creation).
std::map<std::string, PLTDllGetClassObjectFunc>& Loaded() {
  static std::map<std::string, PLTDllGetClassObjectFunc> loaded;
  return loaded;
}

PLTResult Load(const std::string& path, PLTDllGetClassObjectFunc& entry) {
  auto& loaded = Loaded();
  if (auto it = loaded.find(path); it != loaded.end()) {
    entry = it->second;
    return PLT_S_OK;
  }
  ::dlerror();
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = ::dlerror();
    lastError = why ? why : path + ": cannot be loaded";
    return PLT_CO_E_DLLNOTFOUND;
  }
  void* symbol = ::dlsym(handle, "DllGetClassObject");
  if (symbol == nullptr) {
    const char* why = ::dlerror();
    lastError = why ? why : path + ": no DllGetClassObject";
    return PLT_CO_E_ERRORINDLL;
  }
  entry = reinterpret_cast<PLTDllGetClassObjectFunc>(symbol);
  loaded.emplace(path, entry);
  return PLT_S_OK;
}

bool IsFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string PLTExecutableFolder() {
  std::vector<char> buf(4096);
  const ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return "./";
  const std::string exe(buf.data(), static_cast<size_t>(n));
  return exe.substr(0, exe.rfind('/') + 1);
}

std::string PLTLastCreationError() {
  return lastError;
}

PLTResult PLTGetClassObject(const TPLTGuid& clsid, const TPLTGuid& iid, void** object,
                            const TPLTCreationContext& context) {
  if (object == nullptr) return PLT_E_POINTER;
  *object = nullptr;
  lastError.clear();
  PLTDllGetClassObjectFunc entry = nullptr;
  if (const auto registered = context.registry.PLTFindClass(clsid)) {
    const PLTResult r = Load(registered->libraryPath, entry);
    if (!PLTSucceeded(r)) return r;
    return entry(clsid, iid, object);
  }
  std::string folder = context.fallbackFolder;
  if (!folder.empty() && folder.back() != '/') folder += '/';
  for (const char* name : PLTcComponentLibraries) {
    const std::string path = folder + name;
    if (!IsFile(path) || !PLTSucceeded(Load(path, entry))) continue;
    const PLTResult r = entry(clsid, iid, object);
    if (r != PLT_CLASS_E_CLASSNOTAVAILABLE) return r;
  }
  return PLT_REGDB_E_CLASSNOTREG;
}

PLTResult PLTCreateInstance(const TPLTGuid& clsid, const TPLTGuid& iid, void** object,
                            const TPLTCreationContext& context) {
  if (object == nullptr) return PLT_E_POINTER;
  *object = nullptr;
  TPLTComPtr<IPLTClassFactory> factory;
  const PLTResult r = PLTGetClassObject(clsid, IPLTClassFactory::PLTcIID, factory.Out(), context);
  if (!PLTSucceeded(r)) return r;
  if (!factory) return PLT_E_FAIL;
  return factory->PLTCreateInstance(nullptr, iid, object);
}

PLTResult PLTCreateInstanceByProgId(const std::string& progId, const TPLTGuid& iid, void** object,
                                    const TPLTCreationContext& context) {
  if (object == nullptr) return PLT_E_POINTER;
  *object = nullptr;
  const auto clsid = context.registry.PLTFindProgId(progId);
  if (!clsid) return PLT_CO_E_CLASSSTRING;
  return PLTCreateInstance(*clsid, iid, object, context);
}

}  // namespace kal
