#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QLineEdit;
class QPushButton;

namespace kal {

class TTDBDebug;

// The frame of the settings dialogs: a changed flag, "Ok" and "Cancel",
// number fields, the class name in the trace and a minimum size that fits
// the layout.
//
// Showing the dialog clears the flag and loads the fields. With
// `loadingMarksChanged` the loading counts as an edit (the fields' change
// handlers run while they are filled), so every way of closing but
// "Cancel" stores; otherwise only an edit sets the flag. "Ok" stores when
// the flag is set and accepts; "Cancel" (and Escape) clears the flag and
// rejects; any other close (the title bar) stores when the flag is set and
// rejects.
class TCFGEditDialog : public QDialog {
  Q_OBJECT

 public:
  // `className` is the object name and the trace line; `trace` (not owned)
  // may be null.
  TCFGEditDialog(const char* className, TTDBDebug* trace, bool loadingMarksChanged,
                 QWidget* parent = nullptr);

  // Where messages go; a message box when not set.
  void CFGSetMessageSink(std::function<void(const QString&)> sink) { message_ = std::move(sink); }

  bool CFGChanged() const { return changed_; }
  // Every edit of a field calls this.
  void CFGMarkChanged() {
    if (!loading_) changed_ = true;
  }

 protected:
  virtual void CFGLoadConfigData() = 0;
  virtual void CFGSaveConfigData() = 0;
  // After "Ok": the result the dialog ends with (Accepted by default).
  virtual bool CFGOkAccepts(bool stored) {
    static_cast<void>(stored);
    return true;
  }

  // "Ok" and "Cancel", wired to the rules above.
  QPushButton* CFGOkButton();
  QPushButton* CFGCancelButton();
  // A number field: a text that is no integer within min..max shows
  // `message` and the field becomes "0", when it is left and when it is
  // read.
  QLineEdit* CFGNumberField(const char* name, const char* message, int32_t min = INT32_MIN,
                            int32_t max = INT32_MAX);
  int32_t CFGNumber(QLineEdit* field);
  // A text field whose edits set the flag.
  QLineEdit* CFGTextField(const char* name);
  // The minimum size: what the layout needs.
  void CFGFitLayout();
  void CFGMessage(const QString& text);

  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 public slots:
  void reject() override;

 private:
  struct TNumberField {
    QLineEdit* edit;
    QString message;
    int32_t min, max;
  };
  bool CheckNumber(const TNumberField& field);
  void OkClick();
  void CancelClick();

  std::vector<TNumberField> numbers_;
  std::function<void(const QString&)> message_;
  bool loadingMarksChanged_;
  bool changed_ = false;
  bool loading_ = false;
  bool cancelling_ = false;
};

}  // namespace kal
