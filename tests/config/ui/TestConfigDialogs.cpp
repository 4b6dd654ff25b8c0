#include <sys/stat.h>
#include <QApplication>
#include <QClipboard>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <filesystem>
#include <functional>
#include <memory>

#include "config/AliasList.h"
#include "config/Config.h"
#include "config/ui/DialogTestSupport.h"
#include "config/ui/FormAlias.h"
#include "config/ui/FormMessageHeader.h"
#include "config/ui/FormSelectDirectory.h"
#include "config/ui/FormTimeouts.h"
#include "support/TraceLogger.h"
#include "support/ui/RowEditGrid.h"

namespace kal {

namespace {

using test::DialogField;

// clang-format off
// Every field of "Message Header Parameters": the file's value, what the
// dialog shows, what is typed, what the file then holds.
const std::vector<DialogField> kHeaderFields = {
    {"Edit1", "Component", "ComponentID", "12345678901", "12345678901", "T0000001", "T0000001"},
    {"Edit2", "Component", "ComponentSecret", "0011", "0011", "A1B2", "A1B2"},
    {"Edit3", "Component", "VersionNumber", "20", "20", "21", "21"},
    {"Edit4", "Component", "SpecVersionNumber", "0600", "0600", "0630", "0630"},
    {"RadioGroup1", "Component", "EncodingInformation", "1", "1", "2", "2"},
    {"RadioGroup2", "Component", "SenderIDType", "3", "2", "4", "5"},
    {"Edit5", "Component", "UserSenderIDType", "7", "7", "8", "8"},
    {"Edit6", "Component", "UserSenderIDLength", "12", "12", "14", "14"},
    {"RadioGroup3", "Component", "PublicKeyOwnerIDType", "2", "1", "0", "1"},
    {"Edit7", "Component", "UserPublicKeyOwnerIDType", "5", "5", "6", "6"},
    {"Edit8", "Component", "UserPublicKeyOwnerIDLength", "9", "9", "10", "10"},
    {"Edit9", "Component", "PublicKeyOwnerID", "99999999999", "99999999999", "11111111111", "11111111111"},
    {"Edit10", "Component", "PublicKeyIndex", "3", "3", "4", "4"},
    {"CheckBox1", "Component", "Upgrade1020", "0", "0", "1", "1"},
    {"Edit11", "Component", "XMLMessageHeader", "ep2", "ep2", "ep2x", "ep2x"},
    {"Edit12", "Component", "XMLMessageAttrib", "specversion", "specversion", "version", "version"},
    {"Edit13", "Component", "XMLMessageVal", "0700", "0700", "0710", "0710"},
};

const std::vector<DialogField> kTimeoutFields = {
    {"Edit1", "Timeout", "InterCharTimeout", "1500", "1500", "2500", "2500"},
    {"Edit2", "Timeout", "ServerResponseTimeout", "30000", "30000", "45000", "45000"},
    {"Edit3", "Timeout", "HangUpTimeout", "3000", "3000", "4000", "4000"},
    {"Edit4", "Timeout", "ConnectionDelay", "10", "10", "0", "0"},
};
// clang-format on

}  // namespace

class TestConfigDialogs : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::TempDir> home_;
  std::unique_ptr<TCFGConfig> config_;
  TTDBDebug trace_;
  QStringList messages_;

  void Fresh(const std::string& ini = "") {
    home_ = std::make_unique<test::TempDir>();
    if (!ini.empty()) test::WriteFile(home_->file("config.ini"), ini);
    config_ = std::make_unique<TCFGConfig>(home_->path(), "config.ini", nullptr);
    QCOMPARE(config_->CFGReadIniFile(true), 0);
    messages_.clear();
  }
  template <class D>
  std::unique_ptr<D> Dialog() {
    auto dialog = std::make_unique<D>(*config_, &trace_);
    dialog->CFGSetMessageSink([this](const QString& text) { messages_ << text; });
    return dialog;
  }
  static void Click(QWidget* dialog, const char* button) {
    dialog->findChild<QPushButton*>(button)->click();
  }
  std::vector<std::string> Written(const std::vector<DialogField>& fields) {
    [&] { QCOMPARE(config_->CFGWriteIniFile("config.ini"), 0); }();
    return test::IniValues(home_->file("config.ini"), fields);
  }

