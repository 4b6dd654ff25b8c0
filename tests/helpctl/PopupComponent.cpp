// An active popup class for the tests, in a component library of its own:
// DllGetClassObject gives its factory; each call of its dispatch interface
// is recorded as one line ("invoke <dispid> <flags> <arg>|<arg>...", BSTRs
// as text, numbers with their type) and so is its release. "HLPTakePopupRecording"
// hands the lines over and starts afresh.

#include <string>

#include "platform/component/Dispatch.h"

namespace {

using namespace kal;

constexpr TPLTGuid cPopupClsid = PLTGuid("{D94A3429-E251-43D6-91A0-D980D35F7C89}");

std::string recorded;
std::string taken;

std::string Describe(const TPLTVariant& v) {
  switch (v.PLTType()) {
    case TPLTVarType::Bstr:
      return "BSTR:" + PLTToUtf8(v.PLTText());
    case TPLTVarType::I2:
      return "I2:" + std::to_string(v.PLTInteger());
    case TPLTVarType::I4:
      return "I4:" + std::to_string(v.PLTInteger());
    case TPLTVarType::Bool:
      return "BOOL:" + std::to_string(v.PLTInteger());
    default:
      return "type" + std::to_string(static_cast<int>(v.PLTType()));
  }
}

class TPopup final : public TPLTObject<IPLTDispatch> {
 public:
  ~TPopup() override { recorded += "released\n"; }
  PLTResult PLTQueryInterface(const TPLTGuid& iid, void** object) override {
    return PLTAnswerQuery(this, static_cast<IPLTDispatch*>(this), iid,
                          {PLTcIID_IUnknown, PLTcIID_IDispatch}, object);
  }
  PLTResult PLTGetIDsOfNames(const std::vector<std::u16string>&, std::vector<int32_t>&) override {
    return PLT_DISP_E_UNKNOWNNAME;
  }
  PLTResult PLTInvoke(int32_t dispid, uint16_t flags, std::vector<TPLTVariant>& args,
                      TPLTVariant*) override {
    std::string line = "invoke " + std::to_string(dispid) + " " + std::to_string(flags);
    for (size_t i = 0; i < args.size(); ++i) line += (i ? "|" : " ") + Describe(args[i]);
    recorded += line + "\n";
    return PLT_S_OK;
  }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) PLTResult DllGetClassObject(const TPLTGuid& clsid,
                                                                              const TPLTGuid& iid,
                                                                              void** object) {
  if (clsid != cPopupClsid) {
    *object = nullptr;
    return PLT_CLASS_E_CLASSNOTAVAILABLE;
  }
  auto* factory = new TPLTClassFactory<TPopup, IPLTDispatch>();
  factory->PLTAddRef();
  const PLTResult r = factory->PLTQueryInterface(iid, object);
  factory->PLTRelease();
  return r;
}

extern "C" __attribute__((visibility("default"))) const char* HLPTakePopupRecording() {
  taken.swap(recorded);
  recorded.clear();
  return taken.c_str();
}
