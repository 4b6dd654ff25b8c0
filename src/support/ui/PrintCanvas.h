#pragma once

// Printing on a QPrinter: the canvas the print layout draws on (QPainter,
// the font "Arial" 10 pt as the device resolves it, widths measured on the
// face actually used) and the choice of the printer: the default printer,
// or, where no printer exists, a PDF file the user picks.

#include <QFont>
#include <QPainter>
#include <QString>
#include <functional>
#include <memory>

#include "support/PrintLayout.h"

class QPrinter;
class QWidget;

namespace kal {

class TPRSQtCanvas final : public IPRSCanvas {
 public:
  // Begins painting on the printer (one document); false from Active() when
  // the printer cannot be opened.
  explicit TPRSQtCanvas(QPrinter& printer);
  ~TPRSQtCanvas() override;
  TPRSQtCanvas(const TPRSQtCanvas&) = delete;
  TPRSQtCanvas& operator=(const TPRSQtCanvas&) = delete;

  bool Active() const { return painter_.isActive(); }
  // Ends the document.
  void End();

  int PRSPageWidth() const override;
  int PRSPageHeight() const override;
  int PRSResolution() const override;
  int PRSCharHeight() const override;
  int PRSTextWidth(std::string_view text) const override;
  void PRSDrawText(int x, int y, std::string_view text) override;
  void PRSNewPage() override;

 private:
  QPrinter& printer_;
  QPainter painter_;
};

// Asks where to print and prepares `printer`: the default printer; where no
// printer exists, a PDF file from `pickPdfFile` (empty: cancelled; ".pdf"
// added to a name without an extension). Printers
// without a default one give a message box. False when nothing is to be
// printed.
using TPRSPickFile = std::function<QString()>;
bool PRSChoosePrinter(QPrinter& printer, QWidget* parent, const TPRSPickFile& pickPdfFile = {});

// One document each on a prepared printer; the number of pages, 0 when the
// printer could not be opened.
int PRSPrintTreeView(QPrinter& printer, const IPRSTreeReader& tree);
int PRSPrintMemoField(QPrinter& printer, std::string_view text);
int PRSPrintStringGrid(QPrinter& printer, const IStringGrid& grid,
                       const std::vector<int>& columnWidths);

}  // namespace kal
