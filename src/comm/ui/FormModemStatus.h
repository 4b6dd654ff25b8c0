#pragma once

#include <QWidget>
#include <functional>

class QLabel;
class QListWidget;
class QPushButton;

namespace kal {

class TRRSModemStatusForm;

// "Modem Connection": shows the modem status model, always on top. It
// follows the model's change notices as posted events (one refresh for a
// burst of changes): shown while the model is, the status line green or
// red, the history, "Close" enabled as the model says. The busy cursor
// follows the model too: on while it is opened, restored by
// RRSEnableClose, RRSClose and by closing the window.
class TForm10 final : public QWidget {
  Q_OBJECT

 public:
  // `model` (not owned) outlives the window; `setBusy` switches the busy
  // cursor on (true) and off (false).
  TForm10(TRRSModemStatusForm& model, std::function<void(bool busy)> setBusy,
          QWidget* parent = nullptr);
  ~TForm10() override;

  // Shows the model's state now.
  void RRSRefresh();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  TRRSModemStatusForm& model_;
  std::function<void(bool)> setBusy_;
  bool busy_ = false;
  bool refreshPosted_ = false;
  QLabel *status_, *calling_, *user_, *password_, *address_, *port_;
  QListWidget* history_;
  QPushButton* close_;
};

}  // namespace kal
