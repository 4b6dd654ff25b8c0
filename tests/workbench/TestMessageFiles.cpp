// Message files: hand-written files of both record layouts read into the
// trees, saved, read again and checked with python3; the current file's
// rewrite, the reference tree, the save paths and every failure report; a
// file that would not change is not written, and a read gives what the file
// holds however often it is repeated.
#include "workbench/MessageFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>

#include "common/TestSupport.h"
#include "config/AliasList.h"
#include "config/Config.h"
#include "ep2/MessageElement.h"
#include "ep2/MessageTree.h"
#include "ep2/RandomSource.h"
#include "platform/EventPoster.h"
#include "support/DateTimeUtilities.h"
#include "support/ErrorWindow.h"
#include "workbench/CoreOnQueue.h"
#include "workbench/MainWindow.h"
#include "workbench/NoTimers.h"

namespace kal {
namespace {

using test::ReadFile;
using test::WriteFile;
using Lines = std::vector<std::string>;

// Records: name, value, type, attributes, TLV tag (7-line layout only),
// parent id, id. Ids are far from the ones reading hands out; the record
// with parent 99 has no parent and is dropped.
const char* const kLayout7 =
    "anything\r\n6\r\n"
    "ep2:Msg\r\n\r\nc\r\n\r\n\r\n0\r\n10\r\n"
    "ep2:Hdr\r\n\r\nc\r\nA\r\n\r\n10\r\n20\r\n"
    "ep2:TrmID\r\n12345678\r\nan\r\n\r\n9F1C\r\n20\r\n30\r\n"
    "ep2:Lost\r\nx\r\nan\r\n\r\n\r\n99\r\n40\r\n"
    "ep2:Date\r\n19990101\r\ndate\r\nA\r\n\r\n10\r\n50\r\n"
    "ep2:Time\r\n101010\r\ntime\r\n\r\n\r\n20\r\n60\r\n";

// The six-line layout of old files, LF only, and a Latin-1 value.
const char* const kLayout6 = "1.0\n2\nep2:Msg\n\nc\n\n0\n7\nep2:Name\nM\xFCller\nan\n\n7\n8\n";

// name/value/type/attributes/tlv parent id, indented by level.
Lines Dump(const TXMLMessageTree& tree) {
  Lines out;
  for (const TXMLTreeNode* n = tree.GetFirstNode(); n != nullptr; n = n->GetNext()) {
    const TUAXxmlElement& e = *n->GetData();
    out.push_back(std::string(2 * n->GetLevel(), ' ') + e.GetName() + "/" + e.GetValue() + "/" +
                  e.GetType() + "/" + e.GetAttributes() + "/" + e.GetTLVTag() + " " +
                  std::to_string(e.GetParentID()) + " " + std::to_string(e.GetID()));
  }
  return out;
}

TEST(MessageText, ReadsBothLayoutsSavesAndReadsBack) {
  // A fixed moment: 2026-03-04 05:06:07 local time.
  std::tm when{};
  when.tm_year = 126, when.tm_mon = 2, when.tm_mday = 4, when.tm_hour = 5, when.tm_min = 6,
  when.tm_sec = 7, when.tm_isdst = -1;
  const std::time_t now = std::mktime(&when);

  TXMLMessageTree tree;
  TCEXMessageReadResult r = CEXReadMessageText(kLayout7, tree, false, now);
  EXPECT_EQ(r.result, 0);
  EXPECT_EQ(r.records, 6);
  EXPECT_FALSE(r.complete);  // one record dropped
  // The date element with attribute A gets the reading moment; the time
  // element without it keeps its value.
  const Lines expected = {"ep2:Msg//c// 0 1", "  ep2:Hdr//c/A/ 1 2",
                          "    ep2:TrmID/12345678/an//9F1C 2 3", "    ep2:Time/101010/time// 2 6",
                          "  ep2:Date/20260304/date/A/ 1 5"};
  EXPECT_EQ(Dump(tree), expected);
  EXPECT_EQ(tree.XMLGetActID(), 6);
  EXPECT_EQ(tree.GetFirstNode()->GetText(), tree.GetFirstNode()->GetData()->GetTreeString());
  EXPECT_TRUE(tree.GetFirstNode()->GetExpanded());

  // Saved: version, count, seven-line records with CR LF; read back the same.
  std::string text, errorText;
  ASSERT_EQ(CEXMessageText(tree, nullptr, text, errorText), 0);
  int status = 0;
  const std::string check = test::RunPython(R"(
import sys
data = sys.stdin.buffer.read()
lines = data.split(b'\r\n')
assert lines[-1] == b'' and b'\n' not in b''.join(lines) and b'\r' not in b''.join(lines)
assert lines[0] == b'7.0.1' and int(lines[1]) * 7 + 3 == len(lines)
print(lines[1].decode(), lines[2 + 7 * 3 + 5].decode(), lines[2 + 7 * 3 + 6].decode())
)",
                                            text, &status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(check, "5 2 6\n");  // the fourth record: the time element, parent 2, id 6
  TXMLMessageTree again;
  r = CEXReadMessageText(text, again, true, now);
  EXPECT_TRUE(r.complete);
  const Lines renumbered = {"ep2:Msg//c// 0 1", "  ep2:Hdr//c/A/ 1 2",
                            "    ep2:TrmID/12345678/an//9F1C 2 3", "    ep2:Time/101010/time// 2 4",
                            "  ep2:Date/20260304/date/A/ 1 5"};
  EXPECT_EQ(Dump(again), renumbered);
  EXPECT_EQ(again.GetFirstNode()->GetText(), again.GetFirstNode()->GetData()->GetTreeShortString());

  r = CEXReadMessageText(kLayout6, tree, false, now);
  EXPECT_TRUE(r.complete);
  EXPECT_EQ(Dump(tree), (Lines{"ep2:Msg//c// 0 1", "  ep2:Name/M\xC3\xBCller/an// 1 2"}));
}

TEST(MessageText, FailuresGiveTheirLine) {
  TXMLMessageTree tree;
  for (const char* text : {"7.0.1\r\n", "7.0.1\r\nx\r\n", "7.0.1\r\n-1\r\n"}) {
    const TCEXMessageReadResult r = CEXReadMessageText(text, tree, false, 0);
    EXPECT_EQ(r.result, kCEXMessageBadCount);
    EXPECT_EQ(r.errorLine, 2);
  }
  // The second record's id is no number; a count beyond the records.
  TCEXMessageReadResult r = CEXReadMessageText(
      "7.0.1\r\n2\r\nA\r\n\r\nc\r\n\r\n\r\n0\r\n1\r\nB\r\n\r\nan\r\n\r\n\r\n1\r\nz\r\n", tree,
      false, 0);
  EXPECT_EQ(r.result, kUAXRecordBadNumber);
  EXPECT_EQ(r.errorLine, 10);
  EXPECT_EQ(tree.Count(), 1);
  r = CEXReadMessageText("1.0\r\n2\r\nA\r\n\r\nc\r\n\r\n0\r\n1\r\n", tree, false, 0);
  EXPECT_EQ(r.result, kUAXRecordEndOfFile);
  EXPECT_EQ(r.errorLine, 9);
}

// The rest of the main window, as far as message files need it: the common
// host, with the questions and file dialogs recorded and answered as set.
class Host final : public test::CoreHost, public ICEXCounterLists, public ICEXLogin {
 public:
  TCEXAnswer CEXAskYesNoCancel(const std::string& text) override {
    questions.push_back(text);
    return answer;
  }
  bool CEXOpenFile(const TCEXFileDialog& d, std::string& chosen) override {
    dialogs.push_back(d.title);
    chosen = choice;
    return !choice.empty();
  }
  bool CEXSaveFile(const TCEXFileDialog& d, std::string& chosen) override {
    return CEXOpenFile(d, chosen);
  }
  void CEXReadCounters() override {}
  void CEXWriteCounters() override {}
  bool CEXShowLoginDialog(std::string&, std::string&) override { return true; }
  void CEXReloadUsers() override {}
  bool CEXFindUser(const std::string&, const std::string&, bool& isAdmin) override {
    return isAdmin = true;
  }
  Lines questions, dialogs;
  std::string choice;
  TCEXAnswer answer = TCEXAnswer::No;
};

class MessageFilesTest : public ::testing::Test {
 protected:
  MessageFilesTest()
      : files_(host_),
        core_(dir_.path(), TCEXMainWindow::TPorts{.view = host_,
                                                  .dialogs = host_,
                                                  .errorWindow = host_,
                                                  .timers = timers_,
                                                  .clock = clock_,
                                                  .poster = queue_,
                                                  .random = &random_,
                                                  .messageFiles = files_,
                                                  .counters = host_,
                                                  .login = host_}) {
    files_.CEXAttach(core_);
    core_.FormCreate();
  }

