#include "helpctl/HelpButtonTypeLib.h"

namespace kal {

const TPLTDispatchTable& HLPHelpButtonDispatch() {
  using T = TPLTVarType;
  constexpr T S = T::Bstr;
  constexpr T I = T::I4;
  // clang-format off
  static const TPLTDispatchTable table({
      {HLPidMapFile,              "mapFile",              false, S, {}},
      {HLPidCtrlID,               "ctrlID",               false, I, {}},
      {HLPidWindowClass,          "windowClass",          false, S, {}},
      {HLPidCommand,              "command",              false, I, {}},
      {HLPidKeywords,             "keywords",             false, S, {}},
      {HLPidTopic,                "topic",                false, S, {}},
      {HLPidQhCtxHelpPath,        "QhCtxHelpPath",        false, S, {}},
      {HLPidJavaVersion,          "javaVersion",          false, I, {}},
      {HLPidJavaHelpPath,         "javaHelpPath",         false, S, {}},
      {HLPidJREPath,              "JREPath",              false, S, {}},
      {HLPidQdJHelp,              "QdJHelp",              false, S, {}},
      {HLPidHelpsetFile,          "HelpsetFile",          false, S, {}},
      {HLPidJARFile,              "JARFile",              false, S, {}},
      {HLPidCaption,              "Caption",              false, S, {}},
      {HLPidBorderStyle,          "BorderStyle",          false, T::I2, {}},
      {HLPidFont,                 "Font",                 false, T::Font, {}},
      {HLPidShowHelp,             "ShowHelp",             true, T::Bool, {I}},
      {HLPidShowHelpEx,           "ShowHelpEx",           true, T::Bool, {I, I, S, S, S, S, I}},
      {HLPidShowTextPopup,        "ShowTextPopup",        true, T::Bool, {I, I}},
      {HLPidShowActivePopup,      "ShowActivePopup",      true, T::Bool, {I, T::Bool}},
      {HLPidShowHTMLHelpTopicId,  "ShowHTMLHelpTopicId",  true, T::Bool, {I, S}},
      {HLPidShowHTMLHelpTopic,    "ShowHTMLHelpTopic",    true, T::Bool, {S, S}},
      {HLPidSetMapFile,           "SetMapFile",           true, T::Bool, {S}},
      {HLPidShowAKeyword,         "ShowAKeyword",         true, T::Empty, {S, S}},
      {HLPidShowKeyword,          "ShowKeyword",          true, T::Empty, {S, S}},
      {HLPidShowHTMLHelpContents, "ShowHTMLHelpContents", true, T::Empty, {S}},
      {HLPidShowHTMLHelpIndex,    "ShowHTMLHelpIndex",    true, T::Empty, {S}},
      {HLPidShowHTMLHelpSearch,   "ShowHTMLHelpSearch",   true, T::Empty, {S}},
      {HLPidShowInterHelpTopicId, "ShowInterHelpTopicId", true, T::Empty, {I}},
      {HLPidShowInterHelpTopic,   "ShowInterHelpTopic",   true, T::Empty, {S}},
      {HLPidSetJavaHelpSettings,  "SetJavaHelpSettings",  true, T::Empty, {I, S, S, S, S, S}},
      {HLPidShowJavaHelpTopic,    "ShowJavaHelpTopic",    true, T::Empty, {S}},
  });
  // clang-format on
  return table;
}

}  // namespace kal
