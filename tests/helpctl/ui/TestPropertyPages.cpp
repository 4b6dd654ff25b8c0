// The property pages in their page frame, offscreen: pages made by their
// class factories, fields loaded from the control and written back through
// dispatch, each change marking the control modified.

#include <QApplication>
#include <QCheckBox>
#include <QFontComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include "helpctl/HelpButtonCtrl.h"
#include "helpctl/HelpTestSupport.h"
#include "helpctl/PropertyPages.h"

Q_DECLARE_METATYPE(kal::TPLTVariant)

namespace kal {

namespace {

using V = TPLTVariant;

// A click on a radio button's indicator (its middle may lie past its text).
void Click(QRadioButton* button) {
  QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
}

struct TFramedControl {
  TFramedControl() {
    THLPControlPorts ports;
    ports.presenter = &presenter;
    ports.viewerModule = HLP_RECORDING_MODULE;
    ctrl = TPLTComPtr<CQdHelpButtonCtrl>(new CQdHelpButtonCtrl(ports));
  }
  THLPPropertyFrame& Frame() {
    if (!frame) {
      frame = std::make_unique<THLPPropertyFrame>(Unknown(), nullptr);
      frame->show();
      if (!QTest::qWaitForWindowExposed(frame.get())) qWarning("frame not exposed");
    }
    return *frame;
  }
  IPLTUnknown* Unknown() { return static_cast<IPLTDispatch*>(ctrl.Get()); }
  template <class W>
  W* Find(const char* name) {
    W* w = Frame().findChild<W*>(QString::fromLatin1(name));
    if (w == nullptr) qWarning("no widget %s", name);
    return w;
  }
  V Get(int32_t dispid) {
    std::vector<V> none;
    V v;
    (void)ctrl->PLTInvoke(dispid, PLTcDispatchPropertyGet, none, &v);
    return v;
  }
  test::TRecordingPresenter presenter;
  TPLTComPtr<CQdHelpButtonCtrl> ctrl;
  std::unique_ptr<THLPPropertyFrame> frame;
};

}  // namespace

class TestPropertyPages : public QObject {
  Q_OBJECT

 private slots:
  void FrameHoldsThePagesInOrder() {
    TFramedControl c;
    QTabWidget* tabs = c.Frame().HLPTabs();
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->tabText(0), QStringLiteral("General"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("JavaHelp Settings"));
    QCOMPARE(tabs->tabText(2), QStringLiteral("Font"));
    // Applying untouched pages changes nothing.
    QCOMPARE(c.Frame().HLPApply(), PLT_S_OK);
    QVERIFY(!c.ctrl->HLPIsModified());
    // Field 230 and its label are hidden; 229 names the jar the viewer needs.
    QLineEdit* qdj = c.Find<QLineEdit>("field230");
    QVERIFY(qdj && qdj->isHidden());
    QStringList labels;
    for (QLabel* l : c.Frame().findChildren<QLabel*>()) {
      if (l->buddy() == qdj) QVERIFY(l->isHidden());
      labels << l->text();
    }
    QVERIFY(labels.contains(QStringLiteral("Path to QhCtxHelp.jar:")));
    QCOMPARE(c.Find<QRadioButton>("radio223")->text(),
             QStringLiteral("Do ALink  ('A' Keyword) Lookup"));
  }

  void FieldsLoadAndWriteThroughDispatch_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("dispid");
    QTest::addColumn<V>("loaded");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<V>("written");
    struct Row {
      const char* field;
      int32_t dispid;
      V loaded;
      const char* typed;
      V written;
    };
    // clang-format off
    const Row rows[] = {
        {"field202", HLPidCaption,       V::Bstr(u"old"), "Help!",       V::Bstr(u"Help!")},
        {"field201", HLPidMapFile,       V::Bstr(u"old"), "/h/kal.hmp",  V::Bstr(u"/h/kal.hmp")},
        {"field203", HLPidWindowClass,   V::Bstr(u"old"), "main",        V::Bstr(u"main")},
        {"field207", HLPidCtrlID,        V::I4(17),       "4x2",         V::I4(42)},
        {"field208", HLPidTopic,         V::Bstr(u"old"), "a/t.htm",     V::Bstr(u"a/t.htm")},
        {"field212", HLPidKeywords,      V::Bstr(u"old"), "k1;k2",       V::Bstr(u"k1;k2")},
        {"field227", HLPidJREPath,       V::Bstr(u"old"), "/jre/bin",    V::Bstr(u"/jre/bin")},
        {"field228", HLPidJavaHelpPath,  V::Bstr(u"old"), "/jh",         V::Bstr(u"/jh")},
        {"field229", HLPidQhCtxHelpPath, V::Bstr(u"old"), "/ctx",        V::Bstr(u"/ctx")},
        {"field230", HLPidQdJHelp,       V::Bstr(u"old"), "/q.jar",      V::Bstr(u"/q.jar")},
        {"field231", HLPidHelpsetFile,   V::Bstr(u"old"), "/p.hs",       V::Bstr(u"/p.hs")},
        {"field232", HLPidJARFile,       V::Bstr(u"old"), "/p.jar",      V::Bstr(u"/p.jar")},
    };
    // clang-format on
    for (const Row& r : rows)
      QTest::newRow(r.field) << QString::fromLatin1(r.field) << int(r.dispid) << r.loaded
                             << QString::fromLatin1(r.typed) << r.written;
  }

