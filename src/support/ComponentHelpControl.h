#pragma once

// Help controls made through the component layer by the class id of
// Brontel's help-button control (coclass QdHelpButton) and called through
// their dispatch interface by member name. Kalmore never links Brontel: the
// component layer loads the library registered for the class, or the one in
// its fallback folder.

#include "platform/component/ComponentCreation.h"
#include "support/HelpPort.h"

namespace kal {

// The class id of QdHelpButton.
inline constexpr TPLTGuid HPTcHelpControlClsid = PLTGuid("{550BADC4-E6A3-11D0-A389-0000E81F4743}");

class THPTComponentHelpControlFactory final : public IHPTHelpControlFactory {
 public:
  THPTComponentHelpControlFactory() = default;
  explicit THPTComponentHelpControlFactory(TPLTCreationContext context)
      : context_(std::move(context)) {}
  // The reason names the loader's text when there is one, else the result
  // code.
  std::unique_ptr<IHPTHelpControl> HPTCreateControl(std::string& reason) override;

 private:
  TPLTCreationContext context_;
};

}  // namespace kal
