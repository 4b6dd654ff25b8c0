// Sequence runs with the real core over loopback connections: socat echoes
// the requests (the echo is compared with the request's reference) or keeps
// silent (the response time-out), with the port socat's system chose written
// into the rows' "IP Port" cells; the mock ep2 host checks requests and
// answers, or sends requests to the tool as server. The log is read back
// with python3's csv. The core, its timers and the run go through one
// pumped queue.

#include <gtest/gtest.h>
#include <unistd.h>

#include "comm/ClientSocketPPP.h"
#include "comm/Frame.h"
#include "common/ScriptedPeer.h"
#include "common/SocatPeer.h"
#include "common/TestSupport.h"
#include "config/AlarmList.h"
#include "config/Config.h"
#include "platform/TcpServer.h"
#include "support/StringGrid.h"
#include "support/TraceLogger.h"
#include "workbench/CoreHost.h"
#include "workbench/MessageFiles.h"
#include "workbench/SequenceEditor.h"
#include "workbench/SequenceRun.h"
#include "workbench/SequenceRunHost.h"

namespace kal {
namespace {

using namespace std::chrono_literals;

// A row's cells: client and server message files (names in the program
// folder; "wrong" and "right" are the request's reference with a fixed
// terminal id, as members of conditional groups) and attributes.
struct Row {
  const char *client, *server, *attrib;
  const char* threads = "";  // client threads: a load test
};

// The host is a visible sequence window that hands every call to the run.
using RunHost = test::SequenceRunHost<test::CoreHost>;

// Every login is a user without administrator rights.
class ClerkLogin final : public ICEXLogin {
 public:
  bool CEXShowLoginDialog(std::string&, std::string&) override { return true; }
  void CEXReloadUsers() override {}
  bool CEXFindUser(const std::string&, const std::string&, bool& isAdmin) override {
    isAdmin = false;
    return true;
  }
};

class SequenceLoopbackTest : public test::CoreOnQueueFixture<RunHost> {
 protected:
  // The shipped configuration in the client role, or with `communication`;
  // with `login` the user logs in.
  void Start(int responseTimeoutMs, const std::string& communication = "",
             ICEXLogin* login = nullptr) {
    std::string ini = test::ReadFile(std::string(KAL_SOURCE_DIR) + "/share/config.ini");
    ini = (communication.empty() ? "[Communication]\r\nCommType=1\r\nEthernetClientServer=0\r\n"
                                   "EthernetIPAddr=127.0.0.1\r\n"
                                 : communication) +
          (login != nullptr ? "[Admin]\r\nUseLogin=1\r\n" : "") +
          ini.substr(ini.find("[Component]"));
    MakeCore(ini, {.login = login, .messageFiles = &files_});
    files_.CEXAttach(*core_);
    ShowCore();
    TCFGConfig& config = core_->CEXConfiguration();
    config.CFGSetEncodingInformation(0);
    config.CFGSetServerResponseTimeout(responseTimeoutMs);
    config.CFGSetConnectionDelay(0);
    config.CFGSetCloseOnResponse(0);
    config.CFGSetAlarmLogFileName(dir_.file("alarm.txt"));
    config.CFGGetExecutionTimeAlarmList().ALMSetLines({"2500;1;60;$DATE slow answer"});
    const std::string shared = std::string(KAL_SOURCE_DIR) + "/share/";
    test::WriteFile(dir_.file("req.epm"), test::ReadFile(shared + "AuthorisationRequest.epm"));
    const std::string ref = test::ReadFile(shared + "AuthorisationRequestReference.epm");
    test::WriteFile(dir_.file("ref.epm"), ref);
    // The terminal id as a fixed value of a conditional group's member.
    const std::string id = "ep2:TrmID\r\n\r\nan\r\nM\r\n";
    for (const auto& [name, value] :
         {std::pair{"wrong.epm", "T0000099"}, {"right.epm", "T0000042"}}) {
      std::string fixed = ref;
      const size_t at = fixed.find(id);
      EXPECT_NE(at, std::string::npos);
      fixed.replace(at, id.size(), std::string("ep2:TrmID\r\n") + value + "\r\nan\r\nMFG\r\n");
      test::WriteFile(dir_.file(name), fixed);
    }
    // The request with a PIN of 15 digits, which no build takes.
    std::string pin = test::ReadFile(dir_.file("req.epm"));
    pin.replace(pin.find("ep2:EncPIN\r\n1234"), 16, "ep2:EncPIN\r\n123456789012345");
    test::WriteFile(dir_.file("pin.epm"), pin);
    test::WriteFile(dir_.file("delimlogfile.ini"), "Error;$ERROR;40\r\nTime;$EXECTIME;8\r\n");
    editor_ = std::make_unique<TSEQSequenceEditor>(*core_, host_, grid_, checks_);
    TSEQRunSettings& s = editor_->SEQSettings();
    s.logErrors = 2;
    s.logType = 2;
    s.delimitor = 1;  // comma
    s.logFileName = dir_.file("run.csv");
    s.errorCount = "";
    s.endDate = std::chrono::year{2099} / 1 / 1;
    run_ = std::make_unique<TSEQSequenceRun>(TSEQSequenceRun::TPorts{.main = *core_,
                                                                     .files = files_,
                                                                     .recording = recording_,
                                                                     .editor = *editor_,
                                                                     .clock = clock_,
                                                                     .timers = timers_});
    host_.run = run_.get();
  }
  static std::string ReadIfThere(const std::string& path) {
    return ::access(path.c_str(), F_OK) == 0 ? test::ReadFile(path) : std::string();
  }
  // Ends the case: the next one starts with a new core and no log files.
  void Stop() {
    host_.run = nullptr;
    run_.reset();
    editor_.reset();
    CoreOnQueueFixture::TearDown();
    for (const char* name : {"run.0.csv", "alarm.txt", "result.json", "frames.bin"})
      ::unlink(dir_.file(name).c_str());
    for (int r = 0; r < grid_.RowCount(); ++r)
      for (int c = 0; c < grid_.ColCount(); ++c) grid_.SetCell(c, r, "");
    host_.errors.clear();
    host_.messages.clear();
  }
  void TearDown() override { Stop(); }

