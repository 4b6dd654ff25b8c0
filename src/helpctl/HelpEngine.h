#pragma once

// The help engine: turns a help request of the help-button control into
// HTML Help (topic, contents, index, search, keyword and ALink lookups, text
// popups), an active popup, a page in the web browser, or a topic of the
// JavaHelp viewer. What to show comes from a help map file. The engine
// reports every failure itself with a message box titled "Error"; nothing
// goes back to the caller. It runs on the control's thread.

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "helpctl/HelpMapFile.h"
#include "helpctl/HelpPorts.h"
#include "helpctl/HelpProcess.h"
#include "helpctl/HtmlHelpModule.h"
#include "helpctl/JavaHelpViewer.h"

namespace kal {

struct THLPEnginePorts {
  IHLPMessagePresenter& presenter;
  IHLPCursorPort& cursor;
  IHLPPopupFactory& popups;
};

class THLPHelpEngine final {
 public:
  // ProgID of the active popup.
  static constexpr const char* HLPcPopupProgId = "QHPOPUP.QhPopupCtrl.1";
  // How long the final shut down waits for viewers told to quit.
  static constexpr std::chrono::seconds HLPcViewerExitLimit{10};

  // Loads the help-viewer module at `viewerModulePath`; when that fails the
  // engine works without HTML Help.
  explicit THLPHelpEngine(const THLPEnginePorts& ports,
                          const std::string& viewerModulePath = HLPDefaultViewerModulePath());
  // Shuts down (final) unless that was done.
  ~THLPHelpEngine();
  THLPHelpEngine(const THLPHelpEngine&) = delete;
  THLPHelpEngine& operator=(const THLPHelpEngine&) = delete;

  // Stores the request; the topic is replaced only when one is given. The
  // map directory is the map file's directory, or the current directory
  // when the path has none.
  void HLPSetRequest(const std::string& mapFile, int32_t contextNumber,
                     const std::string& windowType, uintptr_t owner,
                     const std::optional<std::string>& topic = std::nullopt);
  // Stores the JavaHelp settings and topic; the settings count as changed
  // when a running viewer was started with others.
  void HLPSetJavaHelpSettings(const THLPJavaHelpSettings& settings, const std::string& topic);

  void HLPHtmlHelpTopic();
  void HLPActivePopup(bool interHelp);
  void HLPTextPopup();
  void HLPKeywordLookup(const std::string& keywords, bool alink);
  void HLPContents();
  void HLPIndex();
  void HLPSearch();
  void HLPBrowserTopic();
  void HLPJavaHelpTopic();
  // Tells a running viewer to quit and lets it go; the final shut down also
  // waits (at most HLPcViewerExitLimit) for the viewers to end.
  void HLPShutDown(bool final);

  // The running viewer's process id, 0 when none (tests).
  pid_t HLPViewerPid() const { return viewer_.HLPPid(); }

 private:
  // Compiled file and popup file of one map file, read while empty.
  struct TMapFiles {
    std::string compiledFile;
    std::string popupFile;
  };

  void Error(const std::string& text);
  bool MapFileTest(THLPHelpMapFile& map);
  TMapFiles& Files();
  const std::string& CompiledFile(const THLPHelpMapFile& map);
  bool CompiledFileTest(const THLPHelpMapFile& map);
  HLPHtmlHelpFunc HtmlHelp();
  std::string WithWindow(std::string file) const;
  void ShowContentsOrIndex(uint32_t command);
  void ReapChildren();

  IHLPMessagePresenter& presenter_;
  IHLPCursorPort& cursor_;
  IHLPPopupFactory& popups_;
  THLPHtmlHelpModule module_;
  bool reportedNoViewer_ = false;

  std::string mapFile_;  // as given
  std::string mapKey_;   // the map file made absolute
  std::string windowType_;
  uintptr_t owner_ = 0;
  int32_t contextNumber_ = -1;
  std::string mapDirectory_;
  std::map<std::string, TMapFiles> mapFiles_;
  std::string topic_;
  std::string popupFont_;

  THLPJavaHelpSettings javaSettings_;
  std::string javaTopic_;
  bool settingsChanged_ = false;
  THLPChildList viewerChildren_;
  THLPChildList browserChildren_;
  THLPViewerProcess viewer_{viewerChildren_};
  bool shutDown_ = false;
};

}  // namespace kal
