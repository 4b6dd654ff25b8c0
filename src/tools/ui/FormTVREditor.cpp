#include "tools/ui/FormTVREditor.h"

#include <QAbstractItemDelegate>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

#include "support/Base64.h"
#include "support/HexUtilities.h"
#include "support/TraceLogger.h"
#include "support/ui/FieldWidths.h"
#include "support/ui/RowEditGrid.h"

namespace kal {

namespace {

constexpr int kCommandGridMinRows = 11;

std::string Std(const QString& text) {
  return text.toStdString();
}
QString Qs(const std::string& text) {
  return QString::fromStdString(text);
}

int BitPageIndex(TEMVPage page) {
  return static_cast<int>(page);
}

}  // namespace

// --- TEMVRadioGroup ---

TEMVRadioGroup::TEMVRadioGroup(const QString& title, const std::vector<std::string>& items,
                               int columns, QWidget* parent)
    : QGroupBox(title, parent), buttons_(new QButtonGroup(this)) {
  auto* layout = new QGridLayout(this);
  const int rows = (static_cast<int>(items.size()) + columns - 1) / columns;
  for (int i = 0; i < static_cast<int>(items.size()); ++i) {
    auto* button = new QRadioButton(Qs(items[static_cast<size_t>(i)]), this);
    buttons_->addButton(button, i);
    layout->addWidget(button, i % rows, i / rows);
  }
}

int TEMVRadioGroup::ItemIndex() const {
  return buttons_->checkedId();
}

void TEMVRadioGroup::SetItemIndex(int index) {
  const QSignalBlocker block(buttons_);
  if (QAbstractButton* button = buttons_->button(index)) {
    const QSignalBlocker blockButton(button);
    button->setChecked(true);
    return;
  }
  // An exclusive group never unchecks its last button by itself.
  buttons_->setExclusive(false);
  for (QAbstractButton* button : buttons_->buttons()) {
    const QSignalBlocker blockButton(button);
    button->setChecked(false);
  }
  buttons_->setExclusive(true);
}

// --- The busy scope ---

class TFormTVREditor::TDecodeScope {
 public:
  explicit TDecodeScope(TFormTVREditor& form) : form_(form), saved_(form.busy_) {
    form.busy_ = true;
  }
  ~TDecodeScope() { form_.busy_ = saved_; }
  TDecodeScope(const TDecodeScope&) = delete;
  TDecodeScope& operator=(const TDecodeScope&) = delete;

