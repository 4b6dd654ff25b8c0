#include "helpctl/PropertyPages.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFontComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "helpctl/HelpButtonCtrl.h"

namespace kal {

namespace {

// A text field bound to a property; `number` fields hold digits only and
// write an I4.
struct TField {
  int id;
  const char* label;
  int32_t dispid;
  bool number = false;
  bool hidden = false;
};

// Radio buttons bound to an I4 property: button n sets the value n. Each
// heading starts a group box holding the buttons up to the next heading.
struct TRadio {
  const char* heading;  // null: same group as the button before
  const char* label;
};

struct TPageLayout {
  const char* title;
  int32_t radioDispid;
  int firstRadioId;
  std::vector<TRadio> radios;
  std::vector<TField> fields;
  bool radiosFirst;
};

// clang-format off
const TPageLayout cGeneral{
    "General", HLPidCommand, 216,
    {{"Html Help Options:", "Show Topic"},
     {nullptr, "ActivePopup"},
     {nullptr, "Text Popup"},
     {nullptr, "Show Contents"},
     {nullptr, "Show Index"},
     {nullptr, "Show Search"},
     {nullptr, "Do Keyword Lookup"},
     {nullptr, "Do ALink  ('A' Keyword) Lookup"},
     {"InterHelp Options:", "Show Topic"},
     {nullptr, "ActivePopup (requires IE)"},
     {"JavaHelp Options:", "Show Topic"}},
    {{202, "Button Caption:", HLPidCaption},
     {201, "Map File:", HLPidMapFile},
     {203, "Window Class:", HLPidWindowClass},
     {207, "Context Number or Keywords:", HLPidCtrlID, true},
     {208, "Topic File Name:", HLPidTopic},
     {212, "Keywords:", HLPidKeywords}},
    false};

const TPageLayout cJavaHelp{
    "JavaHelp Settings", HLPidJavaVersion, 225,
    {{"", "Java Version 1.2"},
     {nullptr, "Java Version 1.1.6"}},
    {{227, "Path to Java Runtime Files:", HLPidJREPath},
     {228, "Path to JavaHelp Runtime Files:", HLPidJavaHelpPath},
     {229, "Path to QhCtxHelp.jar:", HLPidQhCtxHelpPath},
     {230, "Path to qdjhelp.jar:", HLPidQdJHelp, false, true},
     {231, "Project Helpset (.HS File):", HLPidHelpsetFile},
     {232, "Project .JAR file (optional)", HLPidJARFile}},
    true};
// clang-format on

TPLTVariant GetProperty(IPLTDispatch* control, int32_t dispid) {
  std::vector<TPLTVariant> none;
  TPLTVariant v;
  if (control) (void)control->PLTInvoke(dispid, PLTcDispatchPropertyGet, none, &v);
  return v;
}

PLTResult PutProperty(IPLTDispatch* control, int32_t dispid, TPLTVariant value) {
  if (control == nullptr) return PLT_E_POINTER;
  std::vector<TPLTVariant> args{std::move(value)};
  return control->PLTInvoke(dispid, PLTcDispatchPropertyPut, args, nullptr);
}

QString ToQString(const TPLTVariant& v) {
  return QString::fromStdU16String(v.PLTText());
}

// Base of the page objects: the control and the page widget.
class TPageObject : public TPLTObject<IHLPPropertyPage> {
 public:
  PLTResult PLTQueryInterface(const TPLTGuid& iid, void** object) override {
    return PLTAnswerQuery(this, static_cast<IHLPPropertyPage*>(this), iid,
                          {PLTcIID_IUnknown, HLPcPropertyPageIid}, object);
  }
  void HLPSetObject(IPLTDispatch* control) override {
    control_ = TPLTComPtr<IPLTDispatch>(control);
    Load();
  }

 protected:
  virtual void Load() = 0;
  TPLTComPtr<IPLTDispatch> control_;
};

// A page of text fields and one radio group, laid out from a table.
class TFieldPage : public TPageObject {
 public:
  explicit TFieldPage(const TPageLayout& layout) : layout_(layout) {}
  std::string HLPTitle() const override { return layout_.title; }