  void FieldsLoadAndWriteThroughDispatch() {
    QFETCH(QString, field);
    QFETCH(int, dispid);
    QFETCH(V, loaded);
    QFETCH(QString, typed);
    QFETCH(V, written);
    TFramedControl c;
    std::vector<V> args{loaded};
    QCOMPARE(c.ctrl->PLTInvoke(dispid, PLTcDispatchPropertyPut, args, nullptr), PLT_S_OK);
    IHLPControl* control = c.ctrl.Get();
    QVariantMap bag;
    THLPPropertyBagArchive save(bag, false);
    control->HLPExchangeProperties(save);  // clears the modified mark
    QLineEdit* edit = c.Find<QLineEdit>(field.toLatin1().constData());
    QVERIFY(edit);
    QCOMPARE(edit->text(), loaded.PLTType() == TPLTVarType::I4
                               ? QString::number(loaded.PLTInteger())
                               : QString::fromStdU16String(loaded.PLTText()));
    edit->clear();
    QTest::keyClicks(edit, typed);
    QCOMPARE(c.Frame().HLPApply(), PLT_S_OK);
    QCOMPARE(c.Get(dispid), written);
    QVERIFY(c.ctrl->HLPIsModified());
  }

  void RadioButtonsWriteTheirCode() {
    // clang-format off
    const struct { const char* button; int32_t dispid; int32_t code; } cases[] = {
        {"radio216", HLPidCommand, 0}, {"radio218", HLPidCommand, 2},
        {"radio224", HLPidCommand, 8}, {"radio226", HLPidCommand, 10},
    };
    // clang-format on
    for (const auto& k : cases) {
      TFramedControl c;
      std::vector<V> args{V::I4(5)};
      (void)c.ctrl->PLTInvoke(HLPidCommand, PLTcDispatchPropertyPut, args, nullptr);
      QVariantMap bag;
      THLPPropertyBagArchive save(bag, false);
      c.ctrl->HLPExchangeProperties(save);
      QVERIFY(c.Find<QRadioButton>("radio221")->isChecked());
      // Both pages have a radio226: look in the General page.
      QWidget* general = c.Frame().HLPTabs()->widget(0);
      Click(general->findChild<QRadioButton*>(QString::fromLatin1(k.button)));
      QCOMPARE(c.Frame().HLPApply(), PLT_S_OK);
      QVERIFY2(c.Get(k.dispid) == V::I4(k.code), k.button);
      QVERIFY(c.ctrl->HLPIsModified());
    }
    // The JavaHelp page's pair: radio 226 of that page is Java 1.1.6.
    TFramedControl c;
    QWidget* javaPage = c.Frame().HLPTabs()->widget(1);
    auto* v116 = javaPage->findChild<QRadioButton*>(QStringLiteral("radio226"));
    QVERIFY(v116 && javaPage->findChild<QRadioButton*>(QStringLiteral("radio225"))->isChecked());
    c.Frame().HLPTabs()->setCurrentIndex(1);
    Click(v116);
    QCOMPARE(c.Frame().HLPApply(), PLT_S_OK);
    QCOMPARE(c.Get(HLPidJavaVersion), V::I4(1));
    QCOMPARE(c.Get(HLPidCommand), V::I4(0));
  }

  void FontPageWritesTheFont() {
    TFramedControl c;
    c.Find<QFontComboBox>("fontFamily")->setCurrentFont(QFont(QStringLiteral("DejaVu Serif")));
    c.Find<QSpinBox>("fontSize")->setValue(17);
    c.Find<QCheckBox>("fontBold")->setChecked(true);
    QCOMPARE(c.Frame().HLPApply(), PLT_S_OK);
    QVERIFY(c.ctrl->HLPIsModified());
    const V font = c.Get(HLPidFont);
    QCOMPARE(font.PLTType(), TPLTVarType::Font);
    QFont read;
    QVERIFY(read.fromString(QString::fromStdU16String(font.PLTText())));
    QCOMPARE(read.pointSize(), 17);
    QVERIFY(read.bold());
    QVERIFY(read.family().startsWith(QStringLiteral("DejaVu")));
    QCOMPARE(c.ctrl->HLPWidget(nullptr)->font().pointSize(), 17);
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestPropertyPages)
#include "TestPropertyPages.moc"
