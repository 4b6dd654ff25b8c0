#include "helpctl/HelpButtonCtrl.h"

#include <QCursor>
#include <QFont>
#include <QMessageBox>
#include <QPushButton>

#include "helpctl/ComponentPopupFactory.h"
#include "helpctl/WindowHandles.h"

namespace kal {

namespace {

// A message box with an OK button and no owner.
class TQtMessagePresenter final : public IHLPMessagePresenter {
 public:
  void HLPShowMessage(const std::string& text, const std::string& title) override {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title),
                    QString::fromStdString(text), QMessageBox::Ok);
    box.exec();
  }
};

class TQtCursor final : public IHLPCursorPort {
 public:
  void HLPCursorPosition(int32_t& x, int32_t& y) override {
    const QPoint p = QCursor::pos();
    x = p.x();
    y = p.y();
  }
};

TQtMessagePresenter qtPresenter;
TQtCursor qtCursor;

std::string Utf8(const TPLTVariant& v) {
  return PLTToUtf8(v.PLTText());
}

TPLTVariant Text(const std::string& s) {
  return TPLTVariant::Bstr(PLTFromUtf8(s));
}

}  // namespace

CQdHelpButtonCtrl::CQdHelpButtonCtrl(const THLPControlPorts& ports)
    : ownPopups_(ports.popups ? nullptr : std::make_unique<THLPComponentPopupFactory>()),
      presenter_(ports.presenter ? *ports.presenter : qtPresenter),
      cursor_(ports.cursor ? *ports.cursor : qtCursor),
      popups_(ports.popups ? *ports.popups : *ownPopups_),
      viewerModule_(ports.viewerModule) {}

CQdHelpButtonCtrl::~CQdHelpButtonCtrl() {
  // The engine tells a running JavaHelp viewer to quit as it goes.
  if (engine_) engine_->HLPShutDown(true);
  engine_.reset();
  delete widget_.data();
}

PLTResult CQdHelpButtonCtrl::PLTQueryInterface(const TPLTGuid& iid, void** object) {
  if (iid == IHLPControl::PLTcIID)
    return PLTAnswerQuery(this, static_cast<IHLPControl*>(this), iid, {iid}, object);
  return PLTAnswerQuery(this, static_cast<IPLTDispatch*>(this), iid,
                        {PLTcIID_IUnknown, PLTcIID_IDispatch, HLPcDispatchIid}, object);
}

PLTResult CQdHelpButtonCtrl::PLTGetIDsOfNames(const std::vector<std::u16string>& names,
                                              std::vector<int32_t>& dispids) {
  return HLPHelpButtonDispatch().PLTGetIDsOfNames(names, dispids);
}

PLTResult CQdHelpButtonCtrl::PLTInvoke(int32_t dispid, uint16_t flags,
                                       std::vector<TPLTVariant>& args, TPLTVariant* result) {
  const TPLTDispatchMember* member = nullptr;
  const PLTResult r = HLPHelpButtonDispatch().PLTCheck(dispid, flags, args, member);
  if (!PLTSucceeded(r)) return r;
  TPLTVariant value;
  if (member->method) {
    value = Call(dispid, args);
  } else if (flags & PLTcDispatchPropertyPut) {
    Put(dispid, args[0]);
  } else {
    value = Get(dispid);
  }
  if (result) *result = std::move(value);
  return PLT_S_OK;
}

namespace {

// The properties that are strings or 32-bit integers, by DISPID.
struct TPropertySlot {
  int32_t dispid;
  std::string THLPButtonProperties::*text;
  int32_t THLPButtonProperties::*number;
};

using P = THLPButtonProperties;
// clang-format off
const TPropertySlot cSlots[] = {
    {HLPidMapFile, &P::mapFile, nullptr},           {HLPidCtrlID, nullptr, &P::ctrlID},
    {HLPidWindowClass, &P::windowClass, nullptr},   {HLPidCommand, nullptr, &P::command},
    {HLPidKeywords, &P::keywords, nullptr},         {HLPidTopic, &P::topic, nullptr},
    {HLPidQhCtxHelpPath, &P::qhCtxHelpPath, nullptr}, {HLPidJavaVersion, nullptr, &P::javaVersion},
    {HLPidJavaHelpPath, &P::javaHelpPath, nullptr}, {HLPidJREPath, &P::jrePath, nullptr},
    {HLPidQdJHelp, &P::qdJHelp, nullptr},           {HLPidHelpsetFile, &P::helpsetFile, nullptr},
    {HLPidJARFile, &P::jarFile, nullptr},           {HLPidCaption, &P::caption, nullptr},
};
// clang-format on

const TPropertySlot* Slot(int32_t dispid) {
  for (const TPropertySlot& s : cSlots)
    if (s.dispid == dispid) return &s;
  return nullptr;
}

}  // namespace

