#include "workbench/MainWindow.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "comm/CommParams.h"
#include "common/TestSupport.h"
#include "config/Config.h"
#include "ep2/RandomSource.h"
#include "platform/IniFile.h"
#include "platform/TcpServer.h"
#include "support/ErrorWindow.h"
#include "support/TraceLogger.h"

namespace kal {
namespace {

using namespace std::chrono_literals;
using test::TempDir;
using test::WriteFile;

// A port nothing listens on at the moment, chosen by the system.
int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  ::close(fd);
  return ntohs(a.sin_port);
}

std::string ServerIni(int port, int role = 1) {
  return "[Communication]\r\nCommType=0\r\nThisComputerClientServer=" + std::to_string(role) +
         "\r\nThisComputerIPPortNr=" + std::to_string(port) + "\r\n";
}

std::string IniValue(const std::string& path, const char* section, const char* key) {
  TPLTIniFile ini;
  EXPECT_EQ(ini.PLTLoad(path), 0);
  return ini.PLTReadString(section, key, "<missing>");
}

class FakeView final : public ICEXView {
 public:
  void CEXChanged(uint32_t parts) override { changed |= parts; }
  bool CEXStatusTextFits(int, const std::string& text) override { return text.size() <= 30; }
  TCEXGeometry CEXGetGeometry() override { return geometry; }
  void CEXCloseMainWindow() override { ++closeRequests; }
  uint32_t changed = 0;
  TCEXGeometry geometry{false, 10, 20, 800, 600};
  int closeRequests = 0;
};

class FakeDialogs final : public ICEXDialogs {
 public:
  void CEXShowMessage(const std::string& text) override { messages.push_back(text); }
  TCEXAnswer CEXAskYesNoCancel(const std::string& text) override {
    questions.push_back(text);
    return answer;
  }
  bool CEXOpenFile(const TCEXFileDialog& d, std::string& chosen) override {
    opened.push_back(d);
    chosen = choice;
    return !choice.empty();
  }
  bool CEXSaveFile(const TCEXFileDialog& d, std::string& chosen) override {
    saved.push_back(d);
    chosen = choice;
    return !choice.empty();
  }
  std::vector<std::string> messages, questions;
  std::vector<TCEXFileDialog> opened, saved;
  TCEXAnswer answer = TCEXAnswer::Cancel;
  std::string choice;
};

class FakeErrorWindow final : public IERRErrorWindow {
 public:
  void ERRSetError(int code, const std::string& detail) override {
    shown.push_back(std::to_string(code) + " " + detail);
  }
  void ERRSetErrorMessage(int code, const std::string& text) override {
    shown.push_back(std::to_string(code) + " " + text);
  }
  std::vector<std::string> shown;
};

class FakeTimer final : public ICEXTimer {
 public:
  FakeTimer(bool repeating, std::function<void()> onExpiry)
      : repeating_(repeating), onExpiry_(std::move(onExpiry)) {}
  void CEXStart(std::chrono::milliseconds i) override {
    active = true;
    interval = i;
  }
  void CEXStop() override { active = false; }
  bool CEXActive() const override { return active; }
  void Fire() {
    if (!repeating_) active = false;
    onExpiry_();
  }
  bool active = false;
  std::chrono::milliseconds interval{};

