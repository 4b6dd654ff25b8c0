#pragma once

// The help-button control's built-in type library "OrvistLib" 1.0: class
// ids, interface ids, the dispatch description of _DQdHelpButton and the
// command codes.

#include <cstdint>

#include "platform/component/Dispatch.h"

namespace kal {

// clang-format off
inline constexpr TPLTGuid HLPcLibId           = PLTGuid("{550BADC1-E6A3-11D0-A389-0000E81F4743}");
inline constexpr TPLTGuid HLPcDispatchIid     = PLTGuid("{550BADC2-E6A3-11D0-A389-0000E81F4743}");
inline constexpr TPLTGuid HLPcEventsIid       = PLTGuid("{550BADC3-E6A3-11D0-A389-0000E81F4743}");
inline constexpr TPLTGuid HLPcControlClsid    = PLTGuid("{550BADC4-E6A3-11D0-A389-0000E81F4743}");
inline constexpr TPLTGuid HLPcGeneralPageClsid = PLTGuid("{550BADC5-E6A3-11D0-A389-0000E81F4743}");
inline constexpr TPLTGuid HLPcJavaHelpPageClsid = PLTGuid("{82F97762-9EFC-11D2-8E9E-00AA00A77D26}");
// The standard font page; this library serves it to its own page frame.
inline constexpr TPLTGuid HLPcFontPageClsid   = PLTGuid("{0BE35200-8F91-11CE-9DE3-00AA004BB851}");
// Interfaces of our own: the control as a container sees it, and a page.
inline constexpr TPLTGuid HLPcControlIid      = PLTGuid("{F558AD1D-9CF3-4467-B9CB-5D4E0BB2028D}");
inline constexpr TPLTGuid HLPcPropertyPageIid = PLTGuid("{83415D9E-2BB1-4929-9391-93EB1F515031}");
// clang-format on

inline constexpr const char* HLPcLibName = "OrvistLib";
inline constexpr const char* HLPcLibVersion = "1.0";
inline constexpr const char* HLPcControlProgId = "QDHELP.QdHelpButtonCtrl.1";
inline constexpr const char* HLPcGeneralPageProgId = "QDHELP.QdHelpButtonPropPage.1";
inline constexpr const char* HLPcJavaHelpPageProgId = "orvist.CQdHelpJavaHelpSettings";
inline constexpr const char* HLPcControlTypeName = "QdHelpButton Control";
inline constexpr const char* HLPcGeneralPageTypeName = "QdHelpButton Property Page";
inline constexpr const char* HLPcJavaHelpPageTypeName = "QdHelpButton JavaHelp Settings";
// Activate when visible, set client site first, inside-out, cannot link
// inside, recompose on resize.
inline constexpr int32_t HLPcMiscStatus = 0x20191;
// Version of the persisted properties: major 1, minor 0.
inline constexpr uint32_t HLPcPersistVersion = 0x10000;

// DISPIDs of _DQdHelpButton.
enum THLPDispId : int32_t {
  HLPidMapFile = 1,
  HLPidCtrlID = 2,
  HLPidWindowClass = 3,
  HLPidCommand = 4,
  HLPidKeywords = 5,
  HLPidTopic = 6,
  HLPidQhCtxHelpPath = 7,
  HLPidJavaVersion = 8,
  HLPidJavaHelpPath = 9,
  HLPidJREPath = 10,
  HLPidQdJHelp = 11,
  HLPidHelpsetFile = 12,
  HLPidJARFile = 13,
  HLPidShowHelp = 14,
  HLPidShowHelpEx = 15,
  HLPidShowTextPopup = 16,
  HLPidShowActivePopup = 17,
  HLPidShowHTMLHelpTopicId = 18,
  HLPidShowHTMLHelpTopic = 19,
  HLPidSetMapFile = 20,
  HLPidShowAKeyword = 21,
  HLPidShowKeyword = 22,
  HLPidShowHTMLHelpContents = 23,
  HLPidShowHTMLHelpIndex = 24,
  HLPidShowHTMLHelpSearch = 25,
  HLPidShowInterHelpTopicId = 26,
  HLPidShowInterHelpTopic = 27,
  HLPidSetJavaHelpSettings = 28,
  HLPidShowJavaHelpTopic = 29,
  HLPidCaption = -518,
  HLPidBorderStyle = -504,
  HLPidFont = -512,
};

// Command codes of `command` and ShowHelpEx, in the order of the "General"
// page's radio buttons.
enum THLPCommand : int32_t {
  HLPcmdHtmlTopic = 0,
  HLPcmdActivePopup = 1,
  HLPcmdTextPopup = 2,
  HLPcmdContents = 3,
  HLPcmdIndex = 4,
  HLPcmdSearch = 5,
  HLPcmdKeyword = 6,
  HLPcmdALink = 7,
  HLPcmdInterHelpTopic = 8,
  HLPcmdInterHelpPopup = 9,
  HLPcmdJavaHelpTopic = 10,
};

// The dispatch description of _DQdHelpButton.
const TPLTDispatchTable& HLPHelpButtonDispatch();

}  // namespace kal
