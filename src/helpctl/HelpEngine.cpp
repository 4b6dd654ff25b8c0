#include "helpctl/HelpEngine.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>

#include "helpctl/BrowserLauncher.h"
#include "helpctl/HelpPaths.h"

namespace kal {

namespace {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

THLPHelpEngine::THLPHelpEngine(const THLPEnginePorts& ports, const std::string& viewerModulePath)
    : presenter_(ports.presenter),
      cursor_(ports.cursor),
      popups_(ports.popups),
      module_(viewerModulePath) {}

THLPHelpEngine::~THLPHelpEngine() {
  if (!shutDown_) HLPShutDown(true);
}

void THLPHelpEngine::HLPSetRequest(const std::string& mapFile, int32_t contextNumber,
                                   const std::string& windowType, uintptr_t owner,
                                   const std::optional<std::string>& topic) {
  mapFile_ = mapFile;
  windowType_ = windowType;
  owner_ = owner;
  contextNumber_ = contextNumber;
  if (topic) topic_ = *topic;
  const std::string cwd = HLPCurrentDirectory();
  mapKey_ = HLPMakeAbsolute(cwd, mapFile_);
  const std::string dir = HLPDirectoryOf(HLPSlashes(mapFile_));
  mapDirectory_ = dir.empty() ? cwd : HLPMakeAbsolute(cwd, dir);
}

void THLPHelpEngine::HLPSetJavaHelpSettings(const THLPJavaHelpSettings& settings,
                                            const std::string& topic) {
  settingsChanged_ = false;
  if (viewer_.HLPRunning() && !(settings == javaSettings_)) settingsChanged_ = true;
  javaSettings_ = settings;
  javaTopic_ = topic;
}

void THLPHelpEngine::Error(const std::string& text) {
  presenter_.HLPShowMessage(text, "Error");
}

void THLPHelpEngine::ReapChildren() {
  viewerChildren_.HLPReap();
  browserChildren_.HLPReap();
  viewer_.HLPRunning();
}

bool THLPHelpEngine::MapFileTest(THLPHelpMapFile& map) {
  ReapChildren();
  if (!THLPHelpMapFile::HLPExists(HLPSlashes(mapFile_))) {
    Error("Unable to show context sensitive help, " + mapFile_ + " does not exist.");
    return false;
  }
  map.HLPLoad(HLPSlashes(mapFile_));
  return true;
}

THLPHelpEngine::TMapFiles& THLPHelpEngine::Files() {
  return mapFiles_[mapKey_];
}

const std::string& THLPHelpEngine::CompiledFile(const THLPHelpMapFile& map) {
  TMapFiles& files = Files();
  if (files.compiledFile.empty()) {
    const std::string value = map.HLPReadString("OPTIONS", "Compiled File");
    if (!value.empty()) files.compiledFile = HLPMakeAbsolute(mapDirectory_, value);
  }
  return files.compiledFile;
}

bool THLPHelpEngine::CompiledFileTest(const THLPHelpMapFile& map) {
  if (!CompiledFile(map).empty()) return true;
  Error("You do not have a compiled file to reference");
  return false;
}

HLPHtmlHelpFunc THLPHelpEngine::HtmlHelp() {
  if (module_.HLPEntry() == nullptr && !reportedNoViewer_) {
    reportedNoViewer_ = true;
    Error("Help viewer not available: " + module_.HLPError());
  }
  return module_.HLPEntry();
}

std::string THLPHelpEngine::WithWindow(std::string file) const {
  if (!windowType_.empty()) file += ">" + windowType_;
  return file;
}

void THLPHelpEngine::HLPHtmlHelpTopic() {
  THLPHelpMapFile map;
  if (!MapFileTest(map) || !CompiledFileTest(map)) return;
  const std::string& compiled = CompiledFile(map);
  const HLPHtmlHelpFunc hh = HtmlHelp();
  if (hh == nullptr) return;
  if (contextNumber_ >= 1) {
    hh(owner_, WithWindow(compiled).c_str(), HH_HELP_CONTEXT,
       static_cast<uintptr_t>(contextNumber_));
  } else if (topic_.empty()) {
    hh(owner_, compiled.c_str(), HH_DISPLAY_TOPIC, 0);
  } else {
    hh(owner_, WithWindow(compiled + "::/" + topic_).c_str(), HH_DISPLAY_TOPIC, 0);
  }
}

void THLPHelpEngine::ShowContentsOrIndex(uint32_t command) {
  THLPHelpMapFile map;
  if (!MapFileTest(map) || !CompiledFileTest(map)) return;
  const std::string file = WithWindow(CompiledFile(map));
  if (const HLPHtmlHelpFunc hh = HtmlHelp()) hh(owner_, file.c_str(), command, 0);
}

void THLPHelpEngine::HLPContents() {
  ShowContentsOrIndex(HH_DISPLAY_TOC);
}

void THLPHelpEngine::HLPIndex() {
  ShowContentsOrIndex(HH_DISPLAY_INDEX);
}

void THLPHelpEngine::HLPSearch() {
  THLPHelpMapFile map;
  if (!MapFileTest(map) || !CompiledFileTest(map)) return;
  const HLPHtmlHelpFunc hh = HtmlHelp();
  if (hh == nullptr) return;
  HH_FTS_QUERY query{};
  query.cbStruct = sizeof(HH_FTS_QUERY);
  query.fUniCodeStrings = 0;
  query.pszSearchQuery = "";
  query.iProximity = -1;
  query.fStemmedSearch = 0;
  query.fTitleOnly = 0;
  query.fExecute = 1;
  query.pszWindow = windowType_.c_str();
  hh(owner_, CompiledFile(map).c_str(), HH_DISPLAY_SEARCH, reinterpret_cast<uintptr_t>(&query));
}

void THLPHelpEngine::HLPKeywordLookup(const std::string& keywords, bool alink) {
  THLPHelpMapFile map;
  if (!MapFileTest(map) || !CompiledFileTest(map)) return;
  const HLPHtmlHelpFunc hh = HtmlHelp();
  if (hh == nullptr) return;
  HH_AKLINK link{};
  link.cbStruct = sizeof(HH_AKLINK);
  link.fReserved = 0;
  link.pszKeywords = keywords.c_str();
  link.pszUrl = "";
  link.pszMsgText = nullptr;
  link.pszMsgTitle = nullptr;
  link.pszWindow = windowType_.c_str();
  link.fIndexOnFail = 1;
  hh(owner_, CompiledFile(map).c_str(), alink ? HH_ALINK_LOOKUP : HH_KEYWORD_LOOKUP,
     reinterpret_cast<uintptr_t>(&link));
}

void THLPHelpEngine::HLPTextPopup() {
  THLPHelpMapFile map;
  if (!MapFileTest(map) || !CompiledFileTest(map)) return;
  TMapFiles& files = Files();
  if (files.popupFile.empty()) files.popupFile = map.HLPReadString("Text Popups", "Popup File");
  if (files.popupFile.empty()) {
    Error("You do not have a popup file to reference");
    return;
  }
  const std::string source =
      HLPSlashes(HLPMakeAbsolute(mapDirectory_, files.compiledFile)) + "::/" + files.popupFile;
  popupFont_ = map.HLPReadString("Text Popups", "Popup Font");
  const int32_t vert = map.HLPReadInteger("Text Popups", "Popup Vertmarg", -1);
  const int32_t horz = map.HLPReadInteger("Text Popups", "Popup Horzmarg", -1);
  const int32_t text = map.HLPReadInteger("Text Popups", "Popup Textcolor", -1);
  const int32_t back = map.HLPReadInteger("Text Popups", "Popup Backcolor", -1);
  const HLPHtmlHelpFunc hh = HtmlHelp();
  if (hh == nullptr) return;
  HH_POPUP popup{};
  popup.cbStruct = sizeof(HH_POPUP);
  popup.hinst = nullptr;
  popup.idString = static_cast<uint32_t>(contextNumber_);
  popup.pszText = "";
  cursor_.HLPCursorPosition(popup.pt.x, popup.pt.y);
  popup.clrForeground = static_cast<uint32_t>(text);
  popup.clrBackground = static_cast<uint32_t>(back);
  popup.rcMargins = HH_RECT{horz, vert, horz, vert};
  popup.pszFont = popupFont_.empty() ? nullptr : popupFont_.c_str();
  hh(owner_, source.c_str(), HH_DISPLAY_TEXT_POPUP, reinterpret_cast<uintptr_t>(&popup));
}

void THLPHelpEngine::HLPActivePopup(bool interHelp) {
  THLPHelpMapFile map;
  if (!MapFileTest(map)) return;
  std::string topic;
  int16_t width = 250;
  int16_t height = 175;
  if (contextNumber_ != 0) {
    const std::optional<THLPMapEntry> entry = map.HLPMapEntry(contextNumber_);
    if (!entry) return;
    topic = entry->topic;
    width = entry->width;
    height = entry->height;
  } else {
    if (topic_.empty()) return;
    topic = topic_;
  }
  const std::string& compiled = CompiledFile(map);
  const std::string address = interHelp || compiled.empty()
                                  ? HLPMakeAbsolute(mapDirectory_, topic)
                                  : "mk:@MSITStore:" + compiled + "::/" + topic;
  std::unique_ptr<IHLPActivePopup> popup = popups_.HLPCreatePopup(HLPcPopupProgId);
  if (!popup) return;
  popup->HLPShow(address, 0, width, height);
  popup.reset();
}

void THLPHelpEngine::HLPBrowserTopic() {
  THLPHelpMapFile map;
  if (!MapFileTest(map)) return;
  std::string topic = topic_;
  if (contextNumber_ > 0) {
    const std::optional<THLPMapEntry> entry = map.HLPMapEntry(contextNumber_);
    if (!entry) {
      Error("Topic for Help Context ID " + std::to_string(contextNumber_) + " does not exist");
      return;
    }
    topic = entry->topic;
  }
  if (topic.empty()) {
    const std::string frameset = map.HLPReadString("TEMPLATES", "Starting Frameset");
    if (EqualsNoCase(map.HLPReadString("OPTIONS", "Has Templates"), "yes") && !frameset.empty())
      topic = frameset;
    else
      topic = map.HLPReadString("OPTIONS", "Default Topic");
  }
  const std::string file = HLPMakeAbsolute(mapDirectory_, topic);
  const std::optional<std::vector<std::string>> command = HLPFindExecutable(file);
  if (!command) {
    Error("Unable to find browser to open: " + file);
    return;
  }
  // A start that fails is not reported.
  if (const pid_t pid = HLPSpawn(*command, -1, true); pid > 0) browserChildren_.HLPAdd(pid);
}

void THLPHelpEngine::HLPJavaHelpTopic() {
  ReapChildren();
  if (settingsChanged_) {
    settingsChanged_ = false;
    if (viewer_.HLPRunning()) viewer_.HLPSend("$$$new-helpset$$$");
    viewer_.HLPForget();
  } else if (viewer_.HLPRunning()) {
    viewer_.HLPSend(javaTopic_.empty() ? std::string_view("$$$home$$$")
                                       : std::string_view(javaTopic_));
    return;
  }
  const THLPViewerCommand command = HLPViewerCommand(javaSettings_, javaTopic_);
  for (const std::string& path : command.requiredFiles) {
    if (!FileExists(path)) {
      Error("Unable to show JavaHelp topic, " + path + " does not exist.");
      return;
    }
  }
  viewer_.HLPStart(command.argv);
}

void THLPHelpEngine::HLPShutDown(bool final) {
  ReapChildren();
  if (viewer_.HLPRunning()) viewer_.HLPSend("$$$qh-quit$$$");
  viewer_.HLPForget();
  if (final) {
    shutDown_ = true;
    viewerChildren_.HLPWaitAll(HLPcViewerExitLimit);
  }
}

}  // namespace kal
