#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <memory>

#include "comm/CommParams.h"
#include "comm/LoopbackPeer.h"
#include "comm/PlugInCall.h"
#include "comm/ui/FormCommunication.h"
#include "comm/ui/FormModemStatus.h"
#include "config/Config.h"
#include "config/ui/DialogTestSupport.h"
#include "config/ui/FormTimeouts.h"
#include "platform/DialUp.h"
#include "platform/EventPoster.h"
#include "support/TraceLogger.h"

namespace kal {

namespace {

using test::DialogField;
using Step = TPLTScriptedDialUp::TStep;

// clang-format off
// "Communication Settings": the file's value, what the dialog shows, what
// is typed and what the file then holds. The password is stored as Base64.
const std::vector<DialogField> kCommunicationFields = {
    {"RadioGroup1", "Communication", "CommType", "2", "2", "1", "1"},
    {"RadioGroup2", "Communication", "ThisComputerClientServer", "1", "1", "2", "2"},
    {"Edit1", "Communication", "ThisComputerIPPortNr", "1001", "1001", "2001", "2001"},
    {"RadioGroup3", "Communication", "EthernetClientServer", "1", "1", "0", "0"},
    {"Edit2", "Communication", "EthernetIPPortNr", "1002", "1002", "2002", "2002"},
    {"Edit3", "Communication", "EthernetIPAddr", "host.example", "host.example", "10.0.0.2", "10.0.0.2"},
    {"RadioGroup4", "Communication", "ModemClientServer", "0", "0", "1", "1"},
    {"Edit4", "Communication", "ModemIPPortNr", "1003", "1003", "2003", "2003"},
    {"Edit5", "Communication", "ModemIPAddr", "10.1.1.1", "10.1.1.1", "10.1.1.2", "10.1.1.2"},
    {"Edit6", "Communication", "ModemPhoneNr", "0441234567", "0441234567", "0447654321", "0447654321"},
    {"Edit7", "Communication", "ModemUserID", "tester", "tester", "other", "other"},
    {"Edit8", "Communication", "ModemPassword", "cGFzcw==", "pass", "word", "d29yZA=="},
    {"ComboBox1", "Communication", "PhoneBookEntry", "Home", "Home", "(no entry)", ""},
    {"CheckBox1", "Timeout", "CloseOnResponse", "0", "0", "1", "1"},
};

const std::vector<DialogField> kPlugInFields = {
    {"Edit1", "PlugIn", "OutIPAddress", "10.0.0.1", "10.0.0.1", "127.0.0.1", "127.0.0.1"},
    {"Edit2", "PlugIn", "OutIPPort", "7000", "7000", "7001", "7001"},
    {"CheckBox1", "PlugIn", "ActivatePluginOut", "0", "0", "1", "1"},
    {"Edit3", "PlugIn", "InIPAddress", "10.0.0.3", "10.0.0.3", "127.0.0.1", "127.0.0.1"},
    {"Edit4", "PlugIn", "InIPPort", "7002", "7002", "7003", "7003"},
    {"CheckBox2", "PlugIn", "ActivatePluginIn", "1", "1", "0", "0"},
};

// The dial-up states with their texts, as the status window shows them.
struct StateText { int state; const char* text; };
const StateText kStates[] = {
    {0, "Opening port"}, {1, "Port opened"}, {2, "Connecting device"}, {3, "Device connected"},
    {4, "All devices connected"}, {5, "Start authenticating"}, {6, "Authentication: notify"},
    {7, "Authentication: retry"}, {8, "Authentication: callback"},
    {9, "Authentication: change password"}, {10, "Authentication: projecting"},
    {11, "Authentication: link speed"}, {12, "Authentication: acknowledge"},
    {13, "Authentication: reauthenticate"}, {14, "Authenticated"}, {15, "Preparing for callback"},
    {16, "Waiting for modem reset"}, {17, "Waiting for callback"}, {18, "Projected"},
    {19, "Start authentication"}, {20, "Callback complete"}, {21, "Logging on network"},
    {4096, "Interactive"}, {4097, "Retry Authentication"}, {4098, "Callback set by caller"},
    {4099, "Password expired"}, {8192, "Connected"},
};
// clang-format on

}  // namespace

class TestCommDialogs : public QObject {
  Q_OBJECT

