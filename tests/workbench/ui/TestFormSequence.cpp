#include "workbench/ui/FormSequence.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QPrinter>
#include <QPushButton>
#include <QTest>

#include "common/TestSupport.h"
#include "config/Config.h"
#include "support/ui/RowEditGrid.h"
#include "workbench/ui/MainForm.h"
#include "workbench/ui/MessageDialogs.h"

namespace kal {

namespace {

using Lines = std::vector<std::string>;

}  // namespace

class TestFormSequence : public QObject {
  Q_OBJECT

 private:
  // The main window with its own sequence window, shown and activated.
  std::unique_ptr<TForm1> Make(std::vector<std::string> args = {}, ICEXLogin* login = nullptr) {
    TForm1::TParts parts;
    parts.programDir = home_->path();
    parts.args = std::move(args);
    parts.dialogs = &dialogs_;
    parts.login = login;
    auto form = std::make_unique<TForm1>(std::move(parts));
    form->show();
    QTest::qWait(1);  // the first activation
    return form;
  }
  static TForm14* Window() {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* f = qobject_cast<TForm14*>(w)) return f;
    qWarning("no TForm14");
    return nullptr;
  }
  static Lines Column1(const TRowEditGrid& grid) {
    Lines cells;
    for (int r = 1; r < grid.RowCount(); ++r) cells.push_back(grid.Cell(1, r));
    return cells;
  }
  // Rows 1.. of column 1, up to the last that is not empty.
  static Lines Filled(const TRowEditGrid& grid) {
    Lines cells = Column1(grid);
    while (!cells.empty() && cells.back().empty()) cells.pop_back();
    return cells;
  }
  static void ExpectShape(const TRowEditGrid& grid) {
    QVERIFY(grid.RowCount() >= SEQcMinRows);
    for (int c = 1; c < SEQcColAttrib; ++c) QCOMPARE(grid.Cell(c, grid.RowCount() - 1), "");
  }
  static QPoint CellPoint(TRowEditGrid& grid, int col, int row) {
    return grid.visualRect(grid.model()->index(row, col)).center();
  }
  // Presses on the fixed cell of `from` and releases on row `to`.
  static void Drag(TRowEditGrid& grid, int from, int to) {
    QTest::mousePress(grid.viewport(), Qt::LeftButton, {}, CellPoint(grid, 0, from));
    QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, CellPoint(grid, 0, to));
  }

  std::unique_ptr<test::TempDir> home_;
  test::MessageDialogs dialogs_;

 private slots:
  void init() {
    home_ = std::make_unique<test::TempDir>();
    test::WriteFile(home_->file("config.ini"),
                    "[Communication]\r\nCommType=0\r\nThisComputerClientServer=0\r\n");
    dialogs_ = test::MessageDialogs();
  }

  void RowCommandsEditTheTableKeepingTenRowsAndAnEmptyLastRow() {
    auto form = Make();
    TForm14* window = Window();
    window->show();
    TRowEditGrid& grid = window->SEQGridWidget();
    for (int r = 1; r <= 5; ++r) grid.SetCell(1, r, std::string(1, static_cast<char>('a' + r - 1)));
    grid.SetCell(SEQcColAttrib, 2, "G");
    const auto run = [&](TRowEditGrid::TCommand c) { grid.CommandAction(c)->trigger(); };

    for (auto c : {TRowEditGrid::Cut, TRowEditGrid::Copy, TRowEditGrid::Delete}) run(c);
    QCOMPARE(dialogs_.messages, Lines(3, "Select row(s) first"));
    QCOMPARE(Filled(grid), (Lines{"a", "b", "c", "d", "e"}));

    grid.SelectRows(2, 2);
    run(TRowEditGrid::Copy);
    QCOMPARE(QApplication::clipboard()->text(), QString("b\t\t\t\t\t\tG\r\n"));
    grid.SelectRows(1, 1);
    run(TRowEditGrid::Cut);
    QCOMPARE(Filled(grid), (Lines{"b", "c", "d", "e"}));
    grid.setCurrentCell(2, 1);
    run(TRowEditGrid::Paste);
    QCOMPARE(Filled(grid), (Lines{"b", "a", "c", "d", "e"}));
    // A long last piece without terminator is pasted whole, as its own row.
    const std::string longPiece(300, 'L');
    QApplication::clipboard()->setText(QString::fromStdString(longPiece));
    grid.setCurrentCell(1, 1);
    run(TRowEditGrid::Paste);
    QCOMPARE(Filled(grid), (Lines{longPiece, "b", "a", "c", "d", "e"}));
    QCOMPARE(grid.Cell(SEQcColAttrib, 2), "G");
    ExpectShape(grid);

    // Drags: a block lands directly above the row it is dropped on.
    grid.SelectRows(-1, -1);
    Drag(grid, 2, 2);  // selects row 2 ("b")
    Drag(grid, 2, 5);  // dropped on "d": down
    QCOMPARE(Filled(grid), (Lines{longPiece, "a", "c", "b", "d", "e"}));
    grid.SelectRows(5, 6);
    Drag(grid, 5, 1);  // "d", "e" dropped on the first row: up
    QCOMPARE(Filled(grid), (Lines{"d", "e", longPiece, "a", "c", "b"}));

    grid.setCurrentCell(2, 1);
    run(TRowEditGrid::Insert);
    QCOMPARE(Filled(grid), (Lines{"d", "", "e", longPiece, "a", "c", "b"}));
    const int rows = grid.RowCount();
    run(TRowEditGrid::Append);
    QCOMPARE(grid.RowCount(), rows + 1);
    grid.SelectRows(1, grid.RowCount() - 1);
    run(TRowEditGrid::Delete);
    QCOMPARE(grid.RowCount(), SEQcMinRows);
    QVERIFY(Filled(grid).empty());
    ExpectShape(grid);
    window->hide();
  }

  void ANonAdministratorGetsAReadOnlyTable() {
    test::WriteFile(home_->file("config.ini"),
                    "[Communication]\r\nCommType=0\r\nThisComputerClientServer=0\r\n"
                    "[Admin]\r\nUseLogin=1\r\n");
    test::PlainUserLogin login;
    auto form = Make({}, &login);
    QVERIFY(!form->CEXCore().CEXUserIsAdmin());
    TForm14* window = Window();
    window->show();
    TRowEditGrid& grid = window->SEQGridWidget();
    grid.SetCell(1, 1, "a");
    grid.SetCell(1, 2, "b");
    QCOMPARE(grid.editTriggers(), QAbstractItemView::NoEditTriggers);
    grid.SelectRows(1, 1);
    grid.CommandAction(TRowEditGrid::Delete)->trigger();
    Drag(grid, 1, 1);
    Drag(grid, 1, 3);
    QCOMPARE(Filled(grid), (Lines{"a", "b"}));
    window->hide();
  }

  void PrintSequenceWritesTheCellsShortenedWhereCut() {
    auto form = Make();
    TForm14* window = Window();
    TRowEditGrid& grid = window->SEQGridWidget();
    grid.SetCell(1, 1, "one.epm");
    grid.SetCell(2, 1, "reply.epm");
    grid.SetCell(5, 1, "10.0.0.1");
    grid.SetCell(1, 2, "second" + std::string(200, 'x') + "END");
    const std::string pdf = home_->file("sequence.pdf");
    window->SEQSetPrinterChooser([&](QPrinter& printer) {
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(QString::fromStdString(pdf));
      return true;
    });
    window->SEQPrintSequence();
    const std::string text = test::RunCommand("pdftotext -layout '" + pdf + "' -", "");
    for (const char* cell :
         {"Client message", "Attrib", "one.epm", "reply.epm", "10.0.0.1", "..", "END"})
      QVERIFY2(text.find(cell) != std::string::npos, cell);
    QVERIFY(text.find(std::string(200, 'x')) == std::string::npos);
  }

  void CommandLineAndRecentFilesOpenTheWindowAndErrorsReachItWhileItShows() {
    const std::string seq = home_->file("start.seq");
    test::WriteFile(seq, "start.epm\t\t\t\t\t\tG\r\n");
    auto form = Make({"-s", seq});
    TForm14* window = Window();
    QVERIFY(window->isVisible());
    QVERIFY2(!form->isEnabled(), "the main window waits while the window shows");
    QCOMPARE(window->SEQGridWidget().Cell(1, 1), "start.epm");
    TCEXMainWindow& core = form->CEXCore();
    QVERIFY(core.CEXLogError(7004, "while shown", false));
    window->findChild<QPushButton*>("Cancel")->click();
    QVERIFY(!window->isVisible());
    QVERIFY(form->isEnabled());
    QVERIFY(!core.CEXLogError(7004, "while hidden", false));

    const std::string other = home_->file("other.seq");
    test::WriteFile(other, "other.epm\r\n");
    core.CEXConfiguration().CFGAddPickFileSeq(other);
    core.SynchMenuItems();
    const TCEXRecentEntry* entry = nullptr;
    for (const TCEXRecentEntry& e : core.CEXRecentEntries())
      if (e.menu == TCEXMenu::Sequences && e.path == other) entry = &e;
    QVERIFY(entry != nullptr);
    core.CEXOpenRecentFile(*entry);
    QVERIFY(window->isVisible());
    QCOMPARE(window->SEQGridWidget().Cell(1, 1), "other.epm");

    // "Delimitor" and "Permanent run" alone are stored by "Ok".
    window->findChild<QComboBox*>("Delimitor")->setCurrentIndex(4);
    window->findChild<QCheckBox*>("PermanentRun")->setChecked(true);
    window->findChild<QPushButton*>("Ok")->click();
    QCOMPARE(core.CEXConfiguration().CFGGetSequenceLogDelimitor(), 4);
    QCOMPARE(core.CEXConfiguration().CFGGetPermanentRun(), 1);
    // "Recording Directory" comes from the directory dialog.
    window->show();
    dialogs_.directory = home_->file("records/");
    window->findChild<QPushButton*>("RecordingDirectoryButton")->click();
    window->findChild<QPushButton*>("Ok")->click();
    QCOMPARE(core.CEXConfiguration().CFGGetDirRecord(), home_->file("records/"));
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestFormSequence)
#include "TestFormSequence.moc"
