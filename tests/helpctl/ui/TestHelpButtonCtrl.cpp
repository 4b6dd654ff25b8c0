// The help-button control through its dispatch interface, offscreen: the
// DISPID/name table, property puts and gets, wrong calls, persistence on
// both backends, the method rules seen through the recording HTML Help
// module, and a click.

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "helpctl/HelpButtonCtrl.h"
#include "helpctl/HelpTestSupport.h"
#include "helpctl/WindowHandles.h"

Q_DECLARE_METATYPE(kal::TPLTVariant)

namespace kal {

namespace {

using V = TPLTVariant;

struct TControl {
  TControl() {
    test::TakeHtmlHelpRecording();
    THLPControlPorts ports;
    ports.presenter = &presenter;
    ports.cursor = &cursor;
    ports.popups = &popups;
    ports.viewerModule = HLP_RECORDING_MODULE;
    ctrl = TPLTComPtr<CQdHelpButtonCtrl>(new CQdHelpButtonCtrl(ports));
  }
  PLTResult Invoke(int32_t dispid, uint16_t flags, std::vector<V> args, V* result = nullptr) {
    return ctrl->PLTInvoke(dispid, flags, args, result);
  }
  V Get(int32_t dispid) {
    V v;
    const PLTResult r = Invoke(dispid, PLTcDispatchPropertyGet, {}, &v);
    return r == PLT_S_OK ? v : V::I4(r);
  }
  PLTResult Put(int32_t dispid, V value) {
    return Invoke(dispid, PLTcDispatchPropertyPut, {std::move(value)});
  }
  V Call(int32_t dispid, std::vector<V> args) {
    V v;
    const PLTResult r = Invoke(dispid, PLTcDispatchMethod, std::move(args), &v);
    return r == PLT_S_OK ? v : V::Bstr(u"failed");
  }
  test::TRecordingPresenter presenter;
  test::TFixedCursor cursor;
  test::TRecordingPopups popups;
  TPLTComPtr<CQdHelpButtonCtrl> ctrl;
};

V S(const char16_t* s) {
  return V::Bstr(s);
}

// Every property set away from its default.
void PutAll(TControl& c) {
  // clang-format off
  const std::vector<std::pair<int32_t, V>> values{
      {HLPidCaption, S(u"Hilfe \u00e4")}, {HLPidBorderStyle, V::I2(1)},
      {HLPidFont, V::Font(u"DejaVu Sans,11,-1,5,700,0,0,0,0,0,0,0,0,0,0,1")},
      {HLPidMapFile, S(u"/m/help.map")}, {HLPidWindowClass, S(u"main")},
      {HLPidCtrlID, V::I4(-7)}, {HLPidCommand, V::I4(10)}, {HLPidTopic, S(u"t.htm")},
      {HLPidKeywords, S(u"a;b")}, {HLPidQhCtxHelpPath, S(u"/ctx")}, {HLPidJREPath, S(u"/jre")},
      {HLPidJavaHelpPath, S(u"/jh")}, {HLPidQdJHelp, S(u"/q/qdjhelp.jar")},
      {HLPidHelpsetFile, S(u"/h.hs")}, {HLPidJARFile, S(u"/p.jar")}, {HLPidJavaVersion, V::I4(1)}};
  // clang-format on
  for (const auto& [id, v] : values) QCOMPARE(c.Put(id, v), PLT_S_OK);
}

QByteArray SaveToStream(TControl& c) {
  QByteArray bytes;
  QDataStream out(&bytes, QIODevice::WriteOnly);
  THLPStreamArchive archive(out, false);
  c.ctrl->HLPExchangeProperties(archive);
  return bytes;
}

bool LoadFromStream(TControl& c, const QByteArray& bytes) {
  QDataStream in(bytes);
  THLPStreamArchive archive(in, true);
  return c.ctrl->HLPExchangeProperties(archive);
}

}  // namespace

class TestHelpButtonCtrl : public QObject {
  Q_OBJECT

