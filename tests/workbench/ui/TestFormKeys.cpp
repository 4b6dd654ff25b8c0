#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "common/TestSupport.h"
#include "config/Config.h"
#include "ep2/Ep2PublicKey.h"
#include "ep2/Ep2Security.h"
#include "ep2/RandomSource.h"
#include "support/ui/HexLineEdit.h"
#include "workbench/MainWindowPorts.h"
#include "workbench/ui/FormFPD.h"
#include "workbench/ui/FormKeys.h"

namespace kal {

namespace {

class Dialogs final : public ICEXDialogs {
 public:
  void CEXShowMessage(const std::string&) override {}
  TCEXAnswer CEXAskYesNoCancel(const std::string&) override { return TCEXAnswer::No; }
  bool CEXOpenFile(const TCEXFileDialog&, std::string& chosen) override {
    chosen = choice;
    return !choice.empty();
  }
  bool CEXSaveFile(const TCEXFileDialog&, std::string&) override { return false; }
  std::string choice;
};

// A key record file of an `openssl genpkey` RSA key: owner 1234567890,
// index 5, expiry 2612; returns the modulus as spaced hex.
std::string WriteKeyRecord(const std::string& dir, int bits, const std::string& file) {
  int status = -1;
  test::RunCommand("openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:" +
                       std::to_string(bits) + " -out " + dir + "k.pem 2>/dev/null",
                   "", &status);
  if (status != 0) qFatal("openssl genpkey failed");
  std::string modulus = test::RunCommand("openssl rsa -in " + dir + "k.pem -noout -modulus", "");
  modulus = modulus.substr(modulus.find('=') + 1);
  while (!modulus.empty() && (modulus.back() == '\n' || modulus.back() == '\r')) modulus.pop_back();
  TEp2PublicKey key;
  key.SetPublicKeyOwnerId("1234567890");
  key.SetPublicKeyIndex(5);
  key.SetPublicKeyExpDate("2612");
  key.SetHashAlgorithmIndicator(bits > 1024 ? 2 : 1);
  key.SetPublicKeyAlgorithmIndicator(1);
  key.SetPublicKeyModulus(modulus);
  key.SetPublicKeyExponent("010001");
  std::string record, text;
  if (key.ComputeFormattedKey(record, text) != 0) qFatal("%s", text.c_str());
  test::WriteFile(dir + file, record + "\r\n");
  return modulus;
}

}  // namespace

class TestFormKeys : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::TempDir> dir_;
  std::unique_ptr<TCFGConfig> config_;
  TSECDeterministicRandom random_;
  std::unique_ptr<TSECep2Security> security_;
  Dialogs dialogs_;
  std::unique_ptr<TForm5> form_;

  HexLineEdit* Edit(int n) { return form_->findChild<HexLineEdit*>(QString("Edit%1").arg(n)); }
  void Click(const char* name) {
    QTest::mouseClick(form_->findChild<QPushButton*>(name), Qt::LeftButton);
  }
  // Imports through the formatted-key dialog, answered with `button`; the
  // status label's text and style.
  QPair<QString, QString> Import(const char* button) {
    auto* form17 = form_->findChild<TForm17*>("TForm17");
    QPair<QString, QString> status;
    QTimer::singleShot(0, form17, [&] {
      auto* label = form17->findChild<QLabel*>("Status");
      status = {label->text(), label->styleSheet()};
      QTest::mouseClick(form17->findChild<QPushButton*>(button), Qt::LeftButton);
    });
    Click("Import from File");
    return status;
  }

 private slots:
  void init() {
    dir_ = std::make_unique<test::TempDir>();
    config_ = std::make_unique<TCFGConfig>(dir_->path(), "config.ini", nullptr);
    security_ = std::make_unique<TSECep2Security>(4000, random_);
    config_->CFGSetSessionKey("00 11");
    config_->CFGSetPublicKeyExponent("03");
    config_->CFGSetSessionKeyFromInMessage(1);
    form_ = std::make_unique<TForm5>(*config_, *security_, dialogs_);
  }
  void cleanup() { form_.reset(); }

