// The cryptographic tool windows as the program makes them, opened from the
// "&Tools" menu: hashes and MACs against FIPS 180-4 and the OpenSSL command
// line, Triple-DES pairs, the OAEP self-test against oaep-int.txt, key
// records of `openssl genpkey` keys through the key formatting window, and
// the info window printed to PDF.

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "common/CryptoVectors.h"
#include "common/TestSupport.h"
#include "config/Config.h"
#include "ep2/Ep2Oracle.h"
#include "support/HelpContexts.h"
#include "support/ui/HexLineEdit.h"
#include "support/ui/WindowHelp.h"
#include "tools/ui/FormDESEncryption.h"
#include "tools/ui/FormHashMAC.h"
#include "tools/ui/FormKeyFormatting.h"
#include "tools/ui/FormSessionKeyCryptogramm.h"
#include "tools/ui/ToolWindows.h"
#include "workbench/ui/MainForm.h"
#include "workbench/ui/MessageDialogs.h"
#include "workbench/ui/ProgramWindows.h"

namespace kal {

namespace {

using test::FromHex;
using test::ToHex;

// Messages kept; the file dialogs answer with the paths set (empty: cancel).
class ToolDialogs final : public ICEXDialogs {
 public:
  void CEXShowMessage(const std::string& text) override { messages.push_back(text); }
  TCEXAnswer CEXAskYesNoCancel(const std::string&) override { return TCEXAnswer::No; }
  bool CEXOpenFile(const TCEXFileDialog&, std::string& chosen) override {
    chosen = open;
    return !open.empty();
  }
  bool CEXSaveFile(const TCEXFileDialog&, std::string& chosen) override {
    chosen = save;
    return !save.empty();
  }
  std::vector<std::string> messages;
  std::string open, save;
};

// One DES block operation of the OpenSSL command line (its legacy provider
// holds single DES).
std::string OpensslDes(const char* cipher, bool decrypt, const std::string& key,
                       const std::string& data) {
  std::string command = std::string("openssl enc ") + (decrypt ? "-d " : "") + "-" + cipher +
                        " -provider legacy -provider default -nopad -K " + ToHex(key);
  if (std::string(cipher) == "des-cbc") command += " -iv 0000000000000000";
  int status = -1;
  const std::string out = test::RunCommand(command + " 2>/dev/null", data, &status);
  if (status != 0) qFatal("openssl enc failed: %s", command.c_str());
  return out;
}

// The retail MAC: the text padded with 0x80 and zero bytes, DES-CBC under
// K1 with a zero IV, then the last block deciphered under K2 and enciphered
// under K3 (K1 for a 16-byte key).
std::string OpensslRetailMac(const std::string& key, const std::string& text) {
  const std::string padded = test::Pad80(text);
  const std::string k1 = key.substr(0, 8), k2 = key.substr(8, 8);
  const std::string k3 = key.size() == 24 ? key.substr(16, 8) : k1;
  const std::string last = OpensslDes("des-cbc", false, k1, padded).substr(padded.size() - 8);
  return OpensslDes("des-ecb", false, k3, OpensslDes("des-ecb", true, k2, last));
}

std::string Bytes(const QLineEdit* field) {
  return FromHex(field->text().toStdString());
}

}  // namespace

class TestCryptoToolWindows : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::TempDir> home_;
  test::MessageDialogs mainDialogs_;
  ToolDialogs dialogs_;
  std::unique_ptr<TCEXProgramWindows> windows_;
  std::unique_ptr<TForm1> form_;
  std::mt19937 rng_{37};

  // Opens the window through its menu entry, as the user does.
  template <class W>
  W* Open(TCEXAction action, TCEXWindow id) {
    form_->CEXActionObject(action)->trigger();
    auto* window = qobject_cast<W*>(windows_->ToolWindow(id));
    if (window == nullptr || !window->isVisible()) qFatal("tool window not shown");
    window->SetDialogs(dialogs_);
    return window;
  }
  template <class T = HexLineEdit>
  static T* Child(QWidget* window, const QString& name) {
    T* child = window->findChild<T*>(name);
    if (child == nullptr) qFatal("no child %s", qPrintable(name));
    return child;
  }
  static void Click(QWidget* window, const QString& name) {
    Child<QAbstractButton>(window, name)->click();
  }