 private slots:
  void NamesAndDispidsBothWays() {
    // clang-format off
    const std::vector<std::pair<int32_t, std::u16string>> expected{
        {1, u"mapFile"}, {2, u"ctrlID"}, {3, u"windowClass"}, {4, u"command"}, {5, u"keywords"},
        {6, u"topic"}, {7, u"QhCtxHelpPath"}, {8, u"javaVersion"}, {9, u"javaHelpPath"},
        {10, u"JREPath"}, {11, u"QdJHelp"}, {12, u"HelpsetFile"}, {13, u"JARFile"},
        {14, u"ShowHelp"}, {15, u"ShowHelpEx"}, {16, u"ShowTextPopup"}, {17, u"ShowActivePopup"},
        {18, u"ShowHTMLHelpTopicId"}, {19, u"ShowHTMLHelpTopic"}, {20, u"SetMapFile"},
        {21, u"ShowAKeyword"}, {22, u"ShowKeyword"}, {23, u"ShowHTMLHelpContents"},
        {24, u"ShowHTMLHelpIndex"}, {25, u"ShowHTMLHelpSearch"}, {26, u"ShowInterHelpTopicId"},
        {27, u"ShowInterHelpTopic"}, {28, u"SetJavaHelpSettings"}, {29, u"ShowJavaHelpTopic"},
        {-518, u"Caption"}, {-504, u"BorderStyle"}, {-512, u"Font"}};
    // clang-format on
    TControl c;
    QCOMPARE(HLPHelpButtonDispatch().PLTMembers().size(), expected.size());
    for (const auto& [dispid, name] : expected) {
      std::u16string upper = name;
      for (char16_t& ch : upper)
        if (ch >= u'a' && ch <= u'z') ch = static_cast<char16_t>(ch - u'a' + u'A');
      std::vector<int32_t> ids;
      QCOMPARE(c.ctrl->PLTGetIDsOfNames({name, upper}, ids), PLT_S_OK);
      QCOMPARE(ids, (std::vector<int32_t>{dispid, dispid}));
      const TPLTDispatchMember* m = HLPHelpButtonDispatch().PLTFind(dispid);
      QVERIFY(m != nullptr);
      QCOMPARE(PLTFromUtf8(m->name), name);
    }
    std::vector<int32_t> ids;
    QCOMPARE(c.ctrl->PLTGetIDsOfNames({u"ShowHelpEx2"}, ids), PLT_DISP_E_UNKNOWNNAME);
  }

  void PropertyPutAndGet_data() {
    QTest::addColumn<int>("dispid");
    QTest::addColumn<V>("defaultValue");
    QTest::addColumn<V>("put");
    QTest::addColumn<V>("got");
    struct Row {
      const char* name;
      int32_t id;
      V def, put, got;
    };
    // clang-format off
    const Row rows[] = {
        {"mapFile",       HLPidMapFile,       S(u""), S(u"/x/h.map"), S(u"/x/h.map")},
        {"ctrlID",        HLPidCtrlID,        V::I4(0), V::I4(-5), V::I4(-5)},
        {"ctrlID from I2", HLPidCtrlID,       V::I4(0), V::I2(12), V::I4(12)},
        {"windowClass",   HLPidWindowClass,   S(u""), S(u"w"), S(u"w")},
        {"command",       HLPidCommand,       V::I4(0), V::I4(9), V::I4(9)},
        {"keywords",      HLPidKeywords,      S(u""), S(u"k1;k2"), S(u"k1;k2")},
        {"topic",         HLPidTopic,         S(u""), S(u"a/b.htm"), S(u"a/b.htm")},
        {"QhCtxHelpPath", HLPidQhCtxHelpPath, S(u""), S(u"/c"), S(u"/c")},
        {"javaVersion",   HLPidJavaVersion,   V::I4(0), V::Bool(true), V::I4(-1)},
        {"javaHelpPath",  HLPidJavaHelpPath,  S(u""), S(u"/jh"), S(u"/jh")},
        {"JREPath",       HLPidJREPath,       S(u""), S(u"/jre"), S(u"/jre")},
        {"QdJHelp",       HLPidQdJHelp,       S(u""), S(u"/q"), S(u"/q")},
        {"HelpsetFile",   HLPidHelpsetFile,   S(u""), S(u"/h.hs"), S(u"/h.hs")},
        {"JARFile",       HLPidJARFile,       S(u""), S(u"/p.jar"), S(u"/p.jar")},
        {"Caption",       HLPidCaption,       S(u""), S(u"Hilfe \u20ac"), S(u"Hilfe \u20ac")},
        {"BorderStyle",   HLPidBorderStyle,   V::I2(0), V::I4(1), V::I2(1)},
        {"Font",          HLPidFont,          V::Font(u""), V::Font(u"Serif,12,-1,5,400,0,0,0,0,0"),
                                              V::Font(u"Serif,12,-1,5,400,0,0,0,0,0")},
    };
    // clang-format on
    for (const Row& r : rows) QTest::newRow(r.name) << int(r.id) << r.def << r.put << r.got;
  }

