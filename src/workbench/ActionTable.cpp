#include "workbench/ActionTable.h"

#include <iterator>
#include <utility>

#include "config/Config.h"
#include "workbench/FilePaths.h"

namespace kal {

namespace {

constexpr TCEXActionInfo kActions[] = {
    {"Action_LoadConfiguration", "Load Configuration...", "Load configuration", 1},
    {"Action_SaveConfFile", "Save Configuration File", "Save configuration", 0},
    {"Action_SaveConfiguration", "Save Configuration as...", "", 1},
    {"Action_Logout", "&Logout", "", 0},
    {"Action_Exit", "Exit", "", 0},
    {"Action_LoadMessage", "Load Message...", "load message", 1},
    {"Action_Save_Message", "Save Message", "save message", 1},
    {"Action_Save_Message_As", "Save Message as...", "", 1},
    {"Action_LoadReadStructure", "Load Reference Structure...", "load read structure", 1},
    {"Action_Load_XMLDoc", "Load XML Document...", "load XML document from file", 1},
    {"Action_ClearRef", "Clear Reference Structure", "clear reference structure", 0},
    {"Action_ClearAll", "Clear All", "clear all windows", 1},
    {"Action_CutItem", "Cut Item", "cut item", 1},
    {"Action_CopyItem", "Copy Item", "copy item", 1},
    {"Action_InsertItem", "Insert Item", "insert item", 1},
    {"Action_InsertAsChild", "Insert As Child", "insert as child element", 1},
    {"Action_DeleteItem", "Delete Item", "delete item", 1},
    {"Action_GotoParent", "Goto parent", "goto parent", 1},
    {"Action_SendDataStream", "Send Data Stream", "", 1},
    {"Action_HangUp", "Hang Up", "disconnect and hang up phone", 0},
    {"Action_ClearReceived", "Clear Received Windows", "clear received message windows", 1},
    {"Action_CreateXMLDoc", "Create XML Doc", "", 1},
    {"Action_TransferInputValues", "Transfer Input Values",
     "transfer values from received message to source window", 1},
    {"Action_ImportXMLValues", "Import XML Values", "Import Values from XML document windows", 0},
    {"Action_CreateDataStream", "Create Data Stream", "", 1},
    {"Action_CreateAndSend", "Create + Send", "", 1},
    {"Action_TransferAndSend", "Transfer+Send", "", 1},
    {"Action_ParseMessage", "Parse Message", "", 1},
    {"Action_AnalyseMessage", "Analyse Message", "", 1},
    {"Action_DecryptSecurity", "Decrypt Security", "", 1},
    {"Action_ParseAndAnalyse", "Parse + Analyse", "", 1},
    {"Action_EditWindow", "Edit Window...", "", 1},
    {"Action_Communication", "Communication...", "", 1},
    {"Action_Component", "Message Header...", "", 1},
    {"Action_Timeouts", "Timeouts...", "", 1},
    {"Action_PlugIns", "Plug Ins...", "", 0},
    {"Action_DirectoryAliases", "Directory Aliases...", "", 0},
    {"Base641", "&Base64", "", 0},
    {"HextoString1", "&Hex to String", "", 0},
    {"HextoInt1", "Hex to &Int", "", 0},
    {"FormatXMLDocument1", "&Format XML Document", "", 0},
    {"KeyFormatting1", "&Key Formatting", "", 0},
    {"TrippleDES1", "&Tripple DES", "", 0},
    {"N14", "Hash and &MAC", "", 0},
    {"SessionKeyCrypt1", "&Session Key Crypt", "", 0},
    {"ZLVTools1", "T&LV Tools", "", 0},
    {"Content1", "&Content", "", 0},
    {"Index1", "Index", "", 0},
    {"Action_Print", "Print...", "print", 0},
    {"Action_PrintSetup", "Print Setup...", "", 0},
    {"Action_PrintToFile", "Print to File...", "", 0},
    {"Action_Normal", "Normal", "", 0},
    {"Action_ZoomSourceWindow", "Zoom source window", "", 0},
    {"Action_ZoomReceivedMessage", "Zoom received message", "", 0},
    {"Action_Find", "Find...", "Find...", 1},
    {"Action_FindNext", "Find next", "Find next", 1},
    {"Action_LoadMessageWindow", "Load Message Window...", "", 1},
    {"Action_SecurityItems", "Security Items...", "", 1},
    {"Action_Keys", "Keys...", "", 1},
};
static_assert(std::size(kActions) == static_cast<size_t>(TCEXAction::Count));

constexpr TCEXMenuInfo kMenus[] = {
    {"File1", "&File", 0},           {"Edit1", "&Edit", 1},
    {"View1", "&View", 0},           {"Parameters1", "&Parameters", 1},
    {"Sequences1", "&Sequences", 0}, {"Admin1", "&Admin", 1},
    {"Tools1", "&Tools", 0},         {"Help1", "&Help", 0},
};
static_assert(std::size(kMenus) == static_cast<size_t>(TCEXMenu::Count));

}  // namespace

const TCEXActionInfo& TCEXActionTable::CEXActionInfo(TCEXAction action) {
  return kActions[static_cast<size_t>(action)];
}

const TCEXMenuInfo& TCEXActionTable::CEXMenuInfo(TCEXMenu menu) {
  return kMenus[static_cast<size_t>(menu)];
}

TCEXActionTable::TCEXActionTable() {
  actionEnabled_.fill(true);
  menuEnabled_.fill(true);
}

void TCEXActionTable::ApplyRights(bool isAdmin) {
  for (size_t i = 0; i < actionEnabled_.size(); ++i)
    actionEnabled_[i] = isAdmin || kActions[i].tag == 0;
  // "&File" stays enabled; the menus after it follow their tags.
  for (size_t i = 1; i < menuEnabled_.size(); ++i) menuEnabled_[i] = isAdmin || kMenus[i].tag == 0;
}

bool TCEXActionTable::CEXActionEnabled(TCEXAction action) const {
  return action != TCEXAction::Count && actionEnabled_[static_cast<size_t>(action)];
}

bool TCEXActionTable::CEXMenuEnabled(TCEXMenu menu) const {
  return menu != TCEXMenu::Count && menuEnabled_[static_cast<size_t>(menu)];
}

bool TCEXActionTable::SynchMenuItems(const TCFGConfig& config, bool sequences, bool isAdmin) {
  std::vector<TCEXRecentEntry> entries;
  const auto add = [&](TCEXMenu menu, auto pick) {
    bool first = true;
    for (int i = 0; i < TCFGConfig::CFGcMaxPickFiles; ++i) {
      const std::string path = (config.*pick)(i);
      if (!CEXFileExists(path)) continue;
      if (first) entries.push_back({menu, "", "", 1, true});
      first = false;
      entries.push_back({menu, CEXNameOf(path), path, i + 1, false});
    }
  };
  if (sequences) add(TCEXMenu::Sequences, &TCFGConfig::CFGGetPickFileSeq);
  if (isAdmin) {
    add(TCEXMenu::File, &TCFGConfig::CFGGetPickFile);
    add(TCEXMenu::Parameters, &TCFGConfig::CFGGetPickFileIni);
  }
  if (entries == recent_) return false;
  recent_ = std::move(entries);
  return true;
}

}  // namespace kal
