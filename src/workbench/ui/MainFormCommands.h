#pragma once

#include <QPrinter>
#include <array>
#include <functional>
#include <memory>

#include "workbench/Printouts.h"
#include "workbench/Searches.h"

class QPlainTextEdit;
class QWidget;

namespace kal {

class TForm16;
class TForm2;

// The main window's printer and search side: the printout selection
// (TForm2), the print and printer setup dialogs on one printer kept for the
// run (so the page settings chosen hold for later prints), the search prompt
// (TForm16) and the six memos as the searches see them.
class TCEXFormCommands final : public ICEXPrinter, public ICEXSearchView {
 public:
  // Whether a memo (index 0 for Memo1) shows only the start of its text,
  // followed by the form's note of what is not shown.
  using TMemoCut = std::function<bool(int memo)>;

  TCEXFormCommands(QWidget* parent, const std::array<QPlainTextEdit*, 6>& memos, TMemoCut cut);
  ~TCEXFormCommands() override;

  // Replaces the print dialog (tests print to a PDF file); false: cancelled.
  void CEXSetPrinterChooser(std::function<bool(QPrinter&)> chooser) {
    chooser_ = std::move(chooser);
  }

  // ICEXPrinter
  int CEXChoosePrintout(const std::string& caption) override;
  bool CEXChoosePrinter() override;
  void CEXPrintSetup() override;
  void CEXPrintTree(const IPRSTreeReader& tree) override;
  void CEXPrintMemo(std::string_view text) override;

  // ICEXSearchView
  bool CEXAskSearchText() override;
  std::string CEXSearchText() const override;
  bool CEXMemoFocused(TCEXMemo memo) const override;
  TCEXMemoShown CEXMemoShown(TCEXMemo memo) const override;
  void CEXSelectInMemo(TCEXMemo memo, size_t start, size_t length) override;

 private:
  QPlainTextEdit* Memo(TCEXMemo memo) const;

  QWidget* parent_;
  std::array<QPlainTextEdit*, 6> memos_;
  TMemoCut cut_;
  QPrinter printer_{QPrinter::HighResolution};
  std::function<bool(QPrinter&)> chooser_;
  std::unique_ptr<TForm2> form2_;
  std::unique_ptr<TForm16> form16_;
};

}  // namespace kal