  void PropertyPutAndGet() {
    QFETCH(int, dispid);
    QFETCH(V, defaultValue);
    QFETCH(V, put);
    QFETCH(V, got);
    TControl c;
    QCOMPARE(c.Get(dispid), defaultValue);
    QVERIFY(!c.ctrl->HLPIsModified());
    QCOMPARE(c.Put(dispid, put), PLT_S_OK);
    QVERIFY(c.ctrl->HLPIsModified());
    QCOMPARE(c.Get(dispid), got);
    // The button shows caption and font.
    QWidget* w = c.ctrl->HLPWidget(nullptr);
    if (dispid == HLPidCaption)
      QCOMPARE(static_cast<QPushButton*>(w)->text(), QString::fromStdU16String(u"Hilfe \u20ac"));
    if (dispid == HLPidFont) QCOMPARE(w->font().family(), QStringLiteral("Serif"));
  }

  void WrongCallsGiveTheirResults_data() {
    QTest::addColumn<int>("dispid");
    QTest::addColumn<int>("flags");
    QTest::addColumn<std::vector<V>>("args");
    QTest::addColumn<int>("result");
    const int M = PLTcDispatchMethod, G = PLTcDispatchPropertyGet, P = PLTcDispatchPropertyPut;
    // clang-format off
    QTest::newRow("too few") << 16 << M << std::vector<V>{V::I4(1)} << PLT_DISP_E_BADPARAMCOUNT;
    QTest::newRow("too many") << 20 << M << std::vector<V>{S(u"a"), S(u"b")} << PLT_DISP_E_BADPARAMCOUNT;
    QTest::newRow("ShowHelpEx six") << 15 << M << std::vector<V>(6, V::I4(0)) << PLT_DISP_E_BADPARAMCOUNT;
    QTest::newRow("ctxNum as text") << 18 << M << std::vector<V>{S(u"5"), S(u"")} << PLT_DISP_E_TYPEMISMATCH;
    QTest::newRow("hWnd as text") << 16 << M << std::vector<V>{V::I4(5), S(u"0")} << PLT_DISP_E_TYPEMISMATCH;
    QTest::newRow("interhelp as text") << 17 << M << std::vector<V>{V::I4(5), S(u"1")} << PLT_DISP_E_TYPEMISMATCH;
    QTest::newRow("java_version as text") << 28 << M << std::vector<V>(6, S(u"")) << PLT_DISP_E_TYPEMISMATCH;
    QTest::newRow("topic as number") << 19 << M << std::vector<V>{V::I4(1), S(u"")} << PLT_DISP_E_TYPEMISMATCH;
    QTest::newRow("put text as I4") << 2 << P << std::vector<V>{S(u"3")} << PLT_DISP_E_TYPEMISMATCH;
    QTest::newRow("put I4 as text") << 1 << P << std::vector<V>{V::I4(3)} << PLT_DISP_E_TYPEMISMATCH;
    QTest::newRow("put text as font") << -512 << P << std::vector<V>{S(u"Serif")} << PLT_DISP_E_TYPEMISMATCH;
    QTest::newRow("put BorderStyle too big") << -504 << P << std::vector<V>{V::I4(40000)} << PLT_DISP_E_OVERFLOW;
    QTest::newRow("put without value") << 3 << P << std::vector<V>{} << PLT_DISP_E_BADPARAMCOUNT;
    QTest::newRow("get with argument") << 3 << G << std::vector<V>{V::I4(0)} << PLT_DISP_E_BADPARAMCOUNT;
    QTest::newRow("property called") << 3 << M << std::vector<V>{} << PLT_DISP_E_MEMBERNOTFOUND;
    QTest::newRow("method put") << 20 << P << std::vector<V>{S(u"x")} << PLT_DISP_E_MEMBERNOTFOUND;
    QTest::newRow("unknown DISPID") << 30 << M << std::vector<V>{} << PLT_DISP_E_MEMBERNOTFOUND;
    QTest::newRow("unknown stock") << -501 << G << std::vector<V>{} << PLT_DISP_E_MEMBERNOTFOUND;
    // clang-format on
  }

  void WrongCallsGiveTheirResults() {
    QFETCH(int, dispid);
    QFETCH(int, flags);
    QFETCH(std::vector<V>, args);
    QFETCH(int, result);
    TControl c;
    QCOMPARE(c.Invoke(dispid, static_cast<uint16_t>(flags), args), result);
    // Nothing ran and nothing changed.
    QVERIFY(!c.ctrl->HLPIsModified());
    QCOMPARE(c.ctrl->HLPProperties(), THLPButtonProperties{});
    QVERIFY(c.presenter.messages.empty());
  }

