// "TLV Tools": parsing into the grid, the two lists over "EMVElements.ini",
// the hex and Base64 fields, and a missing table at start.

#include "tools/ui/FormTlvTools.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "common/TestSupport.h"
#include "workbench/ui/MainForm.h"
#include "workbench/ui/MainFormHome.h"
#include "workbench/ui/MessageDialogs.h"

namespace kal {

using Rows = std::vector<std::vector<std::string>>;

class TestFormTlvTools : public QObject {
  Q_OBJECT

 private:
  template <typename T>
  T* Child(QWidget& form, const char* name) {
    T* child = form.findChild<T*>(name);
    if (child == nullptr) qFatal("no child %s", name);
    return child;
  }
  Rows Grid(QWidget& form) {
    auto* grid = Child<QTableWidget>(form, "StringGrid1");
    Rows rows;
    for (int r = 0; r < grid->rowCount(); ++r) {
      rows.emplace_back();
      for (int c = 0; c < grid->columnCount(); ++c)
        rows.back().push_back(grid->item(r, c) ? grid->item(r, c)->text().toStdString() : "");
    }
    return rows;
  }
  static void Choose(QComboBox* list, const QString& text) {
    list->setCurrentIndex(list->findText(text));
    emit list->activated(list->currentIndex());
  }

  std::unique_ptr<test::TempDir> home_;
  test::MessageDialogs dialogs_;
  std::unique_ptr<TForm1> main_;

 private slots:
  void initTestCase() {
    home_ = std::make_unique<test::TempDir>();
    main_ = test::MakeMainForm(
        *home_, dialogs_,
        std::string(test::kQuietCommunicationIni) + "[Component]\r\nLogToFile=1\r\n");
    main_->show();
    QTest::qWait(1);  // the first activation starts the trace file
  }
  void cleanupTestCase() { main_.reset(); }

  void AMissingTableLeavesTheListsEmptyAndIsToldOnce() {
    const std::string path = home_->file("EMVElements.ini");
    TForm27 form(main_->CEXServices());
    QStringList messages;
    form.SetMessageSink([&](const QString& text) { messages << text; });
    QCOMPARE(Child<QComboBox>(form, "ComboBox1")->count(), 0);
    QCOMPARE(Child<QComboBox>(form, "ComboBox2")->count(), 0);
    QVERIFY(test::ReadFile(home_->file("DEBUG1.TXT")).find(path) != std::string::npos);
    QVERIFY(messages.isEmpty());
    form.show();
    form.hide();
    form.show();
    QCOMPARE(messages, QStringList{QString::fromStdString("Cannot read " + path)});
  }

  void ParsesIntoTheGridAndMapsTagsBothWays() {
    test::WriteFile(home_->file("EMVElements.ini"),
                    "ep2:AmtAuth;9F02\r\nep2:TrxDate ; 9A\r\nep2:Amt2;9F02\r\n;5F2A\r\n");
    TForm27 form(main_->CEXServices());
    QStringList messages;
    form.SetMessageSink([&](const QString& text) { messages << text; });
    form.show();
    QVERIFY(messages.isEmpty());
    auto* grid = Child<QTableWidget>(form, "StringGrid1");
    QStringList header;
    for (int c = 0; c < grid->columnCount(); ++c) header << grid->horizontalHeaderItem(c)->text();
    QCOMPARE(header, (QStringList{"XML tag", "EMV tag", "Length", "Value"}));

    auto* hex = Child<QLineEdit>(form, "Edit1");
    auto* base64 = Child<QLineEdit>(form, "Edit2");
    hex->setText("9F0206000000001000 9A03");
    QCOMPARE(base64->text(), QString("nwIGAAAAABAAmgM="));
    Child<QCheckBox>(form, "CheckBox1")->setChecked(true);
    Child<QPushButton>(form, "Parse")->click();
    QCOMPARE(Grid(form), (Rows{{"ep2:AmtAuth", "9F02", "6", "000000001000"}}));

    base64->setText("nwIGmgOfNwQ=");
    QCOMPARE(hex->text(), QString("9F02069A039F3704"));
    Child<QCheckBox>(form, "CheckBox1")->setChecked(false);
    form.Parse();
    QCOMPARE(Grid(form), (Rows{{"ep2:AmtAuth", "9F02", "6", ""},
                               {"ep2:TrxDate", "9A", "3", ""},
                               {"", "9F37", "4", ""}}));

    auto* xmlTags = Child<QComboBox>(form, "ComboBox1");
    auto* emvTags = Child<QComboBox>(form, "ComboBox2");
    QCOMPARE(xmlTags->count(), 3);
    Choose(xmlTags, "ep2:Amt2");
    QCOMPARE(emvTags->currentText(), QString("9F02"));
    Choose(emvTags, "9A");
    QCOMPARE(xmlTags->currentText(), QString("ep2:TrxDate"));
    Choose(emvTags, "9F02");
    QCOMPARE(xmlTags->currentText(), QString("ep2:AmtAuth"));

    Child<QPushButton>(form, "Clear1")->click();
    QVERIFY(hex->text().isEmpty());
    form.Parse();  // nothing to parse: the grid stays
    QCOMPARE(grid->rowCount(), 3);
    Child<QPushButton>(form, "Clear2")->click();
    QCOMPARE(grid->rowCount(), 0);
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestFormTlvTools)
#include "TestFormTlvTools.moc"