 private:
  TFormTVREditor& form_;
  bool saved_;
};

// --- Construction ---

TFormTVREditor::TFormTVREditor(TTDBDebug* trace, QWidget* parent) : QDialog(parent) {
  setObjectName("TFormTVREditor");
  setWindowTitle("EMV Elements Editor");

  Label6_ = new QLabel(this);
  Label6_->setObjectName("Label6");
  QFont bold = Label6_->font();
  bold.setBold(true);
  Label6_->setFont(bold);

  pages_ = new QTabWidget(this);
  pages_->setObjectName("PageControl1");
  BuildBitPage(TEMVPage::TVR);
  BuildBitPage(TEMVPage::ApplicationInterchangeProfile);
  BuildBitPage(TEMVPage::TerminalCapabilities);
  BuildBitPage(TEMVPage::AdditionalTerminalCapabilities);
  BuildCvmPage();
  BuildTerminalTypePage();
  BuildCidPage();
  BuildScriptCommandsPage();
  BuildScriptResultsPage();
  connect(pages_, &QTabWidget::currentChanged, this, [this] { OnPageChanged(); });

  Edit1_ = new QLineEdit(this);
  Edit1_->setObjectName("Edit1");
  Edit6_ = new QLineEdit(this);
  Edit6_->setObjectName("Edit6");
  connect(Edit1_, &QLineEdit::textEdited, this, [this] { OnValueEdited(); });
  connect(Edit6_, &QLineEdit::textEdited, this, [this] { OnBase64Edited(); });

  auto* ok = new QPushButton("Ok", this);
  ok->setObjectName("Ok");
  ok->setDefault(true);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("Cancel");
  connect(ok, &QPushButton::clicked, this, [this] { done(1); });
  connect(cancel, &QPushButton::clicked, this, [this] { done(2); });

  auto* fields = new QGridLayout;
  fields->addWidget(new QLabel("Value", this), 0, 0);
  fields->addWidget(Edit1_, 0, 1);
  fields->addWidget(new QLabel("Base64", this), 1, 0);
  fields->addWidget(Edit6_, 1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Label6_);
  layout->addWidget(pages_, 1);
  layout->addLayout(fields);
  layout->addLayout(buttons);

  Label6_->setText(EMVPageCaption(ActivePage()));
  if (trace != nullptr) trace->TDBSimpleAddString("TFormTVREditor");
}

void TFormTVREditor::AddPage(TEMVPage page, QWidget* content) {
  content->setObjectName(QString("TabSheet%1").arg(static_cast<int>(page) + 1));
  pages_->addTab(content, EMVPageCaption(page));
}

void TFormTVREditor::BuildBitPage(TEMVPage page) {
  auto* content = new QWidget;
  auto* layout = new QGridLayout(content);
  const int bytes = EMVBitPageBytes(page);
  auto& lists = bitLists_[BitPageIndex(page)];
  for (int b = 0; b < bytes; ++b) {
    auto* list = new QListWidget(content);
    list->setObjectName(QString("CheckList%1_%2").arg(static_cast<int>(page)).arg(b + 1));
    for (int i = 0; i < 8; ++i) {
      auto* item = new QListWidgetItem(EMVBitItemText(page, b, i), list);
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
      item->setCheckState(Qt::Unchecked);
    }
    FLWFitItems(*list);
    connect(list, &QListWidget::itemChanged, this, [this, page] { EncodeBits(page); });
    auto* box = new QVBoxLayout;
    box->addWidget(new QLabel(Qs(EMVBitByteCaption(page, b)), content));
    box->addWidget(list);
    layout->addLayout(box, b / 3, b % 3);
    lists.push_back(list);
  }
  AddPage(page, content);
}

void TFormTVREditor::BuildCvmPage() {
  auto* content = new QWidget;
  cvmMethod_ = new TEMVRadioGroup("CVM Code", EMVCvmMethodTexts(), 1, content);
  cvmMethod_->setObjectName("CvmMethod");
  cvmOnFailure_ = new TEMVRadioGroup("If unsuccessful", EMVCvmOnFailureTexts(), 1, content);
  cvmOnFailure_->setObjectName("CvmOnFailure");
  cvmCondition_ = new TEMVRadioGroup("CVM Condition", EMVCvmConditionTexts(), 1, content);
  cvmCondition_->setObjectName("CvmCondition");
  cvmResult_ = new TEMVRadioGroup("CVM Result", EMVCvmResultTexts(), 1, content);
  cvmResult_->setObjectName("CvmResult");
  Edit2_ = new QLineEdit(content);
  Edit2_->setObjectName("Edit2");
  Edit3_ = new QLineEdit(content);
  Edit3_->setObjectName("Edit3");
  for (TEMVRadioGroup* group : {cvmMethod_, cvmOnFailure_, cvmCondition_, cvmResult_})
    connect(group->Buttons(), &QButtonGroup::idClicked, this, [this] { EncodeCvm(); });
  for (QLineEdit* field : {Edit2_, Edit3_}) {
    connect(field, &QLineEdit::textEdited, this, [this](const QString& text) {
      const std::string byte = Std(text.trimmed());
      if (byte.size() == 2 && UTHIsHexString(byte)) EncodeCvm();
    });
  }
  auto* layout = new QGridLayout(content);
  layout->addWidget(cvmMethod_, 0, 0);
  layout->addWidget(new QLabel("Other value", content), 1, 0);
  layout->addWidget(Edit2_, 2, 0);
  layout->addWidget(cvmOnFailure_, 3, 0);
  layout->addWidget(cvmCondition_, 0, 1);
  layout->addWidget(new QLabel("Other", content), 1, 1);
  layout->addWidget(Edit3_, 2, 1);
  layout->addWidget(cvmResult_, 3, 1);
  AddPage(TEMVPage::CVMResults, content);
}

void TFormTVREditor::BuildTerminalTypePage() {
  auto* content = new QWidget;
  terminalEnvironment_ = new TEMVRadioGroup("", EMVTerminalEnvironmentTexts(), 1, content);
  terminalEnvironment_->setObjectName("TerminalEnvironment");
  terminalCapability_ = new TEMVRadioGroup("", EMVTerminalCapabilityTexts(), 1, content);
  terminalCapability_->setObjectName("TerminalCapability");
  terminalControl_ =
      new TEMVRadioGroup("Operational Control Provided By", EMVTerminalControlTexts(), 1, content);
  terminalControl_->setObjectName("TerminalControl");
  terminalError_ = new QLabel(content);
  terminalError_->setObjectName("LabelTerminalTypeError");
  for (TEMVRadioGroup* group : {terminalEnvironment_, terminalCapability_, terminalControl_})
    connect(group->Buttons(), &QButtonGroup::idClicked, this, [this] { EncodeTerminalType(); });
  auto* layout = new QVBoxLayout(content);
  layout->addWidget(terminalEnvironment_);
  layout->addWidget(terminalCapability_);
  layout->addWidget(terminalControl_);
  layout->addWidget(terminalError_);
  layout->addStretch(1);
  AddPage(TEMVPage::TerminalType, content);
}

void TFormTVREditor::BuildCidPage() {
  auto* content = new QWidget;
  cidType_ = new TEMVRadioGroup("Type of Cryptogramm", EMVCidTypeTexts(), 1, content);
  cidType_->setObjectName("CidType");
  cidPayment_ = new TEMVRadioGroup("Payment System Bits", EMVCidPaymentTexts(), 4, content);
  cidPayment_->setObjectName("CidPayment");
  cidAdvice_ = new TEMVRadioGroup("Advice", EMVCidAdviceTexts(), 2, content);
  cidAdvice_->setObjectName("CidAdvice");
  cidReason_ = new TEMVRadioGroup("Reason/Advice/Referral Code", EMVCidReasonTexts(), 2, content);
  cidReason_->setObjectName("CidReason");
  for (TEMVRadioGroup* group : {cidType_, cidPayment_, cidAdvice_, cidReason_})
    connect(group->Buttons(), &QButtonGroup::idClicked, this, [this] { EncodeCid(); });
  auto* layout = new QVBoxLayout(content);
  layout->addWidget(cidType_);
  layout->addWidget(cidPayment_);
  layout->addWidget(cidAdvice_);
  layout->addWidget(cidReason_);
  layout->addStretch(1);
  AddPage(TEMVPage::CryptogramInformationData, content);
}

void TFormTVREditor::BuildScriptCommandsPage() {
  auto* content = new QWidget;
  scriptTag_ = new TEMVRadioGroup(
      "Command Tag", {"71 (Before second Generate AC)", "72 (After second Generate AC)"}, 2,
      content);
  scriptTag_->setObjectName("ScriptTag");
  scriptTag_->SetItemIndex(0);
  connect(scriptTag_->Buttons(), &QButtonGroup::idClicked, this,
          [this] { EncodeScriptCommands(); });

  Edit4_ = new QLineEdit(content);
  Edit4_->setObjectName("Edit4");
  connect(Edit4_, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (EMVNormalizeValue(Std(text)).size() == 8) EncodeScriptCommands();
  });

