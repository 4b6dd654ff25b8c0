#include "tools/ui/FormTVREditor.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "common/TestSupport.h"
#include "support/ui/RowEditGrid.h"

namespace kal {

namespace {

// A value for each page, written with blanks or lower case so that any
// re-encoding while decoding would show in Edit1.
struct PageValue {
  TEMVPage page;
  const char* value;
};
const PageValue kValues[] = {
    {TEMVPage::TVR, "80 00 00 00 0a"},
    {TEMVPage::ApplicationInterchangeProfile, "7c 00"},
    {TEMVPage::TerminalCapabilities, "e0 f0 f0"},
    {TEMVPage::AdditionalTerminalCapabilities, "ff 00 f0 f3 ff"},
    {TEMVPage::CVMResults, "41 03 02"},
    {TEMVPage::TerminalType, " 22"},
    {TEMVPage::CryptogramInformationData, "8b"},
    {TEMVPage::IssuerScriptCommands, "71 0e 9f1804 0000abcd 8605 00a4000000"},
    {TEMVPage::IssuerScriptResults, "21 0000abcd 12 0000abcd"},
};

}  // namespace

class TestFormTVREditor : public QObject {
  Q_OBJECT

 private:
  template <typename T>
  T* Child(const char* name) {
    T* child = form_->findChild<T*>(name);
    if (child == nullptr) qFatal("no child %s", name);
    return child;
  }
  TEMVRadioGroup* Group(const char* name) { return Child<TEMVRadioGroup>(name); }
  void Type(QLineEdit* edit, const QString& text) {
    edit->clear();
    QTest::keyClicks(edit, text);
  }
  void ShowPage(TEMVPage page) { Child<QTabWidget>("PageControl1")->setCurrentIndex(int(page)); }

  std::unique_ptr<TFormTVREditor> form_;
  QStringList messages_;

 private slots:
  void init() {
    form_ = std::make_unique<TFormTVREditor>(nullptr);
    messages_.clear();
    form_->SetMessageSink([this](const QString& text) { messages_ << text; });
    form_->show();
  }
  void cleanup() { form_.reset(); }

  void TypedValueStaysAsPutOnEveryPage() {
    auto* edit1 = Child<QLineEdit>("Edit1");
    for (const PageValue& v : kValues) {
      ShowPage(v.page);
      QCOMPARE(Child<QLabel>("Label6")->text(), QString(EMVPageCaption(v.page)));
      Type(edit1, v.value);
      QCOMPARE(edit1->text(), QString(v.value));
    }
    // What the decoders put on the pages (each read while typing on its page).
    QCOMPARE(Child<QListWidget>("CheckList0_1")->item(0)->checkState(), Qt::Checked);
    QCOMPARE(Child<QListWidget>("CheckList0_5")->item(4)->checkState(), Qt::Checked);
    QCOMPARE(Group("CvmMethod")->ItemIndex(), 1);
    QCOMPARE(Group("CvmOnFailure")->ItemIndex(), 1);
    QCOMPARE(Group("TerminalControl")->ItemIndex(), 1);
    QCOMPARE(Group("CidType")->ItemIndex(), 2);
    QCOMPARE(Child<QLineEdit>("Edit4")->text(), QString("0000ABCD"));
    QCOMPARE(Child<TRowEditGrid>("StringGrid1")->Cell(1, 1), std::string("00A4000000"));
    QCOMPARE(Child<QLineEdit>("Edit5")->text(), QString("0000ABCD"));
    QVERIFY(form_->findChild<QWidget*>("ResultGroup1") != nullptr);

    // Opening the editor on a value decodes it without rewriting it either.
    form_->hide();
    for (const PageValue& v : kValues) {
      ShowPage(v.page);
      QTimer::singleShot(0, this, [this] { Child<QAbstractButton>("Ok")->click(); });
      QCOMPARE(form_->Execute(v.value), 1);
      QCOMPARE(form_->Value(), QString(v.value));
    }
  }

