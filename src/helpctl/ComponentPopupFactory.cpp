#include "helpctl/ComponentPopupFactory.h"

#include "platform/component/Dispatch.h"

namespace kal {

namespace {

class TDispatchPopup final : public IHLPActivePopup {
 public:
  explicit TDispatchPopup(TPLTComPtr<IPLTDispatch> object) : object_(std::move(object)) {}
  void HLPShow(const std::string& address, int16_t reserved, int16_t width,
               int16_t height) override {
    std::vector<TPLTVariant> args{TPLTVariant::Bstr(PLTFromUtf8(address)),
                                  TPLTVariant::I2(reserved), TPLTVariant::I2(width),
                                  TPLTVariant::I2(height)};
    (void)object_->PLTInvoke(HLPcPopupShowDispId, PLTcDispatchMethod, args, nullptr);
  }

 private:
  TPLTComPtr<IPLTDispatch> object_;
};

}  // namespace

std::unique_ptr<IHLPActivePopup> THLPComponentPopupFactory::HLPCreatePopup(
    const std::string& progId) {
  TPLTComPtr<IPLTDispatch> object;
  if (!PLTSucceeded(
          PLTCreateInstanceByProgId(progId, IPLTDispatch::PLTcIID, object.Out(), context_)) ||
      !object)
    return nullptr;
  return std::make_unique<TDispatchPopup>(std::move(object));
}

}  // namespace kal
