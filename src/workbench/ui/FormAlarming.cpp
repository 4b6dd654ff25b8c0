#include "workbench/ui/FormAlarming.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "config/AliasList.h"
#include "config/Config.h"
#include "support/ui/RowEditGrid.h"
#include "workbench/MainServices.h"

namespace kal {

namespace {

TRowEditGrid* RuleGrid(const char* name, std::initializer_list<const char*> headers) {
  auto* grid = new TRowEditGrid;
  grid->setObjectName(name);
  grid->SetColCount(static_cast<int>(headers.size()) + 1);
  grid->SetRowCount(TForm20::cMinRows + 1);
  grid->SetFixedRows(1);
  grid->SetFixedCols(1);
  grid->SetMinRows(TForm20::cMinRows + 1);
  int c = 1;
  for (const char* h : headers) grid->SetCell(c++, 0, h);
  grid->setColumnWidth(0, 16);  // the narrow selection column
  return grid;
}

// Back to the minimum rows, every cell below the header cleared.
void ResetGrid(TRowEditGrid& grid) {
  grid.SetRowCount(TForm20::cMinRows + 1);
  for (int r = 1; r < grid.RowCount(); ++r)
    for (int c = 0; c < grid.ColCount(); ++c) grid.SetCell(c, r, "");
}

}  // namespace

TForm20::TForm20(ICEXMainServices& main, ICEXDialogs& dialogs, QWidget* parent)
    : QDialog(parent), main_(main), dialogs_(dialogs) {
  setObjectName("TForm20");
  setWindowTitle("Alarming");
  StringGrid1_ = RuleGrid("StringGrid1", {"Number of Errors", "Period [sec]", "Alarm text"});
  StringGrid2_ = RuleGrid(
      "StringGrid2", {"Execution Time [ms]", "Number of Exceeds", "Period [sec]", "Alarm text"});
  Edit1_ = new QLineEdit;
  Edit1_->setObjectName("Edit1");
  auto* pick = new QPushButton("...");
  pick->setObjectName("AlarmLogFileButton");
  connect(pick, &QPushButton::clicked, this, [this] {
    std::string chosen;
    if (dialogs_.CEXOpenFile({"Alarm log file", "", "", Edit1_->text().toStdString(), ""}, chosen))
      Edit1_->setText(QString::fromStdString(chosen));
  });
  auto* ok = new QPushButton("Ok");
  ok->setObjectName("Ok");
  auto* cancel = new QPushButton("Cancel");
  cancel->setObjectName("Cancel");
  connect(ok, &QPushButton::clicked, this, &TForm20::OkClick);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* file = new QHBoxLayout;
  file->addWidget(new QLabel("Alarm log file"));
  file->addWidget(Edit1_, 1);
  file->addWidget(pick);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("Errors"));
  layout->addWidget(StringGrid1_, 1);
  layout->addWidget(new QLabel("Response  Time / Time Constraints"));
  layout->addWidget(StringGrid2_, 1);
  layout->addLayout(file);
  layout->addLayout(buttons);
  resize(640, 480);
}

void TForm20::showEvent(QShowEvent* event) {
  std::string name = main_.CEXConfiguration().CFGGetAlarmLogFileName();
  static_cast<void>(main_.CEXAliasList().ALUFindAlias(false, name));
  Edit1_->setText(QString::fromStdString(name));
  ResetGrid(*StringGrid1_);
  ResetGrid(*StringGrid2_);
  main_.CEXConfiguration().CFGGetErrorAlarms(*StringGrid1_);
  main_.CEXConfiguration().CFGGetExecutionTimeAlarms(*StringGrid2_);
  QDialog::showEvent(event);
}

void TForm20::OkClick() {
  TCFGConfig& config = main_.CEXConfiguration();
  std::string name = Edit1_->text().toStdString();
  static_cast<void>(main_.CEXAliasList().ALUFindAlias(true, name));
  config.CFGSetAlarmLogFileName(name);
  config.CFGSetErrorAlarms(*StringGrid1_);
  config.CFGSetExecutionTimeAlarms(*StringGrid2_);
  accept();
}

}  // namespace kal