 private:
  // The link as the main window holds it, its events run from a queue the
  // Qt event loop pumps.
  struct Link {
    explicit Link(std::vector<Step> script = {}, int dialResult = 0)
        : dialUp(std::move(script), dialResult), client(queue, &dialUp) {
      config.CFGSetTrace(nullptr);
      pump.callOnTimeout([this] { queue.PLTPump(); });
      pump.start(5);
    }
    TPLTEventQueue queue;
    QTimer pump;
    test::TempDir home;
    TTCPCommParams comm{8000};
    TCFGConfig config{home.path(), "config.ini", &comm};
    TPLTScriptedDialUp dialUp;
    TCTPClientSocketPPP client;
    TPLTTcpServer server;
  };

  // `dialUp` false: no dial-up service, as on this platform.
  std::unique_ptr<TForm9> Form9(Link& link, bool dialUp = true) {
    auto dialog = std::make_unique<TForm9>(
        TForm9::TLink{link.comm, link.config, dialUp ? &link.dialUp : nullptr, &link.client,
                      &link.server},
        nullptr);
    dialog->CFGSetMessageSink([this](const QString& text) { messages_ << text; });
    return dialog;
  }

  QStringList messages_;

 private slots:
  void init() { messages_.clear(); }

  void communicationFieldsLoadAndStore() {
    Link link;
    link.dialUp.PLTSetPhoneBook({"Office", "Home"});
    test::WriteFile(link.home.file("config.ini"), test::FieldsIniText(kCommunicationFields));
    QCOMPARE(link.config.CFGReadIniFile(true), 0);
    auto dialog = Form9(link);
    dialog->show();
    QCOMPARE(test::FieldsNotShown(dialog.get(), kCommunicationFields), std::string());
    QCOMPARE(test::TypeFields(dialog.get(), kCommunicationFields), std::string());
    dialog->findChild<QPushButton*>("Ok")->click();
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(link.config.CFGWriteIniFile("config.ini"), 0);
    QCOMPARE(test::FieldsNotStored(link.home.file("config.ini"), kCommunicationFields),
             std::string());
    QVERIFY(messages_.isEmpty());
  }

  // "(no entry)" first, then the phone book; the configured entry selected
  // when listed; a failed listing is shown. A phone book that cannot be
  // listed (no service, failed listing) keeps the configured entry on "Ok".
  void phoneBookListing() {
    struct Row {
      bool service;
      std::vector<std::string> book;
      int result;
      const char* configured;
      QStringList items;
      const char* selected;
      QStringList messages;
    };
    // clang-format off
    const Row rows[] = {
        {true, {"Office", "Home"}, 0, "Home", {"(no entry)", "Office", "Home"}, "Home", {}},
        {true, {"Office", "Home"}, 0, "Gone", {"(no entry)", "Office", "Home"}, "(no entry)", {}},
        {true, {}, 0, "", {"(no entry)"}, "(no entry)", {}},
        {true, {"Office"}, 5, "Office", {"(no entry)", "Office"}, "Office", {"RasEnumEntries failed."}},
        {false, {}, 0, "Home", {"(no entry)", "Home"}, "Home", {}},
    };
    // clang-format on
    for (const Row& row : rows) {
      messages_.clear();
      Link link;
      link.dialUp.PLTSetPhoneBook(row.book, row.result);
      link.comm.TCPSetPhonebookEntry(row.configured);
      auto dialog = Form9(link, row.service);
      dialog->show();
      auto* combo = dialog->findChild<QComboBox*>("ComboBox1");
      QStringList items;
      for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
      QCOMPARE(items, row.items);
      QCOMPARE(combo->currentText(), QString(row.selected));
      QCOMPARE(messages_, row.messages);
      QVERIFY(test::SetWidgetValue(dialog.get(), "Edit6", "0447654321"));
      dialog->findChild<QPushButton*>("Ok")->click();
      QCOMPARE(dialog->result(), int(QDialog::Accepted));
      const std::string selected = row.selected;
      QCOMPARE(link.comm.TCPGetPhonebookEntry(), selected == "(no entry)" ? "" : selected);
    }
  }

