#pragma once

#include <QDialog>

class QLabel;

namespace kal {

class TTDBDebug;

// The about box "About Kalmore": two pictures, the program's name and
// purpose, the version label (set on every activation) and "ok".
class TForm12 final : public QDialog {
  Q_OBJECT

 public:
  // `trace` (not owned, may be null) gets the class name at creation.
  explicit TForm12(TTDBDebug* trace, QWidget* parent = nullptr);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QLabel* Version_;
};

}  // namespace kal
