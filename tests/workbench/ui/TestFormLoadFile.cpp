#include "workbench/ui/FormLFDLoadFile.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileSystemModel>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <algorithm>
#include <filesystem>

#include "common/TestSupport.h"
#include "config/Config.h"
#include "ep2/MessageTree.h"
#include "support/ui/RowEditGrid.h"
#include "workbench/ui/FormSequence.h"
#include "workbench/ui/MainForm.h"
#include "workbench/ui/MessageDialogs.h"

namespace kal {

namespace {

using Names = QStringList;

// A bound for the file model's loading thread, only for a hung load.
constexpr int kLoading = 60000;

// Two records: ep2:Msg with the child ep2:Name.
const char* const kMessage =
    "7.0.1\r\n2\r\nep2:Msg\r\n\r\nc\r\n\r\n\r\n0\r\n1\r\nep2:Name\r\nX\r\nan\r\n\r\n\r\n1\r\n2\r\n";

template <class W>
W* TopLevel() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* f = qobject_cast<W*>(w)) return f;
  return nullptr;
}

}  // namespace

class TestFormLoadFile : public QObject {
  Q_OBJECT

 private:
  // The main window over a temporary program folder whose "msgs" folder
  // holds a.epm, B.EPM, c.ini, d.txt and the folder "sub".
  std::unique_ptr<TForm1> Make(const char* adminSection = "") {
    home_ = std::make_unique<test::TempDir>();
    test::WriteFile(home_->file("config.ini"),
                    std::string("[Communication]\r\nCommType=0\r\nThisComputerClientServer=0\r\n") +
                        adminSection);
    msgs_ = home_->file("msgs/");
    std::filesystem::create_directories(msgs_ + "sub");
    for (const char* name : {"a.epm", "B.EPM", "c.ini", "d.txt"})
      test::WriteFile(msgs_ + name, kMessage);
    TForm1::TParts parts;
    parts.programDir = home_->path();
    parts.dialogs = &dialogs_;
    parts.login = *adminSection != '\0' ? &plainLogin_ : nullptr;
    auto form = std::make_unique<TForm1>(std::move(parts));
    form->show();
    QTest::qWait(1);
    form->CEXCore().CEXConfiguration().CFGSetDirMessage(msgs_);
    return form;
  }
  static TForm4* Window() { return TopLevel<TForm4>(); }
  template <class T>
  static T* Child(const char* name) {
    return Window()->findChild<T*>(name);
  }
  static QString Caption(const char* button) { return Child<QPushButton>(button)->text(); }
  static QFileSystemModel* Files() {
    return static_cast<QFileSystemModel*>(Child<QListView>("FileListBox1")->model());
  }
  // The names in the file list, sorted.
  static Names Listed() {
    QListView* list = Child<QListView>("FileListBox1");
    Names names;
    for (int r = 0; r < list->model()->rowCount(list->rootIndex()); ++r)
      names << list->model()->index(r, 0, list->rootIndex()).data().toString();
    names.sort();
    return names;
  }
  static void Select(const std::string& path) {
    Child<QListView>("FileListBox1")->setCurrentIndex(Files()->index(QString::fromStdString(path)));
  }
  static void Click(const char* button) {
    QTest::mouseClick(Child<QPushButton>(button), Qt::LeftButton);
  }
  static void SetFilter(int index) { Child<QComboBox>("FilterComboBox1")->setCurrentIndex(index); }
  static Names Filters() {
    auto* box = Child<QComboBox>("FilterComboBox1");
    Names items;
    for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
    return items;
  }
  std::string StoredMessageDirectory(TForm1& form) {
    TCFGConfig& config = form.CEXCore().CEXConfiguration();
    if (config.CFGWriteIniFile("") != 0) return "write failed";
    return test::ReadIniWithConfigparser(
        test::ReadFile(home_->file("config.ini")))[{"Directories", "Message"}];
  }

  std::unique_ptr<test::TempDir> home_;
  std::string msgs_;
  test::MessageDialogs dialogs_;
  test::PlainUserLogin plainLogin_;

 private slots:
  void NormalModeLoadsIntoEitherTree() {
    auto form = Make();
    TCEXMainWindow& core = form->CEXCore();
    form->CEXActionObject(TCEXAction::LoadMessageWindow)->trigger();
    QVERIFY(Window()->isVisible());
    QCOMPARE(Caption("Button1"), "Load message");
    QCOMPARE(Caption("Button2"), "Load reference structure");
    QVERIFY(Child<QPushButton>("Button4")->isHidden());
    QCOMPARE(Filters(), (Names{"ep2 Messages (*.epm)", "All files (*.*)"}));
    QVERIFY(Child<QTreeView>("DirectoryListBox1")->isEnabled());
    // The mask lists upper-case names too.
    QTRY_COMPARE_WITH_TIMEOUT(Listed(), (Names{"B.EPM", "a.epm"}), kLoading);

    // No file selected: nothing happens.
    Click("Button1");
    Click("Button2");
    QCOMPARE(core.CEXSourceTree().Count(), 0);
    QCOMPARE(core.CEXReferenceTree().Count(), 0);
    QCOMPARE(core.CEXCaption(), TCEXMainWindow::CEXcCaption);

    Select(msgs_ + "a.epm");
    Click("Button1");
    QCOMPARE(core.CEXCaption(), std::string(TCEXMainWindow::CEXcCaption) + ": a.epm");
    QCOMPARE(core.CEXGetFileName(), msgs_ + "a.epm");
    QCOMPARE(core.CEXSourceTree().Count(), 2);
    Select(msgs_ + "B.EPM");
    Click("Button2");
    QCOMPARE(core.CEXReferenceTree().Count(), 2);
    QCOMPARE(core.CEXGetFileName(), msgs_ + "a.epm");

    SetFilter(1);
    QTRY_COMPARE_WITH_TIMEOUT(Listed(), (Names{"B.EPM", "a.epm", "c.ini", "d.txt"}), kLoading);
    Click("Button3");
    QVERIFY(!Window()->isVisible());
  }

