#include "support/ui/RowEditGrid.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QSignalSpy>
#include <QTest>

namespace kal {

class TestRowEditGrid : public QObject {
  Q_OBJECT

 private:
  // A grid with a heading row and column; data row r holds "r<r>".
  void Fill(TRowEditGrid& grid, int rows) {
    grid.SetColCount(3);
    grid.SetRowCount(rows);
    grid.SetFixedRows(1);
    grid.SetFixedCols(1);
    for (int r = 1; r < rows; ++r) grid.SetCell(1, r, "r" + std::to_string(r));
    grid.resize(400, 400);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
  }
  static QString Column1(const TRowEditGrid& grid) {
    QStringList cells;
    for (int r = 1; r < grid.RowCount(); ++r)
      cells << (grid.Cell(1, r).empty() ? "-" : QString::fromStdString(grid.Cell(1, r)));
    return cells.join(' ');
  }
  static QPoint CellCentre(TRowEditGrid& grid, int col, int row) {
    return grid.visualRect(grid.model()->index(row, col)).center();
  }

 private slots:
  void DraggingOverTheFixedColumnSelectsWholeRows() {
    TRowEditGrid grid;
    Fill(grid, 6);
    QWidget* view = grid.viewport();
    QTest::mousePress(view, Qt::LeftButton, {}, CellCentre(grid, 0, 2));
    QMouseEvent move(QEvent::MouseMove, CellCentre(grid, 0, 4),
                     view->mapToGlobal(CellCentre(grid, 0, 4)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(view, &move);
    QTest::mouseRelease(view, Qt::LeftButton, {}, CellCentre(grid, 0, 4));
    QCOMPARE(grid.SelectedFirst(), 2);
    QCOMPARE(grid.SelectedLast(), 4);
    QVERIFY(grid.item(3, 2)->isSelected());
    // Fixed cells are never edited.
    QVERIFY(!(grid.item(2, 0)->flags() & Qt::ItemIsEditable));
    QVERIFY(grid.item(2, 1)->flags() & Qt::ItemIsEditable);

    // A click into a data cell ends the row selection.
    QTest::mouseClick(view, Qt::LeftButton, {}, CellCentre(grid, 2, 1));
    QCOMPARE(grid.SelectedFirst(), -1);
  }

  void CopyCutPasteDeleteInsertAppend() {
    TRowEditGrid grid;
    Fill(grid, 6);
    grid.SetMinRows(4);
    QStringList messages;
    grid.SetMessageSink([&messages](const QString& text) { messages << text; });
    QSignalSpy edited(&grid, &TRowEditGrid::rowsEdited);

    for (auto command : {TRowEditGrid::Copy, TRowEditGrid::Cut, TRowEditGrid::Delete})
      grid.Execute(command);
    QCOMPARE(messages, QStringList(3, "Select row(s) first"));
    QCOMPARE(edited.count(), 0);
    QCOMPARE(grid.CommandAction(TRowEditGrid::Paste)->text(), QString("Paste row(s)"));

    grid.SetCell(2, 2, "x");
    grid.SelectRows(2, 3);
    grid.Execute(TRowEditGrid::Copy);
    QCOMPARE(QApplication::clipboard()->text(), QString("\tr2\tx\r\n\tr3\t\r\n"));
    grid.Execute(TRowEditGrid::Cut);
    QCOMPARE(Column1(grid), QString("r1 r4 r5"));
    grid.setCurrentCell(3, 1);
    grid.Execute(TRowEditGrid::Paste);
    QCOMPARE(Column1(grid), QString("r1 r4 r2 r3"));
    QCOMPARE(grid.Cell(2, 3), "x");

    grid.setCurrentCell(1, 1);
    grid.Execute(TRowEditGrid::Insert);
    QCOMPARE(Column1(grid), QString("- r1 r4 r2 r3"));
    grid.Execute(TRowEditGrid::Append);
    QCOMPARE(Column1(grid), QString("- r1 r4 r2 r3 -"));
    grid.SelectRows(1, 6);
    grid.Execute(TRowEditGrid::Delete);
    QCOMPARE(Column1(grid), QString("- - -"));  // down to the minimum rows
    QCOMPARE(edited.count(), 6);
    QCOMPARE(messages.size(), 3);
  }

  void DraggingSelectedRowsMovesThem() {
    TRowEditGrid grid;
    Fill(grid, 6);
    grid.SelectRows(1, 2);
    QWidget* view = grid.viewport();
    QTest::mousePress(view, Qt::LeftButton, {}, CellCentre(grid, 0, 1));
    QTest::mouseRelease(view, Qt::LeftButton, {}, CellCentre(grid, 1, 4));
    QCOMPARE(Column1(grid), QString("r3 r4 r1 r2 r5"));
    QCOMPARE(grid.SelectedFirst(), 3);
    QCOMPARE(grid.SelectedLast(), 4);
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestRowEditGrid)
#include "TestRowEditGrid.moc"
