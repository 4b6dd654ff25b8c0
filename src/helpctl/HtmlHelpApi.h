#pragma once

// The contract between the help engine and the help-viewer module: the
// exported entry point "HtmlHelpA", its commands and the records some of
// them take. The records keep the field order of the HTML Help records; the
// size field of each is set to sizeof the record.

#include <cstdint>

extern "C" {

// HtmlHelpA(owner window handle, file, command, data). The result is the
// viewer's window handle, or null when nothing was shown.
using HLPHtmlHelpFunc = void* (*)(uintptr_t owner, const char* file, uint32_t command,
                                  uintptr_t data);

enum : uint32_t {
  HH_DISPLAY_TOPIC = 0,
  HH_DISPLAY_TOC = 1,
  HH_DISPLAY_INDEX = 2,
  HH_DISPLAY_SEARCH = 3,
  HH_KEYWORD_LOOKUP = 13,
  HH_DISPLAY_TEXT_POPUP = 14,
  HH_HELP_CONTEXT = 15,
  HH_ALINK_LOOKUP = 19,
};

struct HH_POINT {
  int32_t x;
  int32_t y;
};

struct HH_RECT {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

// Command 14: a text popup.
struct HH_POPUP {
  int32_t cbStruct;        // sizeof(HH_POPUP)
  void* hinst;             // always null
  uint32_t idString;       // the context number
  const char* pszText;     // empty
  HH_POINT pt;             // the mouse cursor position
  uint32_t clrForeground;  // text colour (0xFFFFFFFF: the default)
  uint32_t clrBackground;  // background colour (0xFFFFFFFF: the default)
  HH_RECT rcMargins;       // margins, -1: the default
  const char* pszFont;     // font description, or null
};

// Commands 13 and 19: keyword and ALink lookups.
struct HH_AKLINK {
  int32_t cbStruct;   // sizeof(HH_AKLINK)
  int32_t fReserved;  // 0
  const char* pszKeywords;
  const char* pszUrl;       // empty
  const char* pszMsgText;   // null
  const char* pszMsgTitle;  // null
  const char* pszWindow;
  int32_t fIndexOnFail;  // 1
};

// Command 3: the search page.
struct HH_FTS_QUERY {
  int32_t cbStruct;            // sizeof(HH_FTS_QUERY)
  int32_t fUniCodeStrings;     // 0
  const char* pszSearchQuery;  // empty
  int32_t iProximity;          // -1
  int32_t fStemmedSearch;      // 0
  int32_t fTitleOnly;          // 0
  int32_t fExecute;            // 1
  const char* pszWindow;
};

}  // extern "C"
