// The help port: each window's control gets the map file before every
// request and its own context; the Help menu goes through the main
// window's help. (A control that cannot be made: tests/workbench/ui/TestWindowHelp.)

#include <gtest/gtest.h>

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
    reason.clear();
    return std::make_unique<TControl>(log);
  }
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
  EXPECT_EQ(factory.log,
            (std::vector<std::string>{"map /p/kalmore.hmp", "topic 7 ''", "map /p/kalmore.hmp",
                                      "contents ''", "map /p/kalmore.hmp", "index ''"}));
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

}  // namespace
}  // namespace kal