  // Loads the file's values, checks what the dialog shows, types the new
  // values, presses "Ok" and reads the written file back.
  template <class D>
  void RoundTrip(const std::vector<DialogField>& fields) {
    Fresh(test::FieldsIniText(fields));
    auto dialog = Dialog<D>();
    dialog->show();
    QCOMPARE(test::FieldsNotShown(dialog.get(), fields), std::string());
    QCOMPARE(test::TypeFields(dialog.get(), fields), std::string());
    Click(dialog.get(), "Ok");
    QVERIFY(!dialog->isVisible());
    QCOMPARE(config_->CFGWriteIniFile("config.ini"), 0);
    QCOMPARE(test::FieldsNotStored(home_->file("config.ini"), fields), std::string());
    QVERIFY(messages_.isEmpty());
  }

 private slots:
  void messageHeaderFieldsLoadAndStore() { RoundTrip<TForm7>(kHeaderFields); }
  void timeoutFieldsLoadAndStore() { RoundTrip<TForm13>(kTimeoutFields); }

  void createdDialogsTraceTheirClass() {
    Fresh();
    TTDBTraceList list;
    TTDBDebug trace(&list);
    TForm7 header(*config_, &trace);
    TForm13 timeouts(*config_, &trace);
    TForm21 chooser(*config_, &trace);
    for (const char* name : {"TForm7", "TForm13", "TForm21"}) {
      bool found = false;
      for (const std::string& line : list.Lines()) found |= line.find(name) != std::string::npos;
      QVERIFY2(found, name);
    }
    QVERIFY(header.minimumWidth() > 0 && header.minimumHeight() > 0);
  }

  // Stored type numbers and user values come back as they were after the
  // dialog was opened and left with "Ok"; the user value is chosen exactly
  // for types from the user-value number on.
  void identifierTypesSurviveOk() {
    struct Row {
      const char* key;
      const char* userKey;
      const char* group;
      int type, user;
      const char* item;
    };
    // clang-format off
    const Row rows[] = {
        {"SenderIDType", "UserSenderIDType", "RadioGroup2", 0, 2, "-1"},
        {"SenderIDType", "UserSenderIDType", "RadioGroup2", 3, 2, "2"},
        {"SenderIDType", "UserSenderIDType", "RadioGroup2", 6, 2, "5"},
        {"SenderIDType", "UserSenderIDType", "RadioGroup2", 9, 2, "5"},
        {"PublicKeyOwnerIDType", "UserPublicKeyOwnerIDType", "RadioGroup3", 0, 1, "-1"},
        {"PublicKeyOwnerIDType", "UserPublicKeyOwnerIDType", "RadioGroup3", 2, 1, "1"},
        {"PublicKeyOwnerIDType", "UserPublicKeyOwnerIDType", "RadioGroup3", 4, 1, "3"},
    };
    // clang-format on
    for (const Row& row : rows) {
      const std::string type = std::to_string(row.type), user = std::to_string(row.user);
      Fresh("[Component]\r\n" + std::string(row.key) + "=" + type + "\r\n" + row.userKey + "=" +
            user + "\r\n");
      auto dialog = Dialog<TForm7>();
      dialog->show();
      QCOMPARE(test::WidgetValue(dialog.get(), row.group), QString(row.item));
      Click(dialog.get(), "Ok");
      const std::vector<std::string> values =
          Written({{"", "Component", row.key, "", "", "", ""},
                   {"", "Component", row.userKey, "", "", "", ""}});
      QCOMPARE(values, (std::vector<std::string>{type, user}));
    }
  }

  // Closing by the title bar after an edit stores; "Cancel" does not.
  void titleBarStoresCancelDoesNot() {
    struct Row {
      const char* name;
      std::function<std::unique_ptr<TCFGEditDialog>(TestConfigDialogs&)> make;
      const char* field;
      std::function<std::string(const TCFGConfig&)> value;
    };
    const Row rows[] = {
        {"header",
         [](TestConfigDialogs& t) { return std::unique_ptr<TCFGEditDialog>(t.Dialog<TForm7>()); },
         "Edit1", [](const TCFGConfig& c) { return c.CFGGetComponentID(); }},
        {"timeouts",
         [](TestConfigDialogs& t) { return std::unique_ptr<TCFGEditDialog>(t.Dialog<TForm13>()); },
         "Edit2",
         [](const TCFGConfig& c) { return std::to_string(c.CFGGetServerResponseTimeout()); }},
        {"plug-ins",
         [](TestConfigDialogs& t) {
           return std::unique_ptr<TCFGEditDialog>(t.Dialog<TForm_PLGPlugIns>());
         },
         "Edit1", [](const TCFGConfig& c) { return c.CFGGetPluginOutIPAddress(); }},
    };
    for (const Row& row : rows) {
      for (const bool cancel : {false, true}) {
        Fresh();
        const std::string before = row.value(*config_);
        auto dialog = row.make(*this);
        dialog->show();
        QVERIFY(test::SetWidgetValue(dialog.get(), row.field, "4711"));
        if (cancel)
          Click(dialog.get(), "Cancel");
        else
          dialog->close();
        QVERIFY2(!dialog->isVisible(), row.name);
        QVERIFY2(row.value(*config_) == (cancel ? before : "4711"), row.name);
      }
    }
  }

