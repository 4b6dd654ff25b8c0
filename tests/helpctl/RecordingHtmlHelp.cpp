// A help-viewer module for the tests: "HtmlHelpA" records each call as one
// line, with the fields of the record the command takes;
// "HLPTakeRecording" hands the lines over and starts afresh.

#include <cstdio>
#include <string>

#include "helpctl/HtmlHelpApi.h"

namespace {

std::string recorded;
std::string taken;

std::string Text(const char* s) {
  return s ? "\"" + std::string(s) + "\"" : "(null)";
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void* HtmlHelpA(uintptr_t owner, const char* file,
                                                                  uint32_t command,
                                                                  uintptr_t data) {
  std::string line =
      "owner=" + std::to_string(owner) + " file=" + Text(file) + " cmd=" + std::to_string(command);
  char buf[512];
  if (command == HH_DISPLAY_TEXT_POPUP) {
    const auto* p = reinterpret_cast<const HH_POPUP*>(data);
    std::snprintf(
        buf, sizeof buf,
        " size=%d hinst=%p id=%u text=%s pt=%d,%d fg=%u bg=%u margins=%d,%d,%d,%d font=%s",
        p->cbStruct, p->hinst, p->idString, Text(p->pszText).c_str(), p->pt.x, p->pt.y,
        p->clrForeground, p->clrBackground, p->rcMargins.left, p->rcMargins.top, p->rcMargins.right,
        p->rcMargins.bottom, Text(p->pszFont).c_str());
  } else if (command == HH_KEYWORD_LOOKUP || command == HH_ALINK_LOOKUP) {
    const auto* k = reinterpret_cast<const HH_AKLINK*>(data);
    std::snprintf(
        buf, sizeof buf,
        " size=%d reserved=%d keywords=%s url=%s msgtext=%s msgtitle=%s window=%s indexonfail=%d",
        k->cbStruct, k->fReserved, Text(k->pszKeywords).c_str(), Text(k->pszUrl).c_str(),
        Text(k->pszMsgText).c_str(), Text(k->pszMsgTitle).c_str(), Text(k->pszWindow).c_str(),
        k->fIndexOnFail);
  } else if (command == HH_DISPLAY_SEARCH) {
    const auto* q = reinterpret_cast<const HH_FTS_QUERY*>(data);
    std::snprintf(
        buf, sizeof buf,
        " size=%d unicode=%d query=%s proximity=%d stemmed=%d titleonly=%d execute=%d window=%s",
        q->cbStruct, q->fUniCodeStrings, Text(q->pszSearchQuery).c_str(), q->iProximity,
        q->fStemmedSearch, q->fTitleOnly, q->fExecute, Text(q->pszWindow).c_str());
  } else {
    std::snprintf(buf, sizeof buf, " data=%lu", static_cast<unsigned long>(data));
  }
  recorded += line + buf + "\n";
  return nullptr;
}

extern "C" __attribute__((visibility("default"))) const char* HLPTakeRecording() {
  taken.swap(recorded);
  recorded.clear();
  return taken.c_str();
}
