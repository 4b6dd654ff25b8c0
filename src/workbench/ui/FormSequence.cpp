#include "workbench/ui/FormSequence.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTimeEdit>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <ctime>

#include "ep2/AttributeLetters.h"
#include "support/ui/FieldWidths.h"
#include "support/ui/PrintCanvas.h"
#include "support/ui/RowEditGrid.h"
#include "workbench/MainWindow.h"
#include "workbench/SequenceRunCore.h"
#include "workbench/ui/CheckListBox.h"
#include "workbench/ui/FormSequenceRun.h"

namespace kal {

namespace {

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

// The attribute cell is set through the checks only.
class TNoEditorDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QWidget* createEditor(QWidget*, const QStyleOptionViewItem&, const QModelIndex&) const override {
    return nullptr;
  }
};

QComboBox* Choice(const char* name, std::initializer_list<const char*> items) {
  auto* box = new QComboBox;
  box->setObjectName(name);
  for (const char* item : items) box->addItem(item);
  return box;
}

QLineEdit* Field(const char* name) {
  auto* edit = new QLineEdit;
  edit->setObjectName(name);
  return edit;
}

std::chrono::year_month_day ToDate(const QDate& d) {
  return std::chrono::year_month_day{std::chrono::year{d.year()},
                                     std::chrono::month{static_cast<unsigned>(d.month())},
                                     std::chrono::day{static_cast<unsigned>(d.day())}};
}

QDate FromDate(std::chrono::year_month_day d) {
  return QDate(static_cast<int>(d.year()), static_cast<int>(static_cast<unsigned>(d.month())),
               static_cast<int>(static_cast<unsigned>(d.day())));
}

}  // namespace

TForm14::TForm14(TCEXMainWindow& main, ICEXDialogs& dialogs, TRunPorts run, QWidget* mainWindow)
    : QWidget(nullptr, Qt::Window), main_(main), dialogs_(dialogs), mainWindow_(mainWindow) {
  setObjectName("TForm14");
  setWindowTitle("Sequence");
  StringGrid1_ = new TRowEditGrid;
  StringGrid1_->setObjectName("StringGrid1");
  StringGrid1_->setItemDelegateForColumn(SEQcColAttrib, new TNoEditorDelegate(StringGrid1_));
  // The message columns are the wide ones; the widths also lay out the print.
  const int widths[SEQcColCount] = {28, 220, 220, 90, 90, 110, 70, 70};
  CheckListBox1_ = new TUCBCheckListBox;
  CheckListBox1_->setObjectName("CheckListBox1");
  for (const TUCBAttributeLetter& a : kUCBSequenceAttributes)
    CheckListBox1_->UCBAddItem(QString("%1 %2").arg(QChar(a.letter)).arg(a.text));
  CheckListBox1_->UCBAddItem("F Off line authorisation (not sent, record only)");
  // As wide as its widest item, no wider.
  CheckListBox1_->setMaximumWidth(FLWFitItems(*CheckListBox1_));
  editor_ = std::make_unique<TSEQSequenceEditor>(main_, dialogs_, *StringGrid1_, *CheckListBox1_);
  for (int c = 0; c < SEQcColCount; ++c) StringGrid1_->setColumnWidth(c, widths[c]);
  run_ = std::make_unique<TSEQSequenceRun>(TSEQSequenceRun::TPorts{.main = main_,
                                                                   .files = run.files,
                                                                   .recording = run.recording,
                                                                   .editor = *editor_,
                                                                   .clock = run.clock,
                                                                   .timers = run.timers});
  form15_ = std::make_unique<TForm15>(run_->SEQStatus());
  run_->OnShowStatus = [this] {
    if (!form15_->isVisible()) form15_->show();
  };

  // Commands.
  auto* bar = new QToolBar;
  const auto command = [&](const char* name, const char* caption, auto slot) {
    auto* a = bar->addAction(caption);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, slot);
    return a;
  };
  command("New1", "New", [this] { editor_->SEQNew(); })->setToolTip("Clear sequence table");
  command("LoadSequence1", "Load Sequence", [this] { editor_->SEQLoadCommand(); });
  command("SaveSequence1", "Save Sequence", [this] { editor_->SEQSaveCommand(); });
  command("SaveSequenceAs1", "Save Sequence as...", [this] { editor_->SEQSaveAsCommand(); });
  command("SelectMessages1", "Select Messages...", [this] {
    if (selectMessages_) selectMessages_();
  });
  bar->addSeparator();
  for (int c = 0; c < TRowEditGrid::CommandCount; ++c)
    bar->addAction(StringGrid1_->CommandAction(static_cast<TRowEditGrid::TCommand>(c)));
  bar->addSeparator();
  command("SearchAndReplace1", "Search and replace...", [this] { SEQSearchAndReplace(); });
  command("HangUp1", "Hang Up", [this] {
    main_.CEXExecute(TCEXAction::HangUp);
  })->setToolTip("disconnect and hangup phone");
  command("PrintSequence1", "Print Sequence", [this] { SEQPrintSequence(); });

  StringGrid1_->SetCommandHook([this](TRowEditGrid::TCommand c) { return RowCommand(c); });
  StringGrid1_->SetMoveHook([this](int first, int last, int drop, int& newFirst) {
    return main_.CEXUserIsAdmin() && editor_->SEQMoveRows(first, last, drop, newFirst);
  });
  editor_->SEQSetCurrentCellSink([this](int col, int row) {
    updating_ = true;
    StringGrid1_->setCurrentCell(row, col);
    updating_ = false;
  });
  connect(StringGrid1_, &QTableWidget::currentCellChanged, this, [this](int row, int col) {
    if (updating_ || row < 1 || col < 1) return;
    editor_->SEQCellSelected(col, row);
  });
  connect(CheckListBox1_, &TUCBCheckListBox::checksClicked, this,
          [this] { editor_->SEQAttributesChanged(); });

  auto* settings = new QWidget;
  BuildSettings(settings);
  auto* runButton = new QPushButton("Run Sequence");
  runButton->setObjectName("RunSequence");
  connect(runButton, &QPushButton::clicked, this, [this] { run_->SEQRunButton(); });
  auto* continueButton = new QPushButton("Continue Sequence");
  continueButton->setObjectName("ContinueSequence");
  connect(continueButton, &QPushButton::clicked, this, [this] { run_->SEQContinueButton(); });
  auto* ok = new QPushButton("Ok");
  ok->setObjectName("Ok");
  auto* cancel = new QPushButton("Cancel");
  cancel->setObjectName("Cancel");
  connect(ok, &QPushButton::clicked, this, [this] {
    editor_->SEQStoreIfChanged();
    hide();
  });
  connect(cancel, &QPushButton::clicked, this, [this] {
    editor_->SEQCancel();
    editor_->SEQReadSettings();
    ShowSettings();
    hide();
  });

  auto* middle = new QHBoxLayout;
  middle->addWidget(StringGrid1_, 1);
  middle->addWidget(CheckListBox1_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(runButton);
  buttons->addWidget(continueButton);
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(bar);
  layout->addLayout(middle, 1);
  layout->addWidget(settings);
  layout->addLayout(buttons);
  ShowSettings();
  resize(980, 680);
}