  // A number field left with no integer shows its message and becomes "0".
  void numberFieldsShowTheirMessageAndReset() {
    struct Row {
      bool header;
      const char* field;
      const char* message;
    };
    const Row rows[] = {
        {true, "Edit5", "Value must be numeric"},
        {true, "Edit6", "Value must be numeric"},
        {true, "Edit7", "Value must be numeric"},
        {true, "Edit8", "Value must be numeric"},
        {true, "Edit10", "Public key index must be numeric"},
        {false, "Edit1", "Value must be numeric"},
        {false, "Edit2", "Value must be numeric"},
        {false, "Edit3", "Value must be numeric"},
        {false, "Edit4", "Value must be numeric"},
    };
    for (const Row& row : rows) {
      Fresh();
      std::unique_ptr<TCFGEditDialog> dialog;
      if (row.header)
        dialog = Dialog<TForm7>();
      else
        dialog = Dialog<TForm13>();
      dialog->show();
      auto* edit = dialog->findChild<QLineEdit*>(row.field);
      QVERIFY(test::SetWidgetValue(dialog.get(), row.field, "1x"));
      QTest::keyClick(edit, Qt::Key_Return);
      QCOMPARE(messages_, QStringList{row.message});
      QCOMPARE(edit->text(), QString("0"));
    }
    // A byte setting refuses what it cannot hold instead of wrapping it.
    Fresh();
    auto header = Dialog<TForm7>();
    header->show();
    QVERIFY(test::SetWidgetValue(header.get(), "Edit10", "300"));
    Click(header.get(), "Ok");
    QCOMPARE(messages_, QStringList{"Public key index must be numeric"});
    QCOMPARE(config_->CFGGetPublicKeyIndex(), uint8_t{0});
  }

  // The chooser starts in the Record directory when it exists, else in the
  // program folder; neither browsing nor cancelling changes the setting.
  void selectDirectoryStartsAndLeavesRecordDirectory() {
    for (const bool exists : {true, false}) {
      Fresh();
      const std::string record = home_->file("records");
      if (exists) std::filesystem::create_directory(record);
      config_->CFGSetDirRecord(record);
      TForm21 chooser(*config_, &trace_);
      std::string chosen = "unchanged";
      QTimer::singleShot(0, &chooser, [&] {
        std::string start = chooser.SDSDirectory();
        const std::string expected =
            exists ? record : home_->path().substr(0, home_->path().size() - 1);
        QCOMPARE(start, expected);
        chooser.SDSSetDirectory("/tmp");
        QCOMPARE(chooser.SDSDirectory(), std::string("/tmp"));
        chooser.findChild<QPushButton*>("Cancel")->click();
      });
      QVERIFY(!chooser.SDSChooseDirectory(chosen));
      QCOMPARE(chosen, std::string("unchanged"));
      QCOMPARE(config_->CFGGetDirRecord(), record);
    }
  }

