#include <QApplication>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <cctype>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "support/StringGrid.h"
#include "support/ui/FormPrintSelection.h"
#include "support/ui/PrintCanvas.h"

namespace kal {

namespace {

class VectorTree final : public IPRSTreeReader {
 public:
  std::vector<std::pair<int, std::string>> nodes;
  void PRSForEachNode(const std::function<void(int, const std::string&)>& visit) const override {
    for (const auto& [level, text] : nodes) visit(level, text);
  }
};

// Text of a PDF as pdftotext lays it out, and its page count from pdfinfo.
std::string PdfText(const std::string& file) {
  return test::RunCommand("pdftotext -layout '" + file + "' -", "");
}

int PdfPages(const std::string& file) {
  const std::string info = test::RunCommand("pdfinfo '" + file + "'", "");
  const size_t at = info.find("Pages:");
  return at == std::string::npos ? -1 : std::stoi(info.substr(at + 6));
}

// Each of `parts` appears in `text`, in this order.
bool InOrder(const std::string& text, const std::vector<std::string>& parts, std::string& missing) {
  size_t at = 0;
  for (const auto& p : parts) {
    const size_t found = text.find(p, at);
    if (found == std::string::npos) {
      missing = p;
      return false;
    }
    at = found + p.size();
  }
  return true;
}

void PdfPrinter(QPrinter& printer, const std::string& file) {
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(file));
}

}  // namespace

class TestPrintForm : public QObject {
  Q_OBJECT

 private slots:
  void TreesMemosAndGridsPrintToPdfInOrderOverSeveralPages() {
    test::TempDir dir;
    std::string missing;

    VectorTree tree;
    std::vector<std::string> nodeTexts;
    for (int i = 0; i < 150; ++i) {
      nodeTexts.push_back("Node" + std::to_string(1000 + i));
      tree.nodes.push_back({i % 5, nodeTexts.back()});
    }
    QPrinter treePrinter(QPrinter::HighResolution);
    PdfPrinter(treePrinter, dir.file("tree.pdf"));
    const int treePages = PRSPrintTreeView(treePrinter, tree);
    QVERIFY(treePages >= 2);
    QCOMPARE(PdfPages(dir.file("tree.pdf")), treePages);
    QVERIFY2(InOrder(PdfText(dir.file("tree.pdf")), nodeTexts, missing), missing.c_str());

    // A memo with lines far wider than the page: they continue on the
    // following print lines, broken anywhere, so the words are found in the
    // text without its blanks and line ends.
    std::string memo;
    std::vector<std::string> words;
    for (int i = 0; i < 400; ++i) {
      words.push_back("w" + std::to_string(10000 + i));
      memo += words.back() + (i % 100 == 99 ? "\n" : " ");
    }
    QPrinter memoPrinter(QPrinter::HighResolution);
    PdfPrinter(memoPrinter, dir.file("memo.pdf"));
    const int memoPages = PRSPrintMemoField(memoPrinter, memo);
    QCOMPARE(PdfPages(dir.file("memo.pdf")), memoPages);
    std::string memoText = PdfText(dir.file("memo.pdf"));
    std::erase_if(memoText, [](char c) { return std::isspace(static_cast<unsigned char>(c)); });
    QVERIFY2(InOrder(memoText, words, missing), missing.c_str());
    QVERIFY(PdfText(dir.file("memo.pdf")).find("w10099\n") != std::string::npos);

    TStringGrid grid(3, 120, 0, 1);
    grid.SetCell(0, 0, "Row");
    grid.SetCell(1, 0, "Message");
    grid.SetCell(2, 0, "Comment");
    std::vector<std::string> cells = {"Row", "Message", "Comment"};
    for (int r = 1; r < 120; ++r) {
      grid.SetCell(0, r, std::to_string(r));
      grid.SetCell(1, r, "msg" + std::to_string(r) + ".epm");
      cells.push_back(std::to_string(r));
      cells.push_back("msg" + std::to_string(r) + ".epm");
    }
    grid.SetCell(2, 7, "StartOfAVeryLongCommentThatCannotFitIntoItsNarrowColumnEndOfComment");
    QPrinter gridPrinter(QPrinter::HighResolution);
    PdfPrinter(gridPrinter, dir.file("grid.pdf"));
    const int gridPages = PRSPrintStringGrid(gridPrinter, grid, {10, 60, 30});
    QVERIFY(gridPages >= 2);
    QCOMPARE(PdfPages(dir.file("grid.pdf")), gridPages);
    const std::string gridText = PdfText(dir.file("grid.pdf"));
    QVERIFY2(InOrder(gridText, cells, missing), missing.c_str());
    QVERIFY(gridText.find("StartOfAVery") == std::string::npos);
    QVERIFY2(InOrder(gridText, {"msg7.epm", "..", "EndOfComment", "msg8.epm"}, missing),
             missing.c_str());
  }

  void WithoutPrintersPrintingGoesToThePickedPdfFile() {
    if (!QPrinterInfo::availablePrinterNames().isEmpty()) QSKIP("this machine has printers");
    QPrinter printer(QPrinter::HighResolution);
    QVERIFY(!PRSChoosePrinter(printer, nullptr, [] { return QString(); }));
    // A name without an extension gets ".pdf"; one with an extension is kept.
    const std::pair<const char*, const char*> names[] = {
        {"/tmp/picked.pdf", "/tmp/picked.pdf"},
        {"/tmp/picked", "/tmp/picked.pdf"},
        {"/tmp/run.2/picked", "/tmp/run.2/picked.pdf"}};
    for (const auto& [picked, used] : names) {
      QVERIFY(PRSChoosePrinter(printer, nullptr, [picked] { return QString(picked); }));
      QCOMPARE(printer.outputFormat(), QPrinter::PdfFormat);
      QCOMPARE(printer.outputFileName(), QString(used));
    }
  }

  void OkStoresTheChoiceCancelReturnsMinusOneAndKeepsIt() {
    TForm2 form;
    QCOMPARE(form.windowTitle(), QString("Printout Selection"));
    QCOMPARE(form.PRSiPrintSelection, 0);
    QCOMPARE(form.findChild<QRadioButton*>("RadioItem3")->text(),
             QString("Received Message: Reference Structure"));
    auto answer = [&](const char* item, const char* button) {
      QTimer::singleShot(0, &form, [&form, item, button] {
        form.findChild<QRadioButton*>(item)->click();
        form.findChild<QPushButton*>(button)->click();
      });
      return form.exec();
    };
    QCOMPARE(answer("RadioItem3", "Ok"), 1);
    QCOMPARE(form.PRSiPrintSelection, 3);
    QCOMPARE(answer("RadioItem6", "Cancel"), -1);
    QCOMPARE(form.PRSiPrintSelection, 3);
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestPrintForm)
#include "TestPrintForm.moc"
