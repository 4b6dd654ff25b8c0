#include "workbench/ViewState.h"

#include <utility>

namespace kal {

void TCEXViewState::CEXChanged(uint32_t parts) {
  pending_ |= parts;
  Deliver();
}

void TCEXViewState::Deliver() {
  if (pending_ == 0 || holds_ > 0) return;
  if (paced_)
    pacer_.CEXRequest();
  else
    DeliverNow();
}

void TCEXViewState::DeliverNow() {
  // A pace interval may end during a hold: the release asks again.
  if (pending_ == 0 || holds_ > 0) return;
  view_.CEXChanged(std::exchange(pending_, 0));
}

void TCEXViewState::CEXHoldView(bool hold) {
  if (hold) {
    ++holds_;
    return;
  }
  if (holds_ == 0 || --holds_ > 0) return;
  Deliver();
}

void TCEXViewState::CEXPaceView(bool paced) {
  paced_ = paced;
  if (paced) return;
  pacer_.CEXCancel();
  Deliver();
}

const std::string& TCEXViewState::CEXMemo(TCEXMemo memo) const {
  const size_t i = Index(memo);
  if (renderers_.at(i)) memos_[i] = std::exchange(renderers_[i], nullptr)();
  return memos_[i];
}

void TCEXViewState::CEXSetMemo(TCEXMemo memo, std::string text) {
  memos_.at(Index(memo)) = std::move(text);
  renderers_[Index(memo)] = nullptr;
  CEXChanged(CEXpMemos);
}

void TCEXViewState::CEXSetMemoRenderer(TCEXMemo memo, std::function<std::string()> render) {
  memos_.at(Index(memo)).clear();
  renderers_[Index(memo)] = std::move(render);
  CEXChanged(CEXpMemos);
}

void TCEXViewState::CEXSetEdit(TCEXEdit edit, std::string text) {
  edits_.at(Index(edit)) = std::move(text);
  CEXChanged(CEXpEdits);
}

void TCEXViewState::CEXSetStatus(int panel, const std::string& text) {
  std::string& current = status_.at(panel);
  if (current == text) return;
  current = text;
  CEXChanged(CEXpStatusBar);
}

void TCEXViewState::CEXSetCaption(std::string caption) {
  caption_ = std::move(caption);
  CEXChanged(CEXpCaption);
}

void TCEXViewState::CEXSetSecurityHeaderChoice(bool visible, int index) {
  securityHeaderVisible_ = visible;
  if (visible) securityHeader_ = index;
  CEXChanged(CEXpRadioGroups);
}

}  // namespace kal