  test::TempDir dir_;
  Host host_;
  test::NoTimers timers_;
  TCEXSystemClock clock_;
  TPLTEventQueue queue_;
  TSECDeterministicRandom random_;
  TCEXMessageFiles files_;
  TCEXMainWindow core_;
};

TEST_F(MessageFilesTest, TheCurrentFileIsRewrittenOnlyWhenEveryRecordLoaded) {
  const std::string path = dir_.file("a.epm");
  WriteFile(path, kLayout7);
  core_.CEXSetMessageFileName(path);
  core_.CEXSetHasChanged(true);
  EXPECT_TRUE(files_.CEXReadMessageFile(path));
  EXPECT_EQ(ReadFile(path), kLayout7);  // a record was dropped: the file stays
  EXPECT_FALSE(core_.CEXHasChanged());
  EXPECT_EQ(core_.CEXCaption(), "Dorva ep2 Interface Tester: a.epm");

  WriteFile(path, kLayout6);
  EXPECT_TRUE(files_.CEXReadMessageFile(path));
  EXPECT_EQ(ReadFile(path),
            "7.0.1\r\n2\r\nep2:Msg\r\n\r\nc\r\n\r\n\r\n0\r\n1\r\n"
            "ep2:Name\r\nM\xC3\xBC"
            "ller\r\nan\r\n\r\n\r\n1\r\n2\r\n");

  // Another file is read, not rewritten; a broken one is reported and left.
  const std::string other = dir_.file("b.epm");
  WriteFile(other, kLayout6);
  EXPECT_TRUE(files_.CEXReadMessageFile(other));
  EXPECT_EQ(ReadFile(other), kLayout6);
  WriteFile(path, "7.0.1\r\n3\r\nA\r\n\r\nc\r\n\r\n\r\n0\r\n1\r\n");
  EXPECT_FALSE(files_.CEXReadMessageFile(path));
  EXPECT_EQ(ReadFile(path), "7.0.1\r\n3\r\nA\r\n\r\nc\r\n\r\n\r\n0\r\n1\r\n");
  EXPECT_FALSE(files_.CEXReadMessageFile(dir_.file("missing.epm")));
  ASSERT_EQ(host_.messages.size(), 2u);
  EXPECT_EQ(host_.messages[0],
            "Error in message file " + path + ", line 10: the file ends inside an element record");
  EXPECT_EQ(host_.messages[1].rfind("Can not read message file " + dir_.file("missing.epm"), 0),
            0u);
}

// Repeated reads of the current file, a build's run-time values and node
// text in between, a silent save, a change from outside of the same size and
// a tree of another shape: each read leaves the tree as a fresh parse of the
// file, and the file is written only when the read's rule changed it.
TEST_F(MessageFilesTest, ReadsGiveTheFileAndSavesWriteOnlyChangedText) {
  const std::string path = dir_.file("a.epm");
  WriteFile(path,
            "7.0.1\r\n4\r\nep2:Msg\r\n\r\nc\r\n\r\n\r\n0\r\n1\r\n"
            "ep2:Hdr\r\n\r\nc\r\n\r\n\r\n1\r\n2\r\n"
            "ep2:TrmID\r\nAB\r\nan\r\n\r\n9F1C\r\n2\r\n3\r\n"
            "ep2:Date\r\n19990101\r\ndate\r\nA\r\n\r\n1\r\n4\r\n");
  core_.CEXSetMessageFileName(path);
  TXMLMessageTree& tree = core_.CEXSourceTree();
  const auto inode = [&] {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0);
    return st.st_ino;
  };
  // The tree with node texts and run-time values, against a fresh parse.
  const auto state = [](const TXMLMessageTree& t) {
    Lines out = Dump(t);
    for (const TXMLTreeNode* n = t.GetFirstNode(); n != nullptr; n = n->GetNext())
      out.push_back(n->GetText() + "|" + n->GetData()->GetActValue());
    return out;
  };
  const auto read = [&](const char* step) {
    SCOPED_TRACE(step);
    ASSERT_TRUE(files_.CEXReadMessageFile(path));
    TXMLMessageTree fresh;
    CEXReadMessageText(ReadFile(path), fresh, false, std::time(nullptr));
    EXPECT_EQ(state(tree), state(fresh));
  };
  read("the date rule rewrites the file");
  const auto written = inode();
  read("the file as written");
  TXMLTreeNode* id = tree.GetFirstNode()->GetNext()->GetNext();
  id->GetData()->SetActValue("run time");
  id->SetText("run time");
  EXPECT_TRUE(files_.CEXSaveMessageSilently());
  read("after a build");
  EXPECT_EQ(inode(), written);
  std::string changed = ReadFile(path);
  changed.replace(changed.find("\r\nAB\r\n"), 6, "\r\nCD\r\n");
  WriteFile(path, changed);
  read("changed from outside");
  tree.Delete(tree.GetFirstNode()->GetNext()->GetNext());
  read("a node deleted");
  EXPECT_EQ(tree.Count(), 4);
}

TEST_F(MessageFilesTest, TheReferenceTreeNeverTouchesTheSourceState) {
  const std::string path = dir_.file("a.epm");
  WriteFile(path, kLayout6);
  core_.CEXSetMessageFileName(path);
  core_.CEXSetHasChanged(true);
  EXPECT_TRUE(files_.ReadMessageFile(path, true));
  EXPECT_TRUE(core_.CEXHasChanged());
  EXPECT_EQ(ReadFile(path), kLayout6);
  EXPECT_EQ(core_.CEXReferenceTree().Count(), 2);
  EXPECT_EQ(core_.CEXSourceTree().Count(), 0);
  EXPECT_EQ(core_.CEXReferenceTree().GetFirstNode()->GetText(), "<ep2:Msg>");
}

TEST_F(MessageFilesTest, SavingAppliesAliasesAndReportsFailures) {
  const std::string path = dir_.file("a.epm");
  // Without a sender and without a name: no dialog, nothing written.
  EXPECT_FALSE(files_.Action_Save_MessageExecute(false));
  EXPECT_TRUE(host_.dialogs.empty());
  WriteFile(path, std::string("7.0.1\r\n1\r\nep2:File\r\n") + dir_.path() +
                      "pool/x.txt\r\nan\r\nP\r\n\r\n0\r\n1\r\n");
  core_.CEXSetMessageFileName(dir_.file("other.epm"));  // no rewrite on reading
  ASSERT_TRUE(files_.CEXReadMessageFile(path));
  core_.CEXSetMessageFileName(path);
  core_.CEXAliasList().ALUAddAlias("$POOL", dir_.path() + "pool", true);
  core_.CEXSetHasChanged(true);
  EXPECT_TRUE(files_.CEXSaveMessage());
  EXPECT_FALSE(core_.CEXHasChanged());
  EXPECT_EQ(core_.CEXSourceTree().GetFirstNode()->GetData()->GetValue(), "$POOL/x.txt");
  EXPECT_NE(ReadFile(path).find("\r\n$POOL/x.txt\r\n"), std::string::npos);

  // Save as writes the values unchanged under the chosen name.
  core_.CEXSourceTree().GetFirstNode()->GetData()->SetValue(dir_.path() + "pool/y");
  host_.choice = dir_.file("as.epm");
  EXPECT_TRUE(files_.Action_Save_Message_AsExecute());
  EXPECT_NE(ReadFile(host_.choice).find(dir_.path() + "pool/y\r\n"), std::string::npos);
  EXPECT_EQ(core_.CEXGetFileName(), host_.choice);

  // A user's save of a file that is gone asks for a name; without one
  // nothing is written.
  std::filesystem::remove(host_.choice);
  host_.dialogs.clear();
  host_.choice.clear();
  EXPECT_FALSE(files_.CEXSaveMessage());
  EXPECT_EQ(host_.dialogs, Lines{"Save Message as"});

  // A failed write keeps the changes flag; with a sender it asks to retry.
  core_.CEXSetMessageFileName("/proc/self/status");
  core_.CEXSetHasChanged(true);
  EXPECT_FALSE(files_.CEXSaveMessage());
  EXPECT_EQ(host_.questions, Lines{"Saving failed (access denied), retry?"});
  EXPECT_FALSE(files_.Action_Save_MessageExecute(false));
  EXPECT_EQ(host_.questions.size(), 1u);
  EXPECT_TRUE(core_.CEXHasChanged());

  // A value with a line break cannot be stored: reported, nothing written.
  core_.CEXSetMessageFileName(path);
  core_.CEXSourceTree().GetFirstNode()->GetData()->SetValue("a\nb");
  const std::string before = ReadFile(path);
  host_.messages.clear();
  EXPECT_FALSE(files_.CEXSaveMessage());
  EXPECT_EQ(ReadFile(path), before);
  EXPECT_EQ(host_.messages, Lines{"Element ep2:File cannot be saved: line break in its value"});
  EXPECT_TRUE(core_.CEXHasChanged());
}

// A file that was not read completely keeps everything it holds: no
// automatic save (the rewrite on load, the save after a build) writes over
// it; the user's own save asks first.
TEST_F(MessageFilesTest, AFileNotReadCompletelyIsNeverSavedAutomatically) {
  const std::string path = dir_.file("a.epm");
  const struct {
    const char* name;
    std::string text;
    int line;
    const char* error;
  } cases[] = {
      {"an id is no number in the second record",
       "7.0.1\r\n3\r\nep2:Msg\r\n\r\nc\r\n\r\n\r\n0\r\n1\r\n"
       "ep2:TrmID\r\n42\r\nan\r\n\r\n\r\n1\r\nz\r\n"
       "ep2:AmtAuth\r\n1\r\nn\r\n\r\n\r\n1\r\n3\r\n",
       10, "an id is no number"},
      {"content after the last record",
       std::string("7.0.1\r\n1\r\nep2:Msg\r\n\r\nc\r\n\r\n\r\n0\r\n1\r\n\r\n") +
           std::string(100000, 'x') + "\r\n",
       11, "content after the last element record"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(path, c.text);
    host_.messages.clear();
    host_.questions.clear();
    core_.CEXSetMessageFileName(path);
    EXPECT_FALSE(files_.CEXReadMessageFile(path));
    EXPECT_EQ(host_.messages, Lines{"Error in message file " + path + ", line " +
                                    std::to_string(c.line) + ": " + c.error});
    ASSERT_EQ(core_.CEXSourceTree().Count(), 1);
    core_.CEXExecute(TCEXAction::CreateXMLDoc);
    ASSERT_FALSE(core_.CEXGetMemo(TCEXMemo::Memo1).empty());  // the build ran
    EXPECT_FALSE(files_.CEXSaveMessageSilently());
    EXPECT_TRUE(ReadFile(path) == c.text);

    // The user's save asks; "No" keeps the file, "Yes" writes it.
    host_.answer = TCEXAnswer::No;
    EXPECT_FALSE(files_.CEXSaveMessage());
    EXPECT_TRUE(ReadFile(path) == c.text);
    host_.answer = TCEXAnswer::Yes;
    EXPECT_TRUE(files_.CEXSaveMessage());
    EXPECT_EQ(host_.questions.size(), 2u);
    EXPECT_EQ(ReadFile(path), "7.0.1\r\n1\r\nep2:Msg\r\n\r\nc\r\n\r\n\r\n0\r\n1\r\n");
  }
}

// The close question's "Yes" saves the changed source tree.
TEST_F(MessageFilesTest, TheCloseQuestionSavesTheMessage) {
  const std::string path = dir_.file("a.epm");
  WriteFile(path, kLayout6);
  core_.CEXSetMessageFileName(path);
  ASSERT_TRUE(files_.CEXReadMessageFile(path));
  core_.CEXSourceTree().GetLastNode()->GetData()->SetValue("Meier");
  core_.CEXSetHasChanged(true);
  host_.answer = TCEXAnswer::Yes;
  EXPECT_TRUE(core_.FormCloseQuery());
  EXPECT_EQ(host_.questions, Lines{"Changes in source window not saved. Save?"});
  EXPECT_NE(ReadFile(path).find("\r\nMeier\r\n"), std::string::npos);
  EXPECT_FALSE(core_.CEXHasChanged());
}

// The menu commands on the selected source node, through the main window.
TEST_F(MessageFilesTest, ElementCommandsFollowTheSelectionAndMarkChanges) {
  const std::string path = dir_.file("a.epm");
  WriteFile(path, kLayout7);
  ASSERT_TRUE(files_.CEXReadMessageFile(path));  // Msg, Hdr, TrmID, Time, Date
  core_.CEXSetSelectedSourceLine(4);
  core_.CEXExecute(TCEXAction::InsertItem);
  EXPECT_EQ(host_.messages, Lines{"Select element in source window, where to insert"});
  core_.CEXSetSourceTreeFocused(true);
  core_.CEXSetSelectedSourceLine(1);
  core_.CEXExecute(TCEXAction::CopyItem);
  EXPECT_FALSE(core_.CEXHasChanged());
  core_.CEXSetSelectedSourceLine(4);
  core_.CEXExecute(TCEXAction::InsertItem);
  EXPECT_TRUE(core_.CEXHasChanged());
  EXPECT_EQ(core_.CEXSourceTree().Count(), 8);
  EXPECT_EQ(core_.CEXSelectedSourceLine(), 4);  // the inserted copy
  core_.CEXSetSelectedSourceLine(6);
  core_.CEXExecute(TCEXAction::GotoParent);
  EXPECT_EQ(core_.CEXSelectedSourceLine(), 4);
  core_.CEXExecute(TCEXAction::DeleteItem);
  EXPECT_EQ(core_.CEXSourceTree().Count(), 5);
  EXPECT_EQ(core_.CEXSelectedSourceLine(), -1);

  // A drop sets the moved element's parent id and marks the change.
  core_.CEXSetHasChanged(false);
  TXMLMessageTree& tree = core_.CEXSourceTree();
  TXMLTreeNode* date = tree.GetLastNode();
  tree.SetDragNode(date);
  ASSERT_TRUE(tree.XMLDropNode(tree.GetFirstNode()->GetFirstChild(), true));
  EXPECT_EQ(date->GetData()->GetParentID(), 2);
  EXPECT_TRUE(core_.CEXHasChanged());

  ASSERT_TRUE(files_.ReadMessageFile(path, true));
  core_.CEXExecute(TCEXAction::ClearRef);
  EXPECT_EQ(core_.CEXReferenceTree().Count(), 0);

  // An XML document goes into Memo1 unchanged; its folder is remembered.
  WriteFile(dir_.file("d.xml"), "<a>\r\n\xFF</a>");
  host_.choice = dir_.file("d.xml");
  core_.CEXExecute(TCEXAction::LoadXMLDoc);
  EXPECT_EQ(core_.CEXGetMemo(TCEXMemo::Memo1), "<a>\r\n\xFF</a>");
  EXPECT_EQ(core_.CEXConfiguration().CFGGetDirXMLDocStructure(), dir_.path());
  EXPECT_EQ(host_.dialogs.back(), "Load XML Document");

  core_.CEXSetMessageFileName(path);
  core_.CEXSetHasChanged(true);
  core_.CEXSetEdit(TCEXEdit::Edit7, "12:00");
  core_.CEXSetMemo(TCEXMemo::Memo6, "00 00 00 01 41");
  core_.CEXExecute(TCEXAction::ClearAll);
  EXPECT_EQ(core_.CEXDataStreamBytes(), "");
  EXPECT_EQ(core_.CEXSourceTree().Count(), 0);
  EXPECT_EQ(core_.CEXGetMemo(TCEXMemo::Memo1), "");
  EXPECT_EQ(core_.CEXGetEdit(TCEXEdit::Edit7), "");
  EXPECT_EQ(core_.CEXGetFileName(), "");
  EXPECT_EQ(core_.CEXCaption(), "Dorva ep2 Interface Tester");
  EXPECT_FALSE(core_.CEXHasChanged());
}

}  // namespace
}  // namespace kal