  QWidget* HLPCreatePage(QWidget* parent) override {
    if (page_) return page_;
    page_ = new QWidget(parent);
    auto* top = new QVBoxLayout(page_);
    auto* form = new QFormLayout();
    for (const TField& f : layout_.fields) {
      auto* edit = new QLineEdit(page_);
      edit->setObjectName(QStringLiteral("field%1").arg(f.id));
      if (f.number)
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
      auto* label = new QLabel(QString::fromLatin1(f.label), page_);
      label->setBuddy(edit);
      form->addRow(label, edit);
      if (f.hidden) {
        label->hide();
        edit->hide();
      }
      edits_.push_back(edit);
    }
    group_ = new QButtonGroup(page_);
    QVBoxLayout* box = nullptr;
    QVBoxLayout* radios = new QVBoxLayout();
    for (size_t n = 0; n < layout_.radios.size(); ++n) {
      const TRadio& r = layout_.radios[n];
      if (r.heading != nullptr) {
        auto* g = new QGroupBox(QString::fromLatin1(r.heading), page_);
        box = new QVBoxLayout(g);
        radios->addWidget(g);
      }
      auto* button = new QRadioButton(QString::fromLatin1(r.label), page_);
      button->setObjectName(QStringLiteral("radio%1").arg(layout_.firstRadioId + int(n)));
      group_->addButton(button, int(n));
      box->addWidget(button);
    }
    if (layout_.radiosFirst) {
      top->addLayout(radios);
      top->addLayout(form);
    } else {
      top->addLayout(form);
      top->addLayout(radios);
    }
    top->addStretch();
    group_->button(0)->setChecked(true);
    Load();
    return page_;
  }

  PLTResult HLPApply() override {
    if (!page_) return PLT_S_OK;
    PLTResult result = PLT_S_OK;
    auto keep = [&](PLTResult r) {
      if (PLTSucceeded(result) && !PLTSucceeded(r)) result = r;
    };
    for (size_t i = 0; i < layout_.fields.size(); ++i) {
      const TField& f = layout_.fields[i];
      const QString text = edits_[i]->text();
      if (text == loadedTexts_[i]) continue;
      keep(PutProperty(
          control_.Get(), f.dispid,
          f.number ? TPLTVariant::I4(text.toInt()) : TPLTVariant::Bstr(text.toStdU16String())));
      loadedTexts_[i] = text;
    }
    const int checked = group_->checkedId();
    if (checked >= 0 && checked != loadedRadio_) {
      keep(PutProperty(control_.Get(), layout_.radioDispid, TPLTVariant::I4(checked)));
      loadedRadio_ = checked;
    }
    return result;
  }

 private:
  void Load() override {
    if (!page_) return;
    loadedTexts_.clear();
    for (size_t i = 0; i < layout_.fields.size(); ++i) {
      const TPLTVariant v = GetProperty(control_.Get(), layout_.fields[i].dispid);
      const QString text = layout_.fields[i].number
                               ? (control_ ? QString::number(v.PLTInteger()) : QString())
                               : ToQString(v);
      edits_[i]->setText(text);
      loadedTexts_.push_back(text);
    }
    const int value = GetProperty(control_.Get(), layout_.radioDispid).PLTInteger();
    if (QAbstractButton* b = group_->button(value)) b->setChecked(true);
    loadedRadio_ = group_->checkedId();
  }

  const TPageLayout& layout_;
  QPointer<QWidget> page_;
  std::vector<QLineEdit*> edits_;
  std::vector<QString> loadedTexts_;
  QButtonGroup* group_ = nullptr;
  int loadedRadio_ = 0;
};

// The font: family, point size, bold and italic, written as QFont's
// string form.
class TFontPage final : public TPageObject {
 public:
  std::string HLPTitle() const override { return "Font"; }
  QWidget* HLPCreatePage(QWidget* parent) override {
    if (page_) return page_;
    page_ = new QWidget(parent);
    auto* form = new QFormLayout(page_);
    family_ = new QFontComboBox(page_);
    family_->setObjectName(QStringLiteral("fontFamily"));
    size_ = new QSpinBox(page_);
    size_->setObjectName(QStringLiteral("fontSize"));
    size_->setRange(1, 400);
    bold_ = new QCheckBox(QStringLiteral("Bold"), page_);
    bold_->setObjectName(QStringLiteral("fontBold"));
    italic_ = new QCheckBox(QStringLiteral("Italic"), page_);
    italic_->setObjectName(QStringLiteral("fontItalic"));
    form->addRow(QStringLiteral("Font:"), family_);
    form->addRow(QStringLiteral("Size:"), size_);
    form->addRow(bold_);
    form->addRow(italic_);
    Load();
    return page_;
  }
  PLTResult HLPApply() override {
    if (!page_) return PLT_S_OK;
    const QString text = Current().toString();
    if (text == loaded_) return PLT_S_OK;
    loaded_ = text;
    return PutProperty(control_.Get(), HLPidFont, TPLTVariant::Font(text.toStdU16String()));
  }