  // A port field without a number shows its message and becomes "0".
  void portFieldsShowTheirMessageAndReset() {
    const std::pair<const char*, const char*> rows[] = {
        {"0", "Edit1"}, {"1", "Edit2"}, {"2", "Edit4"}};
    for (const auto& [line, field] : rows) {
      messages_.clear();
      Link link;
      auto dialog = Form9(link);
      dialog->show();
      QVERIFY(test::SetWidgetValue(dialog.get(), "RadioGroup1", line));
      auto* edit = dialog->findChild<QLineEdit*>(field);
      QVERIFY(edit->isVisible());
      QVERIFY(test::SetWidgetValue(dialog.get(), field, "10o0"));
      QTest::keyClick(edit, Qt::Key_Return);
      QCOMPARE(messages_, QStringList{"IP port number must be numeric"});
      QCOMPARE(edit->text(), QString("0"));
    }
  }

  // "Connect" over TCP/IP over ethernet reaches a socat listener; a port
  // outside 1..65535 is refused with its code and text, never wrapped.
  void connectReachesPeerAndShowsFailures() {
    test::SocatEcho peer;
    QVERIFY(peer.port() != 0);
    Link link;
    auto dialog = Form9(link);
    dialog->show();
    QVERIFY(test::SetWidgetValue(dialog.get(), "RadioGroup1", "1"));
    QVERIFY(test::SetWidgetValue(dialog.get(), "RadioGroup3", "0"));
    QVERIFY(test::SetWidgetValue(dialog.get(), "Edit2", QString::number(peer.port())));
    QVERIFY(test::SetWidgetValue(dialog.get(), "Edit3", "127.0.0.1"));
    dialog->findChild<QPushButton*>("Button1")->click();
    QTRY_VERIFY_WITH_TIMEOUT(link.client.Connected(), 30000);
    QVERIFY(messages_.isEmpty());
    dialog->findChild<QPushButton*>("Button2")->click();
    QVERIFY(!link.client.Active());

    QVERIFY(test::SetWidgetValue(dialog.get(), "RadioGroup3", "1"));
    QVERIFY(test::SetWidgetValue(dialog.get(), "Edit2", "65536"));
    dialog->findChild<QPushButton*>("Button1")->click();
    QCOMPARE(messages_.size(), 1);
    QVERIFY2(messages_[0].startsWith("Error 10022: Invalid Argument"), qPrintable(messages_[0]));
    QVERIFY(!link.server.PLTActive());
    QCOMPARE(link.comm.TCPGetEthernetIPPortNr(), 65536);
  }

  // The plug-in settings are stored, and the call with them passes a
  // document through a socat echo peer unchanged.
  void plugInSettingsDriveTheCall() {
    Link link;
    test::WriteFile(link.home.file("config.ini"), test::FieldsIniText(kPlugInFields));
    QCOMPARE(link.config.CFGReadIniFile(true), 0);
    TForm_PLGPlugIns dialog(link.config, nullptr);
    dialog.CFGSetMessageSink([this](const QString& text) { messages_ << text; });
    dialog.show();
    QCOMPARE(test::FieldsNotShown(&dialog, kPlugInFields), std::string());
    test::SocatEcho peer;
    QVERIFY(peer.port() != 0);
    std::vector<DialogField> fields = kPlugInFields;
    const std::string port = std::to_string(peer.port());
    fields[1].typed = fields[1].stored = port.c_str();
    QCOMPARE(test::TypeFields(&dialog, fields), std::string());
    dialog.findChild<QPushButton*>("Ok")->click();
    QCOMPARE(link.config.CFGWriteIniFile("config.ini"), 0);
    QCOMPARE(test::FieldsNotStored(link.home.file("config.ini"), fields), std::string());

    const std::string document = "<?xml version=\"1.0\"?><ep2><x>\xC3\xA9</x></ep2>";
    std::string result, error;
    QCOMPARE(PLGRunPlugin(link.config, PLGcEncodingOutMessage, document, result, error), 0);
    QCOMPARE(result, document);
    QCOMPARE(error, std::string());
    // A port field without a number: its message, then "0".
    dialog.show();
    QVERIFY(test::SetWidgetValue(&dialog, "Edit4", "x1"));
    QTest::keyClick(dialog.findChild<QLineEdit*>("Edit4"), Qt::Key_Return);
    QCOMPARE(messages_, QStringList{"Value must be numeric"});
    QCOMPARE(dialog.findChild<QLineEdit*>("Edit4")->text(), QString("0"));
  }

