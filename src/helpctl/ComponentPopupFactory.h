#pragma once

// Active popups created by ProgID through the component layer: the object's
// dispatch interface gets DISPID 1 as a method with (address, 0, width,
// height) as BSTR, I2, I2, I2; the object is released when the engine lets
// go of it.

#include "helpctl/HelpPorts.h"
#include "platform/component/ComponentCreation.h"

namespace kal {

inline constexpr int32_t HLPcPopupShowDispId = 1;

class THLPComponentPopupFactory final : public IHLPPopupFactory {
 public:
  THLPComponentPopupFactory() = default;
  explicit THLPComponentPopupFactory(TPLTCreationContext context) : context_(std::move(context)) {}
  std::unique_ptr<IHLPActivePopup> HLPCreatePopup(const std::string& progId) override;

 private:
  TPLTCreationContext context_;
};

}  // namespace kal
