#pragma once

// Kalmore's side of the help control: every window that offers help holds
// one hidden help control, made when the window is created, and asks it for
// its topic, the contents or the index. The port, held by the main window's
// core, makes the controls, gives them the help map file before each request
// and reports a control that could not be made: the first help request of
// the run shows "Help control not available: " + the reason, later ones
// nothing, and the window goes on. No Qt here; the windows' key handling
// lives in support/ui/WindowHelp.h.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace kal {

// The calls Kalmore makes on a help control. Results are not used: the
// control reports its own failures.
class IHPTHelpControl {
 public:
  virtual ~IHPTHelpControl() = default;
  virtual void HPTSetMapFile(const std::string& mapFile) = 0;
  virtual void HPTShowTopicId(int32_t context, const std::string& windowType) = 0;
  virtual void HPTShowContents(const std::string& windowType) = 0;
  virtual void HPTShowIndex(const std::string& windowType) = 0;
};

// Makes help controls; null with the reason when none can be made.
class IHPTHelpControlFactory {
 public:
  virtual ~IHPTHelpControlFactory() = default;
  virtual std::unique_ptr<IHPTHelpControl> HPTCreateControl(std::string& reason) = 0;
};

inline constexpr const char* HPTcNotAvailable = "Help control not available: ";

// What the port and the windows' helps share; it lives as long as any of
// them, so a window may outlive the port.
struct THPTHelpState {
  std::function<void(const std::string&)> showMessage;
  std::string mapFile;
  class THPTWindowHelp* main = nullptr;
  bool reported = false;
};

// One window's help: its hidden control (or why there is none) and its
// help context.
class THPTWindowHelp final {
 public:
  THPTWindowHelp(std::shared_ptr<THPTHelpState> state, IHPTHelpControlFactory& factory,
                 int32_t context);
  ~THPTWindowHelp();
  THPTWindowHelp(const THPTWindowHelp&) = delete;
  THPTWindowHelp& operator=(const THPTWindowHelp&) = delete;

  int32_t HPTContext() const { return context_; }
  // The help of another window through the same port (a window made by a
  // window that has help); made while the port's factory lives.
  std::unique_ptr<THPTWindowHelp> HPTAttachAnother(int32_t context) const;
  bool HPTHasControl() const { return control_ != nullptr; }
  // The topic of the window's context, the contents, the index.
  void HPTShowTopic();
  void HPTShowContents();
  void HPTShowIndex();

 private:
  IHPTHelpControl* Ready();

  std::shared_ptr<THPTHelpState> state_;
  IHPTHelpControlFactory& factory_;
  int32_t context_;
  std::unique_ptr<IHPTHelpControl> control_;
  std::string reason_;
};

class THPTHelpPort final {
 public:
  // `showMessage` shows a message box.
  THPTHelpPort(IHPTHelpControlFactory& factory,
               std::function<void(const std::string&)> showMessage);
  // Windows that outlive the port show no message any more.
  ~THPTHelpPort();
  THPTHelpPort(const THPTHelpPort&) = delete;
  THPTHelpPort& operator=(const THPTHelpPort&) = delete;

  // Program folder + "kalmore.hmp"; given to a control before each request.
  void HPTSetMapFile(std::string mapFile) { state_->mapFile = std::move(mapFile); }
  const std::string& HPTMapFile() const { return state_->mapFile; }

  // The help of a window being created, with its control made now.
  std::unique_ptr<THPTWindowHelp> HPTAttach(int32_t context);

  // The main window's help, which the Help menu uses; null: none.
  void HPTSetMainHelp(THPTWindowHelp* help) { state_->main = help; }
  void HPTShowContents();
  void HPTShowIndex();

 private:
  IHPTHelpControlFactory& factory_;
  std::shared_ptr<THPTHelpState> state_;
};

}  // namespace kal
