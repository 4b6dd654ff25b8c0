#pragma once

// The JavaHelp viewer: a Java process that reads topics from its standard
// input. Messages are written as their bytes with no terminator, so two
// messages in a row may reach the viewer as one read.

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "helpctl/HelpProcess.h"

namespace kal {

struct THLPJavaHelpSettings {
  int32_t javaVersion = 0;  // 0: Java 1.2, 1: Java 1.1.6
  std::string jrePath;
  std::string javaHelpPath;
  std::string contextHelpJarPath;
  std::string helpsetFile;
  std::string projectJarFile;
  bool operator==(const THLPJavaHelpSettings&) const = default;
};

// The viewer's argument vector and the files that must exist, in the order
// they are checked (launcher, context-help jar, jh.jar, helpset file).
struct THLPViewerCommand {
  std::vector<std::string> argv;
  std::vector<std::string> requiredFiles;
};

// launcher -cp <class path> com.qd.javahelp.QhCtxHelp <helpset> [<topic>]:
// the launcher is the JRE path joined with "java" (Java 1.2) or "jre"
// (Java 1.1.6); the class path joins the context-help jar, the project jar,
// jh.jar and, for Java 1.1.6, swingall.jar with ":", leaving out empty
// entries (an empty entry would make the JVM search the current folder).
THLPViewerCommand HLPViewerCommand(const THLPJavaHelpSettings& settings, const std::string& topic);

// One running viewer: its process id and the write end of its input pipe.
// A viewer that is let go (forgotten) keeps running; its process goes to
// the child list to be reaped once it ends.
class THLPViewerProcess final {
 public:
  explicit THLPViewerProcess(THLPChildList& children) : children_(children) {}
  ~THLPViewerProcess() { HLPForget(); }
  THLPViewerProcess(const THLPViewerProcess&) = delete;
  THLPViewerProcess& operator=(const THLPViewerProcess&) = delete;

  // True while a viewer is known and has not ended; an ended viewer is
  // reaped and forgotten.
  bool HLPRunning();
  // Starts a viewer with its input on a new pipe and its output and errors
  // on the null device. False when the start failed (nothing is kept).
  bool HLPStart(const std::vector<std::string>& argv);
  // Writes the bytes to the viewer's input with SIGPIPE blocked. False when
  // the write failed; the viewer is then forgotten.
  bool HLPSend(std::string_view bytes);
  // Closes the write end and lets the viewer go.
  void HLPForget();
  pid_t HLPPid() const { return pid_; }

 private:
  THLPChildList& children_;
  pid_t pid_ = 0;
  int writeFd_ = -1;
};

}  // namespace kal
