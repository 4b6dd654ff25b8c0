#include "workbench/MainWindow.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "comm/MailBox.h"
#include "comm/ThreadSynch.h"
#include "common/TestSupport.h"
#include "config/Config.h"
#include "ep2/RandomSource.h"
#include "platform/IniFile.h"
#include "platform/TcpServer.h"
#include "support/ErrorWindow.h"
#include "support/TraceLogger.h"
#include "workbench/ManualTimers.h"

namespace kal {
namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;
using test::WriteFile;

// Role 0 client, 1 server on this computer.
std::string ServerIni(int port, int role = 1) {
  return "[Communication]\r\nCommType=0\r\nThisComputerClientServer=" + std::to_string(role) +
         "\r\nThisComputerIPPortNr=" + std::to_string(port) + "\r\n";
}

std::string IniValue(const std::string& path, const char* section, const char* key) {
  TPLTIniFile ini;
  EXPECT_EQ(ini.PLTLoad(path), 0);
  return ini.PLTReadString(section, key, "<missing>");
}

// Everything outside the core the tests need to see or steer: the form,
// dialogs, error window, message files, counters, login and sequence window.
class Host final : public ICEXView,
                   public ICEXDialogs,
                   public IERRErrorWindow,
                   public ICEXMessageFiles,
                   public ICEXCounterLists,
                   public ICEXLogin,
                   public ICEXSequenceWindow {
 public:
  void CEXChanged(uint32_t parts) override { changed |= parts; }
  bool CEXStatusTextFits(int, const std::string& text) override { return text.size() <= 30; }
  TCEXGeometry CEXGetGeometry() override { return geometry; }
  void CEXCloseMainWindow() override { ++closeRequests; }

  void CEXShowMessage(const std::string& text) override {
    messages.push_back(text);
    if (onMessage) onMessage();
  }
  TCEXAnswer CEXAskYesNoCancel(const std::string& text) override {
    questions.push_back(text);
    return answer;
  }
  bool CEXOpenFile(const TCEXFileDialog& d, std::string& chosen) override {
    dialogs.push_back(d);
    chosen = choice;
    return !choice.empty();
  }
  bool CEXSaveFile(const TCEXFileDialog& d, std::string& chosen) override {
    return CEXOpenFile(d, chosen);
  }

  void ERRSetError(int code, const std::string& detail) override {
    ERRSetErrorMessage(code, detail);
  }
  void ERRSetErrorMessage(int code, const std::string& text) override {
    errors.push_back(std::to_string(code) + " " + text);
  }

  bool CEXReadMessageFile(const std::string& path) override {
    read.push_back(path);
    return true;
  }
  bool CEXSaveMessage() override {
    ++saves;
    return saveWorks;
  }
  void CEXReadCounters() override { ++counterReads; }
  void CEXWriteCounters() override { ++counterWrites; }

  // The login script: (left with OK, user); "admin" is an administrator,
  // "user" is not, anybody else is unknown.
  bool CEXShowLoginDialog(std::string& user, std::string& password) override {
    if (logins.empty()) return false;
    const auto [ok, name] = logins.front();
    logins.erase(logins.begin());
    user = name;
    password = "pw";
    return ok;
  }
  void CEXReloadUsers() override {}
  bool CEXFindUser(const std::string& user, const std::string&, bool& isAdmin) override {
    isAdmin = user == "admin";
    return user == "admin" || user == "user";
  }

  bool SEQVisible() const override { return sequenceVisible; }
  void SEQLoadSequenceFile(const std::string& path) override { sequences.push_back(path); }
  void SEQMessageAvailable() override { ++available; }
  void SEQRunNextRow() override { ++nextRows; }
  TSEQErrorTaken SEQLogError(int id, const std::string& text, bool) override {
    logged.push_back(std::to_string(id) + " " + text);
    return TSEQErrorTaken::Taken;
  }

  uint32_t changed = 0;
  TCEXGeometry geometry{false, 10, 20, 800, 600};
  int closeRequests = 0;
  Lines messages, questions, errors, read, sequences, logged;
  std::vector<TCEXFileDialog> dialogs;
  TCEXAnswer answer = TCEXAnswer::Cancel;
  std::string choice;
  int saves = 0, counterReads = 0, counterWrites = 0, available = 0, nextRows = 0;
  bool saveWorks = true;
  bool sequenceVisible = false;
  std::vector<std::pair<bool, std::string>> logins;
  std::function<void()> onMessage;  // runs while a message box is open
};

using test::FakeTimer;
using test::FakeTimers;

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

class MainWindowTest : public ::testing::Test {
 protected:
  TCEXMainWindow& Make(bool withSequence = false) {
    core_ = std::make_unique<TCEXMainWindow>(
        dir_.path(), TCEXMainWindow::TPorts{.view = host_,
                                            .dialogs = host_,
                                            .errorWindow = host_,
                                            .timers = timers_,
                                            .clock = clock_,
                                            .poster = queue_,
                                            .random = &random_,
                                            .messageFiles = host_,
                                            .counters = host_,
                                            .login = host_,
                                            .sequenceWindow = withSequence ? &host_ : nullptr});
    core_->FormCreate();
    return *core_;
  }
  TCEXMainWindow& Start(const Lines& args, bool withSequence = false) {
    Make(withSequence);
    core_->FormShow(args);
    return *core_;
  }
  std::string File(const char* name) const { return dir_.file(name); }

