#include "tools/ui/FormTlvTools.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "support/StringUnit.h"
#include "support/TraceLogger.h"
#include "support/ui/HexLineEdit.h"
#include "tools/Conversions.h"
#include "tools/ui/FormConversions.h"
#include "tools/ui/ToolWindowCommon.h"
#include "workbench/MainServices.h"

namespace kal {

namespace {

QString Qs(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Selects the first item reading `text` exactly; none when there is none.
void ShowItem(QComboBox& list, const QString& text) {
  list.setCurrentIndex(text.isEmpty() ? -1 : list.findText(text, Qt::MatchExactly));
}

}  // namespace

TForm27::TForm27(ICEXMainServices& services, QWidget* parent) : QDialog(parent) {
  setObjectName("TForm27");
  setWindowTitle("TLV Tools");
  TTDBDebug& trace = services.CEXTrace();
  trace.TDBSimpleAddString("TForm27");
  if (!table_.Load(services.CEXDirName() + "EMVElements.ini", tableError_))
    trace.TDBSimpleAddString("TForm27: " + tableError_);

  Edit1_ = new HexLineEdit(this);
  Edit1_->setObjectName("Edit1");
  Edit2_ = new QLineEdit(this);
  Edit2_->setObjectName("Edit2");
  for (QLineEdit* field : {static_cast<QLineEdit*>(Edit1_), Edit2_}) CNVLiftLengthLimit(*field);
  connect(Edit1_, &QLineEdit::textChanged, this, [this] { HexChanged(); });
  connect(Edit2_, &QLineEdit::textChanged, this, [this] { Base64Changed(); });
  CheckBox1_ = new QCheckBox("Values included", this);
  CheckBox1_->setObjectName("CheckBox1");

  StringGrid1_ = new QTableWidget(0, 4, this);
  StringGrid1_->setObjectName("StringGrid1");
  StringGrid1_->setHorizontalHeaderLabels({"XML tag", "EMV tag", "Length", "Value"});
  StringGrid1_->verticalHeader()->hide();
  StringGrid1_->horizontalHeader()->setStretchLastSection(true);
  StringGrid1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  StringGrid1_->setSelectionMode(QAbstractItemView::NoSelection);
  StringGrid1_->setFocusPolicy(Qt::NoFocus);
  StringGrid1_->setMinimumSize(600, 240);

  ComboBox1_ = new QComboBox(this);
  ComboBox1_->setObjectName("ComboBox1");
  ComboBox2_ = new QComboBox(this);
  ComboBox2_->setObjectName("ComboBox2");
  for (const TEEMEntry& entry : table_.Entries()) {
    ComboBox1_->addItem(Qs(entry.name));
    ComboBox2_->addItem(Qs(entry.tag));
  }
  ComboBox1_->setCurrentIndex(-1);
  ComboBox2_->setCurrentIndex(-1);
  // Only the user's choice looks up the other list; showing the result
  // there starts nothing.
  connect(ComboBox1_, &QComboBox::activated, this, [this] { XmlTagChosen(); });
  connect(ComboBox2_, &QComboBox::activated, this, [this] { EmvTagChosen(); });

  auto button = [this](const char* caption, const char* objectName, std::function<void()> handler) {
    return ToolButton(this, caption, std::move(handler), objectName);
  };
  auto* fields = new QGridLayout;
  fields->addWidget(new QLabel("TL(V) String (Hex)", this), 0, 0);
  fields->addWidget(Edit1_, 0, 1);
  fields->addWidget(button("Clear", "Clear1", [this] { Edit1_->clear(); }), 0, 2);
  fields->addWidget(new QLabel("TL(V) String (Base64)", this), 1, 0);
  fields->addWidget(Edit2_, 1, 1);
  fields->addWidget(CheckBox1_, 2, 1);
  fields->addWidget(button("Parse", "Parse", [this] { Parse(); }), 2, 2);

  auto* lists = new QHBoxLayout;
  lists->addWidget(new QLabel("XML-Tag", this));
  lists->addWidget(ComboBox1_, 1);
  lists->addWidget(new QLabel("EMV-Tag", this));
  lists->addWidget(ComboBox2_, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(button("Clear", "Clear2", [this] { ClearGrid(); }));
  buttons->addStretch();
  buttons->addWidget(button("Close", "Close", [this] { close(); }));

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addWidget(StringGrid1_);
  layout->addLayout(lists);
  layout->addLayout(buttons);
}

void TForm27::Parse() {
  const std::string hex = Edit1_->text().toStdString();
  if (STRTrim(hex).empty()) return;
  const std::vector<TCNVTlvRow> rows = CNVSplitTlv(hex, CheckBox1_->isChecked(), table_);
  StringGrid1_->clearContents();
  StringGrid1_->setRowCount(static_cast<int>(rows.size()));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const TCNVTlvRow& row = rows[static_cast<size_t>(r)];
    const QString cells[] = {Qs(row.xmlTag), Qs(row.tag), QString::number(row.length),
                             Qs(row.value)};
    for (int c = 0; c < 4; ++c) StringGrid1_->setItem(r, c, new QTableWidgetItem(cells[c]));
  }
}

void TForm27::ClearGrid() {
  StringGrid1_->clearContents();
  StringGrid1_->setRowCount(0);
}

void TForm27::HexChanged() {
  if (bEditing_) return;
  const std::optional<std::string> base64 = CNVHexToBase64(Edit1_->text().toStdString());
  if (!base64) return;
  bEditing_ = true;
  Edit2_->setText(Qs(*base64));
  bEditing_ = false;
}

void TForm27::Base64Changed() {
  if (bEditing_) return;
  const std::optional<std::string> hex = CNVBase64ToHex(Edit2_->text().toStdString());
  if (!hex) return;
  bEditing_ = true;
  Edit1_->setText(Qs(*hex));
  bEditing_ = false;
}

void TForm27::XmlTagChosen() {
  const std::optional<std::string> tag = table_.FindTag(ComboBox1_->currentText().toStdString());
  ShowItem(*ComboBox2_, Qs(tag.value_or("")));
}

void TForm27::EmvTagChosen() {
  ShowItem(*ComboBox1_, Qs(CNVXmlTagOf(table_, ComboBox2_->currentText().toStdString())));
}

void TForm27::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (tableError_.empty()) return;
  // Told once: the window lives for the whole run.
  const QString message = Qs(tableError_);
  tableError_.clear();
  if (sink_) {
    sink_(message);
    return;
  }
  // Not from within the show: the box waits until the window is up.
  QMetaObject::invokeMethod(
      this, [this, message] { QMessageBox::warning(this, windowTitle(), message); },
      Qt::QueuedConnection);
}

void TForm27::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) Edit1_->setFocus();
}

}  // namespace kal