 private slots:
  void init() {
    home_ = std::make_unique<test::TempDir>();
    test::WriteFile(home_->file("config.ini"),
                    "[Communication]\r\nCommType=0\r\nThisComputerClientServer=0\r\n");
    windows_ = std::make_unique<TCEXProgramWindows>();
    TForm1::TParts parts;
    parts.programDir = home_->path();
    parts.dialogs = &mainDialogs_;
    parts.windows = windows_.get();
    form_ = std::make_unique<TForm1>(std::move(parts));
    windows_->CEXMake(*form_, &mainDialogs_, {}, TOLMakeToolWindow);
    form_->show();
    dialogs_ = ToolDialogs();
  }
  void cleanup() {
    windows_->CEXDestroy();
    form_.reset();
    windows_.reset();
  }

  void toolsMenuShowsItsWindowsWithoutWaiting() {
    auto* menu = form_->findChild<QMenu*>("Tools1");
    QStringList captions;
    for (QAction* action : menu->actions()) captions << action->text();
    QCOMPARE(captions, QStringList({"&Base64", "&Hex to String", "Hex to &Int",
                                    "&Format XML Document", "&Key Formatting", "&Tripple DES",
                                    "Hash and &MAC", "&Session Key Crypt", "T&LV Tools"}));
    // Each entry shows its window, not modal, with the help of its context.
    struct Opened {
      TCEXAction action;
      const char* title;
      int32_t context;
    };
    const Opened opened[] = {
        {TCEXAction::Base64, "Hex To Base64 Conversion", HPTcHelpConversionTools},
        {TCEXAction::HextoString, "Hex to String Conversion", HPTcHelpConversionTools},
        {TCEXAction::HextoInt, "Hex to Integer Conversion", HPTcHelpConversionTools},
        {TCEXAction::FormatXMLDocument, "Format XML Document", HPTcHelpConversionTools},
        {TCEXAction::KeyFormatting, "Key Formatting", HPTcHelpConversionTools},
        {TCEXAction::TrippleDES, "DES Encryption/Decryption", HPTcHelpDes},
        {TCEXAction::HashAndMAC, "Hash and MAC Computation", HPTcHelpHashMac},
        {TCEXAction::SessionKeyCrypt, "Session Key Cryptogramm", HPTcHelpSessionKey},
        {TCEXAction::TLVTools, "TLV Tools", HPTcHelpTlvTools}};
    for (const Opened& entry : opened) {
      form_->CEXActionObject(entry.action)->trigger();
      const auto tool = static_cast<TCEXWindow>(static_cast<int>(TCEXWindow::HexToBase64) +
                                                static_cast<int>(entry.action) -
                                                static_cast<int>(TCEXAction::Base64));
      QWidget* window = windows_->ToolWindow(tool);
      QVERIFY2(window != nullptr && window->isVisible(), entry.title);
      QCOMPARE(window->windowTitle(), QString(entry.title));
      QVERIFY(!window->isModal());
      const THPTWindowHelp* help = HPTWindowHelpOf(*window);
      QVERIFY2(help != nullptr && help->HPTContext() == entry.context, entry.title);
      window->hide();
    }
  }

  // FIPS 180-4 examples ("abc"), then the MAC over the hash for every "Use
  // key" choice of a 16- and a 24-byte key, the variants made by their rule.
  void hashAndMacAgainstFipsAndOpenssl() {
    auto* w = Open<TForm26>(TCEXAction::HashAndMAC, TCEXWindow::HashAndMAC);
    Child<QPlainTextEdit>(w, "Data")->setPlainText("61 62 63");
    const char* digests[] = {"A9993E364706816ABA3E25717850C26C9CD0D89D",
                             "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"};
    for (int algorithm = 0; algorithm < 2; ++algorithm) {
      Click(w, QString("HashAlgorithm%1").arg(algorithm));
      Click(w, "Compute Hash");
      QCOMPARE(ToHex(Bytes(Child(w, "Hash"))), std::string(digests[algorithm]));
      const std::string hash = Bytes(Child(w, "Hash"));
      for (size_t length : {16u, 24u}) {
        const std::string key = test::RandomBytes(rng_, length);
        Child(w, "Key")->setText(QString::fromStdString(ToHex(key)));
        Click(w, "Generate Variants");
        for (int use = 0; use <= 5; ++use) {
          Click(w, QString("UseKey%1").arg(use));
          Click(w, "Compute MAC");
          const std::string chosen = use == 0 ? key : test::VariantRef(key, use - 1);
          QCOMPARE(ToHex(Bytes(Child(w, "MAC"))), ToHex(OpensslRetailMac(chosen, hash)));
        }
      }
    }
  }

