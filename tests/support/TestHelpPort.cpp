// The help port: each window's control gets the map file before every
// request and its own context; the Help menu goes through the main
// window's help; a control that could not be made is reported once per run.

#include <gtest/gtest.h>

#include "common/TestSupport.h"
#include "support/ComponentHelpControl.h"
#include "support/HelpPort.h"

namespace kal {
namespace {

struct TRecordingFactory final : IHPTHelpControlFactory {
  struct TControl final : IHPTHelpControl {
    explicit TControl(std::vector<std::string>& l) : log(l) {}
    void HPTSetMapFile(const std::string& m) override { log.push_back("map " + m); }
    void HPTShowTopicId(int32_t c, const std::string& w) override {
      log.push_back("topic " + std::to_string(c) + " '" + w + "'");
    }
    void HPTShowContents(const std::string& w) override { log.push_back("contents '" + w + "'"); }
    void HPTShowIndex(const std::string& w) override { log.push_back("index '" + w + "'"); }
    std::vector<std::string>& log;
  };
  std::unique_ptr<IHPTHelpControl> HPTCreateControl(std::string& reason) override {
    ++made;
    if (fail) {
      reason = "no library";
      return nullptr;
    }
    return std::make_unique<TControl>(log);
  }
  bool fail = false;
  int made = 0;
  std::vector<std::string> log;
};

struct THelpPortTest : ::testing::Test {
  THelpPortTest() { port.HPTSetMapFile("/p/kalmore.hmp"); }
  TRecordingFactory factory;
  std::vector<std::string> messages;
  THPTHelpPort port{factory, [this](const std::string& t) { messages.push_back(t); }};
};

TEST_F(THelpPortTest, RequestsSetTheMapFileFirst) {
  auto keys = port.HPTAttach(7);
  auto main = port.HPTAttach(15);
  port.HPTSetMainHelp(main.get());
  keys->HPTShowTopic();
  port.HPTShowContents();
  port.HPTShowIndex();
  EXPECT_EQ(factory.made, 2);
  EXPECT_EQ(factory.log, (std::vector<std::string>{"map /p/kalmore.hmp", "topic 7 ''",
                                                   "map /p/kalmore.hmp", "contents ''",
                                                   "map /p/kalmore.hmp", "index ''"}));
  // A window made by another goes through the same port.
  factory.log.clear();
  keys->HPTAttachAnother(50)->HPTShowTopic();
  EXPECT_EQ(factory.log, (std::vector<std::string>{"map /p/kalmore.hmp", "topic 50 ''"}));
  // The Help menu does nothing once the main window's help is gone.
  main.reset();
  factory.log.clear();
  port.HPTShowContents();
  EXPECT_TRUE(factory.log.empty());
  EXPECT_TRUE(messages.empty());
}

TEST_F(THelpPortTest, MissingControlIsReportedOncePerRun) {
  factory.fail = true;
  auto first = port.HPTAttach(7);
  auto second = port.HPTAttach(16);
  EXPECT_FALSE(first->HPTHasControl());
  first->HPTShowTopic();
  second->HPTShowTopic();
  first->HPTShowIndex();
  EXPECT_EQ(messages, std::vector<std::string>{"Help control not available: no library"});
}

TEST(HelpControlFactory, UnknownClassGivesTheReason) {
  test::TempDir dir;
  THPTComponentHelpControlFactory factory(
      TPLTCreationContext{TPLTComponentRegistry(dir.file("components.ini")), dir.path()});
  std::string reason;
  EXPECT_EQ(factory.HPTCreateControl(reason), nullptr);
  EXPECT_NE(reason.find("{550BADC4-E6A3-11D0-A389-0000E81F4743}"), std::string::npos) << reason;
  EXPECT_NE(reason.find("0x80040154"), std::string::npos) << reason;
}

}  // namespace
}  // namespace kal