  commandGrid_ = new TRowEditGrid(content);
  commandGrid_->setObjectName("StringGrid1");
  commandGrid_->SetColCount(2);
  commandGrid_->SetRowCount(kCommandGridMinRows);
  commandGrid_->SetFixedRows(1);
  commandGrid_->SetFixedCols(1);
  commandGrid_->SetMinRows(kCommandGridMinRows);
  commandGrid_->SetCell(1, 0, "Command");
  commandGrid_->setColumnWidth(0, 24);
  static const char* const captions[TRowEditGrid::CommandCount] = {
      "Cut command(s)",    "Copy command(s)",  "Paste Command(s)",
      "Delete Command(s)", "Insert empty row", "Append empty row"};
  for (int i = 0; i < TRowEditGrid::CommandCount; ++i)
    commandGrid_->CommandAction(static_cast<TRowEditGrid::TCommand>(i))->setText(captions[i]);
  commandGrid_->SetMessageSink([this](const QString& text) { ShowMessage(text); });
  connect(commandGrid_, &TRowEditGrid::rowsEdited, this, [this] {
    TrimCommandGrid();
    EncodeScriptCommands();
  });
  // A cell the user has edited trims the grid; row commands trim once they
  // are done (rowsEdited), never between the cells they write.
  connect(commandGrid_->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
          [this] { TrimCommandGrid(); });
  connect(commandGrid_, &QTableWidget::currentCellChanged, this,
          [this](int row) { TVRiRowSelected_ = row; });

