#pragma once

// The main window's view state and its one writer: the six memos, the edit
// fields, the status panels, the caption, the two radio groups and the flag
// of unsaved source-tree changes. The roads write through it; it tells the
// form which parts changed, at once, or when a hold ends, or paced while a
// load test runs. The GUI thread only.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "workbench/MainWindowPorts.h"
#include "workbench/Pacer.h"

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

  // While paced the form hears of changes at most once per this interval.
  static constexpr std::chrono::milliseconds CEXcPaceInterval{250};

  // `timers` pace the form's notices (not owned; without them pacing tells
  // the form at once).
  explicit TCEXViewState(ICEXView& view, ICEXTimerFactory* timers = nullptr)
      : view_(view), pacer_(timers, CEXcPaceInterval, [this] { DeliverNow(); }) {}
  TCEXViewState(const TCEXViewState&) = delete;
  TCEXViewState& operator=(const TCEXViewState&) = delete;

  // Every writer below tells the form of its part (CEXpMemos, ...).
  const std::string& CEXMemo(TCEXMemo memo) const;
  // Without making a memo's text: whether it has none.
  bool CEXMemoEmpty(TCEXMemo memo) const {
    return !renderers_.at(Index(memo)) && memos_[Index(memo)].empty();
  }
  void CEXSetMemo(TCEXMemo memo, std::string text);
  // A memo whose text `render` makes when it is first read: the form reads
  // the memos it shows, at most a few times a second while a load test runs.
  void CEXSetMemoRenderer(TCEXMemo memo, std::function<std::string()> render);
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
    CEXChanged(CEXpZoom);
  }

  // While held, the parts that change are kept and the form hears of them
  // once, when the last hold is released: a load-test row's hand-offs
  // render the current thread's state once instead of every thread's.
  void CEXHoldView(bool hold);
  // While paced (a load test runs), the form hears of changed parts at once
  // when it has heard of none for CEXcPaceInterval, else when the interval
  // ends, so the last change always reaches it within the interval; ending
  // the pace tells it at once of what is left.
  void CEXPaceView(bool paced);

  // Tells the form of parts that changed outside this state (trees,
  // actions, geometry).
  void CEXChanged(uint32_t parts);
  ICEXView& CEXView() { return view_; }

 private:
  template <class E>
  static size_t Index(E e) {
    return static_cast<size_t>(e) - 1;
  }

  // Tells the form of the pending parts unless a hold or the pace keeps
  // them.
  void Deliver();
  void DeliverNow();

  ICEXView& view_;
  TCEXPacer pacer_;
  // A memo's text, or what makes it when it is read.
  mutable std::array<std::string, 6> memos_;
  mutable std::array<std::function<std::string()>, 6> renderers_;
  std::array<std::string, 8> edits_;
  std::array<std::string, CEXcStatusPanels> status_;
  std::string caption_;
  int securityHeader_ = 1;
  int addMsgNum_ = 0;
  bool securityHeaderVisible_ = true;
  bool hasChanged_ = false;
  TCEXZoom zoom_ = TCEXZoom::Normal;
  int holds_ = 0;
  bool paced_ = false;
  uint32_t pending_ = 0;  // parts the form has not heard of yet
};

}  // namespace kal
