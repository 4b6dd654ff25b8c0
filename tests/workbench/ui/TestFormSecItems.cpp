#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "common/TestSupport.h"
#include "config/Config.h"
#include "ep2/MessageElement.h"
#include "ep2/MessageTree.h"
#include "support/ErrorWindow.h"
#include "workbench/MainWindow.h"
#include "workbench/ui/CheckListBox.h"
#include "workbench/ui/FormSKISecItems.h"
#include "workbench/ui/MainForm.h"
#include "workbench/ui/MainFormHome.h"
#include "workbench/ui/MessageDialogs.h"

namespace kal {

namespace {

class Errors final : public IERRErrorWindow {
 public:
  void ERRSetError(int code, const std::string& detail) override {
    ERRSetErrorMessage(code, detail);
  }
  void ERRSetErrorMessage(int code, const std::string& text) override {
    shown.push_back(std::to_string(code) + " " + text);
  }
  std::vector<std::string> shown;
};

}  // namespace

class TestFormSecItems : public QObject {
  Q_OBJECT

 private:
  void Make() {
    home_ = std::make_unique<test::TempDir>();
    main_ = test::MakeMainForm(*home_, dialogs_);
    main_->CEXSetErrorWindow(&errors_);
    TCEXMainWindow& core = main_->CEXCore();
    core.CEXConfiguration().CFGSetSessionKey("0123456789ABCDEFFEDCBA9876543210");
    core.CEXConfiguration().CFGSetSessionKeyFromInMessage(0);
    // ep2:Msg with the child ep2:EncPIN.
    TXMLMessageTree& tree = core.CEXSourceTree();
    int32_t id = 0;
    TXMLTreeNode* root = tree.AddChildObject(
        nullptr, "", std::make_unique<TUAXxmlElement>("ep2:Msg", "", "", "", "", 0), id);
    root->GetData()->SetID(id);
    TXMLTreeNode* pin = tree.AddChildObject(
        root, "", std::make_unique<TUAXxmlElement>("ep2:EncPIN", "AA BB", "b", "FV", "99", id), id);
    pin->GetData()->SetID(id);
    core.CEXStateChanged(CEXpSourceTree);
    form_ = std::make_unique<TForm6>(core, dialogs_);
  }
  QLineEdit* Edit(const char* name) { return form_->findChild<QLineEdit*>(name); }
  QPushButton* Button(const QString& name) { return form_->findChild<QPushButton*>(name); }
  void Click(const QString& name) { QTest::mouseClick(Button(name), Qt::LeftButton); }
  TXMLTreeNode* Node(int line) {
    TXMLTreeNode* n = main_->CEXCore().CEXSourceTree().GetFirstNode();
    for (int i = 0; i < line && n != nullptr; ++i) n = n->GetNext();
    return n;
  }

  std::unique_ptr<test::TempDir> home_;
  test::MessageDialogs dialogs_;
  Errors errors_;
  std::unique_ptr<TForm1> main_;
  std::unique_ptr<TForm6> form_;

 private slots:
  void cleanup() {
    form_.reset();
    main_.reset();
  }

  void ErrorsKeepTheResultField() {
    Make();
    form_->show();
    // Without a key from an incoming message nothing is computed.
    main_->CEXCore().CEXConfiguration().CFGSetSessionKeyFromInMessage(1);
    Edit("Edit10")->setText("1234");
    Edit("Edit11")->setText("kept");
    Click("Compute1");
    QCOMPARE(errors_.shown.size(), size_t{1});
    QCOMPARE(errors_.shown[0].substr(0, 5), std::string("7009 "));
    QCOMPARE(Edit("Edit11")->text(), QString("kept"));
    main_->CEXCore().CEXConfiguration().CFGSetSessionKeyFromInMessage(0);
    // A component secret of one byte makes the cryptogram fail.
    main_->CEXCore().CEXConfiguration().CFGSetComponentSecret("01");
    // clang-format off
    const struct { const char* plainName; const char* plain; int row; const char* resultName; const char* shown; } cases[] = {
        {nullptr,  nullptr, 0, "Edit9",  "9001 Invalid data for session key cryptogram 0. "},
        {"Edit10", "12 4",  1, "Edit11", "9002 Invalid PIN data 0. "},
        {"Edit10", "12a4",  1, "Edit11", "9002 Invalid PIN data 0. "},
        {"Edit12", "5X13",  2, "Edit13", "9003 Invalid PAN data 0. "},
        {"Edit14", "54=1",  3, "Edit15", "9004 Invalid track 2 data 0. "},
        {"Edit1",  "G",     4, "Edit2",  "9005 Invalid track 2 equivalent data 0. "},
    };
    // clang-format on
    for (const auto& c : cases) {
      errors_.shown.clear();
      if (c.plainName != nullptr) Edit(c.plainName)->setText(c.plain);
      Edit(c.resultName)->setText("kept");
      Click(QString("Compute%1").arg(c.row));
      QCOMPARE(errors_.shown, std::vector<std::string>{c.shown});
      QCOMPARE(Edit(c.resultName)->text(), QString("kept"));
    }
  }