 private:
  bool repeating_;
  std::function<void()> onExpiry_;
};

class FakeTimers final : public ICEXTimerFactory {
 public:
  std::unique_ptr<ICEXTimer> CEXCreateTimer(bool repeating, std::function<void()> f) override {
    auto timer = std::make_unique<FakeTimer>(repeating, std::move(f));
    made.push_back(timer.get());
    return timer;
  }
  // In the order the core makes them.
  FakeTimer& Timer1() { return *made.at(0); }
  FakeTimer& Timer3() { return *made.at(1); }
  FakeTimer& Timer4() { return *made.at(2); }
  FakeTimer& Idle() { return *made.at(3); }
  std::vector<FakeTimer*> made;
};

// Virtual time: a sleep moves the clock on at once.
class FakeClock final : public ICEXClock {
 public:
  std::chrono::steady_clock::time_point CEXNow() override { return now; }
  void CEXSleep(std::chrono::milliseconds d) override {
    now += d;
    slept += d;
    if (onSleep) onSleep(slept);
  }
  std::chrono::steady_clock::time_point now{};
  std::chrono::milliseconds slept{};
  std::function<void(std::chrono::milliseconds)> onSleep;
};

class FakeMessageFiles final : public ICEXMessageFiles {
 public:
  bool CEXReadMessageFile(const std::string& path) override {
    read.push_back(path);
    return true;
  }
  bool CEXSaveMessage() override {
    ++saves;
    return saveWorks;
  }
  std::vector<std::string> read;
  int saves = 0;
  bool saveWorks = true;
};

class FakeCounters final : public ICEXCounterLists {
 public:
  void CEXReadCounters() override { ++reads; }
  void CEXWriteCounters() override { ++writes; }
  int reads = 0, writes = 0;
};

// Answers the login dialog from a script of (ok, user) entries; "admin" is
// an administrator, "user" is not, anybody else is unknown.
class FakeLogin final : public ICEXLogin {
 public:
  bool CEXShowLoginDialog(std::string& user, std::string& password) override {
    if (script.empty()) return false;
    const auto [ok, name] = script.front();
    script.erase(script.begin());
    user = name;
    password = "pw";
    return ok;
  }
  void CEXReloadUsers() override { ++reloads; }
  bool CEXFindUser(const std::string& user, const std::string&, bool& isAdmin) override {
    isAdmin = user == "admin";
    return user == "admin" || user == "user";
  }
  std::vector<std::pair<bool, std::string>> script;
  int reloads = 0;
};

class FakeSequence final : public ICEXSequenceWindow {
 public:
  bool SEQVisible() const override { return visible; }
  void SEQLoadSequenceFile(const std::string& path) override { loaded.push_back(path); }
  void SEQMessageAvailable() override { ++available; }
  void SEQRunNextRow() override { ++nextRows; }
  void SEQLogError(int id, const std::string& text, bool) override {
    logged.push_back(std::to_string(id) + " " + text);
  }
  bool visible = false;
  std::vector<std::string> loaded, logged;
  int available = 0, nextRows = 0;
};

class FakeReceiveSide final : public ICEXReceiveSide {
 public:
  void CEXSetTerminate() override { terminate = true; }
  void CEXResetTerminate() override { terminate = false; }
  bool CEXAllTerminated() const override { return threads == 0; }
  int CEXGetSendState() const override { return sendState; }
  void CEXSetSendState(int s) override { sendState = s; }
  bool CEXTakeClientSocketError(int& code, std::string& text) override {
    if (errorCode == 0) return false;
    code = errorCode;
    text = errorText;
    errorCode = 0;
    return true;
  }
  std::atomic<bool> terminate{false};
  std::atomic<int> threads{0};
  std::atomic<int> sendState{0};
  int errorCode = 0;
  std::string errorText;
};

class MainWindowTest : public ::testing::Test {
 protected:
  // Builds the core; the configuration files are written before.
  TCEXMainWindow& Make(bool withSequence = false) {
    auto receive = std::make_unique<FakeReceiveSide>();
    receive_ = receive.get();
    core_ = std::make_unique<TCEXMainWindow>(
        dir_.path(), TCEXMainWindow::TPorts{.view = view_,
                                            .dialogs = dialogs_,
                                            .errorWindow = errors_,
                                            .timers = timers_,
                                            .clock = clock_,
                                            .poster = queue_,
                                            .random = &random_,
                                            .messageFiles = files_,
                                            .counters = counters_,
                                            .login = login_,
                                            .sequenceWindow = withSequence ? &sequence_ : nullptr,
                                            .receiveSide = std::move(receive)});
    core_->FormCreate();
    return *core_;
  }
  TCEXMainWindow& Start(const std::vector<std::string>& args, bool withSequence = false) {
    Make(withSequence);
    core_->FormShow(args);
    return *core_;
  }

