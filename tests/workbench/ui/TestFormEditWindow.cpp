// The element edit window on the main window's source tree, wired as the
// program wires it: node texts after Modify and Add, the counters and the
// type rule of Modify, Add/Add Container/Delete with and without a
// selection, Fast Select Next to the end, Compute ATC against an
// independent python3 computation, the value-pool "...", the EMV editor's
// result, the "D" item, the "EMVElements.ini" lookup and the double click
// that opens the window.

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

#include "common/TestSupport.h"
#include "config/Config.h"
#include "ep2/MessageTree.h"
#include "workbench/EmvEditorPort.h"
#include "workbench/MessageTestHelpers.h"
#include "workbench/WorkbenchPorts.h"
#include "workbench/ui/CheckListBox.h"
#include "workbench/ui/FormEditWindow.h"
#include "workbench/ui/MainForm.h"
#include "workbench/ui/MessageTreeView.h"
#include "workbench/ui/ProgramWindows.h"

namespace kal {

namespace {

// Messages kept; the file dialog answers with `chosen` (empty: cancel).
class Dialogs final : public ICEXDialogs {
 public:
  void CEXShowMessage(const std::string& text) override { messages.push_back(text); }
  TCEXAnswer CEXAskYesNoCancel(const std::string&) override { return TCEXAnswer::No; }
  bool CEXOpenFile(const TCEXFileDialog& dialog, std::string& out) override {
    startedIn = dialog.initialDir;
    if (chosen.empty()) return false;
    out = chosen;
    return true;
  }
  bool CEXSaveFile(const TCEXFileDialog&, std::string&) override { return false; }
  std::vector<std::string> messages;
  std::string chosen, startedIn;
};

// The EMV editor: sees the value, answers Ok with `result` or cancels.
class Editor final : public IEDFEmvEditor {
 public:
  bool EDFEditEmvValue(std::string& value) override {
    seen = value;
    if (ok) value = result;
    return ok;
  }
  bool ok = false;
  std::string seen, result;
};

}  // namespace

class TestFormEditWindow : public QObject {
  Q_OBJECT

 private:
  // The source tree: a container with four elements and an empty container
  // at the end.
  void Start() {
    home_ = std::make_unique<test::TempDir>();
    // A client only: no listening port to share with other tests.
    test::WriteFile(home_->file("config.ini"),
                    "[Communication]\r\nCommType=0\r\nThisComputerClientServer=0\r\n");
    windows_ = std::make_unique<TCEXProgramWindows>();
    TForm1::TParts parts;
    parts.programDir = home_->path();
    parts.dialogs = &dialogs_;
    parts.messageFiles = &files_;
    parts.windows = windows_.get();
    form1_ = std::make_unique<TForm1>(std::move(parts));
    windows_->CEXMake(*form1_, &dialogs_, [this](TTDBDebug&, QWidget*) { return &editor_; });
    form1_->show();
    QTRY_VERIFY(core().CEXUserIsAdmin());
    TXMLMessageTree& tree = core().CEXSourceTree();
    TXMLTreeNode* root = test::AddElement(tree, nullptr, "ep2:bdfin", "c");
    test::AddElement(tree, root, "ep2:AmtAuth", "n", "12345", "MP3", "9F02");
    test::AddElement(tree, root, "ep2:Curr", "n", "756", "S", "5F2A");
    test::AddElement(tree, root, "ep2:TrmID", "an", "T01", "F", "9F1C");
    test::AddElement(tree, root, "ep2:Unpred", "b", "CAFEBABE", "S", "9F37");
    test::AddElement(tree, nullptr, "ep2:Empty", "c");
    core().CEXStateChanged(CEXpSourceTree);
    form3_ = windows_->EditWindow();
    core().CEXExecute(TCEXAction::EditWindow);
    QVERIFY(form3_->isVisible());
  }
  TCEXMainWindow& core() { return form1_->CEXCore(); }
  void Select(int line) {
    core().CEXSetSelectedSourceLine(line);
    core().CEXStateChanged(CEXpSourceTree);
  }
  TXMLTreeNode* Node(int line) {
    TXMLTreeNode* n = core().CEXSourceTree().GetFirstNode();
    while (line-- > 0 && n != nullptr) n = n->GetNext();
    return n;
  }
  QLineEdit* Edit(const char* name) { return form3_->findChild<QLineEdit*>(name); }
  void Click(const char* button) { form3_->findChild<QPushButton*>(button)->click(); }
  // As the user types: the old text selected and replaced.
  void Type(const char* edit, const QString& text) {
    Edit(edit)->selectAll();
    QTest::keyClick(Edit(edit), Qt::Key_Backspace);
    QTest::keyClicks(Edit(edit), text);
  }
  TUCBCheckListBox* Checks() { return form3_->findChild<TUCBCheckListBox*>("CheckListBox1"); }
  QRadioButton* TypeButton(int index) {
    return form3_->findChild<QGroupBox*>("RadioGroup1")->findChildren<QRadioButton*>()[index];
  }
  int CheckedType() {
    for (int i = 0; i < EDFcTypeCount; ++i)
      if (TypeButton(i)->isChecked()) return i;
    return -1;
  }
  void Check(char letter, bool on) {
    for (int i = 0; i < Checks()->Count(); ++i)
      if (Checks()->ItemText(i)[0] == letter) Checks()->SetChecked(i, on);
  }