  // Rows go to "alias.ini" (TAB-separated, CR LF, read by python3's csv in
  // the excel-tab dialect) and come back; the check list sets Attrib, which
  // is not edited in place; the list knows the two-way alias.
  void aliasRowsRoundTrip() {
    Fresh();
    test::WriteFile(home_->file("alias.ini"), "MSG\t/data/messages/\t2\r\nSEQ\t/data/seq/\t\r\n");
    TALUAliasList aliases(home_->path());
    TFormAlias dialog(aliases, *config_, &trace_);
    dialog.ALISetMessageSink([this](const QString& text) { messages_ << text; });
    dialog.show();
    TRowEditGrid& grid = dialog.ALIGrid();
    QCOMPARE(grid.rowCount(), 10);
    QCOMPARE(grid.Cell(1, 2), std::string("SEQ"));
    auto* checks = dialog.findChild<QListWidget*>("CheckListBox1");
    QCOMPARE(checks->item(0)->text(), QString("2 Two Ways Alias"));
    grid.setCurrentCell(1, 1);
    QCOMPARE(checks->item(0)->checkState(), Qt::Checked);
    grid.setCurrentCell(2, 1);
    QCOMPARE(checks->item(0)->checkState(), Qt::Unchecked);
    checks->item(0)->setCheckState(Qt::Checked);
    QCOMPARE(grid.Cell(3, 2), std::string("2"));
    // Attrib is set through the check list only: the cursor moves off it.
    grid.setCurrentCell(2, 3);
    QTRY_VERIFY(grid.currentColumn() != 3);
    grid.SetCell(1, 3, "TMP");
    grid.SetCell(2, 3, "/tmp/");
    dialog.findChild<QPushButton*>("Ok")->click();
    QVERIFY(!dialog.isVisible());
    const std::string rows = test::RunPython(
        "import csv\n"
        "with open(r'''" +
            home_->file("alias.ini") +
            "''', newline='') as f:\n"
            "    data = f.read()\n"
            "assert data.endswith('\\r\\n') and '\\n' not in data.replace('\\r\\n', '')\n"
            "for r in csv.reader(data.splitlines(True), dialect='excel-tab'):\n"
            "    print('|'.join(r))\n",
        "");
    QCOMPARE(rows, std::string("MSG|/data/messages/|2\nSEQ|/data/seq/|2\nTMP|/tmp/|\n"));
    QCOMPARE(aliases.ALUGetCount(), size_t{3});
    std::string path = "/data/seq/x.seq";
    QVERIFY(aliases.ALUFindAlias(true, path) != nullptr);
    QCOMPARE(path, std::string("SEQx.seq"));
    QVERIFY(messages_.isEmpty());
  }

  // "Browse" puts the chosen directory into the selected row; a pasted last
  // cell of 256 characters is skipped.
  void aliasBrowseAndPaste() {
    Fresh();
    TALUAliasList aliases(home_->path());
    TFormAlias dialog(aliases, *config_, &trace_);
    dialog.show();
    TRowEditGrid& grid = dialog.ALIGrid();
    const std::string record = config_->CFGGetDirRecord();
    grid.setCurrentCell(2, 1);
    QTimer::singleShot(0, &dialog, [] {
      auto* chooser = qobject_cast<TForm21*>(QApplication::activeModalWidget());
      QVERIFY(chooser != nullptr);
      chooser->SDSSetDirectory("/usr");
      chooser->findChild<QPushButton*>("Ok")->click();
    });
    dialog.findChild<QPushButton*>("Browse")->click();
    QCOMPARE(grid.Cell(2, 2), std::string("/usr"));
    QVERIFY(dialog.ALIChanged());
    QCOMPARE(config_->CFGGetDirRecord(), record);

    QApplication::clipboard()->setText(QString("\tA\t") + QString(255, 'd') + "\r\n\tB\t" +
                                       QString(256, 'e'));
    grid.setCurrentCell(4, 1);
    grid.Execute(TRowEditGrid::Paste);
    QCOMPARE(grid.Cell(1, 4), std::string("A"));
    QCOMPARE(grid.Cell(2, 4), std::string(255, 'd'));
    QCOMPARE(grid.Cell(1, 5), std::string("B"));
    QCOMPARE(grid.Cell(2, 5), std::string());
  }

  // "alias.ini" cannot be written (a read-only program folder; a folder in
  // its place, which stops root too): the error names the file and gives
  // the system's text, and the dialog stays open.
  void aliasWriteFailureKeepsDialogOpen() {
    for (const bool readOnly : {true, false}) {
      if (readOnly && ::geteuid() == 0) continue;  // root writes into read-only folders
      Fresh();
      if (!readOnly) std::filesystem::create_directory(home_->file("alias.ini"));
      TALUAliasList aliases(home_->path());
      TFormAlias dialog(aliases, *config_, &trace_);
      dialog.ALISetMessageSink([this](const QString& text) { messages_ << text; });
      dialog.show();
      dialog.ALIGrid().SetCell(1, 1, "X");
      QTest::keyClick(&dialog.ALIGrid(), Qt::Key_A);
      if (readOnly) ::chmod(home_->path().c_str(), 0500);
      dialog.findChild<QPushButton*>("Ok")->click();
      if (readOnly) ::chmod(home_->path().c_str(), 0700);
      QVERIFY(dialog.isVisible());
      QCOMPARE(messages_, QStringList{QString::fromStdString(home_->file("alias.ini")) + ": " +
                                      (readOnly ? "Permission denied" : "Is a directory")});
    }
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestConfigDialogs)
#include "TestConfigDialogs.moc"
