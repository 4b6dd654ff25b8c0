// Printing the main window's eight views after an exchange with the mock ep2
// host: to PDF through "Print..." (read back with pdftotext and pdfinfo) and
// to text files through "Print to File..." (read back with python3).

#include <QApplication>
#include <QDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cctype>
#include <filesystem>

#include "common/TestSupport.h"
#include "config/Config.h"
#include "ep2/MessageTree.h"
#include "support/PrintLayout.h"
#include "support/ui/FormPrintSelection.h"
#include "workbench/MessageTestHelpers.h"
#include "workbench/ui/MainForm.h"
#include "workbench/ui/MessageDialogs.h"

namespace kal {

namespace {

const std::string kKeyHex = "0123456789ABCDEFFEDCBA9876543210";

// The text without any white space (pdftotext lays lines and pages out
// with its own blanks and breaks), with the font's "fi" and "fl" ligatures
// spelt out.
std::string Squeezed(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text.compare(i, 3, "\xEF\xAC\x81") == 0 || text.compare(i, 3, "\xEF\xAC\x82") == 0) {
      out += text[i + 2] == '\x81' ? "fi" : "fl";
      i += 2;
    } else if (!std::isspace(static_cast<unsigned char>(text[i]))) {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

class TestMainFormPrint : public QObject {
  Q_OBJECT

 private:
  // Answers the printout selection with `item` (-1: "Cancel") while
  // `trigger` runs; its caption is returned, empty when it did not show.
  static QString Select(int item, const std::function<void()>& trigger) {
    QString caption;
    QTimer::singleShot(0, [&] {
      auto* form2 = qobject_cast<TForm2*>(QApplication::activeModalWidget());
      if (form2 == nullptr) return;
      caption = form2->windowTitle();
      if (item < 0) return form2->findChild<QPushButton*>("Cancel")->click();
      form2->findChild<QRadioButton*>(qPrintable(QString("RadioItem%1").arg(item)))->click();
      form2->findChild<QPushButton*>("Ok")->click();
    });
    trigger();
    return caption;
  }

  std::unique_ptr<test::TempDir> home_;
  test::MessageDialogs dialogs_;
  TCEXNoMessageFiles files_;

 private slots:
  void EightViewsToPdfAndToFiles() {
    home_ = std::make_unique<test::TempDir>();
    const std::string responseXml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
        "<ep2:ep2 xmlns:ep2=\"urn:test:ep2\" specversion=\"0630\">\r\n"
        "   <ep2:AutRsp msgnum=\"3\">\r\n      <ep2:RspCode>00</ep2:RspCode>\r\n"
        "   </ep2:AutRsp>\r\n</ep2:ep2>\r\n";
    test::WriteFile(home_->file("response.json"),
                    "{\"action\": \"frame\", \"build\": {\"mode\": 1, \"xml\": " +
                        test::JsonString(responseXml) + ", \"session_key\": \"" + kKeyHex +
                        "\", \"mac_variant\": 2}}");
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
    form->show();
    TCEXMainWindow& core = form->CEXCore();
    QTRY_VERIFY(core.CEXUserIsAdmin());
    TCFGConfig& config = core.CEXConfiguration();
    config.CFGSetSessionKey(kKeyHex);
    config.CFGSetSessionKeyFromInMessage(0);
    config.CFGSetVersionNumber("30");
    config.CFGSetSpecVersionNumber("0630");
    config.CFGSetEncodingInformation(1);
    core.RadioGroup1Click(0);
    TXMLTreeNode* request = test::AddElement(core.CEXSourceTree(), nullptr, "ep2:AutReq", "c");
    test::AddElement(core.CEXSourceTree(), request, "ep2:TrmID", "an", "12345678");
    TXMLTreeNode* root = test::AddElement(core.CEXReferenceTree(), nullptr, "ep2:AutRsp", "c");
    test::AddElement(core.CEXReferenceTree(), root, "ep2:RspCode", "an", "00", "MF");
    core.CEXExecute(TCEXAction::CreateAndSend);
    QTRY_VERIFY_WITH_TIMEOUT(core.CEXParseMessageEnabled(), 20000);
    core.CEXExecute(TCEXAction::ParseAndAnalyse);
    std::string rest;
    QCOMPARE(mock.Wait(std::chrono::seconds(20), &rest), 0);

    // Each view to PDF: its text in order, the tree's child indented.
    const TCEXMemo memos[] = {TCEXMemo::Memo1, TCEXMemo::Memo1, TCEXMemo::Memo6, TCEXMemo::Memo1,
                              TCEXMemo::Memo3, TCEXMemo::Memo4, TCEXMemo::Memo2, TCEXMemo::Memo5};
    std::string pdf;
    int chosen = 0;
    form->CEXSetPrinterChooser([&](QPrinter& printer) {
      ++chosen;
      if (pdf.empty()) return false;
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(QString::fromStdString(pdf));
      return true;
    });
    QAction* print = form->CEXActionObject(TCEXAction::Print);
    for (int item = 0; item < 8; ++item) {
      pdf = home_->file("view" + std::to_string(item) + ".pdf");
      QCOMPARE(Select(item, [&] { print->trigger(); }), QString("Print Selection"));
      const std::string text = test::RunCommand("pdftotext -layout '" + pdf + "' -", "");
      const std::string info = test::RunCommand("pdfinfo '" + pdf + "'", "");
      const size_t pages = info.find("Pages:");
      QVERIFY2(pages != std::string::npos && std::stoi(info.substr(pages + 6)) == 1, info.c_str());
      if (item == 0 || item == 3) {
        const char* parent = item == 0 ? "ep2:AutReq" : "ep2:AutRsp";
        const char* child = item == 0 ? "ep2:TrmID" : "ep2:RspCode";
        const size_t p = text.find(parent), c = text.find(child);
        QVERIFY2(p != std::string::npos && c != std::string::npos, text.c_str());
        const size_t parentColumn = p - (text.rfind('\n', p) + 1);
        const size_t childColumn = c - (text.rfind('\n', c) + 1);
        QVERIFY2(childColumn > parentColumn, text.c_str());
        continue;
      }
      const std::string shown = core.CEXGetMemo(memos[item]);
      QVERIFY2(!Squeezed(shown).empty(), std::to_string(item).c_str());
      QVERIFY2(Squeezed(text).find(Squeezed(shown)) != std::string::npos, text.c_str());
    }

    // The page settings of "Print Setup..." hold for the later prints.
    QTimer::singleShot(0, [] {
      QWidget* setup = QApplication::activeModalWidget();
      if (setup == nullptr) return;
      setup->findChild<QRadioButton*>("landscape")->click();
      qobject_cast<QDialog*>(setup)->accept();
    });
    form->CEXActionObject(TCEXAction::PrintSetup)->trigger();
    pdf = home_->file("landscape.pdf");
    QCOMPARE(Select(1, [&] { print->trigger(); }), QString("Print Selection"));
    const std::string size = test::RunCommand("pdfinfo '" + pdf + "'", "");
    const size_t at = size.find("Page size:");
    QVERIFY2(at != std::string::npos, size.c_str());
    const double width = std::stod(size.substr(at + 10));
    const double height = std::stod(size.substr(size.find(" x ", at) + 3));
    QVERIFY2(width > height, size.c_str());

    // "Cancel" in the selection or the print dialog prints nothing.
    chosen = 0;
    QCOMPARE(Select(-1, [&] { print->trigger(); }), QString("Print Selection"));
    QCOMPARE(chosen, 0);
    pdf.clear();
    QCOMPARE(Select(1, [&] { print->trigger(); }), QString("Print Selection"));
    QCOMPARE(chosen, 1);

    // Print to file: the trees three blanks per level, the memo line by line,
    // CR LF; the directory follows the choice.
    std::filesystem::create_directories(home_->file("out"));
    config.CFGSetDirPrintToFile(home_->file("elsewhere/"));
    QAction* toFile = form->CEXActionObject(TCEXAction::PrintToFile);
    const std::string script =
        "import sys\n"
        "data = open(sys.argv[1], 'rb').read()\n"
        "assert data.endswith(b'\\r\\n') and b'\\n' not in data.replace(b'\\r\\n', b'')\n"
        "print('|'.join(l.decode() for l in data.split(b'\\r\\n')[:-1]))\n";
    test::WriteFile(home_->file("lines.py"), script);
    std::string memo3;
    for (std::string_view line : PRSSplitLines(core.CEXGetMemo(TCEXMemo::Memo3)))
      memo3 += (memo3.empty() ? "" : "|") + std::string(line);
    // The trees' node texts, indented by their level.
    const auto treeLines = [](const TXMLMessageTree& tree) {
      std::string lines;
      for (const TXMLTreeNode* n = tree.GetFirstNode(); n != nullptr; n = n->GetNext())
        lines += (lines.empty() ? "" : "|") + std::string(3 * n->GetLevel(), ' ') + n->GetText();
      return lines;
    };
    QVERIFY(treeLines(core.CEXSourceTree()).find("|   <ep2:TrmID>") != std::string::npos);
    const std::pair<int, std::string> fileRows[] = {
        {0, treeLines(core.CEXSourceTree())}, {3, treeLines(core.CEXReferenceTree())}, {4, memo3}};
    std::string initialDir = home_->file("elsewhere/");
    for (const auto& [item, expected] : fileRows) {
      dialogs_.saveAs = home_->file("out/view" + std::to_string(item) + ".txt");
      QCOMPARE(Select(item, [&] { toFile->trigger(); }), QString("Print to File Selection"));
      QCOMPARE(dialogs_.saveDialog.title, std::string("Print to File"));
      QCOMPARE(dialogs_.saveDialog.defaultExt, std::string("txt"));
      QCOMPARE(dialogs_.saveDialog.initialDir, initialDir);
      initialDir = home_->file("out/");
      QCOMPARE(config.CFGGetDirPrintToFile(), initialDir);
      int status = -1;
      const std::string lines = test::RunCommand(
          std::string(KAL_PYTHON) + " '" + home_->file("lines.py") + "' '" + dialogs_.saveAs + "'",
          "", &status);
      QCOMPARE(status, 0);
      QVERIFY2(lines == expected + "\n", (lines + " <> " + expected).c_str());
    }
    // A cancelled selection asks for no file; a cancelled save dialog or a
    // folder that is not there writes none, the latter saying why.
    dialogs_.saveDialog = {};
    QCOMPARE(Select(-1, [&] { toFile->trigger(); }), QString("Print to File Selection"));
    QVERIFY(dialogs_.saveDialog.title.empty());
    dialogs_.saveAs.clear();
    QCOMPARE(Select(0, [&] { toFile->trigger(); }), QString("Print to File Selection"));
    QVERIFY(dialogs_.messages.empty());
    dialogs_.saveAs = home_->file("missing/view.txt");
    QCOMPARE(Select(0, [&] { toFile->trigger(); }), QString("Print to File Selection"));
    QCOMPARE(dialogs_.messages, std::vector<std::string>{"Can not write file " + dialogs_.saveAs +
                                                         ": No such file or directory"});
    QCOMPARE(std::distance(std::filesystem::directory_iterator(home_->file("out")),
                           std::filesystem::directory_iterator()),
             3);
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestMainFormPrint)
#include "TestMainFormPrint.moc"