  // "abc" hashes as the byte AB and the info window says that a digit was
  // left out; whole pairs add no note.
  void hashOfAnOddDigitSaysWhatWasLeftOut() {
    auto* w = Open<TForm26>(TCEXAction::HashAndMAC, TCEXWindow::HashAndMAC);
    std::string digests[2];
    const char* texts[] = {"ab", "abc"};
    for (int i = 0; i < 2; ++i) {
      Child<QPlainTextEdit>(w, "Data")->setPlainText(texts[i]);
      Click(w, "Compute Hash");
      digests[i] = Bytes(Child(w, "Hash"));
    }
    QCOMPARE(ToHex(digests[1]), ToHex(digests[0]));
    QCOMPARE(Child<QPlainTextEdit>(w, "InfoMemo")->toPlainText(),
             QString("Data: 1 hex digit without a partner was left out; 1 byte read"));
  }

  void desPairsPaddingsAndEveryByteValue() {
    auto* w = Open<TForm28>(TCEXAction::TrippleDES, TCEXWindow::DESEncryption);
    const std::string key = test::RandomBytes(rng_, 24), iv(8, '\0');
    Child(w, "Key")->setText(QString::fromStdString(ToHex(key)));
    auto* plainAscii = Child(w, "PlainTextASCII");
    auto* cipherAscii = Child(w, "CipherTextASCII");
    auto* plainHex = Child(w, "PlainTextHEX");
    auto* cipherHex = Child(w, "CipherTextHEX");

    // Known answers: Triple DES with a zero IV over the padded text; "No
    // Padding" still fills a text that is not whole blocks.
    const std::string text = "Kalmore DES!", block = FromHex("00112233445566778899AABBCCDDEEFF");
    struct Case {
      bool ascii;
      int padding;
      std::string plain, enciphered;
    };
    const Case cases[] = {{true, 0, text, test::Pad80(text)},
                          {true, 1, text, test::Pad80(text)},
                          {false, 0, block, test::Pad80(block)},
                          {false, 1, block, block}};
    for (const Case& c : cases) {
      Click(w, QString("Padding%1").arg(c.padding));
      if (c.ascii) {
        plainAscii->setText(QString::fromLatin1(c.plain.data(), int(c.plain.size())));
        Click(w, "EncryptASCII");
        QCOMPARE(ToHex(Bytes(cipherAscii)), ToHex(test::Ede(key, c.enciphered, true, iv)));
        plainAscii->clear();
        Click(w, "DecryptASCII");
        const std::string back = c.padding == 0 ? c.plain : c.enciphered;
        QCOMPARE(plainAscii->text(), QString::fromLatin1(back.data(), int(back.size())));
        QCOMPARE(ToHex(Bytes(plainHex)), ToHex(back));
      } else {
        plainHex->setText(QString::fromStdString(ToHex(c.plain)));
        Click(w, "EncryptHEX");
        QCOMPARE(ToHex(Bytes(cipherHex)), ToHex(test::Ede(key, c.enciphered, true, iv)));
        plainHex->clear();
        Click(w, "DecryptHEX");
        QCOMPARE(ToHex(Bytes(plainHex)), ToHex(c.plain));
      }
    }

    // "No Padding" with a cipher text that is not whole blocks: the cipher's
    // code, in the text field with the hex field emptied for the upper pair.
    Click(w, "Padding1");
    cipherHex->setText("00 11 22 33 44 55 66 77 88 99 AA BB");
    Click(w, "DecryptHEX");
    QCOMPARE(plainHex->text(), QString("Error 4010"));
    cipherAscii->setText(cipherHex->text());
    Click(w, "DecryptASCII");
    QCOMPARE(plainAscii->text(), QString("Error 4010"));
    QCOMPARE(plainHex->text(), QString());

    // Every byte value through both pairs (in halves: a string encryption
    // takes at most 248 bytes).
    Click(w, "Padding0");
    for (int half = 0; half < 2; ++half) {
      std::string bytes(128, '\0');
      for (int i = 0; i < 128; ++i) bytes[i] = static_cast<char>(half * 128 + i);
      plainAscii->setText(QString::fromLatin1(bytes.data(), int(bytes.size())));
      Click(w, "EncryptASCII");
      plainAscii->clear();
      Click(w, "DecryptASCII");
      QCOMPARE(ToHex(plainAscii->text().toLatin1().toStdString()), ToHex(bytes));
      QCOMPARE(ToHex(Bytes(plainHex)), ToHex(bytes));
      Click(w, "EncryptHEX");
      plainHex->clear();
      Click(w, "DecryptHEX");
      QCOMPARE(ToHex(Bytes(plainHex)), ToHex(bytes));
    }
  }