  std::unique_ptr<test::TempDir> home_;
  Dialogs dialogs_;
  Editor editor_;
  TCEXNoMessageFiles files_;
  std::unique_ptr<TCEXProgramWindows> windows_;
  std::unique_ptr<TForm1> form1_;
  TForm3* form3_ = nullptr;

 private slots:
  void cleanup() {
    if (windows_) windows_->CEXDestroy();
    form1_.reset();
    windows_.reset();
    dialogs_.messages.clear();
    editor_.ok = false;
  }

  void ShowAndModifyKeepCountersTheUnknownTypeAndWriteTheNodeText() {
    Start();
    // A node whose type no item shows: "time"; the container too.
    Node(1)->GetData()->SetType("xx");
    Select(1);
    QCOMPARE(Edit("EditTag")->text(), QString("ep2:AmtAuth"));
    QCOMPARE(Edit("EditTLVTag")->text(), QString("9F02"));
    QCOMPARE(CheckedType(), 8);
    QVERIFY(!form3_->findChild<QPushButton*>("Button1")->isEnabled());
    Type("EditValue", "1000");
    Check('F', true);   // new letter: no digits
    Check('M', false);  // dropped
    Click("Button4");
    const TUAXxmlElement& e = *Node(1)->GetData();
    QCOMPARE(e.GetType(), std::string("xx"));
    QCOMPARE(e.GetAttributes(), std::string("FP3"));
    QCOMPARE(Node(1)->GetText(), std::string("<ep2:AmtAuth>1000</ep2:AmtAuth>: xx, FP3, 9F02"));
    QVERIFY(core().CEXHasChanged());
    // The user's pick of a type is written.
    TypeButton(7)->click();
    Click("Button4");
    QCOMPARE(Node(1)->GetText(), std::string("<ep2:AmtAuth>1000</ep2:AmtAuth>: n, FP3, 9F02"));

    Select(0);
    QCOMPARE(CheckedType(), 8);
    QCOMPARE(Edit("EditTLVTag")->text(), QString());
    QVERIFY(form3_->findChild<QPushButton*>("Button1")->isEnabled());
    Select(-1);
    Click("Button4");
    Click("Button3");
    QCOMPARE(dialogs_.messages, (std::vector<std::string>{"no item selected", "no item selected"}));
    QCOMPARE(core().CEXSourceTree().Count(), 6);
  }