  TCEXMessageFiles files_{host_};
  TCEXNoRecordingList recording_;
  TStringGrid grid_;
  test::NoChecks checks_;
  std::unique_ptr<TSEQSequenceEditor> editor_;
  std::unique_ptr<TSEQSequenceRun> run_;
};

TEST_F(SequenceLoopbackTest, RunsAgainstSocatLogEveryMessageAndTimeOutOnASilentPeer) {
  struct Case {
    const char* name;
    const char* peer;
    std::vector<Row> rows;
    const char* restarts;
    int responseTimeoutMs;
    bool stopAfterSend;
    int sent, received, errors;
    int logLines;
    const char* errorText;  // of every error line
    bool linkUpAtEnd;
    const char* completion;
  };
  const char* timeout = "Response message timeout while waiting for answer from server";
  // As the delimited log writes it: punctuation becomes blanks.
  const char* fixed = "  incorrect fix value  ep2 TrmID T0000042  expected value  T0000099";
  const Row echo{"req.epm", "ref.epm", ""};
  // clang-format off
  const Case cases[] = {
      {"echo", "cat", {echo, echo}, "", 20000, false, 2, 2, 0, 2, "", true, TSEQRunner::SEQcRestarts},
      {"D rows", "cat", {{"req.epm", "ref.epm", "D"}, {"req.epm", "ref.epm", "D"}}, "", 20000,
       false, 2, 2, 0, 2, "", false, TSEQRunner::SEQcRestarts},
      {"restarts", "cat", {echo}, "2", 20000, false, 3, 3, 0, 3, "", true,
       TSEQRunner::SEQcRestarts},
      {"wrong fixed value", "cat", {{"req.epm", "wrong.epm", ""}}, "", 20000, false, 1, 1, 1, 1,
       fixed, true, TSEQRunner::SEQcRestarts},
      // Each thread's answer is parsed and analysed, though none came over
      // the main window's connection.
      {"load test, wrong fixed value", "cat", {{"req.epm", "wrong.epm", "", "3"}}, "", 20000,
       false, 3, 3, 3, 3, fixed, false, TSEQRunner::SEQcRestarts},
      {"group, second member matches", "cat",
       {{"req.epm", "wrong.epm", "1"}, {"", "right.epm", "1"}}, "", 20000, false, 1, 1, 0, 1, "",
       true, TSEQRunner::SEQcRestarts},
      {"silent", "sleep 30", {echo}, "", 3000, false, 1, 0, 1, 1, timeout, false,
       TSEQRunner::SEQcRestarts},
      {"stop while awaiting", "sleep 30", {echo}, "", 60000, true, 1, 0, 0, 0, "", true,
       TSQSRunStatus::SQScStoppedByUser},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::SocatPeer peer(c.peer);
    ASSERT_GT(peer.port(), 0);
    Start(c.responseTimeoutMs);
    editor_->SEQSettings().restarts = c.restarts;
    for (size_t i = 0; i < c.rows.size(); ++i) {
      const int r = int(i) + 1;
      const Row& row = c.rows[i];
      if (*row.client) grid_.SetCell(SEQcColClient, r, dir_.file(row.client));
      grid_.SetCell(SEQcColServer, r, dir_.file(row.server));
      grid_.SetCell(SEQcColPort, r, std::to_string(peer.port()));
      grid_.SetCell(SEQcColAttrib, r, row.attrib);
      grid_.SetCell(SEQcColThreads, r, row.threads);
    }
    ASSERT_TRUE(run_->SEQRunButton());
    TSQSRunStatus& status = run_->SEQStatus();
    if (c.stopAfterSend) {
      ASSERT_TRUE(Pump([&] { return run_->SEQRunner().SEQAwaiting(); }));
      status.SQSStopPressed();
    }
    ASSERT_TRUE(Pump([&] { return !run_->SEQRunner().SEQRunning(); }));
    EXPECT_EQ(status.SQSCurrentAction(), c.completion);
    EXPECT_EQ(status.SQSMessagesSend(), std::to_string(c.sent));
    EXPECT_EQ(status.SQSMessagesReceived(), std::to_string(c.received));
    EXPECT_EQ(status.SQSErrorsFound(), std::to_string(c.errors));
    const bool load = *c.rows.front().threads != '\0';
    EXPECT_EQ((load ? run_->SEQThreadList().SCLStatistics() : run_->SEQCore().SEQStatistics())
                  .SSTGetErrors(),
              c.errors);
    EXPECT_EQ(core_->CEXClientSocket().Active(), c.linkUpAtEnd);
    EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
    EXPECT_EQ(core_->CEXCaption(), std::string(TCEXMainWindow::CEXcCaption) + ": req.epm");
    // One line per message under the title; the error column holds the
    // case's error on the lines of the messages that had one.
    int code = 0;
    const std::string checked =
        test::RunPython(R"PY(
import csv, os, sys
path, lines, errors, text = sys.stdin.read().split('\n')[:4]
if int(lines) == 0:
    assert not os.path.exists(path), path
    sys.exit(0)
rows = list(csv.reader(open(path, newline='', encoding='latin-1')))
assert rows[0] == ['Error', 'Time'], rows[0]
assert len(rows) == 1 + int(lines), rows
failed = [r for r in rows[1:] if r[0]]
assert len(failed) == int(errors) and all(r[0] == text for r in failed), rows
)PY",
                        dir_.file("run.0.csv") + "\n" + std::to_string(c.logLines) + "\n" +
                            std::to_string(c.errors) + "\n" + c.errorText,
                        &code);
    EXPECT_EQ(code, 0) << checked;
    // The silent peer's answer took longer than the 2500 ms rule allows.
    const std::string alarms = ReadIfThere(dir_.file("alarm.txt"));
    EXPECT_EQ(alarms.find("slow answer") != std::string::npos, c.errorText == timeout) << alarms;
    Stop();
  }
}

// The frames of a file that holds them one after the other.
int FrameCount(const std::string& bytes) {
  int n = 0;
  for (size_t at = 0; at + THFcLengthBytes <= bytes.size(); ++n)
    at += THFcLengthBytes + THFLengthOf(std::string_view(bytes).substr(at));
  return n;
}

// Rows that cannot send: a build that fails (a PIN of 15 digits), a peer
// that is down, a message file that is malformed or deleted once the run
// has begun. Each is the row's error entry, logged with its code or text;
// nothing goes out for it, no box stops the run, and the run goes on with
// the next row. The peer echoes each frame and appends it to a file.
TEST_F(SequenceLoopbackTest, ARowThatCannotSendIsItsErrorAndTheRunGoesOn) {
  struct Case {
    const char* name;
    std::vector<const char*> clients;
    const char* ports;   // per row: U the peer, D a port nobody listens on
    const char* attrib;  // of every row
    bool permanent;      // stopped once two passes are through
    int frames, errors;
    const char* errorText;     // in the error line, as the log writes it
    const char* threads = "";  // of every row: a load test
  };
  // clang-format off
  const Case cases[] = {
      {"build fails", {"req.epm", "pin.epm", "req.epm"}, "UUU", "", false, 2, 1, "Error 4057"},
      {"peer down first and mid-run", {"req.epm", "req.epm", "req.epm", "req.epm"}, "DUDU", "",
       false, 2, 2, "Error 10061  Connection refused"},
      {"peer down, permanent run", {"req.epm", "req.epm"}, "DU", "", true, 2, 2, "10061"},
      {"malformed and deleted file", {"req.epm", "bad.epm", "gone.epm", "req.epm"}, "UUUU", "",
       false, 2, 2, "message file"},
      // The configuration names another port; the rows after it go to theirs,
      // though the socket's last connection was there.
      {"port after a configuration", {"req.epm", "cfg.ini", "req.epm", "req.epm"}, "UUUU", "D",
       false, 3, 0, ""},
      // Each thread of a row whose message cannot be built or read is an
      // error entry; none sends the message of the row before.
      {"load test, build fails and deleted file", {"req.epm", "pin.epm", "req.epm", "gone.epm"},
       "UUUU", "", false, 4, 4, "Error 4057", "2"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::SocatPeer peer("tee -a " + dir_.file("frames.bin"));
    ASSERT_GT(peer.port(), 0);
    const int down = test::FreeLoopbackPort();
    Start(20000);
    core_->CEXTrace().TDBLogToFile(dir_.file("DEBUG.TXT"));
    core_->CEXTrace().TDBEnableLogToFile(true);
    test::WriteFile(dir_.file("gone.epm"), test::ReadFile(dir_.file("req.epm")));
    test::WriteFile(dir_.file("bad.epm"), "7.0.1\r\nno count\r\n");
    test::WriteFile(dir_.file("cfg.ini"),
                    "[Communication]\r\nEthernetIPPortNr=" + std::to_string(down) + "\r\n");
    editor_->SEQSettings().permanentRun = c.permanent;
    for (size_t i = 0; i < c.clients.size(); ++i) {
      const int r = int(i) + 1;
      grid_.SetCell(SEQcColClient, r, dir_.file(c.clients[i]));
      const bool config = std::string(c.clients[i]).ends_with(".ini");
      grid_.SetCell(SEQcColServer, r, config ? "" : dir_.file("ref.epm"));
      grid_.SetCell(SEQcColPort, r, std::to_string(c.ports[i] == 'U' ? peer.port() : down));
      grid_.SetCell(SEQcColAttrib, r, c.attrib);
      grid_.SetCell(SEQcColThreads, r, c.threads);
    }
    ASSERT_TRUE(run_->SEQRunButton());
    ::unlink(dir_.file("gone.epm").c_str());
    TSQSRunStatus& status = run_->SEQStatus();
    if (c.permanent) {
      ASSERT_TRUE(Pump([&] { return run_->SEQRunner().SEQRuns() == 2; }));
      status.SQSStopPressed();
    }
    ASSERT_TRUE(Pump([&] { return !run_->SEQRunner().SEQRunning(); }));
    EXPECT_EQ(status.SQSCurrentAction(),
              c.permanent ? TSQSRunStatus::SQScStoppedByUser : TSEQRunner::SEQcRestarts);
    EXPECT_EQ(status.SQSMessagesReceived(), std::to_string(c.frames));
    EXPECT_EQ(status.SQSErrorsFound(), std::to_string(c.errors));
    EXPECT_TRUE(host_.messages.empty()) << host_.messages.front();
    EXPECT_TRUE(host_.errors.empty()) << host_.errors.front();
    // Every frame sent was echoed, so all are in the file once the last
    // one is: no other frame came before it.
    std::string frames;
    EXPECT_TRUE(Pump(
        [&] { return FrameCount(frames = ReadIfThere(dir_.file("frames.bin"))) >= c.frames; }));
    EXPECT_EQ(FrameCount(frames), c.frames);
    const std::string log = ReadIfThere(dir_.file("run.0.csv"));
    EXPECT_EQ(int(test::SplitLines(log).size()), 1 + c.frames + c.errors) << log;
    EXPECT_NE(log.find(c.errorText), std::string::npos) << log;
    if (!*c.threads) {
      const std::string trace = ReadIfThere(dir_.file("DEBUG1.TXT"));
      EXPECT_NE(trace.find("\t============   SEQGenerateAndSend"), std::string::npos);
      EXPECT_NE(trace.find("\tSEQMessageAvailable"), std::string::npos);
    }
    Stop();
  }
}

// In the server role an answer that cannot be built is not sent: the
// request gets nothing, least of all the stream built before it.
TEST_F(SequenceLoopbackTest, AServerAnswerThatCannotBeBuiltIsNotSent) {
  const int port = test::FreeLoopbackPort();
  Start(20000,
        "[Communication]\r\nCommType=0\r\nThisComputerClientServer=1\r\n"
        "ThisComputerIPPortNr=" +
            std::to_string(port) + "\r\n");
  // The request, built by the tool, stays in the stream view.
  ASSERT_TRUE(files_.CEXReadMessageFile(dir_.file("req.epm")));
  core_->CEXExecute(TCEXAction::CreateXMLDoc);
  core_->CEXExecute(TCEXAction::CreateDataStream);
  const std::string request = core_->CEXStreamRoad().CEXDataStreamBytes();
  ASSERT_FALSE(request.empty());
  grid_.SetCell(SEQcColClient, 1, dir_.file("ref.epm"));
  grid_.SetCell(SEQcColServer, 1, dir_.file("pin.epm"));
  ASSERT_TRUE(run_->SEQRunButton());
  test::ScriptedPeer peer(std::to_string(port), {"s:" + test::ToHex(request), "q:1500"});
  ASSERT_EQ(peer.Line(Pumping()), "connected");
  ASSERT_TRUE(Pump([&] { return !run_->SEQRunner().SEQRunning(); }));
  EXPECT_EQ(peer.Line(Pumping()), "quiet");
  EXPECT_EQ(run_->SEQStatus().SQSMessagesSend(), "0");
  EXPECT_EQ(run_->SEQStatus().SQSErrorsFound(), "1");
  EXPECT_NE(ReadIfThere(dir_.file("run.0.csv")).find("Error 4057"), std::string::npos);
}

TEST_F(SequenceLoopbackTest, ContinueRefusesATableWithClientThreads) {
  Start(20000);
  grid_.SetCell(SEQcColClient, 1, dir_.file("req.epm"));
  grid_.SetCell(SEQcColThreads, 1, "2");
  EXPECT_FALSE(run_->SEQContinueButton());
  EXPECT_EQ(host_.messages, std::vector<std::string>{TSEQSequenceRun::SEQcUseRunButton});
  EXPECT_FALSE(run_->SEQRunner().SEQRunning());
}

// The run plays the main window's actions whoever is logged in: a user
// without administrator rights gets the echo of his request too.
TEST_F(SequenceLoopbackTest, TheUsersRightsDoNotHoldARunBack) {
  test::SocatPeer peer("cat");
  ASSERT_GT(peer.port(), 0);
  ClerkLogin clerk;
  Start(20000, "", &clerk);
  ASSERT_FALSE(core_->CEXUserIsAdmin());
  grid_.SetCell(SEQcColClient, 1, dir_.file("req.epm"));
  grid_.SetCell(SEQcColServer, 1, dir_.file("ref.epm"));
  grid_.SetCell(SEQcColPort, 1, std::to_string(peer.port()));
  ASSERT_TRUE(run_->SEQRunButton());
  ASSERT_TRUE(Pump([&] { return !run_->SEQRunner().SEQRunning(); }));
  EXPECT_EQ(run_->SEQStatus().SQSMessagesReceived(), "1");
  EXPECT_EQ(run_->SEQStatus().SQSErrorsFound(), "0");
}

// The mock ep2 host as the peer: in the client role it checks each request
// against the tool's own build of the row's message (S and R damage reach
// it as changed frames) and answers; in the server role it sends the
// request and checks the answer, which in a conditional group comes from
// the member that matched.
TEST_F(SequenceLoopbackTest, TheMockHostSeesDamageAndGetsTheMatchingMembersAnswer) {
  struct Case {
    const char* name;
    bool server;
    std::vector<Row> rows;
    const char* answer;            // the response XML the mock expects (server role)
    std::vector<bool> requestsOk;  // the mock's verdict per request (client role)
  };
  // clang-format off
  const Case cases[] = {
      {"client: clean, S and R damage", false,
       {{"req.epm", "rspref.epm", "D"}, {"req.epm", "rspref.epm", "DS"},
        {"req.epm", "rspref.epm", "DR"}}, "", {true, false, false}},
      {"server answers", true, {{"ref.epm", "rsp.epm", ""}}, "rsp.xml", {}},
      {"server group, second member matches", true,
       {{"wrong.epm", "rsp.epm", "1"}, {"right.epm", "rsp2.epm", "1"}}, "rsp2.xml", {}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int port = test::FreeLoopbackPort();
    Start(20000, c.server ? "[Communication]\r\nCommType=0\r\nThisComputerClientServer=1\r\n"
                            "ThisComputerIPPortNr=" +
                                std::to_string(port) + "\r\n"
                          : "");
    const std::string shared = std::string(KAL_SOURCE_DIR) + "/share/";
    std::string rsp = test::ReadFile(shared + "AuthorisationResponse.epm");
    test::WriteFile(dir_.file("rsp.epm"), rsp);
    rsp.replace(rsp.find("A12345"), 6, "B99999");
    test::WriteFile(dir_.file("rsp2.epm"), rsp);
    test::WriteFile(dir_.file("rspref.epm"),
                    test::ReadFile(shared + "AuthorisationResponseReference.epm"));
    // The tool's own builds of the messages, as the mock expects and sends them.
    core_->CEXSetAddMsgNum(2);
    for (const char* name : {"req", "rsp", "rsp2"}) {
      ASSERT_TRUE(files_.CEXReadMessageFile(dir_.file(std::string(name) + ".epm")));
      core_->CEXExecute(TCEXAction::CreateXMLDoc);
      test::WriteFile(dir_.file(std::string(name) + ".xml"), core_->CEXGetMemo(TCEXMemo::Memo1));
    }
    const std::string frame = R"({"version": 48, "spec_version": "0630", "mode": 0, "xml_file": ")";
    for (size_t i = 0; i < c.rows.size(); ++i) {
      const int r = int(i) + 1;
      const Row& row = c.rows[i];
      grid_.SetCell(SEQcColClient, r, dir_.file(row.client));
      grid_.SetCell(SEQcColServer, r, dir_.file(row.server));
      grid_.SetCell(SEQcColAttrib, r, row.attrib);
    }
    if (c.server) {
      test::WriteFile(dir_.file("spec.json"), frame + dir_.file("req.xml") + "\"}");
      test::WriteFile(dir_.file("expect.json"), R"({"xml_file": ")" + dir_.file(c.answer) + "\"}");
      ASSERT_TRUE(run_->SEQRunButton());
      ASSERT_TRUE(Pump([&] { return run_->SEQRunner().SEQAwaiting(); }));
      test::ChildProcess mock({KAL_PYTHON, test::MockEp2HostScript(), "client", "--port",
                               std::to_string(core_->CEXServer().PLTBoundPort()), "--spec",
                               dir_.file("spec.json"), "--expect", dir_.file("expect.json"),
                               "--result", dir_.file("result.json")});
      ASSERT_TRUE(Pump([&] { return !run_->SEQRunner().SEQRunning(); }));
      std::string out;
      EXPECT_EQ(mock.Wait(60s, &out), 0) << out;
    } else {
      test::WriteFile(dir_.file("expect.json"), R"({"xml_file": ")" + dir_.file("req.xml") + "\"}");
      test::WriteFile(dir_.file("response.json"),
                      R"({"action": "frame", "after": "close", "build": )" + frame +
                          dir_.file("rsp.xml") + "\"}}");
      test::ChildProcess mock({KAL_PYTHON, test::MockEp2HostScript(), "server", "--connections",
                               std::to_string(c.rows.size()), "--expect", dir_.file("expect.json"),
                               "--response", dir_.file("response.json"), "--result",
                               dir_.file("result.json")});
      const std::string portLine = mock.Line(60s);
      ASSERT_EQ(portLine.rfind("PORT ", 0), 0u) << portLine;
      for (int r = 1; r <= int(c.rows.size()); ++r)
        grid_.SetCell(SEQcColPort, r, portLine.substr(5));
      ASSERT_TRUE(run_->SEQRunButton());
      ASSERT_TRUE(Pump([&] { return !run_->SEQRunner().SEQRunning(); }));
      std::string out;
      mock.Wait(60s, &out);
      int code = 0;
      std::string want;
      for (bool ok : c.requestsOk) want += ok ? "1" : "0";
      const std::string verdicts = test::RunPython(R"PY(
import json, sys
path = sys.stdin.read().strip()
print(''.join('1' if r['ok'] else '0' for r in json.load(open(path))['results']), end='')
)PY",
                                                   dir_.file("result.json"), &code);
      EXPECT_EQ(verdicts, want) << out;
    }
    const TSQSRunStatus& status = run_->SEQStatus();
    EXPECT_EQ(status.SQSCurrentAction(), TSEQRunner::SEQcRestarts);
    EXPECT_EQ(status.SQSErrorsFound(), "0");
    EXPECT_EQ(status.SQSMessagesReceived(), std::to_string(c.server ? 1 : c.rows.size()));
    Stop();
  }
}

}  // namespace
}  // namespace kal
