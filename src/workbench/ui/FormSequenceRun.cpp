#include "workbench/ui/FormSequenceRun.h"

#include <QFormLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "support/ui/FieldWidths.h"
#include "workbench/SequenceRunner.h"

namespace kal {

namespace {

QLabel* Value(QWidget* parent, const char* name) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  return label;
}

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

TForm15::TForm15(TSQSRunStatus& status, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), status_(status) {
  setObjectName("TForm15");
  setWindowTitle("Sequence Run");
  repaint_ = new QTimer(this);
  repaint_->setSingleShot(true);
  repaint_->setInterval(SQScRepaintMs);
  connect(repaint_, &QTimer::timeout, this, &TForm15::Render);

  runNumber_ = Value(this, "RunNumber");
  action_ = Value(this, "CurrentAction");
  sent_ = Value(this, "MessagesSend");
  received_ = Value(this, "MessagesReceived");
  errors_ = Value(this, "ErrorsFound");
  minTime_ = Value(this, "MinTime");
  maxTime_ = Value(this, "MaxTime");
  averageTime_ = Value(this, "AverageTime");
  note_ = Value(this, "Note");
  stop_ = new QPushButton("Stop", this);
  stop_->setObjectName("Stop");
  close_ = new QPushButton("Close", this);
  close_->setObjectName("Close");
  connect(stop_, &QPushButton::clicked, this, [this] { status_.SQSStopPressed(); });
  connect(close_, &QPushButton::clicked, this, &QWidget::close);

  // Room for the longest texts of a run: how it ended, and its longest note.
  FLWFitText(*action_,
             {TSQSRunStatus::SQScStoppedByUser, TSEQRunner::SEQcErrorCount,
              TSEQRunner::SEQcStopTime, TSEQRunner::SEQcRestarts, TSEQRunner::SEQcAlarmLog});
  FLWFitText(*note_, {TSEQRunner::SEQcNoRepeat});

  auto* fields = new QFormLayout;
  fields->addRow("Run number", runNumber_);
  fields->addRow("Current action", action_);
  fields->addRow("Messages send", sent_);
  fields->addRow("Messages received", received_);
  fields->addRow("Errors found", errors_);
  fields->addRow("Min time [ms]", minTime_);
  fields->addRow("Max time [ms]", maxTime_);
  fields->addRow("Average time [ms]", averageTime_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(stop_);
  buttons->addWidget(close_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addWidget(note_);
  layout->addLayout(buttons);

  const QSize hint = layout->sizeHint();
  setMinimumSize(hint.width() + 50, hint.height() + 50);

  status_.OnChanged = [this] { ScheduleRender(); };
  Render();
}

TForm15::~TForm15() {
  status_.OnChanged = nullptr;
}

void TForm15::ScheduleRender() {
  // The end of a run is shown at once; everything else at most every 50 ms.
  if (!status_.SQSStopEnabled()) {
    repaint_->stop();
    Render();
    return;
  }
  if (!repaint_->isActive()) repaint_->start();
}

void TForm15::Render() {
  runNumber_->setText(Q(status_.SQSRunNumber()));
  action_->setText(Q(status_.SQSCurrentAction()));
  sent_->setText(Q(status_.SQSMessagesSend()));
  received_->setText(Q(status_.SQSMessagesReceived()));
  errors_->setText(Q(status_.SQSErrorsFound()));
  minTime_->setText(Q(status_.SQSMinTime()));
  maxTime_->setText(Q(status_.SQSMaxTime()));
  averageTime_->setText(Q(status_.SQSAverageTime()));
  note_->setText(Q(status_.SQSNote()));
  stop_->setEnabled(status_.SQSStopEnabled());
  close_->setEnabled(status_.SQSCloseEnabled());
}

void TForm15::showEvent(QShowEvent* event) {
  status_.SQSReset();
  Render();
  if (const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    const QRect frame = frameGeometry();
    move(area.right() + 1 - SQScScreenGap - frame.width(),
         area.bottom() + 1 - SQScScreenGap - frame.height());
  }
  QWidget::showEvent(event);
}

}  // namespace kal