  auto* refresh = new QPushButton("Refresh", content);
  refresh->setObjectName("ButtonRefresh");
  connect(refresh, &QPushButton::clicked, this, [this] { EncodeScriptCommands(); });
  auto* clear = new QPushButton("Clear", content);
  clear->setObjectName("ButtonClear");
  connect(clear, &QPushButton::clicked, this, [this] { ClearCommandGrid(); });
  commandMessage_ = new QLabel(content);
  commandMessage_->setObjectName("LabelScriptMessage");

  auto* top = new QHBoxLayout;
  top->addWidget(scriptTag_);
  auto* id = new QVBoxLayout;
  id->addWidget(new QLabel("Script ID (4 bytes)", content));
  id->addWidget(Edit4_);
  top->addLayout(id);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(refresh);
  buttons->addWidget(clear);
  buttons->addWidget(commandMessage_, 1);
  auto* layout = new QVBoxLayout(content);
  layout->addLayout(top);
  layout->addWidget(commandGrid_, 1);
  layout->addLayout(buttons);
  AddPage(TEMVPage::IssuerScriptCommands, content);
}

void TFormTVREditor::BuildScriptResultsPage() {
  auto* content = new QWidget;
  Edit5_ = new QLineEdit(content);
  Edit5_->setObjectName("Edit5");
  Edit5_->setMaxLength(8);
  Edit5_->setValidator(
      new QRegularExpressionValidator(QRegularExpression("[0-9A-Fa-f]{0,8}"), Edit5_));
  connect(Edit5_, &QLineEdit::textEdited, this, [this](const QString& text) {
    const std::string id = EMVNormalizeValue(Std(text));
    results_.scriptId = id;
    if (id.size() != 8) return;
    EMVSetScriptResultsId(results_, id);
    EncodeScriptResults();
  });
  auto* add = new QPushButton("Add", content);
  add->setObjectName("ButtonAddResult");
  connect(add, &QPushButton::clicked, this, [this] {
    EMVAddScriptResult(results_);
    ShowScriptResults();
    EncodeScriptResults();
  });
  resultsMessage_ = new QLabel(content);
  resultsMessage_->setObjectName("LabelResultsMessage");

  auto* groups = new QWidget;
  resultGroups_ = new QVBoxLayout(groups);
  resultGroups_->addStretch(1);
  auto* scroll = new QScrollArea(content);
  scroll->setWidgetResizable(true);
  scroll->setWidget(groups);

  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel("Script ID (4 bytes)", content));
  top->addWidget(Edit5_);
  top->addWidget(add);
  top->addStretch(1);
  auto* layout = new QVBoxLayout(content);
  layout->addLayout(top);
  layout->addWidget(scroll, 1);
  layout->addWidget(resultsMessage_);
  AddPage(TEMVPage::IssuerScriptResults, content);

  results_ = EMVInitialScriptResults();
  ShowScriptResults();
}

