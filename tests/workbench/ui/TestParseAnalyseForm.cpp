// One exchange through TForm1's own buttons against the mock ep2 host:
// "Create + Send", then "Parse + Analyse"; the received views of the form
// show the analysis and the decrypted items, and the mock checks the
// request.

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>

#include "common/TestSupport.h"
#include "config/Config.h"
#include "ep2/MessageTree.h"
#include "support/ErrorWindow.h"
#include "support/HexUtilities.h"
#include "workbench/MessageTestHelpers.h"
#include "workbench/ui/MainForm.h"
#include "workbench/ui/MessageDialogs.h"

namespace kal {

namespace {

const std::string kKeyHex = "0123456789ABCDEFFEDCBA9876543210";
const std::string kPAN = "5413339000001513";

class Errors final : public IERRErrorWindow {
 public:
  void ERRSetError(int code, const std::string& detail) override {
    errors.push_back(std::to_string(code) + " " + detail);
  }
  void ERRSetErrorMessage(int code, const std::string& text) override { ERRSetError(code, text); }
  std::vector<std::string> errors;
};

}  // namespace

class TestParseAnalyseForm : public QObject {
  Q_OBJECT

 private:
  static QPlainTextEdit* Memo(TForm1& form, int n) {
    return form.findChild<QPlainTextEdit*>(QString("Memo%1").arg(n));
  }
  static QToolButton* Button(TForm1& form, const char* name) {
    auto* button = form.findChild<QToolButton*>(name);
    if (button == nullptr) qWarning("no button %s", name);
    return button;
  }

  std::unique_ptr<test::TempDir> home_;
  test::MessageDialogs dialogs_;
  Errors errors_;
  TCEXNoMessageFiles files_;

 private slots:
  void init() { home_ = std::make_unique<test::TempDir>(); }

  void CreateSendAndParseAnalyseThroughTheButtons() {
    const std::string responseXml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
        "<ep2:ep2 xmlns:ep2=\"urn:test:ep2\" specversion=\"0630\">\r\n"
        "   <ep2:AutRsp msgnum=\"3\">\r\n"
        "      <ep2:RspCode>00</ep2:RspCode>\r\n"
        "      <ep2:AppPAN>x</ep2:AppPAN>\r\n"
        "   </ep2:AutRsp>\r\n"
        "</ep2:ep2>\r\n";
    test::WriteFile(home_->file("response.json"),
                    "{\"action\": \"frame\", \"build\": {\"mode\": 1, \"xml\": " +
                        test::JsonString(responseXml) + ", \"session_key\": \"" + kKeyHex +
                        "\", \"mac_variant\": 2, \"encrypt\": [{\"name\": \"ep2:AppPAN\", "
                        "\"clear\": \"" +
                        kPAN + "\"}]}}");
    test::WriteFile(home_->file("expect.json"), "{\"header\": {\"mode\": 1}, \"session_key\": \"" +
                                                    kKeyHex + "\", \"mac_variant\": 1}");
    test::MockEp2Server mock(home_->file("expect.json"), home_->file("response.json"),
                             home_->file("result.json"));
    const std::string port = mock.Port();
    QVERIFY2(!port.empty(), mock.PortLine().c_str());
    test::WriteFile(home_->file("config.ini"),
                    test::TcpClientIni(port) + "[Timeout]\r\nConnectionDelay=0\r\n");
    TForm1::TParts parts;
    parts.programDir = home_->path();
    parts.dialogs = &dialogs_;
    parts.messageFiles = &files_;
    auto form = std::make_unique<TForm1>(std::move(parts));
    form->CEXSetErrorWindow(&errors_);
    form->show();
    TCEXMainWindow& core = form->CEXCore();
    QTRY_VERIFY(core.CEXUserIsAdmin());
    TCFGConfig& config = core.CEXConfiguration();
    config.CFGSetSessionKey(kKeyHex);
    config.CFGSetSessionKeyFromInMessage(0);
    config.CFGSetVersionNumber("30");
    config.CFGSetSpecVersionNumber("0630");
    config.CFGSetEncodingInformation(1);
    // "Add MAC Only".
    core.RadioGroup1Click(0);

    TXMLMessageTree& source = core.CEXSourceTree();
    TXMLTreeNode* request = test::AddElement(source, nullptr, "ep2:AutReq", "c");
    test::AddElement(source, request, "ep2:TrmID", "an", "12345678");
    TXMLMessageTree& reference = core.CEXReferenceTree();
    TXMLTreeNode* root = test::AddElement(reference, nullptr, "ep2:AutRsp", "c");
    test::AddElement(reference, root, "ep2:RspCode", "an", "00", "MF");
    test::AddElement(reference, root, "ep2:AppPAN", "cn", "", "E");
    test::AddElement(reference, root, "ep2:Missing", "an");

    QToolButton* parse = Button(*form, "ButtonParseAndAnalyse");
    QVERIFY(parse != nullptr);
    QVERIFY(!parse->isEnabled());
    QTest::mouseClick(Button(*form, "ButtonCreateAndSend"), Qt::LeftButton);
    QVERIFY(Memo(*form, 1)->toPlainText().contains("<ep2:TrmID>12345678</ep2:TrmID>"));
    QTRY_VERIFY_WITH_TIMEOUT(parse->isEnabled(), 20000);
    QVERIFY(!Button(*form, "ButtonAnalyseMessage")->isEnabled());

    QTest::mouseClick(parse, Qt::LeftButton);
    QVERIFY2(errors_.errors.empty(), errors_.errors.empty() ? "" : errors_.errors[0].c_str());
    const QString memo3 = Memo(*form, 3)->toPlainText();
    QVERIFY2(memo3.startsWith("<ep2:AutRsp>\n   <ep2:RspCode>00</ep2:RspCode>\n   <ep2:AppPAN>"),
             qPrintable(memo3));
    QVERIFY2(memo3.endsWith("   <ep2:Missing> ---> Not found\n"), qPrintable(memo3));
    const QString memo4 = Memo(*form, 4)->toPlainText();
    QVERIFY2(memo4.contains("\nMAC Receive verification ok\n"), qPrintable(memo4));
    QVERIFY(memo4.contains(QString::fromStdString("\nPAN= " + kPAN + "\n")));
    QVERIFY(Memo(*form, 5)->toPlainText().startsWith("========= Header ========\n"));
    QVERIFY(Memo(*form, 2)->toPlainText().contains("<ep2:RspCode>00</ep2:RspCode>"));
    QVERIFY(Button(*form, "ButtonAnalyseMessage")->isEnabled());

    std::string rest;
    QCOMPARE(mock.Wait(std::chrono::seconds(20), &rest), 0);
    QVERIFY2(rest.find("RESULT 0 ok") != std::string::npos, rest.c_str());
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestParseAnalyseForm)
#include "TestParseAnalyseForm.moc"
