#include "workbench/WindowCommands.h"

#include <array>
#include <cstddef>

#include "support/HelpPort.h"
#include "workbench/Printouts.h"
#include "workbench/Searches.h"
#include "workbench/SourceSelection.h"
#include "workbench/ViewState.h"

namespace kal {

namespace {

using TPorts = TCEXWindowCommands::TPorts;
using TRun = void (*)(TPorts&);

struct TRow {
  TCEXAction action;
  TRun run;
};

// A window shown without waiting, and a modal one whose result is not used.
template <TCEXWindow window>
void Show(TPorts& p) {
  static_cast<void>(p.windows.CEXOpenWindow(window, false));
}
template <TCEXWindow window>
void Modal(TPorts& p) {
  static_cast<void>(p.windows.CEXOpenWindow(window, true));
}
template <TCEXZoom zoom>
void Zoom(TPorts& p) {
  p.view.CEXSetZoom(zoom);
}

// clang-format off
constexpr TRow kRows[] = {
    {TCEXAction::EditWindow,          Show<TCEXWindow::EditWindow>},
    {TCEXAction::Communication,       [](TPorts& p) {
       if (p.windows.CEXOpenWindow(TCEXWindow::Communication, true) == TCEXModalResult::OK)
         p.startServer();
     }},
    {TCEXAction::Component,           [](TPorts& p) {
       Modal<TCEXWindow::MessageHeader>(p);
       p.updateSecurityHeader();
     }},
    {TCEXAction::Timeouts,            Modal<TCEXWindow::Timeouts>},
    {TCEXAction::PlugIns,             Modal<TCEXWindow::PlugIns>},
    {TCEXAction::DirectoryAliases,    Modal<TCEXWindow::DirectoryAliases>},
    {TCEXAction::Keys,                Modal<TCEXWindow::Keys>},
    {TCEXAction::LoadMessageWindow,   Show<TCEXWindow::LoadFile>},
    {TCEXAction::SecurityItems,       Show<TCEXWindow::SecurityItems>},
    // The "&Tools" menu.
    {TCEXAction::Base64,              Show<TCEXWindow::HexToBase64>},
    {TCEXAction::HextoString,         Show<TCEXWindow::HexToString>},
    {TCEXAction::HextoInt,            Show<TCEXWindow::HexToInteger>},
    {TCEXAction::FormatXMLDocument,   Show<TCEXWindow::FormatXMLDocument>},
    {TCEXAction::KeyFormatting,       Show<TCEXWindow::KeyFormatting>},
    {TCEXAction::TrippleDES,          Show<TCEXWindow::DESEncryption>},
    {TCEXAction::HashAndMAC,          Show<TCEXWindow::HashAndMAC>},
    {TCEXAction::SessionKeyCrypt,     Show<TCEXWindow::SessionKeyCrypt>},
    {TCEXAction::TLVTools,            Show<TCEXWindow::TLVTools>},
    {TCEXAction::Content,             [](TPorts& p) { p.help.HPTShowContents(); }},
    {TCEXAction::Index,               [](TPorts& p) { p.help.HPTShowIndex(); }},
    {TCEXAction::Print,               [](TPorts& p) { p.printouts.Action_PrintExecute(); }},
    {TCEXAction::PrintSetup,          [](TPorts& p) { p.printouts.Action_PrintSetupExecute(); }},
    {TCEXAction::PrintToFile,         [](TPorts& p) { p.printouts.Action_PrintToFileExecute(); }},
    {TCEXAction::Normal,              Zoom<TCEXZoom::Normal>},
    {TCEXAction::ZoomSourceWindow,    Zoom<TCEXZoom::SourceWindow>},
    {TCEXAction::ZoomReceivedMessage, Zoom<TCEXZoom::ReceivedMessage>},
    {TCEXAction::Find,                [](TPorts& p) {
       p.searches.Action_FindExecute(p.selection.CEXSourceTreeFocused());
     }},
    {TCEXAction::FindNext,            [](TPorts& p) {
       p.searches.Action_FindNextExecute(p.selection.CEXSourceTreeFocused());
     }},
};
// clang-format on

// The rows by action; null: not one of these commands.
constexpr auto kByAction = [] {
  std::array<TRun, static_cast<size_t>(TCEXAction::Count)> byAction{};
  for (const TRow& row : kRows) byAction[static_cast<size_t>(row.action)] = row.run;
  return byAction;
}();

TRun RunOf(TCEXAction action) {
  const auto index = static_cast<size_t>(action);
  return index < kByAction.size() ? kByAction[index] : nullptr;
}

}  // namespace

bool TCEXWindowCommands::CEXHandles(TCEXAction action) {
  return RunOf(action) != nullptr;
}

bool TCEXWindowCommands::CEXRun(TCEXAction action) {
  const TRun run = RunOf(action);
  if (run == nullptr) return false;
  run(ports_);
  return true;
}

}  // namespace kal
