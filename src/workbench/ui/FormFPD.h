#pragma once

#include <QDialog>
#include <array>

class QLabel;
class QLineEdit;

namespace kal {

class TEp2PublicKey;

// "Formatted Public Key Data": a read-only view of one imported key record
// and the import's status ("Ok" 1, "Cancel" and the close box 2).
class TForm17 final : public QDialog {
  Q_OBJECT

 public:
  explicit TForm17(QWidget* parent = nullptr);

  // Fills the fields from the record; the status shows `message` in red when
  // `result` is not 0, else in green with " (Hash verification passed) ".
  void FPDFill(const TEp2PublicKey& key, int result, const std::string& message);
  // Fills and shows the dialog modally; 1 or 2.
  int FPDOpenForm(const TEp2PublicKey& key, int result, const std::string& message);

  void reject() override { done(2); }

 private:
  std::array<QLineEdit*, 10> fields_{};
  QLabel* Status_;
};

}  // namespace kal
