#pragma once

// The print commands of the main window: the eight views the printout
// selection offers, printing the chosen one and writing it to a text file.
// The GUI thread only.

#include <string>
#include <string_view>

#include "workbench/MainWindowPorts.h"
#include "workbench/ViewState.h"

namespace kal {

class IPRSTreeReader;
class TCFGConfig;
class TXMLMessageTree;

// The items of the printout selection, in its order.
enum class TCEXPrintout : int {
  SourceWindow,         // the source tree
  SendXMLDocument,      // Memo1
  SendDataStream,       // Memo6
  ReferenceStructure,   // the reference tree
  MessageContent,       // Memo3
  HeaderAndSecurity,    // Memo4
  ReceivedXMLDocument,  // Memo2
  ReceivedDataStream,   // Memo5
  Count
};

// The printer side of the commands: the selection window, the print and
// setup dialogs, and one printed document. The Qt layer implements it.
class ICEXPrinter {
 public:
  virtual ~ICEXPrinter() = default;
  // The printout selection under `caption`; the chosen item, or -1 when it
  // was cancelled.
  virtual int CEXChoosePrintout(const std::string& caption) = 0;
  // The print dialog (without a printer: a PDF file to print to); false
  // when it was cancelled.
  virtual bool CEXChoosePrinter() = 0;
  // The printer setup dialog; the page settings chosen there hold for the
  // later prints.
  virtual void CEXPrintSetup() = 0;
  // One document on the printer chosen last.
  virtual void CEXPrintTree(const IPRSTreeReader& tree) = 0;
  virtual void CEXPrintMemo(std::string_view text) = 0;
};

class TCEXPrintouts final {
 public:
  static constexpr const char* CEXcPrintCaption = "Print Selection";
  static constexpr const char* CEXcPrintToFileCaption = "Print to File Selection";

  // None is owned; every reference must outlive the commands. `printer`
  // null: there is no printer side, and the commands do nothing.
  struct TPorts {
    const TXMLMessageTree& sourceTree;
    const TXMLMessageTree& referenceTree;
    const TCEXViewState& view;
    TCFGConfig& config;
    ICEXDialogs& dialogs;
    ICEXPrinter* printer = nullptr;
  };

  explicit TCEXPrintouts(TPorts ports) : ports_(ports) {}

  // "Print...": selection, print dialog, then the chosen view is printed.
  void Action_PrintExecute();
  // "Print Setup...".
  void Action_PrintSetupExecute();
  // "Print to File...": selection, then the save dialog "Print to File"
  // in the print-to-file directory, which takes the chosen folder; the
  // view is written as text (a tree three blanks per level, a memo line by
  // line, CR LF), whole and atomically. A failure shows the file name and
  // the system's text.
  void Action_PrintToFileExecute();

  // The memo a choice shows; the two trees have none (Memo1 is returned).
  static TCEXMemo CEXPrintoutMemo(TCEXPrintout choice);
  static bool CEXPrintoutIsTree(TCEXPrintout choice) {
    return choice == TCEXPrintout::SourceWindow || choice == TCEXPrintout::ReferenceStructure;
  }

 private:
  // The chosen item, or Count when the selection was cancelled.
  TCEXPrintout Choose(const char* caption);
  const TXMLMessageTree& Tree(TCEXPrintout choice) const;

  TPorts ports_;
};

}  // namespace kal
