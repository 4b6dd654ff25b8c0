#include "workbench/ui/FormAUSAdminUsers.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "config/Config.h"
#include "support/TraceLogger.h"
#include "support/ui/FieldWidths.h"
#include "support/ui/RowEditGrid.h"

namespace kal {

namespace {

// The attribute items: the first character is the letter written to the grid.
constexpr const char* kAttributes[] = {"A Administrator"};

}  // namespace

TForm18::TForm18(std::string fileName, TTDBDebug* trace, QWidget* parent) : QDialog(parent) {
  setObjectName("TForm18");
  setWindowTitle("User Administrator");
  if (trace != nullptr) trace->TDBSimpleAddString("TForm18");

  CheckBox1_ = new QCheckBox("Activate Login", this);
  CheckBox1_->setObjectName("CheckBox1");
  StringGrid1_ = new TRowEditGrid(this);
  StringGrid1_->setObjectName("StringGrid1");
  StringGrid1_->SetMinRows(TAUSUserAdmin::AUScMinRows);
  StringGrid1_->SetMessageSink([this](const QString& text) { Message(text); });
  CheckListBox1_ = new QListWidget(this);
  CheckListBox1_->setObjectName("CheckListBox1");
  for (const char* caption : kAttributes) {
    auto* item = new QListWidgetItem(caption, CheckListBox1_);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Unchecked);
  }
  auto* ok = new QPushButton("Ok", this);
  ok->setObjectName("Ok");
  ok->setDefault(true);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("Cancel");

  auto* middle = new QHBoxLayout;
  middle->addWidget(StringGrid1_, 1);
  middle->addWidget(CheckListBox1_);
  // As wide as its widest item, no wider.
  CheckListBox1_->setMaximumWidth(FLWFitItems(*CheckListBox1_));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(CheckBox1_);
  layout->addLayout(middle, 1);
  layout->addLayout(buttons);
  resize(560, 380);

  admin_ = std::make_unique<TAUSUserAdmin>(*StringGrid1_, std::move(fileName), trace);
  admin_->AUSSetupGrid();
  if (trace != nullptr) trace->TDBSimpleAddString(" AUSLoadConfigData ");
  admin_->AUSLoadConfigData();
  if (trace != nullptr) trace->TDBSimpleAddString(" AUSLoadConfigData Ended");
  ShowChecks(admin_->AUSGrid().Cell(TAUSUserAdmin::AUScColAttrib, 1));

  connect(ok, &QPushButton::clicked, this, &TForm18::OkClick);
  connect(cancel, &QPushButton::clicked, this, &TForm18::CancelClick);
  connect(CheckBox1_, &QCheckBox::clicked, this, [this] { admin_->AUSbHasChanged = true; });
  connect(StringGrid1_, &TRowEditGrid::rowsEdited, this, [this] { admin_->AUSbHasChanged = true; });
  connect(StringGrid1_, &QTableWidget::itemChanged, this,
          [this] { admin_->AUSbHasChanged = true; });
  connect(CheckListBox1_, &QListWidget::itemChanged, this, &TForm18::ChecksChanged);
  connect(StringGrid1_, &QTableWidget::currentCellChanged, this,
          [this](int row, int col, int previousRow, int previousCol) {
            // Attributes are set through the checks only.
            if (col == TAUSUserAdmin::AUScColAttrib) {
              const int back = previousCol >= 0 && previousCol != col
                                   ? previousCol
                                   : TAUSUserAdmin::AUScColPassword;
              QMetaObject::invokeMethod(
                  this, [this, row, back] { StringGrid1_->setCurrentCell(row, back); },
                  Qt::QueuedConnection);
            }
            if (row != previousRow && row >= 0) ShowChecks(admin_->AUSRowSelected(row));
          });
}

TForm18::~TForm18() = default;

void TForm18::showEvent(QShowEvent* event) {
  if (config_ != nullptr) CheckBox1_->setChecked(config_->CFGGetUseLogin() > 0);
  QDialog::showEvent(event);
}

void TForm18::ShowChecks(const std::string& attributes) {
  showingChecks_ = true;
  for (int i = 0; i < CheckListBox1_->count(); ++i) {
    QListWidgetItem* item = CheckListBox1_->item(i);
    const char letter = item->text().toStdString().front();
    item->setCheckState(attributes.find(letter) != std::string::npos ? Qt::Checked : Qt::Unchecked);
  }
  showingChecks_ = false;
}

void TForm18::ChecksChanged(QListWidgetItem*) {
  if (showingChecks_) return;
  std::string letters;
  for (int i = 0; i < CheckListBox1_->count(); ++i) {
    QListWidgetItem* item = CheckListBox1_->item(i);
    if (item->checkState() == Qt::Checked) letters += item->text().toStdString().front();
  }
  admin_->AUSSetAttributes(StringGrid1_->currentRow(), letters);
}

void TForm18::OkClick() {
  if (admin_->AUSbHasChanged) {
    std::string message;
    if (admin_->AUSSaveConfigData(CheckBox1_->isChecked(), message) != TAUSUserAdmin::AUScOk) {
      Message(QString::fromStdString(message));
      return;
    }
    if (config_ != nullptr) config_->CFGSetUseLogin(CheckBox1_->isChecked() ? 1 : 0);
  }
  admin_->AUSbHasChanged = false;
  accept();
}

void TForm18::CancelClick() {
  admin_->AUSbHasChanged = false;
  reject();
}

void TForm18::Message(const QString& text) {
  if (message_)
    message_(text);
  else
    QMessageBox::warning(this, windowTitle(), text);
}

}  // namespace kal