  void PersistenceRoundTripsOnBothBackends() {
    TControl source;
    PutAll(source);
    const THLPButtonProperties saved = source.ctrl->HLPProperties();
    const QByteArray bytes = SaveToStream(source);
    QVERIFY(!source.ctrl->HLPIsModified());
    QVariantMap bag;
    THLPPropertyBagArchive bagOut(bag, false);
    QVERIFY(source.ctrl->HLPExchangeProperties(bagOut));
    QCOMPARE(bag.value("_Version").toUInt(), 0x10000u);
    QCOMPARE(bag.value("Caption").toString(), QString::fromStdU16String(u"Hilfe \u00e4"));

    TControl fromStream;
    QVERIFY(LoadFromStream(fromStream, bytes));
    QCOMPARE(fromStream.ctrl->HLPProperties(), saved);
    QVERIFY(!fromStream.ctrl->HLPIsModified());
    TControl fromBag;
    THLPPropertyBagArchive bagIn(bag, true);
    QVERIFY(fromBag.ctrl->HLPExchangeProperties(bagIn));
    QCOMPARE(fromBag.ctrl->HLPProperties(), saved);

    // The stream holds the version, then the stock properties, then the
    // control's own in their order.
    QDataStream in(bytes);
    quint32 version = 0;
    qint16 border = 0;
    QString font, caption, mapFile, windowClass;
    qint32 ctrlID = 0;
    in >> version >> border >> font >> caption >> mapFile >> windowClass >> ctrlID;
    QCOMPARE(version, 0x10000u);
    QCOMPARE(border, qint16(1));
    QCOMPARE(mapFile, QStringLiteral("/m/help.map"));
    QCOMPARE(windowClass, QStringLiteral("main"));
    QCOMPARE(ctrlID, -7);

    // A property missing from the bag loads as its default.
    bag.remove("topic");
    bag.insert("ctrlID", QStringLiteral("12"));
    THLPPropertyBagArchive partial(bag, true);
    QVERIFY(fromBag.ctrl->HLPExchangeProperties(partial));
    QCOMPARE(fromBag.ctrl->HLPProperties().topic, std::string());
    QCOMPARE(fromBag.ctrl->HLPProperties().ctrlID, 0);
    QCOMPARE(fromBag.ctrl->HLPProperties().mapFile, std::string("/m/help.map"));
  }

  void OtherVersionsAndTruncatedDataLeaveTheDefaults() {
    TControl source;
    PutAll(source);
    const QByteArray bytes = SaveToStream(source);
    auto withVersion = [&](quint32 v) {
      QByteArray b = bytes;
      QDataStream patch(&b, QIODevice::WriteOnly);
      patch << v;
      return b;
    };
    TControl target;
    // A newer minor version loads; another major version does not.
    QVERIFY(LoadFromStream(target, withVersion(0x10003)));
    QCOMPARE(target.ctrl->HLPProperties(), source.ctrl->HLPProperties());
    for (quint32 v : {0x20000u, 0x0u, 0xFFFF0000u}) {
      PutAll(target);
      QVERIFY(!LoadFromStream(target, withVersion(v)));
      QCOMPARE(target.ctrl->HLPProperties(), THLPButtonProperties{});
    }
    // Every truncation: never a half-loaded control.
    for (qsizetype n = 0; n < bytes.size(); ++n) {
      PutAll(target);
      QVERIFY2(!LoadFromStream(target, bytes.left(n)), qPrintable(QString::number(n)));
      QVERIFY2(target.ctrl->HLPProperties() == THLPButtonProperties{},
               qPrintable(QString::number(n)));
    }
    QVariantMap bag;
    THLPPropertyBagArchive out(bag, false);
    source.ctrl->HLPExchangeProperties(out);
    bag.insert("_Version", 0x20000);
    THLPPropertyBagArchive in(bag, true);
    QVERIFY(!target.ctrl->HLPExchangeProperties(in));
    QCOMPARE(target.ctrl->HLPProperties(), THLPButtonProperties{});
  }