  TempDir dir_;
  FakeView view_;
  FakeDialogs dialogs_;
  FakeErrorWindow errors_;
  FakeTimers timers_;
  FakeClock clock_;
  TPLTEventQueue queue_;
  TSECDeterministicRandom random_;
  FakeMessageFiles files_;
  FakeCounters counters_;
  FakeLogin login_;
  FakeSequence sequence_;
  FakeReceiveSide* receive_ = nullptr;
  std::unique_ptr<TCEXMainWindow> core_;
};

TEST_F(MainWindowTest, StartWithoutFilesListensFromConfigIniAndKeepsTheCaption) {
  const int port = FreePort();
  WriteFile(dir_.file("config.ini"), ServerIni(port));
  TCEXMainWindow& core = Start({});
  EXPECT_EQ(core.CEXCaption(), "Dorva ep2 Interface Tester");
  EXPECT_EQ(core.CEXStatusText(0), "TCP/IP Client not connected");
  EXPECT_EQ(core.CEXStatusText(2), "Server listening on port " + std::to_string(port));
  EXPECT_EQ(core.CEXStatusText(3), "No cofiguration file loaded");
  EXPECT_TRUE(core.CEXServer().PLTActive());
  EXPECT_TRUE(timers_.Idle().active);
  EXPECT_EQ(timers_.Idle().interval, 20ms);
  EXPECT_EQ(counters_.reads, 1);
  EXPECT_TRUE(dialogs_.messages.empty());
  EXPECT_TRUE(errors_.shown.empty());
  // The alarm log is made when missing.
  EXPECT_TRUE(std::filesystem::exists(dir_.file("alarmlog.txt")));
}

TEST_F(MainWindowTest, CommandLineMessageFileGoesThroughTheLoader) {
  WriteFile(dir_.file("config.ini"), ServerIni(FreePort(), 0));
  std::filesystem::create_directory(dir_.file("msgs"));
  WriteFile(dir_.file("msgs/auth.epm"), "x");
  TCEXMainWindow& core = Start({dir_.file("msgs/auth.epm"), "-RUN"});
  EXPECT_EQ(files_.read, std::vector<std::string>{dir_.file("msgs/auth.epm")});
  EXPECT_EQ(core.CEXCaption(), "Dorva ep2 Interface Tester: auth.epm");
  EXPECT_EQ(core.CEXGetFileName(), dir_.file("msgs/auth.epm"));
  EXPECT_EQ(core.CEXConfiguration().CFGGetDirMessage(), dir_.file("msgs/"));
  EXPECT_EQ(core.CEXConfiguration().CFGGetPickFile(0), dir_.file("msgs/auth.epm"));
  EXPECT_TRUE(core.CEXAutoRun());
  // The server role is off in this configuration.
  EXPECT_EQ(core.CEXStatusText(2), "TCP/IP server not listening");
}

TEST_F(MainWindowTest, MissingStartFilesAreReportedAndChangeNothing) {
  const int port = FreePort();
  WriteFile(dir_.file("config.ini"), ServerIni(port));
  WriteFile(dir_.file("run.seq"), "x");
  TCEXMainWindow& core =
      Start({dir_.file("gone.epm"), "-c", dir_.file("gone.ini"), "-s", dir_.file("run.seq")}, true);
  EXPECT_EQ(dialogs_.messages,
            (std::vector<std::string>{"File " + dir_.file("gone.epm") + " not found",
                                      "File " + dir_.file("gone.ini") + " not found"}));
  EXPECT_TRUE(files_.read.empty());
  EXPECT_EQ(core.CEXCaption(), "Dorva ep2 Interface Tester");
  EXPECT_EQ(core.CEXConfiguration().CFGGetPickFile(0), "");
  // Without its configuration file the server starts from the one in use.
  EXPECT_EQ(core.CEXStatusText(2), "Server listening on port " + std::to_string(port));
  EXPECT_EQ(sequence_.loaded, std::vector<std::string>{dir_.file("run.seq")});
  EXPECT_FALSE(core.CEXAutoRun());
}

TEST_F(MainWindowTest, CommandLineConfigurationIsReadListenedOnAndRecorded) {
  const int basePort = FreePort();
  const int namedPort = FreePort();
  WriteFile(dir_.file("config.ini"), ServerIni(basePort));
  std::filesystem::create_directory(dir_.file("cfg"));
  WriteFile(dir_.file("cfg/lab.ini"), ServerIni(namedPort) + "[Timeout]\r\nConnectionDelay=77\r\n");
  TCEXMainWindow& core = Start({"-c", dir_.file("cfg/lab.ini")});
  EXPECT_EQ(core.CEXServer().PLTBoundPort(), namedPort);
  EXPECT_EQ(core.CEXStatusText(2), "Server listening on port " + std::to_string(namedPort));
  EXPECT_EQ(core.CEXConfiguration().CFGGetConnectionDelay(), 77);
  EXPECT_EQ(core.CEXConfiguration().CFGGetDirConfig(), dir_.file("cfg/"));
  // Too long for the panel: shortened from the left.
  const std::string panel = core.CEXStatusText(3);
  EXPECT_EQ(panel.rfind("Config file: ..", 0), 0u) << panel;
  EXPECT_LE(panel.size(), 30u);
  EXPECT_EQ(panel.substr(panel.size() - 7), "lab.ini");
  // The settings in use went to "config.ini" at once.
  EXPECT_EQ(IniValue(dir_.file("config.ini"), "Directories", "ConfigFileName"),
            dir_.file("cfg/lab.ini"));
  EXPECT_EQ(IniValue(dir_.file("config.ini"), "Timeout", "ConnectionDelay"), "77");
}

TEST_F(MainWindowTest, StoredGeometryIsRestoredWithoutNegativeOrigins) {
  WriteFile(dir_.file("config.ini"),
            ServerIni(FreePort(), 0) +
                "[Window]\r\nWindowState=0\r\nWindowTop=-40\r\n"
                "WindowLeft=-5\r\nWindowWidth=700\r\nWindowHeight=500\r\n");
  const TCEXGeometry& g = Start({}).CEXGeometry();
  EXPECT_FALSE(g.maximised);
  EXPECT_EQ(g.top, 0);
  EXPECT_EQ(g.left, 0);
  EXPECT_EQ(g.width, 700);
  EXPECT_EQ(g.height, 500);
  EXPECT_TRUE(view_.changed & CEXpGeometry);
}

TEST_F(MainWindowTest, AFailedServerStartIsShownWithCode7002) {
  TPLTTcpServer occupant;
  ASSERT_EQ(occupant.PLTActivate(), 0);
  WriteFile(dir_.file("config.ini"), ServerIni(occupant.PLTBoundPort()));
  TCEXMainWindow& core = Start({});
  EXPECT_EQ(core.CEXStatusText(2), "TCP/IP server not listening");
  ASSERT_EQ(errors_.shown.size(), 1u);
  EXPECT_EQ(errors_.shown[0].rfind("7002 Server Socket Error: ", 0), 0u) << errors_.shown[0];
  EXPECT_GT(errors_.shown[0].size(), std::string("7002 Server Socket Error: ").size());
}

TEST_F(MainWindowTest, FirstActivationRereadsTheConfigurationKeepingAlarmsAndKeyGeneration) {
  WriteFile(dir_.file("config.ini"),
            ServerIni(FreePort(), 0) +
                "[Keys]\r\nSessionKeyGeneration=1\r\n[ErrorAlarms]\r\nErrorAlarm1=rule one\r\n");
  TCEXMainWindow& core = Start({});
  core.FormActivate();
  EXPECT_EQ(core.CEXConfiguration().CFGGetErrorAlarmLines(), std::vector<std::string>{"rule one"});
  EXPECT_EQ(core.CEXConfiguration().CFGGetSessionKeyFromInMessage(), 1);
  EXPECT_EQ(IniValue(dir_.file("config.ini"), "ErrorAlarms", "ErrorAlarm1"), "rule one");
  EXPECT_EQ(IniValue(dir_.file("config.ini"), "Keys", "SessionKeyGeneration"), "1");
  // No login asked for: administrator; the second activation does nothing.
  EXPECT_TRUE(core.CEXUserIsAdmin());
  core.CEXConfiguration().CFGSetSessionKeyFromInMessage(5);
  core.FormActivate();
  EXPECT_EQ(core.CEXConfiguration().CFGGetSessionKeyFromInMessage(), 5);

  // A named configuration that went missing is not read over the settings.
  core.CEXConfiguration().CFGSetConfigFileName(dir_.file("gone.ini"));
  core.CEXLoadConfiguration(dir_.file("gone.ini"));
  EXPECT_EQ(core.CEXConfiguration().CFGGetErrorAlarmLines(), std::vector<std::string>{"rule one"});
  EXPECT_EQ(core.CEXConfiguration().CFGGetSessionKeyFromInMessage(), 5);
}

TEST_F(MainWindowTest, LoginGrantsRightsAndCancellingClosesWithoutRights) {
  WriteFile(dir_.file("config.ini"), ServerIni(FreePort(), 0) + "[Admin]\r\nUseLogin=1\r\n");
  std::filesystem::create_directory(dir_.file("m"));
  WriteFile(dir_.file("m/a.epm"), "x");
  WriteFile(dir_.file("m/b.ini"), ServerIni(0, 0));
  TCEXMainWindow& core = Make();
  core.CEXConfiguration().CFGAddPickFile(dir_.file("m/a.epm"));
  core.CEXConfiguration().CFGAddPickFileIni(dir_.file("m/b.ini"));

  login_.script = {{true, "nobody"}, {true, "user"}};
  core.FormActivate();
  EXPECT_EQ(dialogs_.messages,
            std::vector<std::string>{"Login information is not valid. Please retry"});
  EXPECT_FALSE(core.CEXUserIsAdmin());
  for (TCEXMenu m : {TCEXMenu::Edit, TCEXMenu::Parameters, TCEXMenu::Admin})
    EXPECT_FALSE(core.CEXMenuEnabled(m));
  for (TCEXMenu m : {TCEXMenu::File, TCEXMenu::View, TCEXMenu::Sequences, TCEXMenu::Help})
    EXPECT_TRUE(core.CEXMenuEnabled(m));
  EXPECT_FALSE(core.CEXActionEnabled(TCEXAction::LoadConfiguration));
  EXPECT_TRUE(core.CEXActionEnabled(TCEXAction::Logout));
  EXPECT_TRUE(core.CEXRecentEntries().empty());
  core.CEXExecute(TCEXAction::SaveConfFile);  // disabled: nothing happens
  EXPECT_EQ(dialogs_.saved.size(), 0u);

  login_.script = {{true, "admin"}};
  core.CEXExecute(TCEXAction::Logout);
  EXPECT_TRUE(core.CEXUserIsAdmin());
  EXPECT_TRUE(core.CEXMenuEnabled(TCEXMenu::Admin));
  const std::vector<TCEXRecentEntry> expected = {
      {TCEXMenu::File, "", "", 1, true},
      {TCEXMenu::File, "a.epm", dir_.file("m/a.epm"), 1, false},
      {TCEXMenu::Parameters, "", "", 1, true},
      {TCEXMenu::Parameters, "b.ini", dir_.file("m/b.ini"), 1, false}};
  EXPECT_EQ(core.CEXRecentEntries(), expected);

  login_.script = {{false, ""}};
  core.CEXExecute(TCEXAction::Logout);
  EXPECT_EQ(view_.closeRequests, 1);
  EXPECT_FALSE(core.CEXUserIsAdmin());
  EXPECT_FALSE(core.CEXMenuEnabled(TCEXMenu::Admin));
}

TEST_F(MainWindowTest, RecentFilesListOnlyExistingFilesAndOpenThem) {
  WriteFile(dir_.file("config.ini"), ServerIni(FreePort(), 0));
  WriteFile(dir_.file("one.seq"), "x");
  WriteFile(dir_.file("two.seq"), "x");
  WriteFile(dir_.file("a.epm"), "x");
  TCEXMainWindow& core = Make(true);
  TCFGConfig& config = core.CEXConfiguration();
  config.CFGAddPickFileSeq(dir_.file("one.seq"));
  config.CFGAddPickFileSeq(dir_.file("gone.seq"));
  config.CFGAddPickFileSeq(dir_.file("two.seq"));
  config.CFGAddPickFile(dir_.file("a.epm"));
  core.SynchMenuItems();  // not an administrator yet
  const std::vector<TCEXRecentEntry> sequences = {
      {TCEXMenu::Sequences, "", "", 1, true},
      {TCEXMenu::Sequences, "two.seq", dir_.file("two.seq"), 1, false},
      {TCEXMenu::Sequences, "one.seq", dir_.file("one.seq"), 3, false}};
  EXPECT_EQ(core.CEXRecentEntries(), sequences);

  core.CEXOpenRecentFile(sequences[2]);
  EXPECT_EQ(sequence_.loaded, std::vector<std::string>{dir_.file("one.seq")});
  std::filesystem::remove(dir_.file("a.epm"));
  core.CEXOpenRecentFile({TCEXMenu::File, "a.epm", dir_.file("a.epm"), 1, false});
  EXPECT_EQ(dialogs_.messages.back(), "File " + dir_.file("a.epm") + " not found");
  EXPECT_TRUE(files_.read.empty());
}

TEST_F(MainWindowTest, ConfigurationCommandsUseTheirDialogsAndRestartTheServer) {
  WriteFile(dir_.file("config.ini"), ServerIni(FreePort()));
  const int port = FreePort();
  WriteFile(dir_.file("other.ini"), ServerIni(port));
  TCEXMainWindow& core = Start({});
  core.FormActivate();

  dialogs_.choice = dir_.file("other.ini");
  core.CEXExecute(TCEXAction::LoadConfiguration);
  ASSERT_EQ(dialogs_.opened.size(), 1u);
  EXPECT_EQ(dialogs_.opened[0].title, "Load Configuration File");
  EXPECT_EQ(dialogs_.opened[0].filter, "Configuration File|*.ini");
  EXPECT_EQ(dialogs_.opened[0].initialDir, dir_.path());
  EXPECT_EQ(core.CEXStatusText(2), "Server listening on port " + std::to_string(port));
  EXPECT_EQ(core.CEXConfiguration().CFGGetPickFileIni(0), dir_.file("other.ini"));
  EXPECT_EQ(core.CEXRecentEntries().back().path, dir_.file("other.ini"));

  dialogs_.choice = dir_.file("saved.ini");
  core.CEXExecute(TCEXAction::SaveConfiguration);
  ASSERT_EQ(dialogs_.saved.size(), 1u);
  EXPECT_EQ(dialogs_.saved[0].title, "Save Configuration File");
  EXPECT_EQ(dialogs_.saved[0].fileName, "other.ini");
  EXPECT_EQ(IniValue(dir_.file("saved.ini"), "Communication", "ThisComputerIPPortNr"),
            std::to_string(port));
  EXPECT_EQ(core.CEXConfiguration().CFGGetConfigFileName(), dir_.file("saved.ini"));

  core.CEXConfiguration().CFGSetConnectionDelay(4321);
  core.CEXExecute(TCEXAction::SaveConfFile);
  EXPECT_EQ(IniValue(dir_.file("saved.ini"), "Timeout", "ConnectionDelay"), "4321");
  EXPECT_TRUE(dialogs_.messages.empty());
}

TEST_F(MainWindowTest, IdlePassForwardsSocketErrorsArrivalsAndSendState) {
  WriteFile(dir_.file("config.ini"), ServerIni(FreePort(), 0));
  TCEXMainWindow& core = Start({}, true);

  receive_->errorCode = 10054;
  receive_->errorText = ": connection reset";
  core.AppOnIdle();
  EXPECT_EQ(errors_.shown, std::vector<std::string>{"10054 Last Socket Error: connection reset"});
  core.AppOnIdle();  // the flag was cleared
  EXPECT_EQ(errors_.shown.size(), 1u);
  sequence_.visible = true;
  receive_->errorCode = 10060;
  core.AppOnIdle();
  EXPECT_EQ(sequence_.logged,
            std::vector<std::string>{"10060 Last Socket Error: connection reset"});
  EXPECT_EQ(errors_.shown.size(), 1u);

  // An arrival waits while the response gate is closed.
  core.CEXSetNoWaitForDisconnect(false);
  core.CEXFrameStored("00 00 00 01 41", "12:00:00");
  EXPECT_EQ(core.CEXGetMemo(TCEXMemo::Memo5), "00 00 00 01 41");
  EXPECT_EQ(core.CEXGetEdit(TCEXEdit::Edit7), "12:00:00");
  EXPECT_EQ(core.CEXArrivalFlag(), 1);
  EXPECT_FALSE(core.CEXParseMessageEnabled());
  EXPECT_EQ(sequence_.available, 0);
  core.CEXSetNoWaitForDisconnect(true);
  core.AppOnIdle();
  core.AppOnIdle();
  EXPECT_EQ(core.CEXArrivalFlag(), 0);
  EXPECT_TRUE(core.CEXParseMessageEnabled());
  EXPECT_EQ(sequence_.available, 1);

  receive_->sendState = ICEXReceiveSide::CEXcSent;
  core.AppOnIdle();
  EXPECT_EQ(core.CEXStatusText(1), "Data stream sent");
  EXPECT_EQ(receive_->sendState, ICEXReceiveSide::CEXcSendIdle);
  ASSERT_TRUE(timers_.Timer3().active);
  EXPECT_EQ(timers_.Timer3().interval, 2000ms);
  timers_.Timer3().Fire();
  EXPECT_EQ(core.CEXStatusText(1), "");

  core.CEXSetSelectedSourceLine(4);
  core.AppOnIdle();
  EXPECT_EQ(core.CEXGetEdit(TCEXEdit::Edit2), "line 5");
}

TEST_F(MainWindowTest, WorkerThreadsWakeTheIdlePassThroughThePoster) {
  WriteFile(dir_.file("config.ini"), ServerIni(FreePort(), 0));
  TCEXMainWindow& core = Start({});
  std::thread worker([&] {
    receive_->sendState = ICEXReceiveSide::CEXcSent;
    core.CEXPostIdlePass();
  });
  worker.join();
  EXPECT_TRUE(queue_.PLTPumpUntil([&] { return receive_->sendState == 0; }, 5s));
  EXPECT_EQ(core.CEXStatusText(1), "Data stream sent");
}

TEST_F(MainWindowTest, ResponseTimeoutIsCancelledByAnArrivalAndReportedOtherwise) {
  WriteFile(dir_.file("config.ini"),
            ServerIni(FreePort(), 0) + "[Timeout]\r\nServerResponseTimeout=1500\r\n");
  TCEXMainWindow& core = Start({}, true);
  const std::string text = "Response message timeout while waiting for answer from server";

  core.CEXStartResponseTimer();
  EXPECT_EQ(timers_.Timer1().interval, 1500ms);
  core.CEXFrameStored("00", "t");
  EXPECT_FALSE(timers_.Timer1().active);
  timers_.Timer1().Fire();  // already queued when the answer came: ignored
  EXPECT_TRUE(dialogs_.messages.empty());

  core.CEXStartResponseTimer();
  timers_.Timer1().Fire();
  EXPECT_EQ(dialogs_.messages, std::vector<std::string>{text});
  sequence_.visible = true;
  core.CEXStartResponseTimer();
  timers_.Timer1().Fire();
  EXPECT_EQ(sequence_.logged, std::vector<std::string>{"7007 " + text});
  EXPECT_EQ(sequence_.nextRows, 1);
  timers_.Timer1().Fire();  // once per send
  EXPECT_EQ(sequence_.nextRows, 1);
}

TEST_F(MainWindowTest, CloseQuestionSavesSettingsFirstAndHonoursTheAnswer) {
  WriteFile(dir_.file("config.ini"), ServerIni(FreePort(), 0));
  WriteFile(dir_.file("named.ini"), ServerIni(FreePort(), 0));
  TCEXMainWindow& core = Start({"-c", dir_.file("named.ini")});
  view_.geometry = {false, 33, 44, 640, 480};

  EXPECT_TRUE(core.FormCloseQuery());  // nothing changed: no question
  EXPECT_TRUE(dialogs_.questions.empty());

  core.CEXSetHasChanged(true);
  dialogs_.answer = TCEXAnswer::Cancel;
  EXPECT_FALSE(core.FormCloseQuery());
  EXPECT_EQ(dialogs_.questions.back(), "Changes in source window not saved. Save?");
  // Written all the same, to the named file and to "config.ini".
  EXPECT_EQ(IniValue(dir_.file("config.ini"), "Window", "WindowTop"), "33");
  EXPECT_EQ(IniValue(dir_.file("named.ini"), "Window", "WindowWidth"), "640");
  EXPECT_EQ(counters_.writes, 2);

  dialogs_.answer = TCEXAnswer::No;
  EXPECT_TRUE(core.FormCloseQuery());
  EXPECT_EQ(files_.saves, 0);
  dialogs_.answer = TCEXAnswer::Yes;
  files_.saveWorks = false;
  EXPECT_FALSE(core.FormCloseQuery());
  files_.saveWorks = true;
  EXPECT_TRUE(core.FormCloseQuery());
  EXPECT_EQ(files_.saves, 2);
}

TEST_F(MainWindowTest, AConfigurationThatCannotBeWrittenIsShownAndTheCloseGoesOn) {
  WriteFile(dir_.file("config.ini"), ServerIni(FreePort(), 0));
  TCEXMainWindow& core = Start({});
  std::filesystem::remove(dir_.file("config.ini"));
  std::filesystem::create_directory(dir_.file("config.ini"));
  EXPECT_TRUE(core.FormCloseQuery());
  ASSERT_EQ(dialogs_.messages.size(), 1u);
  EXPECT_EQ(
      dialogs_.messages[0].rfind("Can not write configuration file " + dir_.file("config.ini"), 0),
      0u);
}

TEST_F(MainWindowTest, ShutdownWaitsForLateThreadsWithinItsBoundAndKeepsWhatTheyUse) {
  WriteFile(dir_.file("config.ini"), ServerIni(FreePort()));
  TCEXMainWindow& core = Start({});
  FakeReceiveSide* receive = receive_;

  // A thread that ends 300 ms after the signal.
  receive->threads = 1;
  clock_.onSleep = [&](std::chrono::milliseconds slept) {
    if (slept >= 300ms) receive->threads = 0;
  };
  EXPECT_TRUE(core.CEXTerminateThreads());
  EXPECT_EQ(clock_.slept, 300ms);
  EXPECT_FALSE(receive->terminate);

  // A thread that outlives the 8000 ms bound, still using the configuration
  // and the trace logger once the core is gone.
  receive->threads = 1;
  clock_.onSleep = nullptr;
  clock_.slept = 0ms;
  TCFGConfig& config = core.CEXConfiguration();
  TTDBDebug& trace = core.CEXTrace();
  std::atomic<bool> go{false};
  std::thread late([&] {
    while (!go) std::this_thread::sleep_for(1ms);
    trace.TDBSimpleAddString("late");
    EXPECT_GT(config.CFGGetServerResponseTimeout(), 0);
    receive->threads = 0;
  });
  EXPECT_FALSE(core.FormDestroy());
  EXPECT_EQ(clock_.slept, 8000ms);
  EXPECT_FALSE(core.CEXServer().PLTActive());
  EXPECT_EQ(receive->threads, 1);  // the reset leaves the count alone
  // Posts after the shutdown go nowhere.
  core.CEXPoster().PLTPost([] {});
  EXPECT_EQ(queue_.PLTPending(), 0u);
  core_.reset();
  go = true;
  late.join();
}

}  // namespace
}  // namespace kal