  void AddElementAddContainerAndDeleteWithAndWithoutSelection() {
    Start();
    Select(0);
    Type("EditTag", "ep2:TrxAmt");
    Type("EditValue", "1000");
    TypeButton(7)->click();
    for (int i = 0; i < Checks()->Count(); ++i) Checks()->SetChecked(i, false);
    Check('F', true);
    Check('M', true);
    Click("Button1");
    QCOMPARE(Edit("EditTag")->text(), QString("ep2:TrxAmt"));  // the selection stays
    TXMLTreeNode* added = Node(0)->GetLastChild();
    QCOMPARE(added->GetText(), std::string("<ep2:TrxAmt>1000</ep2:TrxAmt>: n, FM"));
    QCOMPARE(added->GetData()->GetParentID(), Node(0)->GetData()->GetID());
    QVERIFY(added->GetData()->GetID() > core().CEXSourceTree().GetTop(1)->GetData()->GetID());
    Click("Button2");
    QCOMPARE(Node(0)->GetLastChild()->GetData()->GetType(), std::string("c"));
    QCOMPARE(Node(0)->GetLastChild()->GetData()->GetValue(), std::string());

    // Without a selection both add at the top level.
    Select(-1);
    QVERIFY(form3_->findChild<QPushButton*>("Button1")->isEnabled());
    QVERIFY(form3_->findChild<QPushButton*>("Button2")->isEnabled());
    Click("Button1");
    Click("Button2");
    TXMLMessageTree& tree = core().CEXSourceTree();
    QCOMPARE(tree.TopCount(), 4);
    QCOMPARE(tree.GetTop(2)->GetData()->GetParentID(), 0);
    QCOMPARE(tree.GetTop(3)->GetData()->GetType(), std::string("c"));

    // Delete takes the subtree.
    Select(0);
    Click("Button3");
    QCOMPARE(tree.TopCount(), 3);
    QCOMPARE(tree.Count(), 3);
    QCOMPARE(core().CEXSelectedSourceLine(), -1);
  }

  void FastSelectNextWalksToTheEndWithoutWrapping() {
    Start();
    Select(-1);
    Click("Button6");
    QCOMPARE(core().CEXSelectedSourceLine(), 2);
    QCOMPARE(Edit("EditTag")->text(), QString("ep2:Curr"));
    Click("Button6");
    QCOMPARE(core().CEXSelectedSourceLine(), 4);
    QCOMPARE(Edit("EditTag")->text(), QString("ep2:Unpred"));
    Click("Button6");
    QCOMPARE(core().CEXSelectedSourceLine(), 4);
    QCOMPARE(dialogs_.messages, std::vector<std::string>{"no more fast selection items found"});
  }

