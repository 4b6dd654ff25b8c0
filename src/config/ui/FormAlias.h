#pragma once

#include <QDialog>
#include <functional>
#include <string>

class QListWidget;
class QListWidgetItem;

namespace kal {

class TALUAliasList;
class TCFGConfig;
class TForm21;
class TRowEditGrid;
class TTDBDebug;

// "Directory Aliases": the alias grid (StringGrid1, the Attrib column set
// through the check list "2 Two Ways Alias"), "Browse", "Ok" and "Cancel".
// Showing it reloads "alias.ini"; "Ok" writes it when something changed,
// and a failed write keeps the dialog open with the file's name and the
// system's text.
class TFormAlias final : public QDialog {
  Q_OBJECT

 public:
  // None is owned; all outlive the dialog.
  TFormAlias(TALUAliasList& aliases, const TCFGConfig& config, TTDBDebug* trace,
             QWidget* parent = nullptr);
  ~TFormAlias() override;

  TALUAliasList& ALIGetALUAliasList() { return aliases_; }
  void ALILoadConfigData();
  // 0, or the system error number of the failed write (shown).
  int ALISaveConfigData();

  void ALISetMessageSink(std::function<void(const QString&)> sink) { message_ = std::move(sink); }
  bool ALIChanged() const { return changed_; }
  TRowEditGrid& ALIGrid() { return *StringGrid1_; }

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  // Escape is "Cancel".
  void keyPressEvent(QKeyEvent* event) override;

 public slots:
  void reject() override;

 private:
  void ShowChecks(int row);
  void ChecksChanged(QListWidgetItem* item);
  void BrowseClick();
  void OkClick();
  void CancelClick();
  void Message(const QString& text);

  TALUAliasList& aliases_;
  const TCFGConfig& config_;
  TTDBDebug* trace_;
  TRowEditGrid* StringGrid1_;
  QListWidget* CheckListBox1_;
  TForm21* chooser_ = nullptr;
  std::function<void(const QString&)> message_;
  bool changed_ = false;
  bool showingChecks_ = false;
  bool loading_ = false;
  bool cancelling_ = false;
};

}  // namespace kal
