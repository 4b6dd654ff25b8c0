#include "support/HelpPort.h"

namespace kal {

THPTWindowHelp::THPTWindowHelp(std::shared_ptr<THPTHelpState> state,
                               IHPTHelpControlFactory& factory, int32_t context)
    : state_(std::move(state)), factory_(factory), context_(context) {
  control_ = factory.HPTCreateControl(reason_);
}

THPTWindowHelp::~THPTWindowHelp() {
  if (state_->main == this) state_->main = nullptr;
}

std::unique_ptr<THPTWindowHelp> THPTWindowHelp::HPTAttachAnother(int32_t context) const {
  return std::make_unique<THPTWindowHelp>(state_, factory_, context);
}

IHPTHelpControl* THPTWindowHelp::Ready() {
  if (!control_) {
    // One message per run: a missing library stays missing, and a message
    // on every F1 would only stand in the user's way.
    if (!state_->reported && state_->showMessage) state_->showMessage(HPTcNotAvailable + reason_);
    state_->reported = true;
    return nullptr;
  }
  control_->HPTSetMapFile(state_->mapFile);
  return control_.get();
}

void THPTWindowHelp::HPTShowTopic() {
  if (IHPTHelpControl* control = Ready()) control->HPTShowTopicId(context_, "");
}

void THPTWindowHelp::HPTShowContents() {
  if (IHPTHelpControl* control = Ready()) control->HPTShowContents("");
}

void THPTWindowHelp::HPTShowIndex() {
  if (IHPTHelpControl* control = Ready()) control->HPTShowIndex("");
}

THPTHelpPort::THPTHelpPort(IHPTHelpControlFactory& factory,
                           std::function<void(const std::string&)> showMessage)
    : factory_(factory), state_(std::make_shared<THPTHelpState>()) {
  state_->showMessage = std::move(showMessage);
}

THPTHelpPort::~THPTHelpPort() {
  state_->showMessage = nullptr;
}

std::unique_ptr<THPTWindowHelp> THPTHelpPort::HPTAttach(int32_t context) {
  return std::make_unique<THPTWindowHelp>(state_, factory_, context);
}

void THPTHelpPort::HPTShowContents() {
  if (state_->main != nullptr) state_->main->HPTShowContents();
}

void THPTHelpPort::HPTShowIndex() {
  if (state_->main != nullptr) state_->main->HPTShowIndex();
}

}  // namespace kal