TPLTVariant CQdHelpButtonCtrl::Get(int32_t dispid) const {
  if (const TPropertySlot* s = Slot(dispid))
    return s->text ? Text(props_.*(s->text)) : TPLTVariant::I4(props_.*(s->number));
  if (dispid == HLPidBorderStyle) return TPLTVariant::I2(props_.borderStyle);
  if (dispid == HLPidFont) return TPLTVariant::Font(PLTFromUtf8(props_.font));
  return {};
}

void CQdHelpButtonCtrl::Put(int32_t dispid, const TPLTVariant& v) {
  if (const TPropertySlot* s = Slot(dispid)) {
    if (s->text)
      props_.*(s->text) = Utf8(v);
    else
      props_.*(s->number) = v.PLTInteger();
  } else if (dispid == HLPidBorderStyle) {
    props_.borderStyle = static_cast<int16_t>(v.PLTInteger());
  } else if (dispid == HLPidFont) {
    props_.font = Utf8(v);
  } else {
    return;
  }
  modified_ = true;
  ApplyToWidget();
}

TPLTVariant CQdHelpButtonCtrl::Call(int32_t dispid, const std::vector<TPLTVariant>& a) {
  auto i = [&](size_t n) { return a[n].PLTInteger(); };
  auto s = [&](size_t n) { return Utf8(a[n]); };
  using V = TPLTVariant;
  // clang-format off
  switch (dispid) {
    case HLPidShowHelp:             return V::Bool(ShowHelp(i(0)));
    case HLPidShowHelpEx:           return V::Bool(ShowHelpEx(i(0), i(1), s(2), s(3), s(4), s(5), i(6)));
    case HLPidShowTextPopup:        return V::Bool(ShowTextPopup(i(0), i(1)));
    case HLPidShowActivePopup:      return V::Bool(ShowActivePopup(i(0), a[1].PLTBool()));
    case HLPidShowHTMLHelpTopicId:  return V::Bool(ShowHTMLHelpTopicId(i(0), s(1)));
    case HLPidShowHTMLHelpTopic:    return V::Bool(ShowHTMLHelpTopic(s(0), s(1)));
    case HLPidSetMapFile:           return V::Bool(SetMapFile(s(0)));
    case HLPidShowAKeyword:         ShowAKeyword(s(0), s(1)); break;
    case HLPidShowKeyword:          ShowKeyword(s(0), s(1)); break;
    case HLPidShowHTMLHelpContents: ShowHTMLHelpContents(s(0)); break;
    case HLPidShowHTMLHelpIndex:    ShowHTMLHelpIndex(s(0)); break;
    case HLPidShowHTMLHelpSearch:   ShowHTMLHelpSearch(s(0)); break;
    case HLPidShowInterHelpTopicId: ShowInterHelpTopicId(i(0)); break;
    case HLPidShowInterHelpTopic:   ShowInterHelpTopic(s(0)); break;
    case HLPidSetJavaHelpSettings:  SetJavaHelpSettings(i(0), s(1), s(2), s(3), s(4), s(5)); break;
    case HLPidShowJavaHelpTopic:    ShowJavaHelpTopic(s(0)); break;
    default: break;
  }
  // clang-format on
  return {};
}

QWidget* CQdHelpButtonCtrl::HLPWidget(QWidget* parent) {
  if (!widget_) {
    widget_ = new QPushButton(parent);
    widget_->setObjectName(QStringLiteral("QdHelpButton"));
    QObject::connect(widget_.data(), &QPushButton::clicked, widget_.data(), [this] {
      ShowHelpEx(0, props_.ctrlID, props_.mapFile, props_.windowClass, props_.topic,
                 props_.keywords, props_.command);
    });
    ApplyToWidget();
  } else if (widget_->parentWidget() != parent) {
    widget_->setParent(parent);
  }
  return widget_.data();
}

void CQdHelpButtonCtrl::ApplyToWidget() {
  if (!widget_) return;
  widget_->setText(QString::fromStdString(props_.caption));
  QFont font;
  if (!props_.font.empty()) font.fromString(QString::fromStdString(props_.font));
  widget_->setFont(font);
}

uint32_t CQdHelpButtonCtrl::HLPOwnHandle() {
  QWidget* w = widget_ ? widget_.data() : HLPWidget(nullptr);
  return HLPWindowHandle(w);
}

std::vector<TPLTGuid> CQdHelpButtonCtrl::HLPPropertyPages() const {
  return {HLPcGeneralPageClsid, HLPcJavaHelpPageClsid, HLPcFontPageClsid};
}