 private:
  QFont Current() const {
    QFont f = family_->currentFont();
    f.setPointSize(size_->value());
    f.setBold(bold_->isChecked());
    f.setItalic(italic_->isChecked());
    return f;
  }
  void Load() override {
    if (!page_) return;
    QFont f;
    const QString text = ToQString(GetProperty(control_.Get(), HLPidFont));
    if (!text.isEmpty()) f.fromString(text);
    family_->setCurrentFont(f);
    size_->setValue(f.pointSize() > 0 ? f.pointSize() : 9);
    bold_->setChecked(f.bold());
    italic_->setChecked(f.italic());
    loaded_ = Current().toString();
  }

  QPointer<QWidget> page_;
  QFontComboBox* family_ = nullptr;
  QSpinBox* size_ = nullptr;
  QCheckBox* bold_ = nullptr;
  QCheckBox* italic_ = nullptr;
  QString loaded_;
};

class TGeneralPage final : public TFieldPage {
 public:
  TGeneralPage() : TFieldPage(cGeneral) {}
};

class TJavaHelpPage final : public TFieldPage {
 public:
  TJavaHelpPage() : TFieldPage(cJavaHelp) {}
};

}  // namespace

PLTResult HLPGetModuleClassObject(const TPLTGuid& clsid, const TPLTGuid& iid, void** object) {
  if (object == nullptr) return PLT_E_POINTER;
  *object = nullptr;
  IPLTClassFactory* factory = nullptr;
  if (clsid == HLPcControlClsid)
    factory = new TPLTClassFactory<CQdHelpButtonCtrl, IPLTDispatch>();
  else if (clsid == HLPcGeneralPageClsid)
    factory = new TPLTClassFactory<TGeneralPage, IHLPPropertyPage>();
  else if (clsid == HLPcJavaHelpPageClsid)
    factory = new TPLTClassFactory<TJavaHelpPage, IHLPPropertyPage>();
  else if (clsid == HLPcFontPageClsid)
    factory = new TPLTClassFactory<TFontPage, IHLPPropertyPage>();
  else
    return PLT_CLASS_E_CLASSNOTAVAILABLE;
  factory->PLTAddRef();
  const PLTResult r = factory->PLTQueryInterface(iid, object);
  factory->PLTRelease();
  return r;
}

PLTResult HLPCreateModuleObject(const TPLTGuid& clsid, const TPLTGuid& iid, void** object) {
  TPLTComPtr<IPLTClassFactory> factory;
  const PLTResult r = HLPGetModuleClassObject(clsid, IPLTClassFactory::PLTcIID, factory.Out());
  if (!PLTSucceeded(r)) return r;
  return factory->PLTCreateInstance(nullptr, iid, object);
}

THLPPropertyFrame::THLPPropertyFrame(IPLTUnknown* control, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("QdHelpButton Control Properties"));
  auto* layout = new QVBoxLayout(this);
  tabs_ = new QTabWidget(this);
  layout->addWidget(tabs_);
  auto* buttons = new QDialogButtonBox(
      QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    HLPApply();
    accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
          [this] { HLPApply(); });

  TPLTComPtr<IPLTUnknown> unknown(control);
  const TPLTComPtr<IHLPControl> ctrl = unknown.Query<IHLPControl>();
  const TPLTComPtr<IPLTDispatch> dispatch = unknown.Query<IPLTDispatch>();
  if (!ctrl || !dispatch) return;
  for (const TPLTGuid& clsid : ctrl->HLPPropertyPages()) {
    TPLTComPtr<IHLPPropertyPage> page;
    if (!PLTSucceeded(HLPCreateModuleObject(clsid, IHLPPropertyPage::PLTcIID, page.Out())) || !page)
      continue;
    QWidget* widget = page->HLPCreatePage(tabs_);
    page->HLPSetObject(dispatch.Get());
    tabs_->addTab(widget, QString::fromStdString(page->HLPTitle()));
    pages_.push_back(std::move(page));
  }
}

THLPPropertyFrame::~THLPPropertyFrame() = default;

PLTResult THLPPropertyFrame::HLPApply() {
  PLTResult result = PLT_S_OK;
  for (const auto& page : pages_) {
    const PLTResult r = page->HLPApply();
    if (PLTSucceeded(result) && !PLTSucceeded(r)) result = r;
  }
  return result;
}

}  // namespace kal

int HLPOpenPropertyFrame(kal::IPLTUnknown* control, QWidget* parent) {
  kal::THLPPropertyFrame frame(control, parent);
  return frame.exec();
}