TForm14::~TForm14() {
  // The status window's model goes with the run.
  form15_.reset();
}

void TForm14::BuildSettings(QWidget* panel) {
  logging_ = Choice("Logging", {"none", "errors", "all"});
  logType_ = Choice("LogFileType", {"debug log", "watchdog log", "delimitor separated log"});
  delimitor_ = Choice("Delimitor", {});
  for (const char* item : SEQcDelimiterItems) delimitor_->addItem(item);
  record_ = Choice("SubmissionFileRecording", {"none", "transactions"});
  logFile_ = Field("LogFile");
  recordDirectory_ = Field("RecordingDirectory");
  failureRate_ = Field("IssuerScriptFailureRate");
  restarts_ = Field("NumberOfRestarts");
  errorCount_ = Field("StopOnErrorCount");
  threadDelay_ = Field("ThreadDelay");
  stopDate_ = new QDateEdit;
  stopDate_->setObjectName("StopDate");
  stopDate_->setDisplayFormat("dd.MM.yyyy");
  stopTime_ = new QTimeEdit;
  stopTime_->setObjectName("StopTime");
  stopTime_->setDisplayFormat("HH:mm:ss");
  permanentRun_ = new QCheckBox("Permanent run");
  permanentRun_->setObjectName("PermanentRun");

  auto* logButton = new QPushButton("...");
  logButton->setObjectName("LogFileButton");
  connect(logButton, &QPushButton::clicked, this, [this] {
    std::string chosen;
    if (dialogs_.CEXOpenFile({"Log File", "", "", logFile_->text().toStdString(), "txt"}, chosen)) {
      logFile_->setText(Q(chosen));
      ReadSettingsFromControls();
    }
  });
  auto* dirButton = new QPushButton("...");
  dirButton->setObjectName("RecordingDirectoryButton");
  connect(dirButton, &QPushButton::clicked, this, [this] {
    std::string chosen;
    if (dialogs_.CEXChooseDirectory("Recording Directory", recordDirectory_->text().toStdString(),
                                    chosen)) {
      recordDirectory_->setText(Q(chosen));
      ReadSettingsFromControls();
    }
  });

  for (QComboBox* box : {logging_, logType_, delimitor_, record_})
    connect(box, &QComboBox::currentIndexChanged, this, [this] { ReadSettingsFromControls(); });
  for (QLineEdit* edit :
       {logFile_, recordDirectory_, failureRate_, restarts_, errorCount_, threadDelay_})
    connect(edit, &QLineEdit::textEdited, this, [this] { ReadSettingsFromControls(); });
  connect(stopDate_, &QDateEdit::dateChanged, this, [this] { ReadSettingsFromControls(); });
  connect(stopTime_, &QTimeEdit::timeChanged, this, [this] { ReadSettingsFromControls(); });
  connect(permanentRun_, &QCheckBox::toggled, this, [this] { ReadSettingsFromControls(); });

  const auto withButton = [](QLineEdit* edit, QPushButton* button) {
    auto* row = new QHBoxLayout;
    row->addWidget(edit, 1);
    row->addWidget(button);
    return row;
  };
  auto* left = new QFormLayout;
  left->addRow("Logging", logging_);
  left->addRow("Log file type", logType_);
  left->addRow("Delimitor", delimitor_);
  left->addRow("Log File", withButton(logFile_, logButton));
  left->addRow("Submission File Recording", record_);
  left->addRow("Recording Directory", withButton(recordDirectory_, dirButton));
  auto* right = new QFormLayout;
  right->addRow("Issuer Script Failure Rate [0..10000 of 10000]", failureRate_);
  right->addRow("Number of restarts", restarts_);
  right->addRow("Stop on error count", errorCount_);
  auto* stop = new QHBoxLayout;
  stop->addWidget(stopDate_);
  stop->addWidget(stopTime_);
  right->addRow("Stop after time", stop);
  right->addRow("", permanentRun_);
  right->addRow("Thread delay [ms]", threadDelay_);
  auto* layout = new QHBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(left, 1);
  layout->addLayout(right, 1);
}