  void MethodsReachTheEngine() {
    test::TempDir dir;
    const std::string map = dir.file("help.map");
    test::WriteFile(map, "[OPTIONS]\nCompiled File=kal.chm\n[Text Popups]\nPopup File=p.txt\n");
    const std::string chm = dir.file("kal.chm");
    TControl c;
    const std::u16string map16 = PLTFromUtf8(map);
    QCOMPARE(c.Call(HLPidSetMapFile, {V::Bstr(map16)}), V::Bool(true));
    QCOMPARE(c.Call(HLPidSetMapFile, {S(u"")}), V::Bool(true));
    QCOMPARE(c.Get(HLPidMapFile), V::Bstr(map16));
    QVERIFY(!c.ctrl->HLPIsModified());
    QCOMPARE(c.Put(HLPidWindowClass, S(u"wc")), PLT_S_OK);
    const std::string own = std::to_string(c.ctrl->HLPOwnHandle());

    // An empty window type means the windowClass property.
    QCOMPARE(c.Call(HLPidShowHTMLHelpTopicId, {V::I4(7), S(u"")}), V::Bool(true));
    QCOMPARE(test::TakeHtmlHelpRecording(),
             "owner=" + own + " file=\"" + chm + ">wc\" cmd=15 data=7\n");
    QCOMPARE(c.Call(HLPidShowHTMLHelpTopicId, {V::I4(7), S(u"other")}), V::Bool(true));
    QCOMPARE(test::TakeHtmlHelpRecording(),
             "owner=" + own + " file=\"" + chm + ">other\" cmd=15 data=7\n");

    // Text popups: hWnd 0 and a stale handle are the control's own window,
    // a live handle is that window.
    auto popupOwner = [&](int32_t hWnd) {
      c.Call(HLPidShowTextPopup, {V::I4(3), V::I4(hWnd)});
      const std::string line = test::TakeHtmlHelpRecording();
      return line.substr(0, line.find(' '));
    };
    auto other = std::make_unique<QWidget>();
    const uint32_t otherHandle = HLPWindowHandle(other.get());
    QVERIFY(otherHandle != 0 && std::to_string(otherHandle) != own);
    QCOMPARE(popupOwner(0), "owner=" + own);
    QCOMPARE(popupOwner(static_cast<int32_t>(otherHandle)), "owner=" + std::to_string(otherHandle));
    other.reset();
    QCOMPARE(popupOwner(static_cast<int32_t>(otherHandle)), "owner=" + own);
    QCOMPARE(popupOwner(987654), "owner=" + own);

    // Unknown commands: "Bad Command" and 0; the others give 1.
    for (int32_t command : {11, -1}) {
      c.presenter.messages.clear();
      QCOMPARE(c.Call(HLPidShowHelpEx,
                      {V::I4(0), V::I4(1), V::Bstr(map16), S(u""), S(u""), S(u""), V::I4(command)}),
               V::Bool(false));
      QCOMPARE(c.presenter.messages, std::vector<std::string>{"QdHelpButton: Bad Command"});
    }
    QCOMPARE(test::TakeHtmlHelpRecording(), std::string());
    QCOMPARE(c.Call(HLPidShowHelpEx, {V::I4(0), V::I4(0), V::Bstr(map16), S(u""), S(u""), S(u""),
                                      V::I4(HLPcmdContents)}),
             V::Bool(true));
    QCOMPARE(test::TakeHtmlHelpRecording(),
             "owner=" + own + " file=\"" + chm + "\" cmd=1 data=0\n");

    // No map file: the control's warning, then the engine's.
    TControl empty;
    empty.Call(HLPidShowHTMLHelpContents, {S(u"")});
    QCOMPARE(empty.presenter.messages,
             (std::vector<std::string>{
                 "Error: There is no map file assigned to this control.",
                 "Error: Unable to show context sensitive help,  does not exist."}));
  }

  void AClickShowsTheHelpOfTheProperties() {
    test::TempDir dir;
    const std::string map = dir.file("help.map");
    test::WriteFile(map, "[OPTIONS]\nCompiled File=kal.chm\n");
    TControl c;
    QCOMPARE(c.Put(HLPidMapFile, V::Bstr(PLTFromUtf8(map))), PLT_S_OK);
    QCOMPARE(c.Put(HLPidCtrlID, V::I4(42)), PLT_S_OK);
    QCOMPARE(c.Put(HLPidWindowClass, S(u"w")), PLT_S_OK);
    QCOMPARE(c.Put(HLPidCaption, S(u"Help")), PLT_S_OK);
    QWidget window;
    auto* button = static_cast<QPushButton*>(c.ctrl->HLPWidget(&window));
    QCOMPARE(button->parentWidget(), &window);
    QCOMPARE(button->text(), QStringLiteral("Help"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(test::TakeHtmlHelpRecording(), "owner=" + std::to_string(c.ctrl->HLPOwnHandle()) +
                                                " file=\"" + dir.file("kal.chm") +
                                                ">w\" cmd=15 data=42\n");
    QVERIFY(c.presenter.messages.empty());
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestHelpButtonCtrl)
#include "TestHelpButtonCtrl.moc"
