// The module's HTML Help entry point. Every command returns at once: the
// viewer and popups are not modal, so a help request never blocks the
// window that made it.

#include <QWidget>
#include <string>

#include "helpctl/HtmlHelpApi.h"
#include "helpctl/viewer/HelpViewer.h"

namespace {

using namespace kal;

QWidget* Run(const std::string& file, uint32_t command, uintptr_t data) {
  switch (command) {
    case HH_DISPLAY_TOPIC:
      return HLVShowTopic(file);
    case HH_HELP_CONTEXT:
      return HLVShowContext(file, static_cast<int32_t>(data));
    case HH_DISPLAY_TOC:
      return HLVShowContents(file);
    case HH_DISPLAY_INDEX:
      return HLVShowIndex(file);
    case HH_DISPLAY_SEARCH: {
      const auto* query = reinterpret_cast<const HH_FTS_QUERY*>(data);
      const char* text = query != nullptr ? query->pszSearchQuery : nullptr;
      return text != nullptr && *text != '\0' ? HLVLookup(file, text) : HLVShowIndex(file);
    }
    case HH_KEYWORD_LOOKUP:
    case HH_ALINK_LOOKUP: {
      const auto* link = reinterpret_cast<const HH_AKLINK*>(data);
      if (link == nullptr || link->pszKeywords == nullptr) return nullptr;
      return HLVLookup(file, link->pszKeywords);
    }
    case HH_DISPLAY_TEXT_POPUP: {
      const auto* popup = reinterpret_cast<const HH_POPUP*>(data);
      if (popup == nullptr) return nullptr;
      return HLVShowTextPopup(file, *popup);
    }
    default:
      return nullptr;
  }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void* HtmlHelpA(uintptr_t /*owner*/,
                                                                  const char* file,
                                                                  uint32_t command,
                                                                  uintptr_t data) {
  return Run(file != nullptr ? file : "", command, data);
}
