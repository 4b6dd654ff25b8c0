// The two-field converters as the user works them: typing in either field,
// the buttons, Base64 against RFC 4648 and python3's base64, Latin-1 bytes
// both ways, and the integer fields' message for an unreadable text.

#include "tools/ui/FormConversions.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <random>

#include "common/TestSupport.h"
#include "support/HexUtilities.h"
#include "workbench/ui/MainForm.h"
#include "workbench/ui/MainFormHome.h"
#include "workbench/ui/MessageDialogs.h"

namespace kal {

class TestConversionForms : public QObject {
  Q_OBJECT

 private:
  static QLineEdit* Edit(QWidget& form, const char* name) {
    auto* edit = form.findChild<QLineEdit*>(name);
    if (edit == nullptr) qFatal("no field %s", name);
    return edit;
  }
  // As the user types: the old text selected and replaced.
  static void Type(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
  }

  std::unique_ptr<test::TempDir> home_;
  test::MessageDialogs dialogs_;
  std::unique_ptr<TForm1> main_;

 private slots:
  void initTestCase() {
    home_ = std::make_unique<test::TempDir>();
    main_ = test::MakeMainForm(*home_, dialogs_);
  }
  void cleanupTestCase() { main_.reset(); }

  void HexAndBase64FollowEachOtherWithTheRfc4648Vectors() {
    TForm22 form(main_->CEXServices());
    form.show();
    QLineEdit* hex = Edit(form, "Edit1");
    QLineEdit* base64 = Edit(form, "Edit2");
    // RFC 4648, section 10.
    const std::pair<const char*, const char*> vectors[] = {{"", ""},
                                                           {"f", "Zg=="},
                                                           {"fo", "Zm8="},
                                                           {"foo", "Zm9v"},
                                                           {"foob", "Zm9vYg=="},
                                                           {"fooba", "Zm9vYmE="},
                                                           {"foobar", "Zm9vYmFy"}};
    for (const auto& [plain, encoded] : vectors) {
      const QString bytesHex = QString::fromStdString(test::ToHex(plain));
      Type(hex, bytesHex.toLower());
      QCOMPARE(base64->text(), QString(encoded));
      Type(base64, encoded);
      QCOMPARE(hex->text(), bytesHex);
    }
    // Texts that do not decode leave the hex as it is.
    for (const char* bad : {"Zm9vY", "Zm=v", "Z===", "Zm9vYg="}) {
      base64->setText(bad);
      QCOMPARE(hex->text(), QString("666F6F626172"));
    }
  }

  void HexAndBase64AgreeWithPython3OnRandomBytes() {
    TForm22 form(main_->CEXServices());
    std::mt19937 rng(4104);
    std::vector<std::string> samples;
    std::string input;
    for (int i = 0; i < 30; ++i) {
      samples.push_back(test::RandomBytes(rng, rng() % 200));
      input += test::ToHex(samples.back()) + "\n";
    }
    const std::vector<std::string> expected = test::SplitLines(
        test::RunPython("import base64, sys\n"
                        "for line in sys.stdin.read().split('\\n')[:-1]:\n"
                        "  print(base64.b64encode(bytes.fromhex(line)).decode())\n",
                        input));
    QCOMPARE(expected.size(), samples.size());
    for (size_t i = 0; i < samples.size(); ++i) {
      const QString hex = QString::fromStdString(UTHStringToHex(samples[i]));
      Edit(form, "Edit1")->setText(hex);
      form.findChild<QPushButton*>("Button1")->click();
      QCOMPARE(Edit(form, "Edit2")->text().toStdString(), expected[i]);
      Edit(form, "Edit2")->setText(QString::fromStdString(expected[i]));
      form.findChild<QPushButton*>("Button2")->click();
      QCOMPARE(Edit(form, "Edit1")->text().toStdString(), test::ToHex(samples[i]));
    }
  }

  void HexAndStringCarryEveryByteAsOneCharacter() {
    TForm23 form(main_->CEXServices());
    form.show();
    std::string all;
    for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
    Edit(form, "Edit1")->setText(QString::fromStdString(test::ToHex(all)));
    const QString text = Edit(form, "Edit2")->text();
    QCOMPARE(text.size(), 256);
    for (int b = 0; b < 256; ++b) QCOMPARE(text[b].unicode(), static_cast<char16_t>(b));
    Edit(form, "Edit2")->setText("A\xC3\xA9");  // "Aé"
    QCOMPARE(Edit(form, "Edit1")->text(), QString("41 E9"));
  }

  void HexAndIntegerShowTheMessageInTheReceivingField() {
    TForm29 form(main_->CEXServices());
    form.show();
    QLineEdit* hex = Edit(form, "Edit1");
    QLineEdit* integer = Edit(form, "Edit2");
    Type(hex, "80000000");
    QCOMPARE(integer->text(), QString("2147483648"));
    Type(integer, "-1");
    QCOMPARE(hex->text(), QString("FFFFFFFF"));
    Type(integer, "4294967295");
    QCOMPARE(hex->text(), QString("Value is invalid or too large"));
    QCOMPARE(integer->text(), QString("4294967295"));  // the hex change did not write back
    Type(hex, "123456789");
    QCOMPARE(integer->text(), QString("Value is invalid or too large"));
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestConversionForms)
#include "TestConversionForms.moc"
