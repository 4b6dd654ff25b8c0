#include "config/ui/FormAlias.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstring>

#include "config/AliasGrid.h"
#include "config/AliasList.h"
#include "config/Config.h"
#include "config/ui/FormSelectDirectory.h"
#include "support/HelpContexts.h"
#include "support/TraceLogger.h"
#include "support/ui/FieldWidths.h"
#include "support/ui/RowEditGrid.h"
#include "support/ui/WindowHelp.h"

namespace kal {

namespace {

constexpr const char* kTwoWays = "2 Two Ways Alias";

}  // namespace

TFormAlias::TFormAlias(TALUAliasList& aliases, const TCFGConfig& config, TTDBDebug* trace,
                       QWidget* parent)
    : QDialog(parent), aliases_(aliases), config_(config), trace_(trace) {
  setObjectName("TFormAlias");
  if (trace != nullptr) trace->TDBSimpleAddString("TFormAlias");
  setWindowTitle("Directory Aliases");
  StringGrid1_ = new TRowEditGrid(this);
  StringGrid1_->setObjectName("StringGrid1");
  StringGrid1_->SetMinRows(ALIcMinRows + 1);
  StringGrid1_->SetMessageSink([this](const QString& text) { Message(text); });
  ALISetupGrid(*StringGrid1_);
  StringGrid1_->installEventFilter(this);
  CheckListBox1_ = new QListWidget(this);
  CheckListBox1_->setObjectName("CheckListBox1");
  auto* item = new QListWidgetItem(kTwoWays, CheckListBox1_);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
  item->setCheckState(Qt::Unchecked);
  // As wide as its widest item, no wider.
  CheckListBox1_->setMaximumWidth(FLWFitItems(*CheckListBox1_));

  auto* browse = new QPushButton("Browse", this);
  browse->setObjectName("Browse");
  auto* ok = new QPushButton("Ok", this);
  ok->setObjectName("Ok");
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("Cancel");
  for (QPushButton* button : {browse, ok, cancel}) button->setAutoDefault(false);
  auto* middle = new QHBoxLayout;
  middle->addWidget(StringGrid1_, 1);
  middle->addWidget(CheckListBox1_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(browse);
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(middle, 1);
  layout->addLayout(buttons);
  resize(640, 380);
  setMinimumSize(layout->minimumSize());

  connect(browse, &QPushButton::clicked, this, &TFormAlias::BrowseClick);
  connect(ok, &QPushButton::clicked, this, &TFormAlias::OkClick);
  connect(cancel, &QPushButton::clicked, this, &TFormAlias::CancelClick);
  connect(CheckListBox1_, &QListWidget::itemChanged, this, &TFormAlias::ChecksChanged);
  connect(StringGrid1_, &TRowEditGrid::rowsEdited, this, [this] {
    changed_ = true;
    ALITrimRows(*StringGrid1_);
  });
  connect(StringGrid1_, &QTableWidget::itemChanged, this, [this] {
    if (!loading_) changed_ = true;
  });
  connect(StringGrid1_, &QTableWidget::currentCellChanged, this,
          [this](int row, int col, int previousRow, int previousCol) {
            // The Attrib column is set through the check list only.
            if (col == ALIcColAttrib) {
              const int back = previousCol >= ALIcColAlias && previousCol != col ? previousCol
                                                                                 : ALIcColDirectory;
              QMetaObject::invokeMethod(
                  this, [this, row, back] { StringGrid1_->setCurrentCell(row, back); },
                  Qt::QueuedConnection);
            }
            if (row == previousRow || row < 1) return;
            // An empty row below the first takes the Attrib of the row above.
            if (row > 1 && StringGrid1_->Cell(ALIcColAlias, row).empty() &&
                StringGrid1_->Cell(ALIcColDirectory, row).empty() &&
                StringGrid1_->Cell(ALIcColAttrib, row).empty()) {
              const std::string above = StringGrid1_->Cell(ALIcColAttrib, row - 1);
              if (!above.empty()) StringGrid1_->SetCell(ALIcColAttrib, row, above);
            }
            ShowChecks(row);
          });
  ALILoadConfigData();
}

TFormAlias::~TFormAlias() = default;

void TFormAlias::ALILoadConfigData() {
  std::vector<TALUAliasRow> rows;
  const int rc = aliases_.ALULoadConfigData(rows);
  if (rc != 0 && trace_ != nullptr)
    trace_->TDBSimpleAddString(std::string(TALUAliasList::ALUcAliasFileName) + ": " +
                               std::strerror(rc));
  loading_ = true;
  ALIRowsToGrid(*StringGrid1_, rows);
  loading_ = false;
  ShowChecks(std::max(StringGrid1_->currentRow(), 1));
}

int TFormAlias::ALISaveConfigData() {
  ALITrimRows(*StringGrid1_);
  const int rc = aliases_.ALUSaveConfigData(ALIGridToRows(*StringGrid1_));
  if (rc != 0) {
    Message(QString::fromStdString(config_.CFGGetProgramDir() + TALUAliasList::ALUcAliasFileName +
                                   ": " + std::strerror(rc)));
    return rc;
  }
  changed_ = false;
  return 0;
}

void TFormAlias::showEvent(QShowEvent* event) {
  ALILoadConfigData();
  changed_ = false;
  QDialog::showEvent(event);
}

bool TFormAlias::eventFilter(QObject* watched, QEvent* event) {
  if (watched == StringGrid1_ && event->type() == QEvent::KeyPress) changed_ = true;
  return QDialog::eventFilter(watched, event);
}

void TFormAlias::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    CancelClick();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TFormAlias::ShowChecks(int row) {
  showingChecks_ = true;
  const bool two =
      row >= 1 && StringGrid1_->Cell(ALIcColAttrib, row).find('2') != std::string::npos;
  CheckListBox1_->item(0)->setCheckState(two ? Qt::Checked : Qt::Unchecked);
  showingChecks_ = false;
}

void TFormAlias::ChecksChanged(QListWidgetItem*) {
  if (showingChecks_) return;
  const int row = StringGrid1_->currentRow();
  if (row < 1) return;
  std::string letters;
  for (int i = 0; i < CheckListBox1_->count(); ++i) {
    QListWidgetItem* check = CheckListBox1_->item(i);
    if (check->checkState() == Qt::Checked) letters += check->text().toStdString().front();
  }
  StringGrid1_->SetCell(ALIcColAttrib, row, letters);
  changed_ = true;
}

void TFormAlias::BrowseClick() {
  if (chooser_ == nullptr) {
    chooser_ = new TForm21(config_, trace_, this);
    HPTAttachHelp(*chooser_, HPTcHelpSelectDirectory);
  }
  std::string chosen;
  if (!chooser_->SDSChooseDirectory(chosen)) return;
  const int row = std::max(StringGrid1_->currentRow(), 1);
  StringGrid1_->SetCell(ALIcColDirectory, row, chosen);
  changed_ = true;
}

void TFormAlias::OkClick() {
  if (changed_ && ALISaveConfigData() != 0) return;
  accept();
}

void TFormAlias::CancelClick() {
  changed_ = false;
  cancelling_ = true;
  reject();
  cancelling_ = false;
}

void TFormAlias::reject() {
  // Closing by the title bar stores what was edited; a failed write keeps
  // the dialog open.
  if (!cancelling_ && changed_ && ALISaveConfigData() != 0) return;
  QDialog::reject();
}

void TFormAlias::Message(const QString& text) {
  if (message_)
    message_(text);
  else
    QMessageBox::warning(this, windowTitle(), text);
}

}  // namespace kal
