#pragma once

// The main window's view state and its one writer: the six memos, the edit
// fields, the status panels, the caption, the two radio groups and the flag
// of unsaved source-tree changes. The roads write through it; it tells the
// form which parts changed. The GUI thread only.

#include <array>
#include <cstdint>
#include <string>

#include "workbench/MainWindowPorts.h"

namespace kal {

// The memos of the main window.
enum class TCEXMemo : int {
  Memo1 = 1,  // "Send Message: XML Document"
  Memo2,      // "Received Message: XML Document"
  Memo3,      // "Received Message: Message Content"
  Memo4,      // "Received Message: Header and Security Items"
  Memo5,      // "Received Message: Data Stream"
  Memo6,      // "Send Message: Data Stream"
};

// The edit fields of the main window.
enum class TCEXEdit : int {
  Edit1 = 1,  // numeric input
  Edit2,      // line of the selected source node
  Edit3,      // numeric input
  Edit5 = 5,  // caret line of Memo2
  Edit6 = 6,  // "Send time"
  Edit7,      // "Receive time"
  Edit8,      // "Receive time"
};

// The view commands: every pane at its height from creation, the source
// tree down to the data-stream memo, or Memo3 down to the received stream.
enum class TCEXZoom : int { Normal, SourceWindow, ReceivedMessage };

class TCEXViewState final {
 public:
  static constexpr int CEXcStatusPanels = 4;

  explicit TCEXViewState(ICEXView& view) : view_(view) {}
  TCEXViewState(const TCEXViewState&) = delete;
  TCEXViewState& operator=(const TCEXViewState&) = delete;

  // Every writer below tells the form of its part (CEXpMemos, ...).
  const std::string& CEXMemo(TCEXMemo memo) const { return memos_.at(Index(memo)); }
  void CEXSetMemo(TCEXMemo memo, std::string text);
  const std::string& CEXEdit(TCEXEdit edit) const { return edits_.at(Index(edit)); }
  void CEXSetEdit(TCEXEdit edit, std::string text);
  // Status panel `panel` (0..3); the form hears only of a change.
  const std::string& CEXStatus(int panel) const { return status_.at(panel); }
  void CEXSetStatus(int panel, const std::string& text);
  const std::string& CEXCaption() const { return caption_; }
  void CEXSetCaption(std::string caption);
  // "Security header" (0 "Add MAC Only", 1 "Add Complete Security Header")
  // with its visibility, and "Add msgnum" (0 "New", 1 "From Input", 2
  // "None").
  int CEXSecurityHeader() const { return securityHeader_; }
  bool CEXSecurityHeaderVisible() const { return securityHeaderVisible_; }
  void CEXSetSecurityHeader(int index) { securityHeader_ = index; }
  void CEXSetSecurityHeaderChoice(bool visible, int index);
  int CEXAddMsgNum() const { return addMsgNum_; }
  void CEXSetAddMsgNum(int index) { addMsgNum_ = index; }
  // Unsaved changes of the source tree.
  bool CEXHasChanged() const { return hasChanged_; }
  void CEXSetHasChanged(bool changed) { hasChanged_ = changed; }

  // Which view command is marked; the form lays the panes out for it.
  TCEXZoom CEXZoom() const { return zoom_; }
  void CEXSetZoom(TCEXZoom zoom) {
    zoom_ = zoom;
    view_.CEXChanged(CEXpZoom);
  }

  // While held, memo changes are kept and the form hears of them once, when
  // the last hold is released: a load-test row's hand-offs render the
  // current thread's texts once instead of every thread's.
  void CEXHoldMemos(bool hold);

  // Tells the form of parts that changed outside this state (trees,
  // actions, geometry).
  void CEXChanged(uint32_t parts) { view_.CEXChanged(parts); }
  ICEXView& CEXView() { return view_; }

 private:
  template <class E>
  static size_t Index(E e) {
    return static_cast<size_t>(e) - 1;
  }

  ICEXView& view_;
  std::array<std::string, 6> memos_;
  std::array<std::string, 8> edits_;
  std::array<std::string, CEXcStatusPanels> status_;
  std::string caption_;
  int securityHeader_ = 1;
  int addMsgNum_ = 0;
  bool securityHeaderVisible_ = true;
  bool hasChanged_ = false;
  TCEXZoom zoom_ = TCEXZoom::Normal;
  int memoHolds_ = 0;
  bool memosPending_ = false;
};

}  // namespace kal