  void ComputeATCEqualsAnIndependentComputation() {
    Start();
    const std::string list = "9F02 06 5F2A 02 9F1C 04 9F37 02 9F36 02";
    core().CEXConfiguration().CFGSetATC(list);
    Node(1)->GetData()->SetAttributes("M");  // a pool value would give its run-time value
    // The certificate input as the formatting rules give it: BER tags and
    // lengths, "n" as BCD padded in front, "an" padded with zero bytes,
    // "b" cut, a missing tag as zero bytes.
    const std::string script = R"(
import sys
elements = {}
for line in sys.stdin.read().splitlines():
    tag, typ, value = line.split(';')
    elements[tag.upper()] = (typ, value)
data = bytes.fromhex(sys.argv[1] if len(sys.argv) > 1 else ''.join(')" +
                               list + R"('.split()))
out = b''
i = 0
while i < len(data):
    t = [data[i]]; i += 1
    if t[0] & 0x1F == 0x1F:
        while True:
            t.append(data[i]); i += 1
            if not t[-1] & 0x80: break
    n = data[i]; i += 1
    if n & 0x80:
        k = n & 0x7F; n = int.from_bytes(data[i:i+k], 'big'); i += k
    typ, value = elements.get(bytes(t).hex().upper(), ('', None))
    if value is None: v = bytes(n)
    elif typ == 'b': v = bytes.fromhex(value)[:n].ljust(n, b'\0')
    elif typ in ('a', 'an', 'ans'): v = value.encode()[:n].ljust(n, b'\0')
    else:
        d = value if len(value) % 2 == 0 else '0' + value
        v = bytes.fromhex(d)[-n:].rjust(n, b'\0')
    out += v
print(' '.join('%02X' % b for b in out))
)";
    const std::string expected =
        test::RunPython(script, "9F02;n;12345\n5F2A;n;756\n9F1C;an;T01\n9F37;b;CAFEBABE\n");
    QVERIFY(!expected.empty());
    const QString want = QString::fromStdString(expected).trimmed();
    Select(0);  // the container stands for its first child
    Click("Button7");
    QCOMPARE(Edit("EditValue")->text(), want);
    QCOMPARE(Edit("EditTag")->text(), QString("ep2:AcqTC"));
    QCOMPARE(CheckedType(), 3);
    std::string attributes;
    UCBGetAttributeString(*Checks(), attributes);
    QCOMPARE(attributes, std::string("AE"));
    QCOMPARE(Node(1)->GetData()->GetValue(), std::string("12345"));  // unchanged
    Select(5);  // an empty container, the last node: itself
    Click("Button7");
    QCOMPARE(Edit("EditValue")->text(), want);
    Select(-1);
    Click("Button7");
    QCOMPARE(dialogs_.messages,
             std::vector<std::string>{"Select the container ep2:bdfin of the transaction in the "
                                      "source window"});
  }

  void ValuePoolEmvEditorAndTheDItem() {
    Start();
    Select(1);
    core().CEXConfiguration().CFGSetDirValuePoolFile("/pools/");
    dialogs_.chosen.clear();
    Click("Button8");
    QCOMPARE(dialogs_.startedIn, std::string("/pools/"));
    QCOMPARE(Edit("EditValue")->text(), QString("12345"));
    dialogs_.chosen = home_->file("values/pool.txt");
    Click("Button8");
    QCOMPARE(Edit("EditValue")->text(), QString::fromStdString(dialogs_.chosen));
    QCOMPARE(core().CEXConfiguration().CFGGetDirValuePoolFile(), home_->file("values/"));

    // The editor's value only on Ok.
    editor_.result = "9F";
    Click("Button9");
    QCOMPARE(editor_.seen, dialogs_.chosen);
    QCOMPARE(Edit("EditValue")->text(), QString::fromStdString(dialogs_.chosen));
    editor_.ok = true;
    Click("Button9");
    QCOMPARE(Edit("EditValue")->text(), QString("9F"));

    // Activation appends "D" once and picks up a stored D.
    Node(1)->GetData()->SetAttributes("D");
    const int before = Checks()->Count();
    for (int i = 0; i < 2; ++i) {
      QEvent activate(QEvent::WindowActivate);
      QCoreApplication::sendEvent(form3_, &activate);
    }
    QCOMPARE(Checks()->Count(), before + 1);
    QCOMPARE(Checks()->ItemText(before), std::string("D Value is Recorded Data File"));
    QVERIFY(Checks()->Checked(before));
  }

  void LookupTakesTheFirstMatchAndReportsMissingFilesAndNames() {
    Start();
    Select(1);
    const std::string ini = home_->file("EMVElements.ini");
    Type("EditTag", "  ep2:AmtAuth ");
    Click("Button10");
    QCOMPARE(dialogs_.messages.size(), size_t{1});
    QVERIFY(dialogs_.messages[0].find(ini) != std::string::npos);
    QCOMPARE(Edit("EditTLVTag")->text(), QString("9F02"));  // unchanged

    test::WriteFile(ini, "ep2:Other;9F03\r\n ep2:AmtAuth ; 9f02 ;x\nep2:AmtAuth;9F99\nep2:One\n");
    Click("Button10");
    QCOMPARE(Edit("EditTLVTag")->text(), QString("9f02"));
    Type("EditTag", "ep2:One");
    Click("Button10");
    QCOMPARE(Edit("EditTLVTag")->text(), QString());
    Type("EditTag", "ep2:amtauth ");
    Click("Button10");
    QCOMPARE(dialogs_.messages.back(),
             std::string("Element ep2:amtauth  not found in lookup table"));
  }

  void ADoubleClickOpensTheWindowOnTheNode() {
    Start();
    form3_->hide();
    QVERIFY(QTest::qWaitForWindowExposed(form1_.get()));
    auto* view = form1_->findChild<TXMLMessageTreeView*>("XMLMessageTree1");
    view->expandAll();
    QTreeWidgetItemIterator it(view);
    it += 3;
    const QPoint at = view->visualItemRect(*it).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    QVERIFY(form3_->isVisible());
    QCOMPARE(Edit("EditTag")->text(), QString("ep2:TrmID"));
    QCOMPARE(Edit("EditValue")->text(), QString("T01"));
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestFormEditWindow)
#include "TestFormEditWindow.moc"
