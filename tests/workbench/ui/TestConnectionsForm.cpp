#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>

#include "common/TestSupport.h"
#include "support/HexUtilities.h"
#include "workbench/ConnectionPeer.h"
#include "workbench/ui/MainForm.h"
#include "workbench/ui/MessageDialogs.h"

namespace kal {

namespace {

std::string Frame(size_t total) {
  std::string f(total, 'k');
  const auto n = static_cast<uint32_t>(total - 4);
  f[0] = static_cast<char>(n >> 24);
  f[1] = static_cast<char>(n >> 16);
  f[2] = static_cast<char>(n >> 8);
  f[3] = static_cast<char>(n);
  return f;
}

}  // namespace

class TestConnectionsForm : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TForm1> Make(int port) {
    test::WriteFile(home_->file("config.ini"), test::TcpClientIni(std::to_string(port)) +
                                                   "[Timeout]\r\nConnectionDelay=0\r\n");
    TForm1::TParts parts;
    parts.programDir = home_->path();
    parts.dialogs = &dialogs_;
    parts.messageFiles = &files_;
    return std::make_unique<TForm1>(std::move(parts));
  }
  static QPlainTextEdit* Memo(TForm1& form, int n) {
    return form.findChild<QPlainTextEdit*>(QString("Memo%1").arg(n));
  }

  std::unique_ptr<test::TempDir> home_;
  test::MessageDialogs dialogs_;
  TCEXNoMessageFiles files_;

 private slots:
  void init() { home_ = std::make_unique<test::TempDir>(); }

  void AStreamOfMegabytesShowsOnlyItsStartAndCannotBeEditedThere() {
    auto form = Make(test::FreeLoopbackPort());
    form->show();
    TCEXMainWindow& core = form->CEXCore();
    const std::string big = UTHStringToHex(Frame(1'000'000));
    core.CEXSetMemo(TCEXMemo::Memo6, big);
    QPlainTextEdit* memo6 = Memo(*form, 6);
    const QString shown = memo6->toPlainText();
    QVERIFY(shown.size() < 70'000);
    QVERIFY(big.rfind(shown.left(1000).toStdString(), 0) == 0);
    QVERIFY(shown.endsWith("more characters not shown]"));
    QVERIFY(memo6->isReadOnly());
    // The core keeps the whole stream.
    QCOMPARE(core.CEXGetMemo(TCEXMemo::Memo6).size(), big.size());

    // A stream that fits is shown whole and can be edited again.
    core.CEXSetMemo(TCEXMemo::Memo6, "00 00 00 01 41");
    QCOMPARE(memo6->toPlainText(), QString("00 00 00 01 41"));
    QVERIFY(!memo6->isReadOnly());
    QVERIFY(Memo(*form, 5)->isReadOnly());
  }

  void TheSendButtonSendsAndTheEchoShowsInMemo5() {
    test::ConnectionPeer peer("listen", {"echo", "e"});
    const int port = std::stoi(peer.Line());
    auto form = Make(port);
    form->show();
    QTRY_VERIFY(form->CEXCore().CEXUserIsAdmin());
    const std::string frame = Frame(40);
    form->CEXCore().CEXSetMemo(TCEXMemo::Memo6, UTHStringToHex(frame));
    auto* button = form->findChild<QToolButton*>("SendDataStreamButton");
    QVERIFY(button != nullptr);
    QCOMPARE(button->defaultAction(), form->CEXActionObject(TCEXAction::SendDataStream));
    QTest::mouseClick(button, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(Memo(*form, 5)->toPlainText(),
                              QString::fromStdString(UTHStringToHex(frame)), 10000);
    QVERIFY(!form->findChild<QLineEdit*>("Edit6")->text().isEmpty());
    // The receive thread ends after the answer and the link closes.
    const auto pump = [] { QCoreApplication::processEvents(); };
    QVERIFY(peer.Line(pump).rfind("echo ", 0) == 0);
    QCOMPARE(peer.Line(pump), std::string("eof"));
    QVERIFY(dialogs_.messages.empty());
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestConnectionsForm)
#include "TestConnectionsForm.moc"