  void UserChoicesEncode() {
    ShowPage(TEMVPage::CryptogramInformationData);
    Type(Child<QLineEdit>("Edit1"), "8b");
    Group("CidAdvice")->Buttons()->button(0)->click();
    QCOMPARE(form_->Value(), QString("83"));
    ShowPage(TEMVPage::TVR);
    Child<QListWidget>("CheckList0_2")->item(1)->setCheckState(Qt::Checked);
    QCOMPARE(form_->Value(), QString("0040000000"));
    ShowPage(TEMVPage::IssuerScriptResults);
    Type(Child<QLineEdit>("Edit1"), "2100001234");
    Child<QAbstractButton>("ButtonAddResult")->click();
    QCOMPARE(form_->Value(), QString("21000012342200001234"));
    Type(Child<QLineEdit>("Edit5"), "ABCDEF01");
    QCOMPARE(form_->Value(), QString("21ABCDEF0122ABCDEF01"));
  }

  void Base64FollowsTheValueBothWays() {
    std::string hexLines;
    std::vector<QString> shown;
    auto* edit6 = Child<QLineEdit>("Edit6");
    for (const PageValue& v : kValues) {
      ShowPage(v.page);
      Type(Child<QLineEdit>("Edit1"), v.value);
      shown.push_back(edit6->text());
      hexLines += QString(v.value).remove(' ').toStdString() + "\n";
    }
    const std::string expected = test::RunPython(
        "import sys, base64\n"
        "for line in sys.stdin.read().split():\n"
        "    print(base64.b64encode(bytes.fromhex(line)).decode())\n",
        hexLines);
    const std::vector<std::string> lines = test::SplitLines(expected);
    QCOMPARE(lines.size(), shown.size());
    for (size_t i = 0; i < lines.size(); ++i) QCOMPARE(shown[i].toStdString(), lines[i]);

    ShowPage(TEMVPage::TVR);
    Type(edit6, "gAAAAAo=");
    QCOMPARE(form_->Value(), QString("800000000A"));
    QCOMPARE(edit6->text(), QString("gAAAAAo="));
    QCOMPARE(Child<QListWidget>("CheckList0_5")->item(4)->checkState(), Qt::Checked);
  }

  void OkGivesTheValueCancelLeavesIt() {
    form_->hide();
    ShowPage(TEMVPage::CryptogramInformationData);
    std::string value = "8B";
    QTimer::singleShot(0, this, [this] {
      Group("CidType")->Buttons()->button(1)->click();
      Child<QAbstractButton>("Ok")->click();
    });
    QVERIFY(form_->EDFEditEmvValue(value));
    QCOMPARE(value, std::string("4B"));

    QTimer::singleShot(0, this, [this] {
      Group("CidType")->Buttons()->button(0)->click();
      Child<QAbstractButton>("Cancel")->click();
    });
    QVERIFY(!form_->EDFEditEmvValue(value));
    QCOMPARE(value, std::string("4B"));
    QTimer::singleShot(0, this, [this] { Child<QAbstractButton>("Cancel")->click(); });
    QCOMPARE(form_->Execute("00"), 2);
  }

  void AttendedCardholderLeavesTheValue() {
    ShowPage(TEMVPage::TerminalType);
    Type(Child<QLineEdit>("Edit1"), "22");
    Group("TerminalControl")->Buttons()->button(2)->click();
    QCOMPARE(Child<QLabel>("LabelTerminalTypeError")->text(), QString("Error"));
    QCOMPARE(form_->Value(), QString("22"));
    Group("TerminalEnvironment")->Buttons()->button(1)->click();
    QCOMPARE(form_->Value(), QString("35"));
    QCOMPARE(Child<QLabel>("LabelTerminalTypeError")->text(), QString(""));
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestFormTVREditor)
#include "TestFormTVREditor.moc"
