#pragma once

// Creation of objects by class id or ProgID: the registry file names the
// library, which is loaded with dlopen (and stays loaded); its
// "DllGetClassObject" gives the class factory, which makes the object. A
// class id that is not registered is looked for in the project's component
// libraries in the fallback folder (the executable's folder), so a fresh
// build works unregistered. Calls come on the creating thread; no locks.

#include <string>

#include "platform/component/Component.h"
#include "platform/component/ComponentRegistry.h"

namespace kal {

// The entry point every component library exports by that name.
using PLTDllGetClassObjectFunc = PLTResult (*)(const TPLTGuid& clsid, const TPLTGuid& iid,
                                               void** object);

// The project's component libraries, looked for by file name in the
// fallback folder.
inline constexpr const char* PLTcComponentLibraries[] = {"libbrontel.so", "libbrontelviewer.so"};

// The executable's folder, ending with "/".
std::string PLTExecutableFolder();

struct TPLTCreationContext {
  TPLTComponentRegistry registry;
  std::string fallbackFolder = PLTExecutableFolder();
};

// The class factory (asked for `iid`) of a class. PLT_REGDB_E_CLASSNOTREG
// when neither the registry nor a fallback library has the class,
// PLT_CO_E_DLLNOTFOUND when the registered library cannot be loaded,
// PLT_CO_E_ERRORINDLL when it has no DllGetClassObject, else the result of
// DllGetClassObject. PLTLastCreationError tells the loader's reason.
[[nodiscard]] PLTResult PLTGetClassObject(const TPLTGuid& clsid, const TPLTGuid& iid, void** object,
                                          const TPLTCreationContext& context = {});
// A new object of the class, asked for `iid`.
[[nodiscard]] PLTResult PLTCreateInstance(const TPLTGuid& clsid, const TPLTGuid& iid, void** object,
                                          const TPLTCreationContext& context = {});
// The same by ProgID; PLT_CO_E_CLASSSTRING for a ProgID not registered.
[[nodiscard]] PLTResult PLTCreateInstanceByProgId(const std::string& progId, const TPLTGuid& iid,
                                                  void** object,
                                                  const TPLTCreationContext& context = {});

// The loader's text of the last failed load on this thread ("" when none).
std::string PLTLastCreationError();

}  // namespace kal
