#include "support/ComponentHelpControl.h"

#include <cstdio>
#include <vector>

#include "platform/component/Dispatch.h"

namespace kal {

namespace {

// The control's members Kalmore calls, looked up by name once.
constexpr const char16_t* kMembers[] = {u"SetMapFile", u"ShowHTMLHelpTopicId",
                                        u"ShowHTMLHelpContents", u"ShowHTMLHelpIndex"};
enum TMember { SetMapFile, ShowTopicId, ShowContents, ShowIndex, MemberCount };

class TDispatchHelpControl final : public IHPTHelpControl {
 public:
  TDispatchHelpControl(TPLTComPtr<IPLTDispatch> object, std::vector<int32_t> ids)
      : object_(std::move(object)), ids_(std::move(ids)) {}

  void HPTSetMapFile(const std::string& mapFile) override {
    Call(SetMapFile, {TPLTVariant::Bstr(PLTFromUtf8(mapFile))});
  }
  void HPTShowTopicId(int32_t context, const std::string& windowType) override {
    Call(ShowTopicId, {TPLTVariant::I4(context), TPLTVariant::Bstr(PLTFromUtf8(windowType))});
  }
  void HPTShowContents(const std::string& windowType) override {
    Call(ShowContents, {TPLTVariant::Bstr(PLTFromUtf8(windowType))});
  }
  void HPTShowIndex(const std::string& windowType) override {
    Call(ShowIndex, {TPLTVariant::Bstr(PLTFromUtf8(windowType))});
  }

 private:
  void Call(TMember member, std::vector<TPLTVariant> args) {
    TPLTVariant result;
    static_cast<void>(object_->PLTInvoke(ids_[member], PLTcDispatchMethod, args, &result));
  }

  TPLTComPtr<IPLTDispatch> object_;
  std::vector<int32_t> ids_;
};

std::string CodeText(PLTResult r) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(r));
  return text;
}

}  // namespace

std::unique_ptr<IHPTHelpControl> THPTComponentHelpControlFactory::HPTCreateControl(
    std::string& reason) {
  TPLTComPtr<IPLTDispatch> object;
  const PLTResult r =
      PLTCreateInstance(HPTcHelpControlClsid, IPLTDispatch::PLTcIID, object.Out(), context_);
  if (!PLTSucceeded(r) || !object) {
    const std::string loader = PLTLastCreationError();
    reason = "class " + PLTGuidToString(HPTcHelpControlClsid) + " cannot be created (" +
             CodeText(r) + ")" + (loader.empty() ? "" : ": " + loader);
    return nullptr;
  }
  std::vector<std::u16string> names(std::begin(kMembers), std::end(kMembers));
  std::vector<int32_t> ids;
  const PLTResult named = object->PLTGetIDsOfNames(names, ids);
  if (!PLTSucceeded(named) || ids.size() != MemberCount) {
    reason = "the control lacks the help members (" + CodeText(named) + ")";
    return nullptr;
  }
  return std::make_unique<TDispatchHelpControl>(std::move(object), std::move(ids));
}

}  // namespace kal
