#include "workbench/ui/FormSKISecItems.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ep2/AttributeLetters.h"
#include "ep2/Ep2Security.h"
#include "ep2/MessageElement.h"
#include "ep2/MessageTree.h"
#include "support/TraceLogger.h"
#include "support/ui/FieldWidths.h"
#include "workbench/MainWindow.h"
#include "workbench/ui/CheckListBox.h"

namespace kal {

namespace {

struct RowWidgets {
  const char* plainName;
  const char* plainLabel;
  int plainLength;  // characters of the longest plaintext
  const char* computeCaption;
  const char* resultName;
  const char* resultLabel;
  int resultBytes;  // bytes of the longest result; 0: as long as the RSA modulus
};

// The longest plaintexts: a PIN of the most digits a PIN block is read back
// with, a PAN of 19 digits (ISO/IEC 7812), track 2 data of 37 characters
// (ISO/IEC 7813), and its equivalent as long.
constexpr int kPINDigits = TSECep2Security::SECcMaxPINLength;
constexpr int kPANDigits = 19;
constexpr int kTrack2Characters = 37;

// Account data is encrypted as its compressed numeric bytes (two digits a
// byte) with mandatory padding to the next whole DES block.
constexpr int EncryptedBytes(int digits) {
  constexpr int block = TSECep2Security::SECcDESBlocklength;
  return ((digits + 1) / 2 / block + 1) * block;
}

// clang-format off
constexpr RowWidgets kRowWidgets[kSKIRowCount] = {
    {nullptr,  nullptr,                             0,                 "Session Key Cryptogram",       "Edit9",  "Session Key Cryptogram",        0},
    {"Edit10", "Plaintext PIN (n)",                 kPINDigits,        "Encrypted PIN",                "Edit11", "Encrypted PIN",                 TSECep2Security::SECcPINBlockLength},
    {"Edit12", "Plaintext PAN (cn)",                kPANDigits,        "Encrypted PAN",                "Edit13", "Encrypted PAN",                 EncryptedBytes(kPANDigits)},
    {"Edit14", "Plaintext Track 2 Data (cn)",       kTrack2Characters, "Encrypted Track 2 Data",       "Edit15", "Encrypted Track 2 Data",        EncryptedBytes(kTrack2Characters)},
    {"Edit1",  "Plaintext Track 2 Eqiv. Data (cn)", kTrack2Characters, "Encrypted Track 2 Eqiv. Data", "Edit2",  "Encrypted Track 2 Equiv. Data", EncryptedBytes(kTrack2Characters)},
};
// clang-format on

constexpr const char* kAttributeItems[] = {"F  Fix value", "M Mandatory", "V  Value from input",
                                           "S Fast select edit"};

int LineOf(const TXMLMessageTree& tree, const TXMLTreeNode* node) {
  int index = 0;
  for (const TXMLTreeNode* n = tree.GetFirstNode(); n != nullptr; n = n->GetNext(), ++index) {
    if (n == node) return index;
  }
  return -1;
}

}  // namespace

TForm6::TForm6(TCEXMainWindow& main, ICEXDialogs& dialogs, QWidget* parent)
    : QDialog(parent), main_(main), dialogs_(dialogs) {
  setObjectName("TForm6");
  setWindowTitle("Security Items");
  main_.CEXTrace().TDBSimpleAddString("TForm6");
  items_ = std::make_unique<TSKISecurityItems>(TSKISecurityItems::TPorts{
      main_.CEXConfiguration(), main_.CEXSecurity(),
      [this](std::string& key) { return main_.CEXBuildRoad().CEXGetSessionKey(key); }, main_});

  auto* grid = new QGridLayout;
  auto edit = [this](const char* name) {
    auto* e = new QLineEdit(this);
    e->setObjectName(name);
    return e;
  };
  auto button = [this](const QString& caption, const QString& name) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(name);
    return b;
  };
  // Each row on two lines: the plaintext, then the result with its compute,
  // add and modify buttons.
  Edit3_ = edit("Edit3");
  grid->addWidget(new QLabel("Plaintext Cryptogram (HEX)", this), 0, 0);
  grid->addWidget(Edit3_, 0, 1);
  QPushButton* encrypt = button("Encrypt Plaintext Cryptogramm", "EncryptPlaintext");
  grid->addWidget(encrypt, 0, 2);
  int line = 1;
  for (int i = 0; i < kSKIRowCount; ++i) {
    const RowWidgets& w = kRowWidgets[i];
    const auto row = static_cast<TSKIRow>(i);
    if (w.plainName != nullptr) {
      plain_[i] = edit(w.plainName);
      // A PIN is digits only; the account data is compressed numeric.
      FLWFitText(*plain_[i], row == TSKIRow::PIN ? TFLWText::Digits : TFLWText::HexDigits,
                 w.plainLength);
      grid->addWidget(new QLabel(w.plainLabel, this), line, 0);
      grid->addWidget(plain_[i], line, 1);
      ++line;
    }
    QPushButton* compute = button(w.computeCaption, QString("Compute%1").arg(i));
    result_[i] = edit(w.resultName);
    if (w.resultBytes > 0) FLWFitText(*result_[i], TFLWText::SpacedHex, w.resultBytes);
    add_[i] = button("Add Element", QString("Add%1").arg(i));
    modify_[i] = button("Modify", QString("Modify%1").arg(i));
    grid->addWidget(new QLabel(w.resultLabel, this), line, 0);
    grid->addWidget(result_[i], line, 1);
    grid->addWidget(compute, line, 2);
    grid->addWidget(add_[i], line, 3);
    grid->addWidget(modify_[i], line, 4);
    ++line;
    connect(add_[i], &QPushButton::clicked, this, [this, row] { AddElement(row); });
    connect(modify_[i], &QPushButton::clicked, this, [this, row] { ModifyElement(row); });
    connect(compute, &QPushButton::clicked, this, [this, row, i] {
      std::optional<std::string> result;
      switch (row) {
        case TSKIRow::Cryptogram:
          result = items_->SKISessionKeyCryptogram();
          break;
        case TSKIRow::PIN:
          result = items_->SKIEncryptedPIN(Text(plain_[1]), Text(plain_[2]), Text(plain_[3]),
                                           Text(plain_[4]));
          break;
        default:
          result = items_->SKIEncryptedAccountData(row, Text(plain_[i]));
          break;
      }
      if (result) result_[i]->setText(QString::fromStdString(*result));
    });
  }
  connect(encrypt, &QPushButton::clicked, this, [this] {
    result_[0]->setText(QString::fromStdString(items_->SKIEncryptPlainCryptogram(Text(Edit3_))));
  });

