#include "workbench/ViewState.h"

#include <utility>

namespace kal {

void TCEXViewState::CEXSetMemo(TCEXMemo memo, std::string text) {
  memos_.at(Index(memo)) = std::move(text);
  if (memoHolds_ > 0)
    memosPending_ = true;
  else
    view_.CEXChanged(CEXpMemos);
}

void TCEXViewState::CEXHoldMemos(bool hold) {
  if (hold) {
    ++memoHolds_;
    return;
  }
  if (memoHolds_ == 0 || --memoHolds_ > 0 || !memosPending_) return;
  memosPending_ = false;
  view_.CEXChanged(CEXpMemos);
}

void TCEXViewState::CEXSetEdit(TCEXEdit edit, std::string text) {
  edits_.at(Index(edit)) = std::move(text);
  view_.CEXChanged(CEXpEdits);
}

void TCEXViewState::CEXSetStatus(int panel, const std::string& text) {
  std::string& current = status_.at(panel);
  if (current == text) return;
  current = text;
  view_.CEXChanged(CEXpStatusBar);
}

void TCEXViewState::CEXSetCaption(std::string caption) {
  caption_ = std::move(caption);
  view_.CEXChanged(CEXpCaption);
}

void TCEXViewState::CEXSetSecurityHeaderChoice(bool visible, int index) {
  securityHeaderVisible_ = visible;
  if (visible) securityHeader_ = index;
  view_.CEXChanged(CEXpRadioGroups);
}

}  // namespace kal
