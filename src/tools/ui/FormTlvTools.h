#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "workbench/EmvElementMap.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QTableWidget;

namespace kal {

class HexLineEdit;
class ICEXMainServices;

// "TLV Tools": the TLV text as hex (Edit1) and Base64 (Edit2), following
// each other under a busy flag as in "Hex To Base64 Conversion"; "Parse"
// splits the hex into the grid (XML tag, EMV tag, length, value), with
// values when "Values included" is checked; the two lists map ep2 elements
// and EMV tags through "EMVElements.ini" of the program folder, read at
// creation. When the table cannot be read the lists stay empty, the trace
// gets a line and the first showing of the window tells the user.
class TForm27 final : public QDialog {
  Q_OBJECT

 public:
  using TMessageSink = std::function<void(const QString&)>;

  explicit TForm27(ICEXMainServices& services, QWidget* parent = nullptr);

  void Parse();

  // Where messages go (a message box when not set).
  void SetMessageSink(TMessageSink sink) { sink_ = std::move(sink); }

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void HexChanged();
  void Base64Changed();
  void XmlTagChosen();
  void EmvTagChosen();
  void ClearGrid();

  TEEMEmvElementMap table_;
  std::string tableError_;  // why the table could not be read; empty when it was
  HexLineEdit* Edit1_;
  QLineEdit* Edit2_;
  QCheckBox* CheckBox1_;
  QTableWidget* StringGrid1_;
  QComboBox* ComboBox1_;  // XML-Tag
  QComboBox* ComboBox2_;  // EMV-Tag
  bool bEditing_ = false;
  TMessageSink sink_;
};

}  // namespace kal