  CheckListBox1_ = new TUCBCheckListBox(this);
  CheckListBox1_->setObjectName("CheckListBox1");
  for (const char* item : kAttributeItems) CheckListBox1_->UCBAddItem(item);
  FLWFitItems(*CheckListBox1_);
  QPushButton* fast = button("Fast Select Next", "FastSelectNext");
  QPushButton* close = button("Close", "Close");
  connect(fast, &QPushButton::clicked, this, &TForm6::FastSelectNext);
  connect(close, &QPushButton::clicked, this, &QWidget::hide);

  auto* side = new QVBoxLayout;
  side->addWidget(new QLabel("Attributes", this));
  side->addWidget(CheckListBox1_);
  side->addWidget(fast);
  side->addStretch();
  side->addWidget(close);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(grid, 1);
  layout->addLayout(side);

  main_.CEXSubscribeSourceSelection(*this);
}

TForm6::~TForm6() {
  main_.CEXUnsubscribeSourceSelection(*this);
}

std::string TForm6::Text(const QLineEdit* edit) {
  return edit->text().toStdString();
}

std::string TForm6::Attributes() const {
  std::string attributes;
  UCBGetAttributeString(*CheckListBox1_, attributes);
  return attributes;
}

void TForm6::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  Activate();
}

void TForm6::Activate() {
  ApplyActivation(main_.CEXSelectedSourceNode());
}

void TForm6::CEXSourceSelectionChanged(TXMLTreeNode* node) {
  ApplyActivation(node);
}

void TForm6::ApplyActivation(const TXMLTreeNode* node) {
  const TSKIActivation a = TSKISecurityItems::SKIActivate(node);
  if (a.attributes) UCBSetAttributes(*a.attributes, *CheckListBox1_);
  for (int i = 0; i < kSKIRowCount; ++i) {
    add_[i]->setEnabled(a.addEnabled);
    modify_[i]->setEnabled(a.modifyEnabled[i]);
    if (a.values[i]) result_[i]->setText(QString::fromStdString(*a.values[i]));
  }
}

void TForm6::AddElement(TSKIRow row) {
  TXMLTreeNode* selected = main_.CEXSelectedSourceNode();
  const auto i = static_cast<size_t>(row);
  if (TSKISecurityItems::SKIAddElement(main_.CEXSourceTree(), selected, row, Text(result_[i]),
                                       Attributes()) == nullptr) {
    Activate();
    return;
  }
  main_.CEXSetHasChanged(true);
  main_.CEXStateChanged(CEXpSourceTree);
}

void TForm6::ModifyElement(TSKIRow row) {
  TXMLTreeNode* selected = main_.CEXSelectedSourceNode();
  const auto i = static_cast<size_t>(row);
  if (!TSKISecurityItems::SKIModifyElement(selected, row, Text(result_[i]), Attributes())) {
    Activate();
    return;
  }
  main_.CEXSetHasChanged(true);
  main_.CEXStateChanged(CEXpSourceTree);
}

void TForm6::FastSelectNext() {
  TXMLMessageTree& tree = main_.CEXSourceTree();
  TXMLTreeNode* next = TSKISecurityItems::SKINextFastSelect(tree, main_.CEXSelectedSourceNode());
  if (next == nullptr) {
    dialogs_.CEXShowMessage("no more fast selection items found");
    return;
  }
  main_.CEXSetSelectedSourceLine(LineOf(tree, next));
  main_.CEXStateChanged(CEXpSourceTree);
}

}  // namespace kal