  // The modem status window follows a dial: every state's text in green
  // with its time in the history, "Close" disabled and the busy cursor on
  // until the connect (or a dial error, in red); then closing restores the
  // cursor.
  void modemStatusWindowFollowsTheDial() {
    test::SocatEcho peer;
    QVERIFY(peer.port() != 0);
    for (const bool fails : {false, true}) {
      std::vector<Step> script;
      for (const StateText& s : kStates)
        script.push_back({s.state, 0, std::chrono::milliseconds(1)});
      if (fails)
        script = {{0, 0, std::chrono::milliseconds(1)}, {2, 678, std::chrono::milliseconds(1)}};
      Link link(script);
      link.dialUp.PLTSetErrorString(678, "The remote computer did not respond.");
      TRRSModemStatusForm& model = link.comm.TCPStatusForm();
      // What the main window does on the connect and on a dial error.
      link.client.OnConnect = [&model] { model.RRSEnableClose(); };
      link.client.OnDialError = [&model] { model.RRSEnableClose(); };
      std::vector<bool> cursor;
      TForm10 window(model, [&cursor](bool busy) { cursor.push_back(busy); });
      link.comm.TCPSetCommType(TTCPCommParams::TCPcCommModem);
      link.comm.TCPSetModemClientServer(TTCPCommParams::TCPcIsClient);
      link.comm.TCPSetModemIPAddr("127.0.0.1");
      link.comm.TCPSetModemIPPortNr(peer.port());
      link.comm.TCPSetModemPhoneNr("0441234567");
      link.comm.TCPSetModemUserID("tester");
      link.comm.TCPSetModemPassword("pass");
      std::string text;
      QCOMPARE(link.comm.TCPConnect(&link.client, &link.server, &text), 0);
      QTRY_VERIFY(window.isVisible());
      auto* close = window.findChild<QPushButton*>("Close");
      QVERIFY(!close->isEnabled());
      QCOMPARE(cursor, std::vector<bool>{true});
      QVERIFY(window.testAttribute(Qt::WA_WState_Visible));
      QVERIFY(window.windowFlags() & Qt::WindowStaysOnTopHint);
      QCOMPARE(window.findChild<QLabel*>("PhoneLabel")->text(), QString("Calling: 0441234567"));
      QCOMPARE(window.findChild<QLabel*>("PasswordLabel")->text(), QString("Password: ****"));
      QTRY_VERIFY_WITH_TIMEOUT(close->isEnabled(), 30000);
      QCOMPARE(cursor, (std::vector<bool>{true, false}));

      QStringList expected = {"Connecting dial-up network client",
                              "Phone book entry: ", "User name: tester",
                              "Phone number: 0441234567"};
      if (fails) {
        expected << "Opening port"
                 << "The remote computer did not respond.";
      } else {
        for (const StateText& s : kStates) expected << s.text;
        expected
            << QString("Connecting client socket, address: 127.0.0.1, port: %1").arg(peer.port());
      }
      auto* history = window.findChild<QListWidget*>("HistoryList");
      QTRY_COMPARE(history->count(), int(expected.size()));
      const QRegularExpression time(" \\d\\d:\\d\\d:\\d\\d$");
      for (int i = 0; i < history->count(); ++i) {
        QString line = history->item(i)->text();
        QVERIFY2(line.contains(time), qPrintable(line));
        line.remove(time);
        QCOMPARE(line, expected[i]);
      }
      auto* status = window.findChild<QLabel*>("StatusLabel");
      QCOMPARE(status->text(), expected.back());
      QCOMPARE(status->styleSheet(), QString(fails ? "color: red" : "color: green"));
      close->click();
      QTRY_VERIFY(!window.isVisible());
      QCOMPARE(cursor, (std::vector<bool>{true, false}));
      link.client.CTPDisConnectModem();
    }
    // Closed by its title bar while dialling: the cursor comes back.
    Link link({{0, 0, std::chrono::milliseconds(1)}});
    std::vector<bool> cursor;
    TForm10 window(link.comm.TCPStatusForm(), [&cursor](bool busy) { cursor.push_back(busy); });
    link.comm.TCPStatusForm().RRSOpenStatusForm("Office", "", "u", "1", "127.0.0.1", "");
    QTRY_VERIFY(window.isVisible());
    window.close();
    QVERIFY(!link.comm.TCPStatusForm().RRSStatusWindowVisible());
    QCOMPARE(cursor, (std::vector<bool>{true, false}));
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestCommDialogs)
#include "TestCommDialogs.moc"
