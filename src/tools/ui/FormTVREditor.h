#pragma once

#include <QDialog>
#include <QGroupBox>
#include <functional>
#include <vector>

#include "tools/EmvObjectCodec.h"
#include "workbench/EmvEditorPort.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class QVBoxLayout;

namespace kal {

class TRowEditGrid;
class TTDBDebug;

// A titled group of exclusive radio buttons with an item index (-1: none).
// Setting the index never emits anything; user clicks come through
// Buttons()->idClicked.
class TEMVRadioGroup final : public QGroupBox {
 public:
  TEMVRadioGroup(const QString& title, const std::vector<std::string>& items, int columns,
                 QWidget* parent);
  int ItemIndex() const;
  void SetItemIndex(int index);
  QButtonGroup* Buttons() const { return buttons_; }

 private:
  QButtonGroup* buttons_;
};

// The "EMV Elements Editor": one page per EMV data object, the value as hex
// (Edit1) and Base64 (Edit6), "Ok" (result 1) and "Cancel" (result 2). The
// page work is done by the codec (tools/EmvObjectCodec.h); the window maps
// its structs onto the widgets.
//
// Busy convention: a decoder runs inside a TDecodeScope, which sets busy_
// (every encoder returns at once while it is set); every programmatic write
// to a widget whose change signal is listened to goes through a
// QSignalBlocker. Only user edits (textEdited, clicked) start an encoder or
// a decoder, so a decoder never triggers an encoder and Edit1 and Edit6
// never update each other in a loop.
class TFormTVREditor final : public QDialog, public IEDFEmvEditor {
  Q_OBJECT

 public:
  // `trace` (not owned, may be null) gets the class name at creation.
  explicit TFormTVREditor(TTDBDebug* trace, QWidget* parent = nullptr);

  // Shows the editor modally on `value` (decoded on the active page).
  // 1 for "Ok", 2 for "Cancel" or closing the window.
  int Execute(const QString& value);
  QString Value() const;

  bool EDFEditEmvValue(std::string& value) override;

  // Where the page's message boxes go; a message box when not set.
  void SetMessageSink(std::function<void(const QString&)> sink) { message_ = std::move(sink); }

  void reject() override;

 protected:
  // Activation: the command column takes the grid's width.
  void showEvent(QShowEvent* event) override;

 private:
  class TDecodeScope;

  void BuildBitPage(TEMVPage page);
  void BuildCvmPage();
  void BuildTerminalTypePage();
  void BuildCidPage();
  void BuildScriptCommandsPage();
  void BuildScriptResultsPage();
  void AddPage(TEMVPage page, QWidget* content);

  TEMVPage ActivePage() const;
  void ShowMessage(const QString& text);
  // Writes Edit1 (and Edit6 from it) without counting as an edit.
  void SetValueText(const QString& hex);
  void UpdateBase64();

  void OnValueEdited();
  void OnBase64Edited();
  void OnPageChanged();
  void DecodePage();

  void DecodeBits(TEMVPage page);
  void EncodeBits(TEMVPage page);
  void DecodeCvm();
  void EncodeCvm();
  void DecodeTerminalType();
  void EncodeTerminalType();
  void DecodeCid();
  void EncodeCid();
  void DecodeScriptCommands();
  void EncodeScriptCommands();
  void TrimCommandGrid();
  void ClearCommandGrid();
  void WidenCommandColumn();
  void DecodeScriptResults();
  void EncodeScriptResults();
  void ShowScriptResults();

  bool busy_ = false;
  QTabWidget* pages_;
  QLineEdit* Edit1_;
  QLineEdit* Edit6_;
  QLabel* Label6_;
  std::function<void(const QString&)> message_;

  std::vector<QListWidget*> bitLists_[4];

  TEMVRadioGroup* cvmMethod_;
  TEMVRadioGroup* cvmOnFailure_;
  TEMVRadioGroup* cvmCondition_;
  TEMVRadioGroup* cvmResult_;
  QLineEdit* Edit2_;
  QLineEdit* Edit3_;

  TEMVRadioGroup* terminalEnvironment_;
  TEMVRadioGroup* terminalCapability_;
  TEMVRadioGroup* terminalControl_;
  QLabel* terminalError_;

  TEMVRadioGroup* cidType_;
  TEMVRadioGroup* cidPayment_;
  TEMVRadioGroup* cidAdvice_;
  TEMVRadioGroup* cidReason_;

  TEMVRadioGroup* scriptTag_;
  QLineEdit* Edit4_;
  TRowEditGrid* commandGrid_;
  QLabel* commandMessage_;
  int TVRiRowSelected_ = -1;

  QLineEdit* Edit5_;
  QLabel* resultsMessage_;
  QVBoxLayout* resultGroups_;
  TEMVScriptResults results_;
  // The group made with the window reads "Processing successful" as long as
  // it stays (until a decode or its removal).
  bool initialGroup_ = true;
};

}  // namespace kal
