#pragma once

// The main window's actions and menus with their captions, hints and
// rights, which of them are enabled, and the recent-file entries of the
// menus. The GUI thread only.

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace kal {

class TCFGConfig;

// The actions of the main window that exist so far.
enum class TCEXAction : int {
  LoadConfiguration,    // Action_LoadConfigurationExecute
  SaveConfFile,         // Action_SaveConfFileExecute
  SaveConfiguration,    // Action_SaveConfigurationExecute
  Logout,               // Action_LogoutExecute
  Exit,                 // Action_ExitExecute
  LoadMessage,          // Action_LoadMessageExecute
  SaveMessage,          // Action_Save_MessageExecute
  SaveMessageAs,        // Action_Save_Message_AsExecute
  LoadReadStructure,    // Action_LoadReadStructureExecute
  LoadXMLDoc,           // Action_Load_XMLDocExecute
  ClearRef,             // Action_ClearRefExecute
  ClearAll,             // Action_ClearAllExecute
  CutItem,              // Action_CutItemExecute
  CopyItem,             // Action_CopyItemExecute
  InsertItem,           // Action_InsertItemExecute
  InsertAsChild,        // Action_InsertAsChildExecute
  DeleteItem,           // Action_DeleteItemExecute
  GotoParent,           // Action_GotoParentExecute
  SendDataStream,       // Action_SendDataStreamExecute
  HangUp,               // Action_HangUpExecute
  ClearReceived,        // Action_ClearReceivedExecute
  CreateXMLDoc,         // Action_CreateXMLDocExecute
  TransferInputValues,  // Action_TransferInputValuesExecute
  ImportXMLValues,      // Action_ImportXMLValuesExecute
  CreateDataStream,     // Action_CreateDataStreamExecute
  CreateAndSend,        // Action_CreateAndSendExecute
  TransferAndSend,      // Action_TransferAndSendExecute
  ParseMessage,         // Action_ParseMessageExecute
  AnalyseMessage,       // Action_AnalyseMessageExecute
  DecryptSecurity,      // Action_DecryptSecurityExecute
  ParseAndAnalyse,      // Action_ParseAndAnalyseExecute
  EditWindow,           // Action_EditWindowExecute
  Communication,        // Action_CommunicationExecute
  Component,            // Action_ComponentExecute ("Message Header...")
  Timeouts,             // Action_TimeoutsExecute
  PlugIns,              // Action_PlugInsExecute
  DirectoryAliases,     // Action_DirectoryAliasesExecute
  // The "&Tools" menu; each shows its tool window, not modal.
  Base64,               // Base641Click
  HextoString,          // HextoString1Click
  HextoInt,             // HextoInt1Click
  FormatXMLDocument,    // FormatXMLDocument1Click
  KeyFormatting,        // KeyFormatting1Click
  TrippleDES,           // TrippleDES1Click
  HashAndMAC,           // N14Click
  SessionKeyCrypt,      // SessionKeyCrypt1Click
  TLVTools,             // ZLVTools1Click
  Content,              // Content1Click: the help contents (also the tool bar's help button)
  Index,                // Index1Click: the help index
  Print,                // Action_PrintExecute
  PrintSetup,           // Action_PrintSetupExecute
  PrintToFile,          // Action_PrintToFileExecute
  Normal,               // Action_NormalExecute
  ZoomSourceWindow,     // Action_ZoomSourceWindowExecute
  ZoomReceivedMessage,  // Action_ZoomReceivedMessageExecute
  Find,                 // Action_FindExecute
  FindNext,             // Action_FindNextExecute
  LoadMessageWindow,    // Action_LoadMessageWindowExecute
  SecurityItems,        // Action_SecurityItemsExecute
  Keys,                 // Action_KeysExecute
  Count
};

// The top-level menus, in menu-bar order.
enum class TCEXMenu : int { File, Edit, View, Parameters, Sequences, Admin, Tools, Help, Count };

struct TCEXActionInfo {
  const char* name;     // object name
  const char* caption;  // menu caption
  const char* hint;     // tool-bar hint, empty when not on the tool bar
  int tag;              // 1: administrators only
};

struct TCEXMenuInfo {
  const char* name;
  const char* caption;
  int tag;  // 1: administrators only
};

// One entry of the recent-file menus. A separator has no path.
struct TCEXRecentEntry {
  TCEXMenu menu;
  std::string caption;
  std::string path;
  int tag;
  bool separator;
  bool operator==(const TCEXRecentEntry&) const = default;
};

class TCEXActionTable final {
 public:
  // The rows of kActions and kMenus.
  static const TCEXActionInfo& CEXActionInfo(TCEXAction action);
  static const TCEXMenuInfo& CEXMenuInfo(TCEXMenu menu);

  TCEXActionTable();

  // The rights of the user: administrators get every action and menu,
  // others those with tag 0 ("&File" stays enabled).
  void ApplyRights(bool isAdmin);
  // Enabled by the rights (the roads add their own conditions).
  bool CEXActionEnabled(TCEXAction action) const;
  bool CEXMenuEnabled(TCEXMenu menu) const;

  // The recent-file entries from the configuration's pick lists: sequences
  // when there is a sequence window, message and configuration files for
  // administrators; files that no longer exist are left out. True when the
  // entries changed.
  bool SynchMenuItems(const TCFGConfig& config, bool sequences, bool isAdmin);
  const std::vector<TCEXRecentEntry>& CEXRecentEntries() const { return recent_; }

 private:
  std::array<bool, static_cast<size_t>(TCEXAction::Count)> actionEnabled_;
  std::array<bool, static_cast<size_t>(TCEXMenu::Count)> menuEnabled_;
  std::vector<TCEXRecentEntry> recent_;
};

}  // namespace kal
