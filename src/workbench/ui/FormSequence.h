#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "workbench/MainWindowPorts.h"
#include "workbench/SequenceEditor.h"
#include "workbench/SequenceRun.h"
#include "workbench/WorkbenchPorts.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QPrinter;
class QTimeEdit;

namespace kal {

class ICEXDialogs;
class ICEXMainServices;
class ICEXMessageFiles;
class ICEXRecordingList;
class TCEXMainWindow;
class TForm15;
class TRowEditGrid;
class TUCBCheckListBox;

// The sequence window "Sequence": the table (StringGrid1) with its row
// commands, the attribute list (CheckListBox1), the file, search, hang-up
// and print commands and the run settings, over TSEQSequenceEditor, and the
// runs with their status window "Sequence Run" (TForm15), over
// TSEQSequenceRun. It opens without blocking and keeps the main window
// disabled while it shows.
class TForm14 final : public QWidget, public ICEXSequenceWindow {
  Q_OBJECT

 public:
  // What a run reaches besides the main window's core; none is owned.
  struct TRunPorts {
    ICEXMessageFiles& files;
    ICEXRecordingList& recording;
    ICEXTimerFactory& timers;
    ICEXClock& clock;
  };
  // `mainWindow` (not owned, may be null) is disabled while this window
  // shows.
  TForm14(TCEXMainWindow& main, ICEXDialogs& dialogs, TRunPorts run, QWidget* mainWindow);
  ~TForm14() override;

  TSEQSequenceEditor& SEQEditor() { return *editor_; }
  TSEQSequenceRun& SEQRun() { return *run_; }
  TForm15& SEQStatusWindow() { return *form15_; }
  TRowEditGrid& SEQGridWidget() { return *StringGrid1_; }
  // Prepares the printer for "Print Sequence"; false: nothing is printed.
  // The default asks as every print command does.
  void SEQSetPrinterChooser(std::function<bool(QPrinter&)> chooser) {
    chooser_ = std::move(chooser);
  }
  void SEQPrintSequence();
  // Opens the search and replace dialog (not modal).
  void SEQSearchAndReplace();
  // What "Select Messages..." runs (shows the load file window).
  void SEQSetSelectMessages(std::function<void()> show) { selectMessages_ = std::move(show); }

  // ICEXSequenceWindow
  bool SEQVisible() const override { return isVisible(); }
  void SEQLoadSequenceFile(const std::string& path) override;
  void SEQMessageAvailable() override { run_->SEQMessageAvailable(); }
  void SEQRunNextRow() override { run_->SEQRunNextRow(); }
  TSEQErrorTaken SEQLogError(int errorId, const std::string& errorText, bool groupValue) override {
    return run_->SEQLogError(errorId, errorText, groupValue);
  }
  int SEQGroupSize() const override { return run_->SEQGroupSize(); }
  bool SEQGroupEnd() const override { return run_->SEQGroupEnd(); }
  void SEQRunNextGroupRow() override { run_->SEQRunNextGroupRow(); }
  void SEQLoadNextServerReference() override { run_->SEQLoadNextServerReference(); }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildSettings(QWidget* panel);
  void ShowSettings();
  void ReadSettingsFromControls();
  bool RowCommand(int command);
  void ApplyRights();

  TCEXMainWindow& main_;
  ICEXDialogs& dialogs_;
  QWidget* mainWindow_;
  std::function<bool(QPrinter&)> chooser_;
  std::function<void()> selectMessages_;
  TRowEditGrid* StringGrid1_;
  TUCBCheckListBox* CheckListBox1_;
  QComboBox* logging_;
  QComboBox* logType_;
  QComboBox* delimitor_;
  QComboBox* record_;
  QLineEdit* logFile_;
  QLineEdit* recordDirectory_;
  QLineEdit* failureRate_;
  QLineEdit* restarts_;
  QLineEdit* errorCount_;
  QLineEdit* threadDelay_;
  QDateEdit* stopDate_;
  QTimeEdit* stopTime_;
  QCheckBox* permanentRun_;
  QWidget* search_ = nullptr;
  std::unique_ptr<TSEQSequenceEditor> editor_;
  std::unique_ptr<TSEQSequenceRun> run_;
  std::unique_ptr<TForm15> form15_;
  bool updating_ = false;
  bool shownOnce_ = false;
};

}  // namespace kal
