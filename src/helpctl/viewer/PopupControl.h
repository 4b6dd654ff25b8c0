#pragma once

// The active popup component "QHPOPUP.QhPopupCtrl.1": DISPID 1 as a method
// with (address as BSTR, 0, width, height as I2) shows a popup window with a
// text browser of that size at the mouse cursor and returns at once. The
// address is a plain file or "mk:@MSITStore:<help folder>::/<page>"; a
// width or height of 0 or less gives 250 by 175. The object holds itself
// while its window is open and frees itself when the window closes.

#include "platform/component/ComponentRegistry.h"
#include "platform/component/Dispatch.h"

namespace kal {

// clang-format off
inline constexpr TPLTGuid HLVcPopupClsid = PLTGuid("{6E1C3B52-8D47-4F0A-9B6E-2C5D7A1F4E93}");
// clang-format on
inline constexpr const char* HLVcPopupProgId = "QHPOPUP.QhPopupCtrl.1";
inline constexpr const char* HLVcPopupTypeName = "QhPopup Control";
inline constexpr int32_t HLVcPopupShowDispId = 1;

// The local file of a popup address.
std::string HLVPopupFile(const std::string& address);

// Registration of the popup class (ProgID, type name, library path) in a
// registry file, and its removal.
PLTResult HLVRegisterPopup(TPLTComponentRegistry& registry, const std::string& libraryPath);
PLTResult HLVUnregisterPopup(TPLTComponentRegistry& registry);

}  // namespace kal

extern "C" {
__attribute__((visibility("default"))) kal::PLTResult DllCanUnloadNow();
// The popup's class factory; PLT_CLASS_E_CLASSNOTAVAILABLE for other ids.
__attribute__((visibility("default"))) kal::PLTResult DllGetClassObject(const kal::TPLTGuid& clsid,
                                                                        const kal::TPLTGuid& iid,
                                                                        void** object);
__attribute__((visibility("default"))) kal::PLTResult DllRegisterServer();
__attribute__((visibility("default"))) kal::PLTResult DllUnregisterServer();
}