  void cryptogramSelfTestAndFieldsOnShowing() {
    auto* w = Open<TFormCRYSessionKeyCryptogramm>(TCEXAction::SessionKeyCrypt,
                                                  TCEXWindow::SessionKeyCrypt);
    Click(w, "Test RSA Lab");
    std::string em;
    for (const auto& [title, bytes] : test::ReadPkcs1HexBlocks(
             test::CryptoVectorFile("asymmetric/RSA/pkcs-1v2-1d2-vec/oaep-int.txt")))
      if (title.rfind("EM = ", 0) == 0) em = bytes;
    QCOMPARE(em.size(), size_t(127));
    QCOMPARE(ToHex(Bytes(Child(w, "OaepEncoded"))), ToHex(em));

    // The fields come from the configuration when the window is shown, and
    // an edit survives the window losing and regaining the focus.
    TCFGConfig& config = form_->CEXCore().CEXConfiguration();
    QCOMPARE(Child(w, "SenderAscii")->text(), QString::fromStdString(config.CFGGetComponentID()));
    QCOMPARE(Child(w, "SessionKey")->text(), QString::fromStdString(config.CFGGetSessionKey()));
    Child(w, "SessionKey")->setText("01 02");
    QEvent deactivate(QEvent::WindowDeactivate), activate(QEvent::WindowActivate);
    QApplication::sendEvent(w, &deactivate);
    QApplication::sendEvent(w, &activate);
    QCOMPARE(Child(w, "SessionKey")->text(), QString("01 02"));
    w->hide();
    form_->CEXActionObject(TCEXAction::SessionKeyCrypt)->trigger();
    QCOMPARE(Child(w, "SessionKey")->text(), QString::fromStdString(config.CFGGetSessionKey()));
  }