  void SequenceModeFillsTheFileCells() {
    auto form = Make();
    TForm14* sequence = TopLevel<TForm14>();
    sequence->show();
    TRowEditGrid& grid = sequence->SEQGridWidget();
    TSEQSequenceEditor& editor = sequence->SEQEditor();
    sequence->findChild<QAction*>("SelectMessages1")->trigger();
    QCOMPARE(Caption("Button1"), "Client message");
    QCOMPARE(Caption("Button2"), "Server message");
    QVERIFY(!Child<QPushButton>("Button4")->isHidden());
    QCOMPARE(Filters(),
             (Names{"ep2 Messages (*.epm)", "configuration files (*.ini)", "All files (*.*)"}));
    QTRY_COMPARE_WITH_TIMEOUT(Listed(), (Names{"B.EPM", "a.epm"}), kLoading);

    const auto current = [&] {
      return std::make_pair(editor.SEQCurrentCol(), editor.SEQCurrentRow());
    };
    Select(msgs_ + "a.epm");
    Click("Button1");
    QCOMPARE(grid.Cell(1, 1), msgs_ + "a.epm");
    QCOMPARE(current(), std::make_pair(2, 1));
    Select(msgs_ + "B.EPM");
    Click("Button2");
    QCOMPARE(grid.Cell(2, 1), msgs_ + "B.EPM");
    QCOMPARE(current(), std::make_pair(1, 2));
    QCOMPARE(grid.currentRow(), 2);
    QCOMPARE(grid.currentColumn(), 1);

    // A double click fills the current cell.
    SetFilter(1);
    QTRY_COMPARE_WITH_TIMEOUT(Listed(), (Names{"c.ini"}), kLoading);
    QListView* list = Child<QListView>("FileListBox1");
    const QModelIndex ini = Files()->index(QString::fromStdString(msgs_ + "c.ini"));
    emit list->doubleClicked(ini);
    QCOMPARE(grid.Cell(1, 2), msgs_ + "c.ini");
    QCOMPARE(current(), std::make_pair(2, 2));
    Click("Button4");
    QCOMPARE(current(), std::make_pair(1, 3));
    QCOMPARE(form->CEXCore().CEXSourceTree().Count(), 0);

    // With the sequence window gone the next activation is in normal mode.
    sequence->hide();
    Window()->LFDActivate();
    QCOMPARE(Caption("Button1"), "Load message");
    QCOMPARE(Caption("Button2"), "Load reference structure");
    QVERIFY(Child<QPushButton>("Button4")->isHidden());
    QCOMPARE(Filters().size(), 2);
  }

  void DirectoryChangesAreStored() {
    auto form = Make();
    TCFGConfig& config = form->CEXCore().CEXConfiguration();
    struct Case {
      std::string configured;
      std::string expected;
    };
    const std::vector<Case> cases = {
        {msgs_, msgs_},
        {"/", "/"},
        {"", home_->path()},
        {home_->file("gone/"), home_->path()},
        {msgs_ + "a.epm", home_->path()},
    };
    for (const Case& c : cases) {
      config.CFGSetDirMessage(c.configured);
      form->CEXActionObject(TCEXAction::LoadMessageWindow)->trigger();
      QCOMPARE(Window()->LFDCore().LFDDirectory(), c.expected);
      QCOMPARE(StoredMessageDirectory(*form), c.expected);
    }

    // A click in the directory list opens and stores the folder.
    QTreeView* dirs = Child<QTreeView>("DirectoryListBox1");
    auto* model = static_cast<QFileSystemModel*>(dirs->model());
    emit dirs->clicked(model->index(QString::fromStdString(msgs_ + "sub")));
    QCOMPARE(config.CFGGetDirMessage(), msgs_ + "sub/");
    QCOMPARE(StoredMessageDirectory(*form), msgs_ + "sub/");
    QCOMPARE(Files()->rootPath().toStdString(), msgs_ + "sub");
  }

  void ANonAdministratorCannotChangeTheDirectory() {
    auto form = Make("[Admin]\r\nUseLogin=1\r\n");
    QVERIFY(!form->CEXCore().CEXUserIsAdmin());
    // The menu entry is for administrators; the sequence window's "Select
    // Messages..." opens the window through the window port.
    QVERIFY(!form->CEXActionObject(TCEXAction::LoadMessageWindow)->isEnabled());
    form->CEXOpenWindow(TCEXWindow::LoadFile, false);
    QVERIFY(!Child<QTreeView>("DirectoryListBox1")->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(Listed(), (Names{"B.EPM", "a.epm"}), kLoading);
  }
};

}  // namespace kal

QTEST_MAIN(kal::TestFormLoadFile)
#include "TestFormLoadFile.moc"
