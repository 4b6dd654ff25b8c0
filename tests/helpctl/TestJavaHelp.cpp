// JavaHelp topics with a real JVM: a stand-in viewer (QhCtxHelp.java,
// compiled here) records its command line, its input and its end, with
// Debian's javahelp2 jh.jar in the JavaHelp path.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <thread>

#include "helpctl/HelpButtonCtrl.h"
#include "helpctl/HelpTestSupport.h"

namespace kal {
namespace {

using test::THelpFixture;

const std::string cJavaHelpPath = "/usr/share/java";

std::string ReadIf(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return {};
  return test::ReadFile(path);
}

bool WaitFor(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

std::vector<std::string> CommandLine(pid_t pid) {
  const std::string raw = ReadIf("/proc/" + std::to_string(pid) + "/cmdline");
  std::vector<std::string> args;
  for (size_t pos = 0; pos < raw.size();) {
    const size_t nul = raw.find('\0', pos);
    args.push_back(raw.substr(pos, nul - pos));
    pos = nul == std::string::npos ? raw.size() : nul + 1;
  }
  return args;
}

// True once the child has ended and can be reaped (it is left unreaped).
bool Ended(pid_t pid) {
  siginfo_t info{};
  return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == pid;
}

// The last argument of the command line ("" when none).
std::string LastArgument(pid_t pid) {
  const std::vector<std::string> args = CommandLine(pid);
  return args.empty() ? std::string() : args.back();
}

// True when the process was reaped (it is no longer our child).
bool Reaped(pid_t pid) {
  return ::waitpid(pid, nullptr, WNOHANG) < 0 && errno == ECHILD;
}

std::atomic<int> sigpipes{0};

class HelpEngineJavaHelp : public ::testing::Test {
 protected:
  // The stand-in viewer's jar, compiled once for all tests.
  static void SetUpTestSuite() {
    jarDir = new test::TempDir();
    int status = -1;
    const std::string out =
        test::RunCommand("cd '" + jarDir->path() +
                             "' && javac -d classes '" HLP_STANDIN_VIEWER_SOURCE
                             "' 2>&1 && "
                             "mkdir -p ctx && jar cf ctx/QhCtxHelp.jar -C classes . 2>&1",
                         "", &status);
    ASSERT_EQ(status, 0) << out;
  }
  static void TearDownTestSuite() {
    delete jarDir;
    jarDir = nullptr;
  }

  void SetUp() override {
    root = f.dir.path();
    f.Write("rec/.keep", "");
    f.Write("help.hs", "<helpset/>\n");
    f.Write("help2.hs", "<helpset/>\n");
    f.Write("project.jar", "");
    env.Set("QH_RECORD_DIR", (root + "rec").c_str());
    // A small JVM: the machine runs many tests at once.
    env.Set("JAVA_TOOL_OPTIONS", "-Xmx48m -XX:+UseSerialGC -XX:TieredStopAtLevel=1");
    settings.javaVersion = 0;
    settings.jrePath = std::filesystem::canonical("/usr/bin/java").parent_path().string();
    settings.javaHelpPath = cJavaHelpPath;
    settings.contextHelpJarPath = jarDir->path() + "ctx";
    settings.helpsetFile = root + "help.hs";
    settings.projectJarFile = root + "project.jar";
  }

  std::string Log(pid_t pid) { return ReadIf(root + "rec/" + std::to_string(pid) + ".log"); }
  std::string Input(pid_t pid) { return ReadIf(root + "rec/" + std::to_string(pid) + ".in"); }
  bool Logged(pid_t pid, const std::string& what) {
    return WaitFor([&] { return Log(pid).find(what) != std::string::npos; });
  }
  pid_t Topic(const std::string& topic) {
    f.engine.HLPSetJavaHelpSettings(settings, topic);
    f.engine.HLPJavaHelpTopic();
    return f.engine.HLPViewerPid();
  }

  static test::TempDir* jarDir;
  THelpFixture f;
  test::TEnvironment env;
  std::string root;
  THLPJavaHelpSettings settings;
};

test::TempDir* HelpEngineJavaHelp::jarDir = nullptr;

TEST(HelpJavaHelpCommand, ArgumentVectors) {
  THLPJavaHelpSettings s{0, "/jre/bin", "/jh", "/ctx", "/h/help.hs", "/p/proj.jar"};
  const auto cmd = HLPViewerCommand(s, "topic one");
  EXPECT_EQ(cmd.argv, (std::vector<std::string>{
                          "/jre/bin/java", "-cp", "/ctx/QhCtxHelp.jar:/p/proj.jar:/jh/jh.jar",
                          "com.qd.javahelp.QhCtxHelp", "/h/help.hs", "topic one"}));
  EXPECT_EQ(cmd.requiredFiles, (std::vector<std::string>{"/jre/bin/java", "/ctx/QhCtxHelp.jar",
                                                         "/jh/jh.jar", "/h/help.hs"}));
  // Java 1.1.6, no project jar, no topic: no empty class-path entry.
  s.javaVersion = 1;
  s.projectJarFile.clear();
  EXPECT_EQ(HLPViewerCommand(s, "").argv,
            (std::vector<std::string>{"/jre/bin/jre", "-cp",
                                      "/ctx/QhCtxHelp.jar:/jh/jh.jar:/jh/swingall.jar",
                                      "com.qd.javahelp.QhCtxHelp", "/h/help.hs"}));
}

TEST_F(HelpEngineJavaHelp, MissingFilesAreReportedInOrder) {
  settings =
      THLPJavaHelpSettings{0, root + "jre", root + "jh", root + "ctx", root + "missing.hs", ""};
  for (const std::string& path :
       {root + "jre/java", root + "ctx/QhCtxHelp.jar", root + "jh/jh.jar", root + "missing.hs"}) {
    f.presenter.messages.clear();
    EXPECT_EQ(Topic("t"), 0);
    EXPECT_EQ(f.presenter.messages,
              std::vector<std::string>{"Error: Unable to show JavaHelp topic, " + path +
                                       " does not exist."});
    f.Write(path.substr(root.size()), "");
  }
  // Every file there, but the launcher cannot be started: no viewer, no
  // message.
  f.presenter.messages.clear();
  EXPECT_EQ(Topic("t"), 0);
  EXPECT_TRUE(f.presenter.messages.empty());
}

TEST_F(HelpEngineJavaHelp, ViewerLifecycle) {
  struct sigaction count {
  }, old{};
  count.sa_handler = [](int) { ++sigpipes; };
  sigemptyset(&count.sa_mask);
  ::sigaction(SIGPIPE, &count, &old);
  const std::string classPath = settings.contextHelpJarPath + "/QhCtxHelp.jar:" + root +
                                "project.jar:" + cJavaHelpPath + "/jh.jar";

  // First topic: a viewer with the class path and arguments in order.
  const pid_t v1 = Topic("intro topic");
  ASSERT_GT(v1, 0);
  ASSERT_TRUE(Logged(v1, "javahelp=")) << Log(v1);
  EXPECT_EQ(CommandLine(v1), (std::vector<std::string>{settings.jrePath + "/java", "-cp", classPath,
                                                       "com.qd.javahelp.QhCtxHelp",
                                                       root + "help.hs", "intro topic"}));
  EXPECT_EQ(Log(v1),
            "cp=" + classPath + "\narg=" + root + "help.hs\narg=intro topic\njavahelp=yes\n");

  // Unchanged settings: topics go to the same viewer as their bytes.
  EXPECT_EQ(Topic("second\xff"), v1);
  EXPECT_EQ(Topic(""), v1);
  EXPECT_TRUE(WaitFor([&] { return Input(v1) == "second\xff$$$home$$$"; })) << Input(v1);

  // Another helpset: the viewer is told and reaches the end of its input;
  // a second viewer starts.
  settings.helpsetFile = root + "help2.hs";
  const pid_t v2 = Topic("t2");
  ASSERT_GT(v2, 0);
  EXPECT_NE(v2, v1);
  EXPECT_TRUE(Logged(v1, "eof"));
  EXPECT_EQ(Input(v1), "second\xff$$$home$$$$$$new-helpset$$$");
  ASSERT_TRUE(Logged(v2, "javahelp="));
  EXPECT_EQ(LastArgument(v2), "t2");
  // The change is acted on once: another topic without new settings goes
  // to the second viewer.
  f.engine.HLPJavaHelpTopic();
  EXPECT_EQ(f.engine.HLPViewerPid(), v2);
  EXPECT_TRUE(WaitFor([&] { return Input(v2) == "t2"; })) << Input(v2);

  // A killed viewer is noticed and replaced by the next topic.
  ::kill(v2, SIGKILL);
  ASSERT_TRUE(WaitFor([&] { return Ended(v2); }));
  const pid_t v3 = Topic("after kill");
  ASSERT_GT(v3, 0);
  EXPECT_NE(v3, v2);
  EXPECT_TRUE(Reaped(v2));
  ASSERT_TRUE(Logged(v3, "javahelp="));
  EXPECT_EQ(LastArgument(v3), "after kill");

  // A viewer that closed its input: the write fails, the viewer is
  // forgotten, and the next topic starts a new one.
  EXPECT_EQ(Topic("close-input"), v3);
  ASSERT_TRUE(Logged(v3, "closed"));
  EXPECT_EQ(Topic("lost"), 0);
  test::WriteFile(root + "rec/" + std::to_string(v3) + ".release", "");
  const pid_t v4 = Topic("fresh");
  ASSERT_GT(v4, 0);
  ASSERT_TRUE(Logged(v4, "javahelp="));
  EXPECT_EQ(LastArgument(v4), "fresh");
  EXPECT_EQ(sigpipes.load(), 0);

  // Shut down: the viewer is told to quit and sees the end of its input
  // (no other copy of the write end exists); every viewer is reaped.
  f.engine.HLPShutDown(true);
  EXPECT_TRUE(Logged(v4, "eof"));
  EXPECT_EQ(Input(v4), "$$$qh-quit$$$");
  for (pid_t v : {v1, v2, v3, v4}) EXPECT_TRUE(Reaped(v)) << v;
  ::sigaction(SIGPIPE, &old, nullptr);
}

// The control: JavaHelp through its dispatch interface; settings given by
// SetJavaHelpSettings do not mark it modified, and its destruction tells
// the viewer to quit.
TEST_F(HelpEngineJavaHelp, ControlDestructionTellsTheViewerToQuit) {
  THLPControlPorts ports;
  ports.presenter = &f.presenter;
  ports.cursor = &f.cursor;
  ports.popups = &f.popups;
  ports.viewerModule = HLP_RECORDING_MODULE;
  TPLTComPtr<CQdHelpButtonCtrl> control(new CQdHelpButtonCtrl(ports));
  auto call = [&](int32_t dispid, std::vector<TPLTVariant> args) {
    return control->PLTInvoke(dispid, PLTcDispatchMethod, args, nullptr);
  };
  auto text = [](const std::string& s) { return TPLTVariant::Bstr(PLTFromUtf8(s)); };
  ASSERT_EQ(call(HLPidSetJavaHelpSettings,
                 {TPLTVariant::I4(settings.javaVersion), text(settings.jrePath),
                  text(settings.javaHelpPath), text(settings.contextHelpJarPath),
                  text(settings.helpsetFile), text(settings.projectJarFile)}),
            PLT_S_OK);
  EXPECT_FALSE(control->HLPIsModified());
  ASSERT_EQ(call(HLPidShowJavaHelpTopic, {text("first topic")}), PLT_S_OK);
  pid_t viewer = 0;
  ASSERT_TRUE(WaitFor([&] {
    for (const auto& e : std::filesystem::directory_iterator(root + "rec"))
      if (e.path().extension() == ".log") viewer = std::stoi(e.path().stem().string());
    return viewer > 0;
  }));
  ASSERT_TRUE(Logged(viewer, "javahelp=")) << Log(viewer);
  EXPECT_EQ(LastArgument(viewer), "first topic");
  EXPECT_TRUE(f.presenter.messages.empty());
  control.Reset();
  EXPECT_TRUE(Logged(viewer, "eof"));
  EXPECT_EQ(Input(viewer), "$$$qh-quit$$$");
  EXPECT_TRUE(Reaped(viewer));
}

}  // namespace
}  // namespace kal
