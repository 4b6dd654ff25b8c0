#include "helpctl/Registration.h"

#include <dlfcn.h>

#include "helpctl/HelpButtonTypeLib.h"
#include "helpctl/PropertyPages.h"

namespace kal {

namespace {

std::vector<TPLTClassEntry> Classes(const std::string& libraryPath) {
  TPLTClassEntry control;
  control.clsid = HLPcControlClsid;
  control.name = HLPcControlTypeName;
  control.libraryPath = libraryPath;
  control.progId = HLPcControlProgId;
  control.miscStatus = HLPcMiscStatus;
  control.insertable = true;
  control.toolboxBitmap = libraryPath + ",1";
  control.typeLib = HLPcLibId;
  control.version = HLPcLibVersion;
  TPLTClassEntry general;
  general.clsid = HLPcGeneralPageClsid;
  general.name = HLPcGeneralPageTypeName;
  general.libraryPath = libraryPath;
  general.progId = HLPcGeneralPageProgId;
  TPLTClassEntry javaHelp;
  javaHelp.clsid = HLPcJavaHelpPageClsid;
  javaHelp.name = HLPcJavaHelpPageTypeName;
  javaHelp.libraryPath = libraryPath;
  javaHelp.progId = HLPcJavaHelpPageProgId;
  return {control, general, javaHelp};
}

}  // namespace

std::string HLPLibraryPath() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&HLPLibraryPath), &info) != 0 && info.dli_fname)
    return info.dli_fname;
  return {};
}

PLTResult HLPRegisterServer(TPLTComponentRegistry& registry, const std::string& libraryPath) {
  if (registry.PLTRegisterTypeLib({HLPcLibId, HLPcLibVersion, HLPcLibName, libraryPath}) != 0)
    return PLT_SELFREG_E_TYPELIB;
  if (registry.PLTRegisterClasses(Classes(libraryPath)) != 0) return PLT_SELFREG_E_CLASS;
  return PLT_S_OK;
}

PLTResult HLPUnregisterServer(TPLTComponentRegistry& registry) {
  if (registry.PLTUnregisterTypeLib(HLPcLibId, HLPcLibVersion) != 0) return PLT_SELFREG_E_TYPELIB;
  if (registry.PLTUnregisterClasses(
          {HLPcControlClsid, HLPcGeneralPageClsid, HLPcJavaHelpPageClsid}) != 0)
    return PLT_SELFREG_E_CLASS;
  return PLT_S_OK;
}

}  // namespace kal

kal::PLTResult DllCanUnloadNow() {
  return kal::PLTModuleObjectCount() == 0 && kal::PLTModuleLockCount() == 0 ? kal::PLT_S_OK
                                                                            : kal::PLT_S_FALSE;
}

kal::PLTResult DllGetClassObject(const kal::TPLTGuid& clsid, const kal::TPLTGuid& iid,
                                 void** object) {
  if (clsid == kal::HLPcFontPageClsid) {
    if (object) *object = nullptr;
    return kal::PLT_CLASS_E_CLASSNOTAVAILABLE;
  }
  return kal::HLPGetModuleClassObject(clsid, iid, object);
}

kal::PLTResult DllRegisterServer() {
  kal::TPLTComponentRegistry registry;
  return kal::HLPRegisterServer(registry, kal::HLPLibraryPath());
}

kal::PLTResult DllUnregisterServer() {
  kal::TPLTComponentRegistry registry;
  return kal::HLPUnregisterServer(registry);
}