bool CQdHelpButtonCtrl::HLPExchangeProperties(IHLPPropertyArchive& ar) {
  const bool loading = ar.HLPLoading();
  const THLPButtonProperties d;
  THLPButtonProperties p = loading ? d : props_;
  uint32_t version = HLPcPersistVersion;
  ar.HLPExchange("_Version", version, 0);
  if (loading && (!ar.HLPGood() || version >> 16 != HLPcPersistVersion >> 16)) {
    HLPResetProperties();
    return false;
  }
  ar.HLPExchange("BorderStyle", p.borderStyle, d.borderStyle);
  ar.HLPExchange("Font", p.font, d.font);
  ar.HLPExchange("Caption", p.caption, d.caption);
  ar.HLPExchange("mapFile", p.mapFile, d.mapFile);
  ar.HLPExchange("windowClass", p.windowClass, d.windowClass);
  ar.HLPExchange("ctrlID", p.ctrlID, d.ctrlID);
  ar.HLPExchange("command", p.command, d.command);
  ar.HLPExchange("topic", p.topic, d.topic);
  ar.HLPExchange("keywords", p.keywords, d.keywords);
  ar.HLPExchange("QhCtxHelpPath", p.qhCtxHelpPath, d.qhCtxHelpPath);
  ar.HLPExchange("JREPath", p.jrePath, d.jrePath);
  ar.HLPExchange("javaHelpPath", p.javaHelpPath, d.javaHelpPath);
  ar.HLPExchange("QdJHelp", p.qdJHelp, d.qdJHelp);
  ar.HLPExchange("HelpsetFile", p.helpsetFile, d.helpsetFile);
  ar.HLPExchange("JARFile", p.jarFile, d.jarFile);
  ar.HLPExchange("javaVersion", p.javaVersion, d.javaVersion);
  if (!ar.HLPGood()) {
    if (loading) HLPResetProperties();
    return false;
  }
  if (loading) {
    props_ = p;
    ApplyToWidget();
  }
  modified_ = false;
  return true;
}

void CQdHelpButtonCtrl::HLPResetProperties() {
  props_ = THLPButtonProperties{};
  modified_ = false;
  ApplyToWidget();
}

THLPHelpEngine& CQdHelpButtonCtrl::Engine() {
  if (!engine_)
    engine_ = std::make_unique<THLPHelpEngine>(THLPEnginePorts{presenter_, cursor_, popups_},
                                               viewerModule_);
  return *engine_;
}

uintptr_t CQdHelpButtonCtrl::Owner(int32_t hWnd) {
  const auto handle = static_cast<uint32_t>(hWnd);
  if (HLPWindowOfHandle(handle) != nullptr) return handle;
  return HLPOwnHandle();
}

void CQdHelpButtonCtrl::MapFileWarning() {
  if (props_.mapFile.empty())
    presenter_.HLPShowMessage("There is no map file assigned to this control.", "Error");
}

const std::string& CQdHelpButtonCtrl::WindowType(const std::string& wndClass) const {
  return wndClass.empty() ? props_.windowClass : wndClass;
}

void CQdHelpButtonCtrl::Request(int32_t context, const std::string& windowType, uintptr_t owner,
                                const std::optional<std::string>& topic) {
  Engine().HLPSetRequest(props_.mapFile, context, windowType, owner, topic);
}

void CQdHelpButtonCtrl::JavaHelpRequest(const std::string& topic) {
  const THLPJavaHelpSettings settings{props_.javaVersion,   props_.jrePath,     props_.javaHelpPath,
                                      props_.qhCtxHelpPath, props_.helpsetFile, props_.jarFile};
  Engine().HLPSetJavaHelpSettings(settings, topic);
}

bool CQdHelpButtonCtrl::ShowHelp(int32_t hWnd) {
  return ShowHelpEx(hWnd, props_.ctrlID, props_.mapFile, props_.windowClass, props_.topic,
                    props_.keywords, props_.command);
}

bool CQdHelpButtonCtrl::ShowHelpEx(int32_t hWnd, int32_t ctrlID, const std::string& mapFile,
                                   const std::string& windowClass, const std::string& topic,
                                   const std::string& keywords, int32_t command) {
  THLPHelpEngine& engine = Engine();
  if (command == HLPcmdJavaHelpTopic)
    JavaHelpRequest(topic);
  else
    engine.HLPSetRequest(mapFile, ctrlID, windowClass, Owner(hWnd), topic);
  // clang-format off
  // clang-format off
  switch (command) {
    case HLPcmdHtmlTopic:      engine.HLPHtmlHelpTopic(); break;
    case HLPcmdActivePopup:    engine.HLPActivePopup(false); break;
    case HLPcmdTextPopup:      engine.HLPTextPopup(); break;
    case HLPcmdContents:       engine.HLPContents(); break;
    case HLPcmdIndex:          engine.HLPIndex(); break;
    case HLPcmdSearch:         engine.HLPSearch(); break;
    case HLPcmdKeyword:        engine.HLPKeywordLookup(keywords, false); break;
    case HLPcmdALink:          engine.HLPKeywordLookup(keywords, true); break;
    case HLPcmdInterHelpTopic: engine.HLPBrowserTopic(); break;
    case HLPcmdInterHelpPopup: engine.HLPActivePopup(true); break;
    case HLPcmdJavaHelpTopic:  engine.HLPJavaHelpTopic(); break;
    default:
      presenter_.HLPShowMessage("Bad Command", "QdHelpButton");
      return false;
  }
  // clang-format on
  return true;
}

