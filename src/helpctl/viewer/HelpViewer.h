#pragma once

// The help viewer: one window per process with the contents tree, the index
// with its filter field and a text browser with back and forward; text
// popups (frameless windows closed by a click or a key). Nothing here
// blocks: windows are shown and the call returns. Calls come on the GUI
// thread.

#include <cstdint>
#include <string>

#include "helpctl/HtmlHelpApi.h"

class QWidget;

namespace kal {

// Windows of this module still open when the application goes are deleted
// while it still lives.
void HLVTrackWindow(QWidget* window);

// The commands of HtmlHelpA; each gives the window shown, or null when
// nothing was shown (no application, no help folder, nothing to show).
QWidget* HLVShowTopic(const std::string& address);
QWidget* HLVShowContext(const std::string& address, int32_t context);
QWidget* HLVShowContents(const std::string& address);
QWidget* HLVShowIndex(const std::string& address);
// Keywords (";"-separated) matched against the index without regard to
// case: the first match's page, else the index filtered by the first
// keyword.
QWidget* HLVLookup(const std::string& address, const std::string& keywords);
QWidget* HLVShowTextPopup(const std::string& address, const HH_POPUP& popup);

}  // namespace kal