// --- Window events ---

TEMVPage TFormTVREditor::ActivePage() const {
  return static_cast<TEMVPage>(std::max(pages_->currentIndex(), 0));
}

void TFormTVREditor::ShowMessage(const QString& text) {
  if (message_)
    message_(text);
  else
    QMessageBox::information(this, QApplication::applicationName(), text);
}

int TFormTVREditor::Execute(const QString& value) {
  SetValueText(value);
  Label6_->setText(EMVPageCaption(ActivePage()));
  DecodePage();
  return exec();
}

void TFormTVREditor::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  WidenCommandColumn();
}

QString TFormTVREditor::Value() const {
  return Edit1_->text();
}

bool TFormTVREditor::EDFEditEmvValue(std::string& value) {
  if (Execute(Qs(value)) != 1) return false;
  value = Std(Value());
  return true;
}

void TFormTVREditor::reject() {
  done(2);
}

void TFormTVREditor::SetValueText(const QString& hex) {
  {
    const QSignalBlocker block(Edit1_);
    Edit1_->setText(hex);
  }
  UpdateBase64();
}

void TFormTVREditor::UpdateBase64() {
  std::string hex = Std(Edit1_->text());
  std::erase(hex, ' ');
  if (hex.size() % 2 != 0) return;
  std::string base64;
  if (TUTBase64().EncodeData(UTHHexToString(hex), base64)) return;
  const QSignalBlocker block(Edit6_);
  Edit6_->setText(Qs(base64));
}

void TFormTVREditor::OnValueEdited() {
  DecodePage();
  UpdateBase64();
}

void TFormTVREditor::OnBase64Edited() {
  std::string bytes;
  if (TUTBase64().DecodeData(Std(Edit6_->text()), bytes) != TUTBase64::UTBcOk) return;
  {
    const QSignalBlocker block(Edit1_);
    Edit1_->setText(Qs(UTHStringToCompactHex(bytes)));
  }
  DecodePage();
}

void TFormTVREditor::OnPageChanged() {
  Label6_->setText(EMVPageCaption(ActivePage()));
  DecodePage();
}

void TFormTVREditor::DecodePage() {
  if (busy_) return;
  const TDecodeScope scope(*this);
  const TEMVPage page = ActivePage();
  switch (page) {
    case TEMVPage::TVR:
    case TEMVPage::ApplicationInterchangeProfile:
    case TEMVPage::TerminalCapabilities:
    case TEMVPage::AdditionalTerminalCapabilities:
      DecodeBits(page);
      break;
    case TEMVPage::CVMResults:
      DecodeCvm();
      break;
    case TEMVPage::TerminalType:
      DecodeTerminalType();
      break;
    case TEMVPage::CryptogramInformationData:
      DecodeCid();
      break;
    case TEMVPage::IssuerScriptCommands:
      DecodeScriptCommands();
      break;
    case TEMVPage::IssuerScriptResults:
      DecodeScriptResults();
      break;
  }
}

// --- Check-list pages ---

void TFormTVREditor::DecodeBits(TEMVPage page) {
  auto& lists = bitLists_[BitPageIndex(page)];
  std::vector<TEMVBitByte> bytes(lists.size());
  if (!EMVDecodeBits(Std(Edit1_->text()), bytes)) return;
  for (size_t b = 0; b < lists.size(); ++b) {
    const QSignalBlocker block(lists[b]);
    for (int i = 0; i < 8; ++i)
      lists[b]->item(i)->setCheckState(bytes[b][static_cast<size_t>(i)] ? Qt::Checked
                                                                        : Qt::Unchecked);
  }
}

