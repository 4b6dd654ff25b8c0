#pragma once

// A main window on a program folder of its own: the folder's config.ini
// written with `ini` (by default a this-computer client that neither
// listens nor dials), its dialogs answered by `dialogs`, the windows it
// opens held by `windows` when given.

#include <memory>
#include <string>

#include "common/TestSupport.h"
#include "workbench/ui/MainForm.h"

namespace kal::test {

inline constexpr char kQuietCommunicationIni[] =
    "[Communication]\r\nCommType=0\r\nThisComputerClientServer=0\r\n";

inline std::unique_ptr<TForm1> MakeMainForm(const TempDir& home, ICEXDialogs& dialogs,
                                            const std::string& ini = kQuietCommunicationIni,
                                            ICEXWindows* windows = nullptr) {
  WriteFile(home.file("config.ini"), ini);
  TForm1::TParts parts;
  parts.programDir = home.path();
  parts.dialogs = &dialogs;
  parts.windows = windows;
  return std::make_unique<TForm1>(std::move(parts));
}

}  // namespace kal::test