void TForm14::ShowSettings() {
  updating_ = true;
  const TSEQRunSettings& s = editor_->SEQSettings();
  logging_->setCurrentIndex(s.logErrors);
  logType_->setCurrentIndex(s.logType);
  delimitor_->setCurrentIndex(s.delimitor);
  record_->setCurrentIndex(s.record);
  logFile_->setText(Q(s.logFileName));
  recordDirectory_->setText(Q(s.recordDirectory));
  failureRate_->setText(Q(s.failureRate));
  restarts_->setText(Q(s.restarts));
  errorCount_->setText(Q(s.errorCount));
  threadDelay_->setText(Q(s.threadDelay));
  if (s.endDate.ok()) stopDate_->setDate(FromDate(s.endDate));
  const auto t = static_cast<int>(s.endTime.count());
  stopTime_->setTime(QTime(t / 3600, t / 60 % 60, t % 60));
  permanentRun_->setChecked(s.permanentRun);
  updating_ = false;
}

void TForm14::ReadSettingsFromControls() {
  if (updating_) return;
  TSEQRunSettings& s = editor_->SEQSettings();
  s.logErrors = logging_->currentIndex();
  s.logType = logType_->currentIndex();
  s.delimitor = delimitor_->currentIndex();
  s.record = record_->currentIndex();
  s.logFileName = logFile_->text().toStdString();
  s.recordDirectory = recordDirectory_->text().toStdString();
  s.failureRate = failureRate_->text().toStdString();
  s.restarts = restarts_->text().toStdString();
  s.errorCount = errorCount_->text().toStdString();
  s.threadDelay = threadDelay_->text().toStdString();
  s.endDate = ToDate(stopDate_->date());
  s.endTime = std::chrono::seconds(stopTime_->time().msecsSinceStartOfDay() / 1000);
  s.permanentRun = permanentRun_->isChecked();
  editor_->SEQSettingChanged();
}

bool TForm14::RowCommand(int command) {
  // Only administrators change the table.
  if (!main_.CEXUserIsAdmin()) return true;
  TSEQSequenceEditor& e = *editor_;
  const int first = StringGrid1_->SelectedFirst(), last = StringGrid1_->SelectedLast();
  const int current = std::max(StringGrid1_->currentRow(), 1);
  std::string clip;
  switch (command) {
    case TRowEditGrid::Copy:
      if (e.SEQCopyRows(first, last, clip)) QApplication::clipboard()->setText(Q(clip));
      return true;
    case TRowEditGrid::Cut:
      if (e.SEQCutRows(first, last, clip)) QApplication::clipboard()->setText(Q(clip));
      break;
    case TRowEditGrid::Delete:
      e.SEQDeleteRows(first, last);
      break;
    case TRowEditGrid::Paste:
      e.SEQPasteRows(QApplication::clipboard()->text().toStdString(), current);
      return true;
    case TRowEditGrid::Insert:
      e.SEQInsertRow(current);
      return true;
    case TRowEditGrid::Append:
      e.SEQAppendRow();
      return true;
    default:
      return false;
  }
  StringGrid1_->SelectRows(-1, -1);
  return true;
}

