// The help-viewer module offscreen, called by the real help engine over the
// shipped help folder (share/help), and the popup component created by its
// ProgID through the component layer after the register tool registered it.

#include <dlfcn.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>

#include "helpctl/HelpTestSupport.h"
#include "platform/component/ComponentCreation.h"
#include "platform/component/Dispatch.h"

namespace kal {

namespace {

enum class TOp { Topic, Contents, Index, Search, Keyword, ALink };

QWidget* TopLevel(const char* name) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == name && w->isVisible()) return w;
  return nullptr;
}

std::string HelpFolder() {
  return test::SourceDir() + "/share/help";
}

// A map file naming the shipped folder, with the text popup settings.
std::string WriteMap(test::THelpFixture& f) {
  return f.Write("kalmore.hmp", "[OPTIONS]\nCompiled File=" + HelpFolder() +
                                    "\n[Text Popups]\nPopup File=popups.txt\n"
                                    "Popup Font=DejaVu Sans, 14, , BOLD\n"
                                    "Popup Textcolor=255\nPopup Backcolor=65280\n"
                                    "Popup Horzmarg=5\nPopup Vertmarg=7\n");
}

}  // namespace

class TestHelpViewer : public QObject {
  Q_OBJECT

 private slots:
  void commands_data() {
    QTest::addColumn<int>("op");
    QTest::addColumn<int>("context");
    QTest::addColumn<QString>("argument");  // topic or keywords
    QTest::addColumn<QString>("page");      // shown page, "" when none
    QTest::addColumn<QString>("tab");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<int>("visibleIndex");  // -1: not checked
    QTest::addColumn<QString>("line");      // browser text, "" when not checked
    auto row = [](const char* name, TOp op, int context, QString argument, QString page,
                  QString tab, QString filter = {}, int visible = -1, QString line = {}) {
      QTest::newRow(name) << static_cast<int>(op) << context << argument << page << tab << filter
                          << visible << line;
    };
    row("topic by context", TOp::Topic, 7, "", "keys.html", "Contents");
    row("topic by file", TOp::Topic, 0, "des.html", "des.html", "Contents");
    row("first page", TOp::Topic, 0, "", "main-window.html", "Contents");
    row("unknown number", TOp::Topic, 99, "", "", "Contents", {}, -1,
        "No help topic for context number 99.");
    row("contents", TOp::Contents, 0, "", "", "Contents");
    row("index", TOp::Index, 0, "", "", "Index");
    row("search", TOp::Search, 0, "", "", "Index", "");
    row("keyword in any case", TOp::Keyword, 0, "nothing; hash AND mac computation",
        "hash-and-mac.html", "Index", "Hash and MAC Computation");
    row("alink", TOp::ALink, 0, "TIMEOUTS AND DELAYS", "timeouts.html", "Index",
        "Timeouts and Delays");
    row("keyword not found filters", TOp::Keyword, 0, "modem;zzz", "", "Index", "modem", 1);
  }

