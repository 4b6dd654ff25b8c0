#pragma once

// Brontel's registration and class-object entry points. They are exported
// by name ("C" linkage); ELF has no ordinals. The functions taking a
// registry do the work against any registry file (tests use temporary
// ones); the exported ones use the user's registry file.

#include <string>

#include "platform/component/ComponentRegistry.h"
#include "platform/component/Dispatch.h"

namespace kal {

// Registers the type library (OrvistLib 1.0, its LIBID, the library path):
// PLT_SELFREG_E_TYPELIB when that fails, and then nothing else. Then the
// three classes with their ProgIDs, type names, threading model and, for
// the control, insertable flag, toolbox bitmap, MiscStatus and type
// library: PLT_SELFREG_E_CLASS when that fails. PLT_S_OK when both land.
PLTResult HLPRegisterServer(TPLTComponentRegistry& registry, const std::string& libraryPath);
// The same steps in the same order, removing: a type library that is not
// registered gives PLT_SELFREG_E_TYPELIB and leaves the classes.
PLTResult HLPUnregisterServer(TPLTComponentRegistry& registry);
// The path of the library that holds this code.
std::string HLPLibraryPath();

}  // namespace kal

extern "C" {
// PLT_S_OK when no object of this library lives and no lock is held, else
// PLT_S_FALSE.
__attribute__((visibility("default"))) kal::PLTResult DllCanUnloadNow();
// The class factory of the control or one of its two pages;
// PLT_CLASS_E_CLASSNOTAVAILABLE for any other class id.
__attribute__((visibility("default"))) kal::PLTResult DllGetClassObject(const kal::TPLTGuid& clsid,
                                                                        const kal::TPLTGuid& iid,
                                                                        void** object);
__attribute__((visibility("default"))) kal::PLTResult DllRegisterServer();
__attribute__((visibility("default"))) kal::PLTResult DllUnregisterServer();
}