void TFormTVREditor::EncodeBits(TEMVPage page) {
  if (busy_) return;
  const auto& lists = bitLists_[BitPageIndex(page)];
  std::vector<TEMVBitByte> bytes(lists.size());
  for (size_t b = 0; b < lists.size(); ++b)
    for (int i = 0; i < 8; ++i)
      bytes[b][static_cast<size_t>(i)] = lists[b]->item(i)->checkState() == Qt::Checked;
  SetValueText(Qs(EMVEncodeBits(bytes)));
}

// --- CVM Results ---

void TFormTVREditor::DecodeCvm() {
  TEMVCvmResults page;
  page.onFailure = cvmOnFailure_->ItemIndex();
  page.otherMethod = Std(Edit2_->text());
  page.otherCondition = Std(Edit3_->text());
  if (!EMVDecodeCvmResults(Std(Edit1_->text()), page)) return;
  cvmMethod_->SetItemIndex(page.method);
  cvmOnFailure_->SetItemIndex(page.onFailure);
  cvmCondition_->SetItemIndex(page.condition);
  cvmResult_->SetItemIndex(page.result);
  const QSignalBlocker block2(Edit2_), block3(Edit3_);
  Edit2_->setText(Qs(page.otherMethod));
  Edit3_->setText(Qs(page.otherCondition));
}

void TFormTVREditor::EncodeCvm() {
  if (busy_) return;
  TEMVCvmResults page;
  page.method = cvmMethod_->ItemIndex();
  page.otherMethod = Std(Edit2_->text());
  page.onFailure = cvmOnFailure_->ItemIndex();
  page.condition = cvmCondition_->ItemIndex();
  page.otherCondition = Std(Edit3_->text());
  page.result = cvmResult_->ItemIndex();
  std::string message;
  const std::string value = EMVEncodeCvmResults(page, message);
  SetValueText(Qs(value));
  if (!message.empty()) ShowMessage(Qs(message));
}

// --- Terminal Type ---

void TFormTVREditor::DecodeTerminalType() {
  TEMVTerminalType page;
  EMVDecodeTerminalType(Std(Edit1_->text()), page);
  terminalEnvironment_->SetItemIndex(page.environment);
  terminalCapability_->SetItemIndex(page.capability);
  terminalControl_->SetItemIndex(page.control);
  terminalError_->clear();
}

void TFormTVREditor::EncodeTerminalType() {
  if (busy_) return;
  const TEMVTerminalType page{terminalEnvironment_->ItemIndex(), terminalCapability_->ItemIndex(),
                              terminalControl_->ItemIndex()};
  std::string value;
  const TEMVTerminalTypeCode code = EMVEncodeTerminalType(page, value);
  terminalError_->setText(code == TEMVTerminalTypeCode::Error ? "Error" : "");
  if (code == TEMVTerminalTypeCode::Encoded) SetValueText(Qs(value));
}

// --- Cryptogram Information Data ---

void TFormTVREditor::DecodeCid() {
  TEMVCryptogramInfo page;
  if (!EMVDecodeCryptogramInfo(Std(Edit1_->text()), page)) return;
  cidType_->SetItemIndex(page.type);
  cidPayment_->SetItemIndex(page.paymentBits);
  cidAdvice_->SetItemIndex(page.advice);
  cidReason_->SetItemIndex(page.reason);
}

void TFormTVREditor::EncodeCid() {
  if (busy_) return;
  const TEMVCryptogramInfo page{cidType_->ItemIndex(), cidPayment_->ItemIndex(),
                                cidAdvice_->ItemIndex(), cidReason_->ItemIndex()};
  SetValueText(Qs(EMVEncodeCryptogramInfo(page)));
}

// --- Issuer Script Commands ---