  void commands() {
    QFETCH(int, op);
    QFETCH(int, context);
    QFETCH(QString, argument);
    QFETCH(QString, page);
    QFETCH(QString, tab);
    QFETCH(QString, filter);
    QFETCH(int, visibleIndex);
    QFETCH(QString, line);
    test::THelpFixture f(HLP_VIEWER_MODULE);
    const std::string map = WriteMap(f);
    const std::optional<std::string> topic =
        op == static_cast<int>(TOp::Topic) && !argument.isEmpty()
            ? std::optional<std::string>(argument.toStdString())
            : std::nullopt;
    f.engine.HLPSetRequest(map, topic ? -1 : context, "main", 0, topic);
    switch (static_cast<TOp>(op)) {
      case TOp::Topic:
        f.engine.HLPHtmlHelpTopic();
        break;
      case TOp::Contents:
        f.engine.HLPContents();
        break;
      case TOp::Index:
        f.engine.HLPIndex();
        break;
      case TOp::Search:
        f.engine.HLPSearch();
        break;
      case TOp::Keyword:
      case TOp::ALink:
        f.engine.HLPKeywordLookup(argument.toStdString(), op == static_cast<int>(TOp::ALink));
        break;
    }
    QCOMPARE(f.presenter.messages, std::vector<std::string>{});
    QWidget* viewer = TopLevel("HelpViewer");
    QVERIFY(viewer != nullptr);
    auto* browser = viewer->findChild<QTextBrowser*>("HelpBrowser");
    auto* tabs = viewer->findChild<QTabWidget*>("HelpTabs");
    if (!page.isEmpty())
      QCOMPARE(browser->source().toLocalFile(), QString::fromStdString(HelpFolder()) + "/" + page);
    if (!line.isEmpty()) QCOMPARE(browser->toPlainText(), line);
    QCOMPARE(tabs->tabText(tabs->currentIndex()), tab);
    if (tab == "Index") {
      QCOMPARE(viewer->findChild<QLineEdit*>("HelpIndexFilter")->text(), filter);
    }
    if (visibleIndex >= 0) {
      auto* index = viewer->findChild<QListWidget*>("HelpIndex");
      int visible = 0;
      for (int i = 0; i < index->count(); ++i) visible += index->item(i)->isHidden() ? 0 : 1;
      QCOMPARE(visible, visibleIndex);
    }
    int viewers = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) viewers += w->objectName() == "HelpViewer";
    QCOMPARE(viewers, 1);
  }

  // The popup carries the record's text, colours, margins, font and
  // position, and a key closes it.
  void textPopup() {
    test::THelpFixture f(HLP_VIEWER_MODULE);
    f.engine.HLPSetRequest(WriteMap(f), 7, "", 0, std::nullopt);
    f.engine.HLPTextPopup();
    QPointer<QLabel> popup = qobject_cast<QLabel*>(TopLevel("HelpTextPopup"));
    QVERIFY(popup);
    QVERIFY(popup->text().startsWith("Keys: The \"Keys\" dialog sets the keys"));
    QCOMPARE(popup->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QCOMPARE(popup->palette().color(QPalette::Window), QColor(0, 255, 0));
    QCOMPARE(popup->contentsMargins(), QMargins(5, 7, 5, 7));
    QCOMPARE(popup->font().family(), QString("DejaVu Sans"));
    QCOMPARE(popup->font().pointSize(), 14);
    QVERIFY(popup->font().bold());
    // At the cursor, give or take the frame the platform puts around windows.
    QVERIFY((popup->pos() - QPoint(11, -22)).manhattanLength() <= 4);
    QTest::keyClick(popup.data(), Qt::Key_Space);
    QTRY_VERIFY(popup.isNull());
  }

  void popupComponent_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QSize>("size");
    const QString folder = QString::fromStdString(HelpFolder());
    QTest::newRow("plain file, given size")
        << folder + "/keys.html" << 300 << 200 << QSize(300, 200);
    QTest::newRow("help folder, default size")
        << "mk:@MSITStore:" + folder + "::/keys.html" << 0 << 120 << QSize(250, 175);
    QTest::newRow("negative height") << folder + "/keys.html" << 90 << -1 << QSize(250, 175);
  }

  // Shown at its size with the page, and freed once its window closes.
  void popupComponent() {
    QFETCH(QString, address);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QSize, size);
    test::TempDir dir;
    const std::string registry = dir.file("components.ini");
    int status = 0;
    test::RunCommand("KAL_COMPONENT_REGISTRY='" + registry + "' '" HLP_REGISTER_TOOL "' '" +
                         std::string(HLP_VIEWER_MODULE) + "'",
                     "", &status);
    QCOMPARE(status, 0);
    TPLTCreationContext context{TPLTComponentRegistry(registry), dir.path()};
    TPLTComPtr<IPLTDispatch> popup;
    QCOMPARE(PLTCreateInstanceByProgId("QHPOPUP.QhPopupCtrl.1", IPLTDispatch::PLTcIID, popup.Out(),
                                       context),
             PLT_S_OK);
    std::vector<TPLTVariant> args{TPLTVariant::Bstr(PLTFromUtf8(address.toStdString())),
                                  TPLTVariant::I2(0), TPLTVariant::I2(static_cast<int16_t>(width)),
                                  TPLTVariant::I2(static_cast<int16_t>(height))};
    QCOMPARE(popup->PLTInvoke(1, PLTcDispatchMethod, args, nullptr), PLT_S_OK);
    popup = {};
    QPointer<QTextBrowser> window = qobject_cast<QTextBrowser*>(TopLevel("HelpActivePopup"));
    QVERIFY(window);
    QCOMPARE(window->size(), size);
    QCOMPARE(window->source().toLocalFile(), QString::fromStdString(HelpFolder()) + "/keys.html");
    void* module = ::dlopen(HLP_VIEWER_MODULE, RTLD_NOW | RTLD_NOLOAD);
    QVERIFY(module != nullptr);
    auto canUnload = reinterpret_cast<PLTResult (*)()>(::dlsym(module, "DllCanUnloadNow"));
    ::dlclose(module);
    QCOMPARE(canUnload(), PLT_S_FALSE);
    window->close();
    QTRY_VERIFY(window.isNull());
    QCOMPARE(canUnload(), PLT_S_OK);
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestHelpViewer)
#include "TestHelpViewer.moc"