  // Records of OpenSSL keys: formatted from the fields (the lengths follow
  // modulus and exponent), the Base64 value as python3 writes it, exported,
  // decomposed and imported again.
  void keyFormattingRoundTripsOpensslKeys() {
    auto* w = Open<TForm25>(TCEXAction::KeyFormatting, TCEXWindow::KeyFormatting);
    auto set = [w](const char* name, const std::string& text) {
      Child(w, name)->setText(QString::fromStdString(text));
    };
    for (int bits : {1024, 2048}) {
      dialogs_.messages.clear();
      int status = -1;
      test::RunCommand("openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:" +
                           std::to_string(bits) + " -out " + home_->file("k.pem") + " 2>/dev/null",
                       "", &status);
      QCOMPARE(status, 0);
      std::string modulus =
          test::RunCommand("openssl rsa -in " + home_->file("k.pem") + " -noout -modulus", "");
      modulus = test::TrimText(modulus.substr(modulus.find('=') + 1));
      set("OwnerId", "1234567890");
      set("Index", "1c");
      set("ExpDate", "2612");
      set("HashIndicator", bits > 1024 ? "2" : "1");
      set("KeyAlgorithmIndicator", "1");
      set("Modulus", modulus);
      set("Exponent", "01 00 01");
      QCOMPARE(Child(w, "ModulusLength")->text(), QString::number(bits / 8));
      QCOMPARE(Child(w, "ExponentLength")->text(), QString("3"));
      Click(w, "Formatted Key");
      QCOMPARE(dialogs_.messages, std::vector<std::string>());
      const std::string record = Child(w, "HexValue")->text().toStdString();
      QCOMPARE(Bytes(Child(w, "HexValue")).size(),
               size_t(5 + 1 + 2 + 1 + 1 + (bits > 1024 ? 2 : 1) + 1 + bits / 8 + 3 +
                      (bits > 1024 ? 32 : 20)));
      const std::string base64 = test::RunPython(
          "import base64, sys\nprint(base64.b64encode(bytes.fromhex(sys.stdin.read())).decode())",
          record);
      QCOMPARE(Child(w, "Base64Value")->text().toStdString() + "\n", base64);

      dialogs_.save = home_->file("key.txt");
      Click(w, "Export to File...");
      QCOMPARE(dialogs_.messages.back(), std::string("Export successfully completed!"));
      QCOMPARE(test::ReadFile(dialogs_.save), record + "\r\n");

      for (const char* name : {"OwnerId", "Index", "Modulus", "Exponent", "HashResult"})
        set(name, "");
      Click(w, "Decompose");
      QCOMPARE(ToHex(Bytes(Child(w, "Modulus"))), ToHex(FromHex(modulus)));
      QCOMPARE(Child(w, "Index")->text(), QString("1C"));
      QCOMPARE(Child(w, "OwnerId")->text(), QString("1234567890"));
      QVERIFY(Child<QLabel>(w, "Status")->text().endsWith(" (Hash verification passed) "));

      set("HexValue", "");
      set("Modulus", "");
      dialogs_.open = dialogs_.save;
      Click(w, "Import from File...");
      QCOMPARE(Child(w, "HexValue")->text().toStdString(), record);
      QCOMPARE(ToHex(Bytes(Child(w, "Modulus"))), ToHex(FromHex(modulus)));
      QCOMPARE(Child(w, "ModulusLength")->text(), QString::number(bits / 8));
      // A cancelled file dialog changes no field and keeps the hex value.
      dialogs_.open.clear();
      Click(w, "Import from File...");
      QCOMPARE(Child(w, "HexValue")->text().toStdString(), record);
      QCOMPARE(Child(w, "Index")->text(), QString("1C"));
      QVERIFY(Child<QLabel>(w, "Status")->text().startsWith("Import aborted"));
      dialogs_.save.clear();
      Click(w, "Export to File...");
      QCOMPARE(dialogs_.messages.back(), std::string("Export aborted during file dialog"));
      QCOMPARE(Child(w, "HexValue")->text().toStdString(), record);
    }
  }

  void infoWindowPrintsItsLinesToPdf() {
    auto* w = Open<TForm28>(TCEXAction::TrippleDES, TCEXWindow::DESEncryption);
    auto* memo = Child<TToolPrintMemo>(w, "InfoMemo");
    const QStringList lines = {"Compute MAC", "Key = 01 23 45 67 89 AB CD EF",
                               "bin {1, 35, 69, 103, 137, 171, 205, 239}", "Padded hash = 80"};
    memo->setPlainText(lines.join('\n'));
    const std::string pdf = home_->file("info.pdf");
    memo->SetPrinterChoice([&pdf](QPrinter& printer) {
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(QString::fromStdString(pdf));
      return true;
    });
    QVERIFY(memo->PrintAction() != nullptr);
    memo->PrintAction()->trigger();
    int status = -1;
    const std::string text = test::RunCommand("pdftotext " + pdf + " -", "", &status);
    QCOMPARE(status, 0);
    QStringList printed;
    for (const std::string& line : test::SplitLines(text)) {
      const QString trimmed = QString::fromStdString(line).remove('\f').trimmed();
      if (!trimmed.isEmpty()) printed << trimmed;
    }
    QCOMPARE(printed, lines);
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestCryptoToolWindows)
#include "TestCryptoToolWindows.moc"
