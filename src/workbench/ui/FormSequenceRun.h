#pragma once

#include <QWidget>

#include "workbench/RunStatus.h"

class QLabel;
class QPushButton;
class QTimer;

namespace kal {

// "Sequence Run": an always-on-top view of the run status model. Repaints
// are coalesced (at most one per 50 ms); a completion is shown at once.
class TForm15 final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int SQScRepaintMs = 50;
  static constexpr int SQScScreenGap = 60;

  // `status` (not owned) must outlive the window.
  explicit TForm15(TSQSRunStatus& status, QWidget* parent = nullptr);
  ~TForm15() override;

  // Renders the model now.
  void Render();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ScheduleRender();

  TSQSRunStatus& status_;
  QTimer* repaint_;
  QLabel* runNumber_;
  QLabel* action_;
  QLabel* sent_;
  QLabel* received_;
  QLabel* errors_;
  QLabel* minTime_;
  QLabel* maxTime_;
  QLabel* averageTime_;
  QLabel* note_;
  QPushButton* stop_;
  QPushButton* close_;
};

}  // namespace kal
