#include "workbench/Printouts.h"

#include <cerrno>
#include <cstring>

#include "config/Config.h"
#include "ep2/TreePrintReader.h"
#include "platform/AtomicFile.h"
#include "support/PrintLayout.h"
#include "workbench/FilePaths.h"

namespace kal {

TCEXMemo TCEXPrintouts::CEXPrintoutMemo(TCEXPrintout choice) {
  switch (choice) {
    case TCEXPrintout::SendDataStream:
      return TCEXMemo::Memo6;
    case TCEXPrintout::MessageContent:
      return TCEXMemo::Memo3;
    case TCEXPrintout::HeaderAndSecurity:
      return TCEXMemo::Memo4;
    case TCEXPrintout::ReceivedXMLDocument:
      return TCEXMemo::Memo2;
    case TCEXPrintout::ReceivedDataStream:
      return TCEXMemo::Memo5;
    default:
      return TCEXMemo::Memo1;
  }
}

TCEXPrintout TCEXPrintouts::Choose(const char* caption) {
  const int index = ports_.printer->CEXChoosePrintout(caption);
  // A selection window that gives something else than an item prints nothing.
  if (index < 0 || index >= static_cast<int>(TCEXPrintout::Count)) return TCEXPrintout::Count;
  return static_cast<TCEXPrintout>(index);
}

const TXMLMessageTree& TCEXPrintouts::Tree(TCEXPrintout choice) const {
  return choice == TCEXPrintout::SourceWindow ? ports_.sourceTree : ports_.referenceTree;
}

void TCEXPrintouts::Action_PrintExecute() {
  if (ports_.printer == nullptr) return;
  const TCEXPrintout choice = Choose(CEXcPrintCaption);
  if (choice == TCEXPrintout::Count || !ports_.printer->CEXChoosePrinter()) return;
  if (CEXPrintoutIsTree(choice))
    ports_.printer->CEXPrintTree(TXMLTreePrintReader(Tree(choice)));
  else
    ports_.printer->CEXPrintMemo(ports_.view.CEXMemo(CEXPrintoutMemo(choice)));
}

void TCEXPrintouts::Action_PrintSetupExecute() {
  if (ports_.printer != nullptr) ports_.printer->CEXPrintSetup();
}

void TCEXPrintouts::Action_PrintToFileExecute() {
  if (ports_.printer == nullptr) return;
  const TCEXPrintout choice = Choose(CEXcPrintToFileCaption);
  if (choice == TCEXPrintout::Count) return;
  TCEXFileDialog dialog;
  dialog.title = "Print to File";
  dialog.defaultExt = "txt";
  dialog.initialDir = ports_.config.CFGGetDirPrintToFile();
  std::string fileName;
  if (!ports_.dialogs.CEXSaveFile(dialog, fileName)) return;
  ports_.config.CFGSetDirPrintToFile(CEXDirectoryOf(fileName));
  std::string errorText;
  if (CEXPrintoutIsTree(choice)) {
    if (PrintTreeViewToFile(TXMLTreePrintReader(Tree(choice)), fileName, errorText) == 0) return;
  } else {
    std::string text;
    PrintMemoFieldToLogfile(ports_.view.CEXMemo(CEXPrintoutMemo(choice)), text);
    errno = 0;
    if (PLTWriteFileAtomically(fileName, text)) return;
    errorText = "Can not write file " + fileName + ": " + std::strerror(errno != 0 ? errno : EIO);
  }
  ports_.dialogs.CEXShowMessage(errorText);
}

}  // namespace kal