  void CancelAndAnUneditedCloseWriteNothing() {
    form_->show();
    QCOMPARE(Edit(1)->text(), QString("00 11"));
    QVERIFY(form_->findChild<QRadioButton*>("RadioGroup1_1")->isChecked());
    QTest::keyClicks(Edit(1), "22");
    QVERIFY(form_->HasChanged());
    Click("Cancel");
    QCOMPARE(config_->CFGGetSessionKey(), std::string("00 11"));

    // Loading the fields is no change: a value set meanwhile survives the
    // close box.
    form_->show();
    QVERIFY(!form_->HasChanged());
    config_->CFGSetSessionKey("33");
    form_->close();
    QCOMPARE(config_->CFGGetSessionKey(), std::string("33"));

    // "Set Default" writes at once, also when the dialog is then cancelled.
    form_->show();
    Click("Set Default");
    QVERIFY(!form_->HasChanged());
    Click("Cancel");
    QCOMPARE(config_->CFGGetSessionKey().empty(), false);
    QVERIFY(config_->CFGGetSessionKey() != "33");
  }

  void AnEditThenTheCloseBoxStoresIt() {
    form_->show();
    QTest::keyClicks(Edit(8), "01");
    form_->findChild<QRadioButton*>("RadioGroup1_2")->click();
    form_->close();
    QCOMPARE(config_->CFGGetPublicKeyExponent(), std::string("0301"));
    QCOMPARE(config_->CFGGetSessionKeyFromInMessage(), 2);
  }

  void VariantsShowErrorCodes() {
    form_->show();
    Edit(1)->setText("01");
    Click("Session Key Variants");
    for (int n = 2; n <= 6; ++n) QVERIFY(Edit(n)->text().startsWith("Error 40"));
  }

  void ImportsOpensslKeysAndRefusesAChangedByte() {
    for (int bits : {1024, 2048}) {
      const std::string modulus = WriteKeyRecord(dir_->path(), bits, "key.txt");
      config_->CFGSetPublicKeyIndex(0);
      config_->CFGSetPublicKeyOwnerID("");
      form_->show();
      dialogs_.choice = dir_->file("key.txt");
      const auto status = Import("Ok");
      QVERIFY2(status.first.endsWith(" (Hash verification passed) "), qPrintable(status.first));
      QVERIFY(status.second.contains("green"));
      QCOMPARE(test::ToHex(test::FromHex(Edit(7)->text().toStdString())), modulus);
      QCOMPARE(test::ToHex(test::FromHex(Edit(8)->text().toStdString())), std::string("010001"));
      QCOMPARE(int{config_->CFGGetPublicKeyIndex()}, 5);
      QCOMPARE(config_->CFGGetPublicKeyOwnerID(), std::string("01234567890"));
      QVERIFY(form_->HasChanged());
      Click("Ok");
      QCOMPARE(test::ToHex(test::FromHex(config_->CFGGetPublicKeyModulus())), modulus);

      // One byte of the modulus changed: red, and nothing taken over.
      std::string record = test::ReadFile(dir_->file("key.txt"));
      record[40] = record[40] == '0' ? '1' : '0';
      test::WriteFile(dir_->file("key.txt"), record);
      config_->CFGSetPublicKeyIndex(0);
      form_->show();
      Edit(7)->setText("");
      const auto bad = Import("Ok");
      QVERIFY(bad.second.contains("red"));
      QCOMPARE(Edit(7)->text(), QString(""));
      QCOMPARE(int{config_->CFGGetPublicKeyIndex()}, 0);
      QVERIFY(!form_->HasChanged());
      Click("Cancel");
    }
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestFormKeys)
#include "TestFormKeys.moc"
