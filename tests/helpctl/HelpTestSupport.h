#pragma once

// Fakes and fixtures shared by the help engine's tests.

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/TestSupport.h"
#include "helpctl/HelpEngine.h"
#include "helpctl/HelpPaths.h"

namespace kal::test {

class TRecordingPresenter final : public IHLPMessagePresenter {
 public:
  void HLPShowMessage(const std::string& text, const std::string& title) override {
    messages.push_back(title + ": " + text);
  }
  std::vector<std::string> messages;
};

class TFixedCursor final : public IHLPCursorPort {
 public:
  void HLPCursorPosition(int32_t& x, int32_t& y) override {
    x = 11;
    y = -22;
  }
};

// Records every popup shown as "progId|address|reserved|width|height" and
// whether the engine released the object.
class TRecordingPopups final : public IHLPPopupFactory {
 public:
  struct Popup final : IHLPActivePopup {
    Popup(TRecordingPopups& f, std::string id) : owner(f), progId(std::move(id)) {}
    ~Popup() override { ++owner.released; }
    void HLPShow(const std::string& address, int16_t reserved, int16_t width,
                 int16_t height) override {
      owner.shown.push_back(progId + "|" + address + "|" + std::to_string(reserved) + "|" +
                            std::to_string(width) + "|" + std::to_string(height));
    }
    TRecordingPopups& owner;
    std::string progId;
  };
  std::unique_ptr<IHLPActivePopup> HLPCreatePopup(const std::string& progId) override {
    if (!create) return nullptr;
    return std::make_unique<Popup>(*this, progId);
  }
  bool create = true;
  std::vector<std::string> shown;
  int released = 0;
};

// The lines the recording HTML Help module took since the last call.
inline std::string TakeHtmlHelpRecording() {
  void* handle = ::dlopen(HLP_RECORDING_MODULE, RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return "(module not loaded)";
  auto take = reinterpret_cast<const char* (*)()>(::dlsym(handle, "HLPTakeRecording"));
  std::string lines = take ? take() : "(no HLPTakeRecording)";
  ::dlclose(handle);
  return lines;
}

// A temporary folder with the fakes and an engine over the recording
// HTML Help module (or the module named).
struct THelpFixture {
  explicit THelpFixture(const std::string& module = HLP_RECORDING_MODULE)
      : engine(THLPEnginePorts{presenter, cursor, popups}, module) {
    TakeHtmlHelpRecording();
  }
  // Writes a file below the folder (creating its folders); returns its path.
  std::string Write(const std::string& name, const std::string& content) {
    const std::string path = dir.file(name);
    RunCommand("mkdir -p '" + path.substr(0, path.rfind('/')) + "'", "");
    WriteFile(path, content);
    return path;
  }
  TempDir dir;
  TRecordingPresenter presenter;
  TFixedCursor cursor;
  TRecordingPopups popups;
  THLPHelpEngine engine;
};

// Sets an environment variable (or removes it for null) for the life of
// the object.
class TEnvironment {
 public:
  void Set(const char* name, const char* value) {
    const char* old = std::getenv(name);
    saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~TEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second)
        ::setenv(it->first.c_str(), it->second->c_str(), 1);
      else
        ::unsetenv(it->first.c_str());
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

// Changes the current directory for the life of the object.
class TChangeDirectory {
 public:
  explicit TChangeDirectory(const std::string& dir) : old_(HLPCurrentDirectory()) {
    if (::chdir(dir.c_str()) != 0) old_.clear();
  }
  ~TChangeDirectory() {
    if (!old_.empty()) (void)::chdir(old_.c_str());
  }

 private:
  std::string old_;
};

}  // namespace kal::test