  void ActivationAddAndModify() {
    Make();
    TCEXMainWindow& core = main_->CEXCore();
    form_->show();
    for (int i = 0; i < kSKIRowCount; ++i) {
      QVERIFY(!Button(QString("Add%1").arg(i))->isEnabled());
      QVERIFY(!Button(QString("Modify%1").arg(i))->isEnabled());
    }
    // Selecting ep2:EncPIN while the window is open activates it.
    core.CEXSetSelectedSourceLine(1);
    for (int i = 0; i < kSKIRowCount; ++i) {
      QVERIFY(Button(QString("Add%1").arg(i))->isEnabled());
      QCOMPARE(Button(QString("Modify%1").arg(i))->isEnabled(), i == 1);
    }
    QCOMPARE(Edit("Edit11")->text(), QString("AA BB"));
    auto* checks = form_->findChild<TUCBCheckListBox*>("CheckListBox1");
    QVERIFY(checks->Checked(0) && !checks->Checked(1) && checks->Checked(2) && !checks->Checked(3));

    checks->SetChecked(0, false);
    checks->SetChecked(1, true);
    checks->SetChecked(3, true);
    Edit("Edit11")->setText("11 22");
    Click("Modify1");
    const TUAXxmlElement& pin = *Node(1)->GetData();
    QCOMPARE(pin.GetValue(), std::string("11 22"));
    QCOMPARE(pin.GetType(), std::string("b"));
    QCOMPARE(pin.GetTLVTag(), std::string(""));
    QCOMPARE(pin.GetAttributes(), std::string("MVS"));
    QVERIFY(core.CEXHasChanged());

    Edit("Edit13")->setText("33 44");
    Click("Add2");
    TXMLTreeNode* added = Node(1)->GetLastChild();
    QVERIFY(added != nullptr);
    QCOMPARE(added->GetData()->GetName(), std::string("ep2:AppPAN"));
    QCOMPARE(added->GetData()->GetValue(), std::string("33 44"));
    QCOMPARE(added->GetData()->GetType(), std::string("b"));
    QCOMPARE(added->GetData()->GetTLVTag(), std::string(""));
    QCOMPARE(added->GetData()->GetAttributes(), std::string("MVS"));

    // The selection moved to ep2:Msg with the buttons still enabled: Modify
    // changes nothing and runs the activation again.
    core.CEXSetSelectedSourceLine(0);
    QVERIFY(!Button("Modify1")->isEnabled());
    Button("Modify1")->setEnabled(true);
    Edit("Edit11")->setText("55");
    Click("Modify1");
    QCOMPARE(Node(1)->GetData()->GetValue(), std::string("11 22"));
    QVERIFY(!Button("Modify1")->isEnabled());
    // Nothing selected: Add changes nothing and disables itself.
    const int count = core.CEXSourceTree().Count();
    core.CEXSetSelectedSourceLine(-1);
    Button("Add2")->setEnabled(true);
    Click("Add2");
    QCOMPARE(core.CEXSourceTree().Count(), count);
    QVERIFY(!Button("Add2")->isEnabled());
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestFormSecItems)
#include "TestFormSecItems.moc"
