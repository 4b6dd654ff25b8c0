// "Format XML Document": formatting and refusing through the window, the
// caret position in the status bar, and printing the memo to PDF read back
// with poppler's pdftotext.

#include "tools/ui/FormFormatXml.h"

#include <QAction>
#include <QPrinter>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <filesystem>

#include "common/TestSupport.h"
#include "support/StringUnit.h"
#include "workbench/ui/MainForm.h"
#include "workbench/ui/MainFormHome.h"
#include "workbench/ui/MessageDialogs.h"

namespace kal {

class TestFormFormatXml : public QObject {
  Q_OBJECT

 private:
  TToolPrintMemo* Memo() { return form_->findChild<TToolPrintMemo*>("Memo1"); }
  QString Status() { return form_->findChild<QStatusBar*>("StatusBar1")->currentMessage(); }

  std::unique_ptr<test::TempDir> home_;
  test::MessageDialogs dialogs_;
  std::unique_ptr<TForm1> main_;
  std::unique_ptr<TForm24> form_;
  QStringList messages_;

 private slots:
  void initTestCase() {
    home_ = std::make_unique<test::TempDir>();
    main_ = test::MakeMainForm(*home_, dialogs_);
  }
  void init() {
    form_ = std::make_unique<TForm24>(main_->CEXServices());
    form_->SetMessageSink([this](const QString& text) { messages_ << text; });
    messages_.clear();
    form_->show();
  }
  void cleanup() { form_.reset(); }
  void cleanupTestCase() { main_.reset(); }

  void FormatsOrShowsTheParserMessageAndKeepsTheMemo() {
    Memo()->setPlainText("received: <ep2 v=\"1\"><a>1</a><b/></ep2>");
    form_->findChild<QPushButton*>("FormatXML")->click();
    QVERIFY(messages_.isEmpty());
    const QString formatted = Memo()->toPlainText();
    QVERIFY(formatted.startsWith("<"));
    QVERIFY(formatted.contains("<a>1</a>"));

    const QString broken = "<ep2><a>1</b></ep2>";
    Memo()->setPlainText(broken);
    form_->FormatXml();
    QCOMPARE(messages_.size(), 1);
    QVERIFY(messages_[0].startsWith("line 1: "));
    QCOMPARE(Memo()->toPlainText(), broken);
  }

  void ClicksAndKeysShowTheCaretLineAndColumn() {
    Memo()->setPlainText("<a>\n  <b/>\n</a>");
    QTextCursor cursor = Memo()->textCursor();
    cursor.setPosition(6);  // line 2, before "<b/>"
    Memo()->setTextCursor(cursor);
    QTest::keyClick(Memo(), Qt::Key_Right);
    QCOMPARE(Status(), QString("Line 2 Column 4"));

    cursor.setPosition(14);  // line 3, behind "</a"
    const QPoint at = Memo()->cursorRect(cursor).center();
    QTest::mouseClick(Memo()->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(Status(), QString("Line 3 Column 4"));
  }

  void PrintsTheMemoToPdfOnlyWhenThePrinterIsChosen() {
    QString memo;
    for (int i = 1; i <= 80; ++i) memo += QString("<Item n=\"%1\">value %1</Item>\n").arg(i);
    Memo()->setPlainText(memo);
    const std::string pdf = home_->file("memo.pdf");
    std::vector<bool> asked;
    bool confirm = false;
    form_->SetPrinterChoice([&](QPrinter& printer, bool setup) {
      asked.push_back(setup);
      if (!confirm) return false;
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(QString::fromStdString(pdf));
      return true;
    });
    form_->findChild<QPushButton*>("PrintDialog")->click();  // set-up cancelled
    QVERIFY(!std::filesystem::exists(pdf));
    confirm = true;
    Memo()->PrintAction()->trigger();
    QCOMPARE(asked, (std::vector<bool>{true, false}));

    int status = -1;
    const std::string text = test::RunCommand("pdftotext -layout '" + pdf + "' -", "", &status);
    QCOMPARE(status, 0);
    std::vector<std::string> printed;
    for (const std::string& line : test::SplitLines(text)) {
      const std::string trimmed = STRTrim(line);  // page feeds and layout blanks
      if (!trimmed.empty()) printed.push_back(trimmed);
    }
    std::vector<std::string> expected = test::SplitLines(memo.toStdString());
    QCOMPARE(printed, expected);
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestFormFormatXml)
#include "TestFormFormatXml.moc"