void TFormTVREditor::DecodeScriptCommands() {
  TEMVScriptCommands page;
  page.tag = scriptTag_->ItemIndex();
  page.scriptId = Std(Edit4_->text());
  std::string message;
  EMVDecodeScriptCommands(Std(Edit1_->text()), page, message);
  if (!message.empty()) commandMessage_->setText(Qs(message));
  scriptTag_->SetItemIndex(page.tag);
  {
    const QSignalBlocker block(Edit4_);
    Edit4_->setText(Qs(page.scriptId));
  }
  const QSignalBlocker block(commandGrid_);
  const int first = commandGrid_->FixedRows();
  if (commandGrid_->RowCount() < first + static_cast<int>(page.commands.size()))
    commandGrid_->SetRowCount(first + static_cast<int>(page.commands.size()));
  for (size_t i = 0; i < page.commands.size(); ++i)
    commandGrid_->SetCell(1, first + static_cast<int>(i), page.commands[i]);
  TrimCommandGrid();
}

void TFormTVREditor::EncodeScriptCommands() {
  if (busy_) return;
  TEMVScriptCommands page;
  page.tag = scriptTag_->ItemIndex();
  page.scriptId = Std(Edit4_->text());
  for (int row = commandGrid_->FixedRows(); row < commandGrid_->RowCount(); ++row)
    page.commands.push_back(commandGrid_->Cell(1, row));
  SetValueText(Qs(EMVEncodeScriptCommands(page)));
}

void TFormTVREditor::TrimCommandGrid() {
  const QSignalBlocker block(commandGrid_);
  EMVTrimCommandGrid(*commandGrid_, kCommandGridMinRows);
}

void TFormTVREditor::ClearCommandGrid() {
  const QSignalBlocker block(commandGrid_);
  for (int row = commandGrid_->FixedRows(); row < commandGrid_->RowCount(); ++row)
    commandGrid_->SetCell(1, row, "");
}

void TFormTVREditor::WidenCommandColumn() {
  commandGrid_->setColumnWidth(
      1, std::max(commandGrid_->viewport()->width() - commandGrid_->columnWidth(0) - 5, 50));
}

// --- Issuer Script Results ---

void TFormTVREditor::DecodeScriptResults() {
  TEMVScriptResults page = results_;
  std::string message;
  if (!EMVDecodeScriptResults(Std(Edit1_->text()), page, message)) return;
  results_ = std::move(page);
  initialGroup_ = false;
  resultsMessage_->setText(Qs(message));
  {
    const QSignalBlocker block(Edit5_);
    Edit5_->setText(Qs(results_.scriptId));
  }
  ShowScriptResults();
}

void TFormTVREditor::EncodeScriptResults() {
  if (busy_) return;
  SetValueText(Qs(EMVEncodeScriptResults(results_)));
}

void TFormTVREditor::ShowScriptResults() {
  // The groups are rebuilt from results_; a group's own "Remove" button may
  // be running, so the old widgets go later.
  while (resultGroups_->count() > 1) {
    QLayoutItem* item = resultGroups_->takeAt(0);
    if (QWidget* w = item->widget()) {
      w->hide();
      w->deleteLater();
    }
    delete item;
  }
  std::vector<std::string> texts = EMVScriptResultTexts();
  for (size_t g = 0; g < results_.groups.size(); ++g) {
    texts[2] = g == 0 && initialGroup_ ? "Processing successful" : EMVScriptResultTexts()[2];
    auto* group = new TEMVRadioGroup(QString("Script %1").arg(results_.groups[g].number), texts, 3,
                                     resultGroups_->parentWidget());
    group->setObjectName(QString("ResultGroup%1").arg(g));
    group->SetItemIndex(results_.groups[g].result);
    auto* remove = new QPushButton("Remove", group);
    remove->setObjectName("Remove");
    static_cast<QGridLayout*>(group->layout())->addWidget(remove, 0, 3);
    connect(group->Buttons(), &QButtonGroup::idClicked, this, [this, g](int id) {
      if (g >= results_.groups.size()) return;
      results_.groups[g].result = id;
      EncodeScriptResults();
    });
    connect(remove, &QPushButton::clicked, this, [this, g] {
      if (g == 0) initialGroup_ = false;
      EMVRemoveScriptResult(results_, g);
      ShowScriptResults();
      EncodeScriptResults();
    });
    resultGroups_->insertWidget(static_cast<int>(g), group);
  }
}

}  // namespace kal
