#include "workbench/ui/FormEditWindow.h"

#include <QButtonGroup>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "ep2/AttributeLetters.h"
#include "support/TraceLogger.h"
#include "support/ui/FieldWidths.h"
#include "workbench/EmvEditorPort.h"
#include "workbench/MainServices.h"
#include "workbench/ui/CheckListBox.h"

namespace kal {

class TForm3::TEditorLink final : public IEDFEmvEditor {
 public:
  explicit TEditorLink(TForm3& form) : form_(form) {}
  bool EDFEditEmvValue(std::string& value) override {
    return form_.emvEditor_ != nullptr && form_.emvEditor_->EDFEditEmvValue(value);
  }

 private:
  TForm3& form_;
};

TForm3::TForm3(ICEXMainServices& main, ICEXDialogs& dialogs, TEDFElementEdit::THooks hooks,
               QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint),
      main_(main),
      editorLink_(std::make_unique<TEditorLink>(*this)) {
  setObjectName("TForm3");
  setWindowTitle("Edit Window");
  setModal(false);

  EditTag_ = new QLineEdit;
  EditTag_->setObjectName("EditTag");
  EditValue_ = new QLineEdit;
  EditValue_->setObjectName("EditValue");
  EditTLVTag_ = new QLineEdit;
  EditTLVTag_->setObjectName("EditTLVTag");

  auto* RadioGroup1 = new QGroupBox("Type");
  RadioGroup1->setObjectName("RadioGroup1");
  auto* typeLayout = new QVBoxLayout(RadioGroup1);
  types_ = new QButtonGroup(this);
  for (int i = 0; i < EDFcTypeCount; ++i) {
    auto* button = new QRadioButton(EDFcTypeItems[i]);
    types_->addButton(button, i);
    typeLayout->addWidget(button);
  }

  CheckListBox1_ = new TUCBCheckListBox;
  CheckListBox1_->setObjectName("CheckListBox1");
  for (const TUCBAttributeLetter& a : kUCBElementAttributes) {
    // F and V stand a blank further from their text.
    const char* gap = (a.letter == 'F' || a.letter == 'V') ? "  " : " ";
    CheckListBox1_->UCBAddItem(QString("%1%2%3").arg(QChar(a.letter)).arg(gap).arg(a.text));
  }
  FLWFitItems(*CheckListBox1_);
  auto* attributes = new QGroupBox("Attributes");
  auto* attributesLayout = new QVBoxLayout(attributes);
  attributesLayout->addWidget(CheckListBox1_);

  auto button = [this](const char* name, const char* text) {
    auto* b = new QPushButton(text);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
  };
  auto* Button4 = button("Button4", "Modify Selected Item");
  Button1_ = button("Button1", "Add Element");
  Button2_ = button("Button2", "Add Container");
  auto* Button3 = button("Button3", "Delete Selected Item");
  auto* Button6 = button("Button6", "Fast Select Next");
  auto* Button9 = button("Button9", "EMV Editor...");
  auto* Button7 = button("Button7", "Compute ATC");
  auto* Button8 = button("Button8", "...");
  auto* Button10 = button("Button10", "Lookup EMV Tag");
  auto* Button5 = button("Button5", "Close");

  auto* fields = new QGridLayout;
  fields->addWidget(new QLabel("Tag"), 0, 0);
  fields->addWidget(EditTag_, 0, 1);
  fields->addWidget(new QLabel("Value"), 1, 0);
  fields->addWidget(EditValue_, 1, 1);
  fields->addWidget(Button9, 1, 2);
  fields->addWidget(new QLabel("TLV-Tag"), 2, 0);
  fields->addWidget(EditTLVTag_, 2, 1);
  fields->addWidget(Button10, 2, 2);

  auto* middle = new QHBoxLayout;
  middle->addWidget(RadioGroup1);
  middle->addWidget(attributes, 1);
  auto* pool = new QVBoxLayout;
  pool->addStretch();
  pool->addWidget(Button8);
  middle->addLayout(pool);

  auto* buttons = new QGridLayout;
  buttons->addWidget(Button4, 0, 0);
  buttons->addWidget(Button1_, 0, 1);
  buttons->addWidget(Button2_, 0, 2);
  buttons->addWidget(Button3, 0, 3);
  buttons->addWidget(Button6, 1, 0);
  buttons->addWidget(Button7, 1, 1);
  buttons->addWidget(Button5, 1, 3);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addLayout(middle, 1);
  layout->addLayout(buttons);

  core_ = std::make_unique<TEDFElementEdit>(main, dialogs, *CheckListBox1_, editorLink_.get(),
                                            std::move(hooks));

  connect(EditTag_, &QLineEdit::textEdited, this,
          [this](const QString& t) { core_->Fields().tag = t.toStdString(); });
  connect(EditValue_, &QLineEdit::textEdited, this,
          [this](const QString& t) { core_->Fields().value = t.toStdString(); });
  connect(EditTLVTag_, &QLineEdit::textEdited, this,
          [this](const QString& t) { core_->Fields().tlvTag = t.toStdString(); });
  connect(types_, &QButtonGroup::idClicked, this, [this](int id) { core_->EDFUserSelectType(id); });
  connect(Button4, &QPushButton::clicked, this, [this] { Run([this] { core_->EDFModify(); }); });
  connect(Button1_, &QPushButton::clicked, this, [this] { Run([this] { core_->EDFAdd(false); }); });
  connect(Button2_, &QPushButton::clicked, this, [this] { Run([this] { core_->EDFAdd(true); }); });
  connect(Button3, &QPushButton::clicked, this, [this] { Run([this] { core_->EDFDelete(); }); });
  connect(Button6, &QPushButton::clicked, this,
          [this] { Run([this] { core_->EDFFastSelectNext(); }); });
  connect(Button9, &QPushButton::clicked, this,
          [this] { Run([this] { core_->EDFEditEmvValue(); }); });
  connect(Button7, &QPushButton::clicked, this,
          [this] { Run([this] { core_->EDFComputeATC(); }); });
  connect(Button8, &QPushButton::clicked, this,
          [this] { Run([this] { core_->EDFChooseValuePool(); }); });
  connect(Button10, &QPushButton::clicked, this,
          [this] { Run([this] { core_->EDFLookupTag(); }); });
  connect(Button5, &QPushButton::clicked, this, &QDialog::hide);

  main_.CEXTrace().TDBSimpleAddString("TForm3");
  // Enlarged where smaller: 50 pixels beyond "Modify Selected Item" on the
  // right and beyond "Close" below.
  resize(sizeHint());
  layout->activate();
  resize(size().expandedTo(
      QSize(Button4->geometry().right() + 50, Button5->geometry().bottom() + 50)));
  ShowFields();
  main_.CEXSubscribeSourceSelection(*this);
}

TForm3::~TForm3() {
  main_.CEXUnsubscribeSourceSelection(*this);
}

template <class F>
void TForm3::Run(F&& command) {
  // The main window redraws its tree after a change and reports the
  // selection again on the way; only a selection the command really moved
  // is shown, so the fields keep what the user typed otherwise.
  const TXMLTreeNode* before = main_.CEXSelectedSourceNode();
  running_ = true;
  command();
  running_ = false;
  if (const TXMLTreeNode* after = main_.CEXSelectedSourceNode(); after != before)
    core_->EDFShow(after);
  ShowFields();
}

void TForm3::ShowFields() {
  const TEDFFields& f = core_->Fields();
  for (auto [edit, text] : {std::pair{EditTag_, &f.tag}, std::pair{EditValue_, &f.value},
                            std::pair{EditTLVTag_, &f.tlvTag}}) {
    const QString shown = QString::fromStdString(*text);
    if (edit->text() == shown) continue;
    const QSignalBlocker block(edit);
    edit->setText(shown);
  }
  if (QAbstractButton* b = types_->button(f.typeIndex)) b->setChecked(true);
  Button1_->setEnabled(f.addElementEnabled);
  Button2_->setEnabled(f.addContainerEnabled);
}

void TForm3::CEXSourceSelectionChanged(TXMLTreeNode* node) {
  if (running_) return;
  core_->EDFShow(node);
  ShowFields();
}

void TForm3::showEvent(QShowEvent* event) {
  core_->EDFShow(main_.CEXSelectedSourceNode());
  ShowFields();
  QDialog::showEvent(event);
}

bool TForm3::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) {
    if (TEDFElementEdit::EDFNeedsRecordedDataItem(*CheckListBox1_))
      CheckListBox1_->UCBAddItem(EDFcRecordedDataItem);
    core_->EDFActivate();
  }
  return QDialog::event(event);
}

}  // namespace kal
