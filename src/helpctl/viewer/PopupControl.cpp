#include "helpctl/viewer/PopupControl.h"

#include <dlfcn.h>

#include <QApplication>
#include <QCursor>
#include <QTextBrowser>
#include <QUrl>

#include "helpctl/viewer/HelpFolder.h"
#include "helpctl/viewer/HelpViewer.h"

namespace kal {

namespace {

constexpr int16_t kDefaultWidth = 250;
constexpr int16_t kDefaultHeight = 175;
constexpr const char* kStorePrefix = "mk:@MSITStore:";

class THLVPopup final : public TPLTObject<IPLTDispatch> {
 public:
  PLTResult PLTQueryInterface(const TPLTGuid& iid, void** object) override {
    return PLTAnswerQuery(this, static_cast<IPLTDispatch*>(this), iid,
                          {PLTcIID_IUnknown, PLTcIID_IDispatch}, object);
  }
  PLTResult PLTGetIDsOfNames(const std::vector<std::u16string>& names,
                             std::vector<int32_t>& dispids) override {
    dispids.assign(names.size(), -1);
    return PLT_DISP_E_UNKNOWNNAME;
  }
  PLTResult PLTInvoke(int32_t dispid, uint16_t flags, std::vector<TPLTVariant>& args,
                      TPLTVariant*) override {
    if (dispid != HLVcPopupShowDispId || (flags & PLTcDispatchMethod) == 0)
      return PLT_DISP_E_MEMBERNOTFOUND;
    if (args.size() != 4) return PLT_DISP_E_BADPARAMCOUNT;
    if (args[0].PLTType() != TPLTVarType::Bstr) return PLT_DISP_E_TYPEMISMATCH;
    TPLTVariant size[3];
    for (int i = 0; i < 3; ++i) {
      const PLTResult r = args[static_cast<size_t>(i) + 1].PLTChangeType(TPLTVarType::I2, size[i]);
      if (!PLTSucceeded(r)) return r;
    }
    if (qApp == nullptr) return PLT_E_FAIL;
    int width = size[1].PLTInteger();
    int height = size[2].PLTInteger();
    if (width <= 0 || height <= 0) {
      width = kDefaultWidth;
      height = kDefaultHeight;
    }
    Show(HLVPopupFile(PLTToUtf8(args[0].PLTText())), width, height);
    return PLT_S_OK;
  }

 private:
  void Show(const std::string& file, int width, int height) {
    auto* window = new QTextBrowser;
    window->setWindowFlags(Qt::Popup);
    window->setObjectName("HelpActivePopup");
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setSource(QUrl::fromLocalFile(QString::fromStdString(file)));
    window->resize(width, height);
    window->move(QCursor::pos());
    // The window holds the object until it goes.
    PLTAddRef();
    QObject::connect(window, &QObject::destroyed, [this] { PLTRelease(); });
    HLVTrackWindow(window);
    window->show();
  }
};

std::string LibraryPath() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&LibraryPath), &info) != 0 && info.dli_fname)
    return info.dli_fname;
  return {};
}

}  // namespace

std::string HLVPopupFile(const std::string& address) {
  if (address.compare(0, std::string_view(kStorePrefix).size(), kStorePrefix) != 0) return address;
  const THLVAddress parsed = HLVParseAddress(address.substr(std::string_view(kStorePrefix).size()));
  THLVHelpFolder folder;
  static_cast<void>(folder.HLVLoad(parsed.folder));
  return folder.HLVFolder().empty() ? parsed.folder + "/" + parsed.page
                                    : folder.HLVPath(parsed.page);
}

PLTResult HLVRegisterPopup(TPLTComponentRegistry& registry, const std::string& libraryPath) {
  TPLTClassEntry entry;
  entry.clsid = HLVcPopupClsid;
  entry.name = HLVcPopupTypeName;
  entry.libraryPath = libraryPath;
  entry.progId = HLVcPopupProgId;
  return registry.PLTRegisterClasses({entry}) == 0 ? PLT_S_OK : PLT_SELFREG_E_CLASS;
}

PLTResult HLVUnregisterPopup(TPLTComponentRegistry& registry) {
  return registry.PLTUnregisterClasses({HLVcPopupClsid}) == 0 ? PLT_S_OK : PLT_SELFREG_E_CLASS;
}

}  // namespace kal

kal::PLTResult DllCanUnloadNow() {
  return kal::PLTModuleObjectCount() == 0 && kal::PLTModuleLockCount() == 0 ? kal::PLT_S_OK
                                                                            : kal::PLT_S_FALSE;
}

kal::PLTResult DllGetClassObject(const kal::TPLTGuid& clsid, const kal::TPLTGuid& iid,
                                 void** object) {
  if (object == nullptr) return kal::PLT_E_POINTER;
  *object = nullptr;
  if (clsid != kal::HLVcPopupClsid) return kal::PLT_CLASS_E_CLASSNOTAVAILABLE;
  auto* factory = new kal::TPLTClassFactory<kal::THLVPopup, kal::IPLTDispatch>();
  factory->PLTAddRef();
  const kal::PLTResult r = factory->PLTQueryInterface(iid, object);
  factory->PLTRelease();
  return r;
}

kal::PLTResult DllRegisterServer() {
  kal::TPLTComponentRegistry registry;
  return kal::HLVRegisterPopup(registry, kal::LibraryPath());
}

kal::PLTResult DllUnregisterServer() {
  kal::TPLTComponentRegistry registry;
  return kal::HLVUnregisterPopup(registry);
}