void TForm14::ApplyRights() {
  const bool admin = main_.CEXUserIsAdmin();
  StringGrid1_->setEditTriggers(admin ? QAbstractItemView::AllEditTriggers
                                      : QAbstractItemView::NoEditTriggers);
  StringGrid1_->setSelectionMode(admin ? QAbstractItemView::ContiguousSelection
                                       : QAbstractItemView::NoSelection);
  CheckListBox1_->setEnabled(admin);
}

void TForm14::SEQLoadSequenceFile(const std::string& path) {
  if (!editor_->SEQOpenSequence(path)) return;
  show();
  raise();
}

void TForm14::SEQPrintSequence() {
  QPrinter printer(QPrinter::HighResolution);
  const bool chosen = chooser_ ? chooser_(printer) : PRSChoosePrinter(printer, this);
  if (!chosen) return;
  std::vector<int> widths;
  for (int c = 0; c < StringGrid1_->columnCount(); ++c)
    widths.push_back(StringGrid1_->columnWidth(c));
  static_cast<void>(PRSPrintStringGrid(printer, *StringGrid1_, widths));
}

void TForm14::SEQSearchAndReplace() {
  editor_->SEQStartSearch();
  if (search_ == nullptr) {
    auto* dialog = new QDialog(this);
    dialog->setObjectName("SearchAndReplace");
    dialog->setWindowTitle("Search and replace");
    auto* find = Field("FindText");
    auto* replace = Field("ReplaceText");
    auto* form = new QFormLayout;
    form->addRow("Find", find);
    form->addRow("Replace with", replace);
    auto* buttons = new QHBoxLayout;
    const auto button = [&](const char* name, const char* caption, auto slot) {
      auto* b = new QPushButton(caption);
      b->setObjectName(name);
      connect(b, &QPushButton::clicked, dialog, slot);
      buttons->addWidget(b);
    };
    const auto text = [find] { return find->text().toStdString(); };
    button("Find", "Find", [this, text] { editor_->SEQFind(text()); });
    button("Replace", "Replace",
           [this, text, replace] { editor_->SEQReplace(text(), replace->text().toStdString()); });
    button("ReplaceAll", "Replace All", [this, text, replace] {
      editor_->SEQReplaceAll(text(), replace->text().toStdString());
    });
    button("Close", "Close", [dialog] { dialog->hide(); });
    auto* layout = new QVBoxLayout(dialog);
    layout->addLayout(form);
    layout->addLayout(buttons);
    search_ = dialog;
  }
  search_->show();
  search_->raise();
}

void TForm14::showEvent(QShowEvent* event) {
  // The window is made before the main window reads its configuration:
  // the settings are read when it first shows.
  if (!shownOnce_) editor_->SEQReadSettings();
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  editor_->SEQShown(
      std::chrono::year_month_day{std::chrono::year{tm.tm_year + 1900},
                                  std::chrono::month{static_cast<unsigned>(tm.tm_mon + 1)},
                                  std::chrono::day{static_cast<unsigned>(tm.tm_mday)}},
      std::chrono::seconds(tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec));
  ShowSettings();
  ApplyRights();
  // The first showing puts an administrator's cursor into column 1.
  if (!shownOnce_ && main_.CEXUserIsAdmin() && StringGrid1_->currentRow() < 1)
    StringGrid1_->setCurrentCell(1, SEQcColClient);
  shownOnce_ = true;
  if (mainWindow_ != nullptr) mainWindow_->setEnabled(false);
  QWidget::showEvent(event);
  // Offscreen and on some window managers no activation follows a show.
  QTimer::singleShot(0, this, [this] { run_->SEQActivated(); });
}

void TForm14::changeEvent(QEvent* event) {
  // "-RUN": the activation after the command line's sequence was opened
  // starts the run.
  if (event->type() == QEvent::ActivationChange && isActiveWindow())
    QTimer::singleShot(0, this, [this] { run_->SEQActivated(); });
  QWidget::changeEvent(event);
}

void TForm14::hideEvent(QHideEvent* event) {
  if (mainWindow_ != nullptr) mainWindow_->setEnabled(true);
  QWidget::hideEvent(event);
}

void TForm14::closeEvent(QCloseEvent* event) {
  editor_->SEQStoreIfChanged();
  QWidget::closeEvent(event);
}

}  // namespace kal