bool CQdHelpButtonCtrl::ShowTextPopup(int32_t ctxNum, int32_t hWnd) {
  MapFileWarning();
  Request(ctxNum, props_.windowClass, Owner(hWnd));
  Engine().HLPTextPopup();
  return true;
}

bool CQdHelpButtonCtrl::ShowActivePopup(int32_t ctxNum, bool interhelp) {
  MapFileWarning();
  Request(ctxNum, props_.windowClass, HLPOwnHandle());
  Engine().HLPActivePopup(interhelp);
  return true;
}

bool CQdHelpButtonCtrl::ShowHTMLHelpTopicId(int32_t ctxNum, const std::string& wndClass) {
  MapFileWarning();
  Request(ctxNum, WindowType(wndClass), HLPOwnHandle());
  Engine().HLPHtmlHelpTopic();
  return true;
}

bool CQdHelpButtonCtrl::ShowHTMLHelpTopic(const std::string& topic, const std::string& wndClass) {
  MapFileWarning();
  Request(-1, WindowType(wndClass), HLPOwnHandle(), topic);
  Engine().HLPHtmlHelpTopic();
  return true;
}

bool CQdHelpButtonCtrl::SetMapFile(const std::string& mapFile) {
  if (!mapFile.empty()) props_.mapFile = mapFile;
  return true;
}

void CQdHelpButtonCtrl::ShowAKeyword(const std::string& keywords, const std::string& wndClass) {
  MapFileWarning();
  Request(-1, WindowType(wndClass), HLPOwnHandle());
  Engine().HLPKeywordLookup(keywords, true);
}

void CQdHelpButtonCtrl::ShowKeyword(const std::string& keywords, const std::string& wndClass) {
  MapFileWarning();
  Request(-1, WindowType(wndClass), HLPOwnHandle());
  Engine().HLPKeywordLookup(keywords, false);
}

void CQdHelpButtonCtrl::ShowHTMLHelpContents(const std::string& wndClass) {
  MapFileWarning();
  Request(-1, WindowType(wndClass), HLPOwnHandle());
  Engine().HLPContents();
}

void CQdHelpButtonCtrl::ShowHTMLHelpIndex(const std::string& wndClass) {
  MapFileWarning();
  Request(-1, WindowType(wndClass), HLPOwnHandle());
  Engine().HLPIndex();
}

void CQdHelpButtonCtrl::ShowHTMLHelpSearch(const std::string& wndClass) {
  MapFileWarning();
  Request(-1, WindowType(wndClass), HLPOwnHandle());
  Engine().HLPSearch();
}

void CQdHelpButtonCtrl::ShowInterHelpTopicId(int32_t ctrl_id) {
  MapFileWarning();
  Request(ctrl_id, "", HLPOwnHandle());
  Engine().HLPBrowserTopic();
}

void CQdHelpButtonCtrl::ShowInterHelpTopic(const std::string& topic) {
  MapFileWarning();
  Request(-1, "", HLPOwnHandle(), topic);
  Engine().HLPBrowserTopic();
}

void CQdHelpButtonCtrl::SetJavaHelpSettings(int32_t java_version, const std::string& java_path,
                                            const std::string& javahelp_path,
                                            const std::string& qhctxhelp_path,
                                            const std::string& helpset_file,
                                            const std::string& jar_file) {
  // Not marked as modified: this is a call, not a property put.
  props_.javaVersion = java_version;
  props_.jrePath = java_path;
  props_.javaHelpPath = javahelp_path;
  props_.qhCtxHelpPath = qhctxhelp_path;
  props_.helpsetFile = helpset_file;
  props_.jarFile = jar_file;
}

void CQdHelpButtonCtrl::ShowJavaHelpTopic(const std::string& topic_id) {
  if (props_.qhCtxHelpPath.empty())
    presenter_.HLPShowMessage(
        "You have not set up the JavaHelp settings yet.  Call SetJavaHelpSettings first.", "Error");
  JavaHelpRequest(topic_id);
  Engine().HLPJavaHelpTopic();
}

}  // namespace kal
