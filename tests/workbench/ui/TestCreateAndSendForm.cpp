// "Create + Send" triggered through the form's action reaches the mock ep2
// host over loopback, which checks the frame, its MAC and the document.
#include <QAbstractButton>
#include <QCoreApplication>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>

#include "common/TestSupport.h"
#include "config/Config.h"
#include "ep2/MessageTree.h"
#include "workbench/ui/MainForm.h"
#include "workbench/ui/MessageDialogs.h"

namespace kal {

namespace {

const char* kKey = "0123456789ABCDEFFEDCBA9876543210";

}  // namespace

class TestCreateAndSendForm : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::TempDir> home_;
  test::MessageDialogs dialogs_;
  TCEXNoMessageFiles files_;

 private slots:
  void init() { home_ = std::make_unique<test::TempDir>(); }

  void TheCreateAndSendActionReachesTheMockHost() {
    const std::string xml =
        "<ep2:message xmlns:ep2=\"http://www.eftpos2000.ch\"><ep2:authreq>"
        "<ep2:TrmID>T0000042</ep2:TrmID><ep2:Amount>1250</ep2:Amount></ep2:authreq>"
        "</ep2:message>";
    std::string quoted;
    for (char c : xml) quoted += c == '"' ? std::string("\\\"") : std::string(1, c);
    test::WriteFile(home_->file("expect.json"),
                    std::string("{\"header\": {\"version\": 48, \"spec_version\": \"0630\", "
                                "\"mode\": 1}, \"mac_variant\": 1, \"session_key\": \"") +
                        kKey + "\", \"xml\": \"" + quoted + "\"}");
    test::WriteFile(home_->file("respond.json"),
                    "{\"action\": \"frame\", \"after\": \"close\", \"frame_hex\": \"00000006"
                    "10003C612F3E\"}");
    test::MockEp2Server mock(home_->file("expect.json"), home_->file("respond.json"),
                             home_->file("result.json"));
    const std::string port = mock.Port();
    QVERIFY2(!port.empty(), mock.PortLine().c_str());

    test::WriteFile(home_->file("config.ini"),
                    test::TcpClientIni(port) + "[Timeout]\r\nConnectionDelay=0\r\n");
    TForm1::TParts parts;
    parts.programDir = home_->path();
    parts.dialogs = &dialogs_;
    parts.messageFiles = &files_;
    TForm1 form(std::move(parts));
    form.show();
    TCEXMainWindow& core = form.CEXCore();
    QTRY_VERIFY(core.CEXUserIsAdmin());
    TCFGConfig& config = core.CEXConfiguration();
    config.CFGSetSessionKey(kKey);
    config.CFGSetSessionKeyFromInMessage(0);
    config.CFGSetVersionNumber("30");
    config.CFGSetSpecVersionNumber("0630");
    config.CFGSetEncodingInformation(1);
    core.CEXSetAddMsgNum(2);

    // "Add MAC Only" through the radio group.
    auto* macOnly =
        form.findChild<QGroupBox*>("RadioGroup1")->findChildren<QAbstractButton*>().at(0);
    macOnly->click();
    QCOMPARE(config.CFGGetMacOnly(), uint8_t{1});

    TXMLMessageTree& tree = core.CEXSourceTree();
    int32_t id = 0;
    TXMLTreeNode* root = tree.AddChildObject(
        nullptr, "ep2:authreq", std::make_unique<TUAXxmlElement>("ep2:authreq", "", "c", "", "", 0),
        id);
    root->GetData()->SetID(id);
    const int32_t rootId = id;
    tree.AddChildObject(
        root, "ep2:TrmID",
        std::make_unique<TUAXxmlElement>("ep2:TrmID", "T0000042", "an", "", "", rootId), id);
    tree.AddChildObject(
        root, "ep2:Amount",
        std::make_unique<TUAXxmlElement>("ep2:Amount", "1250", "n", "M", "", rootId), id);

    auto* button = form.findChild<QToolButton*>("ButtonCreateAndSend");
    QVERIFY(button != nullptr);
    QCOMPARE(button->defaultAction(), form.CEXActionObject(TCEXAction::CreateAndSend));
    QCOMPARE(button->defaultAction()->text(), QString("Create + Send"));
    form.CEXActionObject(TCEXAction::CreateAndSend)->trigger();

    auto* memo5 = form.findChild<QPlainTextEdit*>("Memo5");
    QTRY_COMPARE_WITH_TIMEOUT(memo5->toPlainText(), QString("00 00 00 06 10 00 3C 61 2F 3E"),
                              15000);
    QVERIFY(!form.findChild<QPlainTextEdit*>("Memo6")->toPlainText().isEmpty());
    QVERIFY(form.findChild<QPlainTextEdit*>("Memo1")->toPlainText().contains("T0000042"));
    std::string rest;
    const int status = mock.Wait(std::chrono::seconds(20), &rest);
    QVERIFY2(status == 0, rest.c_str());
    QVERIFY2(rest.find("CHECK 0 mac pass") != std::string::npos, rest.c_str());
    QVERIFY2(rest.find("CHECK 0 xml.tree pass") != std::string::npos, rest.c_str());
    QVERIFY(dialogs_.messages.empty());
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestCreateAndSendForm)
#include "TestCreateAndSendForm.moc"