  test::TempDir dir_;
  Host host_;
  FakeTimers timers_;
  FakeClock clock_;
  TPLTEventQueue queue_;
  TSECDeterministicRandom random_;
  std::unique_ptr<TCEXMainWindow> core_;
};

TEST_F(MainWindowTest, StartWithoutFilesListensFromConfigIniAndKeepsTheCaption) {
  const int port = test::FreeLoopbackPort();
  WriteFile(File("config.ini"), ServerIni(port) +
                                    "[Window]\r\nWindowState=0\r\nWindowTop=-40\r\n"
                                    "WindowLeft=-5\r\nWindowWidth=700\r\nWindowHeight=500\r\n");
  TCEXMainWindow& core = Start({});
  // A stored negative origin opens the window at 0.
  const TCEXGeometry& g = core.CEXGeometry();
  EXPECT_FALSE(g.maximised);
  EXPECT_EQ(std::vector<int>({g.top, g.left, g.width, g.height}),
            std::vector<int>({0, 0, 700, 500}));
  EXPECT_EQ(core.CEXCaption(), "Dorva ep2 Interface Tester");
  EXPECT_EQ(core.CEXStatusText(0), "TCP/IP Client not connected");
  EXPECT_EQ(core.CEXStatusText(2), "Server listening on port " + std::to_string(port));
  EXPECT_EQ(core.CEXStatusText(3), "No cofiguration file loaded");
  // Nothing ticks: the idle pass follows events.
  EXPECT_EQ(timers_.made.size(), 4u);
  for (const FakeTimer* timer : timers_.made) EXPECT_FALSE(timer->active);
  EXPECT_EQ(host_.counterReads, 1);
  EXPECT_TRUE(host_.messages.empty());
  EXPECT_TRUE(std::filesystem::exists(File("alarmlog.txt")));
}

TEST_F(MainWindowTest, CommandLineFilesAreOpenedAndMissingOnesReported) {
  WriteFile(File("config.ini"), ServerIni(test::FreeLoopbackPort(), 0));
  std::filesystem::create_directory(File("msgs"));
  WriteFile(File("msgs/auth.epm"), "x");
  WriteFile(File("run.seq"), "x");
  TCEXMainWindow& core = Start({File("msgs/auth.epm"), "-s", File("run.seq"), "-RUN"}, true);
  EXPECT_EQ(host_.read, Lines{File("msgs/auth.epm")});
  EXPECT_EQ(core.CEXCaption(), "Dorva ep2 Interface Tester: auth.epm");
  EXPECT_EQ(core.CEXConfiguration().CFGGetDirMessage(), File("msgs/"));
  EXPECT_EQ(core.CEXConfiguration().CFGGetPickFile(0), File("msgs/auth.epm"));
  EXPECT_EQ(host_.sequences, Lines{File("run.seq")});
  EXPECT_TRUE(core.CEXAutoRun());
  EXPECT_EQ(core.CEXStatusText(2), "TCP/IP server not listening");  // client role only

  // Missing files change nothing; without its configuration file the server
  // starts from the configuration in use.
  const int port = test::FreeLoopbackPort();
  WriteFile(File("config.ini"), ServerIni(port));
  host_ = Host();
  TCEXMainWindow& second = Start({File("gone.epm"), "-c", File("gone.ini")});
  EXPECT_EQ(host_.messages, (Lines{"File " + File("gone.epm") + " not found",
                                   "File " + File("gone.ini") + " not found"}));
  EXPECT_TRUE(host_.read.empty());
  EXPECT_EQ(second.CEXCaption(), "Dorva ep2 Interface Tester");
  EXPECT_EQ(second.CEXStatusText(2), "Server listening on port " + std::to_string(port));
}

// The window closes while a box of the start is open (the program is
// terminated): the start ends there, with no server and no sequence.
TEST_F(MainWindowTest, AWindowClosedDuringAStartBoxEndsTheStart) {
  WriteFile(File("config.ini"), ServerIni(test::FreeLoopbackPort()));
  WriteFile(File("run.seq"), "x");
  for (const Lines& boxed : {Lines{File("gone.epm")}, Lines{"-c", File("gone.ini")}}) {
    host_ = Host();
    Make(true);
    host_.onMessage = [this] { core_->FormClose(); };
    Lines args = boxed;
    args.insert(args.end(), {"-s", File("run.seq"), "-RUN"});
    core_->FormShow(args);
    EXPECT_EQ(host_.messages, Lines{"File " + boxed.back() + " not found"});
    EXPECT_EQ(core_->CEXStatusText(2), "TCP/IP server not listening");
    EXPECT_TRUE(host_.sequences.empty());
  }
}

TEST_F(MainWindowTest, CommandLineConfigurationIsReadListenedOnAndRecorded) {
  const int port = test::FreeLoopbackPort();
  WriteFile(File("config.ini"), ServerIni(test::FreeLoopbackPort()));
  std::filesystem::create_directory(File("cfg"));
  WriteFile(File("cfg/lab.ini"), ServerIni(port) + "[Timeout]\r\nConnectionDelay=77\r\n");
  TCEXMainWindow& core = Start({"-c", File("cfg/lab.ini")});
  EXPECT_EQ(core.CEXStatusText(2), "Server listening on port " + std::to_string(port));
  EXPECT_EQ(core.CEXConfiguration().CFGGetConnectionDelay(), 77);
  EXPECT_EQ(core.CEXConfiguration().CFGGetDirConfig(), File("cfg/"));
  // Too long for the panel: shortened from the left.
  const std::string panel = core.CEXStatusText(3);
  EXPECT_EQ(panel.rfind("Config file: ..", 0), 0u) << panel;
  EXPECT_EQ(panel.size(), 30u);
  EXPECT_EQ(panel.substr(panel.size() - 11), "cfg/lab.ini");
  // The settings in use went to "config.ini" at once.
  EXPECT_EQ(IniValue(File("config.ini"), "Directories", "ConfigFileName"), File("cfg/lab.ini"));
  EXPECT_EQ(IniValue(File("config.ini"), "Timeout", "ConnectionDelay"), "77");
}

TEST_F(MainWindowTest, FirstActivationRereadsTheConfigurationKeepingAlarmsAndKeyGeneration) {
  WriteFile(
      File("config.ini"),
      ServerIni(test::FreeLoopbackPort(), 0) +
          "[Keys]\r\nSessionKeyGeneration=1\r\n[ErrorAlarms]\r\nErrorAlarm1=1;60;rule one\r\n");
  TCEXMainWindow& core = Start({});
  TCFGConfig& config = core.CEXConfiguration();
  core.FormActivate();
  EXPECT_EQ(config.CFGGetErrorAlarmLines(), Lines{"1;60;rule one"});
  EXPECT_EQ(config.CFGGetSessionKeyFromInMessage(), 1);
  EXPECT_EQ(IniValue(File("config.ini"), "ErrorAlarms", "ErrorAlarm1"), "1;60;rule one");
  EXPECT_EQ(IniValue(File("config.ini"), "Keys", "SessionKeyGeneration"), "1");
  // No login asked for: administrator; the second activation does nothing.
  EXPECT_TRUE(core.CEXUserIsAdmin());
  config.CFGSetSessionKeyFromInMessage(5);
  core.FormActivate();
  EXPECT_EQ(config.CFGGetSessionKeyFromInMessage(), 5);

  // A named configuration that went missing is not read over the settings.
  core.CEXLoadConfiguration(File("gone.ini"));
  EXPECT_EQ(config.CFGGetErrorAlarmLines(), Lines{"1;60;rule one"});
  EXPECT_EQ(config.CFGGetSessionKeyFromInMessage(), 5);
}

TEST_F(MainWindowTest, LoginGrantsRightsAndCancellingClosesWithoutRights) {
  WriteFile(File("config.ini"),
            ServerIni(test::FreeLoopbackPort(), 0) + "[Admin]\r\nUseLogin=1\r\n");
  WriteFile(File("a.epm"), "x");
  WriteFile(File("b.ini"), "");
  TCEXMainWindow& core = Make();
  core.CEXConfiguration().CFGAddPickFile(File("a.epm"));
  core.CEXConfiguration().CFGAddPickFileIni(File("b.ini"));
  core.CEXConfiguration().CFGAddPickFileIni(File("gone.ini"));

  host_.logins = {{true, "nobody"}, {true, "user"}};
  core.FormActivate();
  EXPECT_EQ(host_.messages, Lines{"Login information is not valid. Please retry"});
  EXPECT_FALSE(core.CEXUserIsAdmin());
  for (TCEXMenu m : {TCEXMenu::Edit, TCEXMenu::Parameters, TCEXMenu::Admin})
    EXPECT_FALSE(core.CEXMenuEnabled(m));
  for (TCEXMenu m : {TCEXMenu::File, TCEXMenu::View, TCEXMenu::Sequences, TCEXMenu::Help})
    EXPECT_TRUE(core.CEXMenuEnabled(m));
  EXPECT_FALSE(core.CEXActionEnabled(TCEXAction::LoadConfiguration));
  EXPECT_TRUE(core.CEXActionEnabled(TCEXAction::Logout));
  EXPECT_TRUE(core.CEXRecentEntries().empty());
  core.CEXExecute(TCEXAction::SaveConfiguration);  // disabled: no dialog
  EXPECT_TRUE(host_.dialogs.empty());

  host_.logins = {{true, "admin"}};
  core.CEXExecute(TCEXAction::Logout);
  EXPECT_TRUE(core.CEXMenuEnabled(TCEXMenu::Admin));
  // Recent files that exist, the separator first, tagged by list position.
  const std::vector<TCEXRecentEntry> expected = {
      {TCEXMenu::File, "", "", 1, true},
      {TCEXMenu::File, "a.epm", File("a.epm"), 1, false},
      {TCEXMenu::Parameters, "", "", 1, true},
      {TCEXMenu::Parameters, "b.ini", File("b.ini"), 2, false}};
  EXPECT_EQ(core.CEXRecentEntries(), expected);
  std::filesystem::remove(File("a.epm"));
  core.CEXOpenRecentFile(expected[1]);
  EXPECT_EQ(host_.messages.back(), "File " + File("a.epm") + " not found");
  EXPECT_TRUE(host_.read.empty());

  host_.logins = {{false, ""}};
  core.CEXExecute(TCEXAction::Logout);
  EXPECT_EQ(host_.closeRequests, 1);
  EXPECT_FALSE(core.CEXUserIsAdmin());
  EXPECT_FALSE(core.CEXMenuEnabled(TCEXMenu::Admin));
}

TEST_F(MainWindowTest, ConfigurationCommandsUseTheirDialogsAndRestartTheServer) {
  WriteFile(File("config.ini"), ServerIni(test::FreeLoopbackPort()));
  const int port = test::FreeLoopbackPort();
  WriteFile(File("other.ini"), ServerIni(port));
  TCEXMainWindow& core = Start({});
  core.FormActivate();

  host_.choice = File("other.ini");
  core.CEXExecute(TCEXAction::LoadConfiguration);
  ASSERT_EQ(host_.dialogs.size(), 1u);
  EXPECT_EQ(host_.dialogs[0].title, "Load Configuration File");
  EXPECT_EQ(host_.dialogs[0].filter, "Configuration File|*.ini");
  EXPECT_EQ(host_.dialogs[0].initialDir, dir_.path());
  EXPECT_EQ(core.CEXStatusText(2), "Server listening on port " + std::to_string(port));
  EXPECT_EQ(core.CEXRecentEntries().back().path, File("other.ini"));

  host_.choice = File("saved.ini");
  core.CEXExecute(TCEXAction::SaveConfiguration);
  EXPECT_EQ(host_.dialogs[1].title, "Save Configuration File");
  EXPECT_EQ(host_.dialogs[1].fileName, "other.ini");
  EXPECT_EQ(IniValue(File("saved.ini"), "Communication", "ThisComputerIPPortNr"),
            std::to_string(port));

  core.CEXConfiguration().CFGSetConnectionDelay(4321);
  core.CEXExecute(TCEXAction::SaveConfFile);
  EXPECT_EQ(IniValue(File("saved.ini"), "Timeout", "ConnectionDelay"), "4321");
  EXPECT_TRUE(host_.messages.empty());
}

TEST_F(MainWindowTest, TheIdlePassShowsTheSelectedSourceLine) {
  WriteFile(File("config.ini"), ServerIni(test::FreeLoopbackPort(), 0));
  TCEXMainWindow& core = Start({}, true);
  core.CEXSetSelectedSourceLine(4);
  core.AppOnIdle();
  EXPECT_EQ(core.CEXGetEdit(TCEXEdit::Edit2), "line 5");
}

TEST_F(MainWindowTest, AnIdleProgramMakesNoIdlePassesAndAHandOffMakesOne) {
  WriteFile(File("config.ini"), ServerIni(test::FreeLoopbackPort(), 0));
  TCEXMainWindow& core = Start({});
  const uint64_t started = core.CEXIdlePasses();
  EXPECT_GE(started, 1u);
  // Ten seconds with nothing posted and no timer due: no pass at all.
  EXPECT_FALSE(queue_.PLTPumpUntil([] { return false; }, 10s));
  EXPECT_EQ(core.CEXIdlePasses(), started);
  // A worker thread's hand-off through the mailbox is posted and shown at
  // once by the pass that follows it.
  std::thread worker(
      [&] { core.CEXMailBox().THXReportClientSocketError(10054, ": connection reset"); });
  worker.join();
  EXPECT_TRUE(queue_.PLTPumpUntil([&] { return !host_.errors.empty(); }, 60s));
  EXPECT_EQ(host_.errors, Lines{"10054 Last Socket Error: connection reset"});
  EXPECT_EQ(core.CEXIdlePasses(), started + 1);
}

TEST_F(MainWindowTest, AFrameSentToTheServerArrivesInMemo5) {
  const int port = test::FreeLoopbackPort();
  WriteFile(File("config.ini"), ServerIni(port));
  TCEXMainWindow& core = Start({});
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ASSERT_EQ(::send(fd, "\0\0\0\2hi", 6, MSG_NOSIGNAL), 6);
  EXPECT_TRUE(queue_.PLTPumpUntil([&] { return core.CEXParseMessageEnabled(); }, 10s));
  EXPECT_EQ(core.CEXGetMemo(TCEXMemo::Memo5), "00 00 00 02 68 69");
  EXPECT_FALSE(core.CEXGetEdit(TCEXEdit::Edit7).empty());
  ::close(fd);
}

TEST_F(MainWindowTest, CloseWritesTheSettingsFirstAndHonoursTheAnswer) {
  WriteFile(File("config.ini"), ServerIni(test::FreeLoopbackPort(), 0));
  WriteFile(File("named.ini"), ServerIni(test::FreeLoopbackPort(), 0));
  TCEXMainWindow& core = Start({"-c", File("named.ini")});
  host_.geometry = {false, 33, 44, 640, 480};
  EXPECT_TRUE(core.FormCloseQuery());  // nothing changed: no question
  EXPECT_TRUE(host_.questions.empty());

  core.CEXSetHasChanged(true);
  EXPECT_FALSE(core.FormCloseQuery());  // Cancel
  EXPECT_EQ(host_.questions.back(), "Changes in source window not saved. Save?");
  EXPECT_EQ(IniValue(File("config.ini"), "Window", "WindowTop"), "33");
  EXPECT_EQ(IniValue(File("named.ini"), "Window", "WindowWidth"), "640");
  EXPECT_EQ(host_.counterWrites, 2);

  host_.answer = TCEXAnswer::No;
  EXPECT_TRUE(core.FormCloseQuery());
  EXPECT_EQ(host_.saves, 0);
  host_.answer = TCEXAnswer::Yes;
  host_.saveWorks = false;
  EXPECT_FALSE(core.FormCloseQuery());
  host_.saveWorks = true;
  EXPECT_TRUE(core.FormCloseQuery());
  EXPECT_EQ(host_.saves, 2);

  // A configuration that cannot be written is shown; the close goes on.
  std::filesystem::remove(File("config.ini"));
  std::filesystem::create_directory(File("config.ini"));
  core.CEXSetHasChanged(false);
  EXPECT_TRUE(core.FormCloseQuery());
  ASSERT_EQ(host_.messages.size(), 1u);
  EXPECT_EQ(host_.messages[0].rfind("Can not write configuration file " + File("config.ini"), 0),
            0u);
}

TEST_F(MainWindowTest, ShutdownWaitsForLateThreadsWithinItsBoundAndKeepsWhatTheyUse) {
  WriteFile(File("config.ini"), ServerIni(test::FreeLoopbackPort()));
  TCEXMainWindow& core = Start({});
  TTERThreadSynch& synch = core.CEXThreadSynch();

  // A thread that counts out 300 ms after the signal.
  synch.TERIncThreadCount("early");
  clock_.onSleep = [&](std::chrono::milliseconds slept) {
    if (slept == 300ms) synch.TERDecThreadCount("early");
  };
  EXPECT_TRUE(core.CEXTerminateThreads());
  EXPECT_EQ(clock_.slept, 300ms);
  EXPECT_FALSE(synch.TERTerminate());

  // One that outlives the 8000 ms bound and still uses the configuration,
  // the trace logger and the signal once the core is gone.
  clock_.onSleep = nullptr;
  clock_.slept = 0ms;
  synch.TERIncThreadCount("late");
  TCFGConfig& config = core.CEXConfiguration();
  TTDBDebug& trace = core.CEXTrace();
  std::atomic<bool> go{false};
  std::thread late([&] {
    while (!go) std::this_thread::sleep_for(1ms);
    trace.TDBSimpleAddString("late");
    EXPECT_GT(config.CFGGetServerResponseTimeout(), 0);
    synch.TERDecThreadCount("late");
  });
  EXPECT_FALSE(core.FormDestroy());
  EXPECT_EQ(clock_.slept, 8000ms);
  EXPECT_FALSE(core.CEXServer().PLTActive());
  EXPECT_EQ(synch.TERThreadCount(), 1);  // the reset leaves the count alone
  core.CEXPoster().PLTPost([] {});       // posts after the shutdown go nowhere
  EXPECT_EQ(queue_.PLTPending(), 0u);
  core_.reset();
  go = true;
  late.join();
}

}  // namespace
}  // namespace kal
