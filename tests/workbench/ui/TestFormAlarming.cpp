#include "workbench/ui/FormAlarming.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "common/TestSupport.h"
#include "config/AliasList.h"
#include "config/Config.h"
#include "support/ui/RowEditGrid.h"
#include "workbench/ui/MainForm.h"
#include "workbench/ui/MessageDialogs.h"

namespace kal {

using Lines = std::vector<std::string>;

class TestFormAlarming : public QObject {
  Q_OBJECT

 private:
  static Lines Row(const TRowEditGrid& grid, int row) {
    Lines cells;
    for (int c = 1; c < grid.ColCount(); ++c) cells.push_back(grid.Cell(c, row));
    return cells;
  }
  static void SetRow(TRowEditGrid& grid, int row, const Lines& cells) {
    for (size_t c = 0; c < cells.size(); ++c) grid.SetCell(static_cast<int>(c) + 1, row, cells[c]);
  }

 private slots:
  void OkStoresTheFileWithItsAliasAndRulesFromEveryFilledRow() {
    test::TempDir home;
    const std::string logs = home.file("logs/");
    test::WriteFile(home.file("config.ini"),
                    "[Communication]\r\nCommType=0\r\nThisComputerClientServer=0\r\n"
                    "[Alarm]\r\nAlarmLogFileName=%AL%alarm.txt\r\n"
                    "[ErrorAlarms]\r\nErrorAlarm1=3;60;first\r\nErrorAlarm2=1;5;b;c\r\n");
    test::WriteFile(home.file("alias.ini"), "%AL%\t" + logs + "\t2\r\n");
    test::MessageDialogs dialogs;
    TForm1::TParts parts;
    parts.programDir = home.path();
    parts.dialogs = &dialogs;
    TForm1 form(std::move(parts));
    form.show();
    QTest::qWait(1);  // the first activation reads the alarm sections
    TCFGConfig& config = form.CEXCore().CEXConfiguration();
    QCOMPARE(config.CFGGetErrorAlarmLines(), (Lines{"3;60;first", "1;5;b;c"}));

    TForm20 dialog(form.CEXServices(), dialogs);
    dialog.show();
    auto* edit = dialog.findChild<QLineEdit*>("Edit1");
    QCOMPARE(edit->text().toStdString(), logs + "alarm.txt");
    TRowEditGrid& errors = dialog.ErrorGrid();
    QCOMPARE(errors.RowCount(), TForm20::cMinRows + 1);
    QCOMPARE(Row(errors, 1), (Lines{"3", "60", "first"}));
    QCOMPARE(Row(errors, 2), (Lines{"1", "5", "b;c"}));

    SetRow(errors, 2, {"", "", ""});  // an empty row between rules
    SetRow(errors, 3, {"4", "20", "after the gap"});
    SetRow(dialog.TimeGrid(), 1, {"2000", "2", "60", "slow at $TIME"});
    edit->setText(QString::fromStdString(logs + "other.txt"));
    dialog.findChild<QPushButton*>("Ok")->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(config.CFGGetAlarmLogFileName(), std::string("%AL%other.txt"));

    QCOMPARE(config.CFGWriteIniFile(home.file("out.ini")), 0);
    const auto v = test::ReadIniWithConfigparser(test::ReadFile(home.file("out.ini")));
    QCOMPARE(v.at({"Alarm", "AlarmLogFileName"}), std::string("%AL%other.txt"));
    QCOMPARE(v.at({"ErrorAlarms", "ErrorAlarm1"}), std::string("3;60;first"));
    QCOMPARE(v.at({"ErrorAlarms", "ErrorAlarm2"}), std::string("4;20;after the gap"));
    QVERIFY(!v.count({"ErrorAlarms", "ErrorAlarm3"}));
    QCOMPARE(v.at({"ExecutionTimeAlarms", "ExecutionTimeAlarm1"}),
             std::string("2000;2;60;slow at $TIME"));
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestFormAlarming)
#include "TestFormAlarming.moc"
