#include "support/ui/PrintCanvas.h"

#include <QFileDialog>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPrinter>
#include <QPrinterInfo>

namespace kal {

namespace {

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A PDF file name picked without an extension gets ".pdf"; a name with one
// is taken as it stands.
QString PdfFileName(const QString& picked) {
  const QString name = picked.mid(picked.lastIndexOf('/') + 1);
  return name.contains('.') ? picked : picked + ".pdf";
}

}  // namespace

TPRSQtCanvas::TPRSQtCanvas(QPrinter& printer) : printer_(printer) {
  if (!painter_.begin(&printer_)) return;
  painter_.setFont(QFont("Arial", 10));
}

TPRSQtCanvas::~TPRSQtCanvas() {
  End();
}

void TPRSQtCanvas::End() {
  if (painter_.isActive()) painter_.end();
}

int TPRSQtCanvas::PRSPageWidth() const {
  return printer_.width();
}
int TPRSQtCanvas::PRSPageHeight() const {
  return printer_.height();
}
int TPRSQtCanvas::PRSResolution() const {
  return printer_.resolution();
}
int TPRSQtCanvas::PRSCharHeight() const {
  return painter_.fontMetrics().height();
}

int TPRSQtCanvas::PRSTextWidth(std::string_view text) const {
  return painter_.fontMetrics().horizontalAdvance(Text(text));
}

void TPRSQtCanvas::PRSDrawText(int x, int y, std::string_view text) {
  painter_.drawText(x, y + painter_.fontMetrics().ascent(), Text(text));
}

void TPRSQtCanvas::PRSNewPage() {
  printer_.newPage();
}

bool PRSChoosePrinter(QPrinter& printer, QWidget* parent, const TPRSPickFile& pickPdfFile) {
  if (QPrinterInfo::availablePrinterNames().isEmpty()) {
    const QString file = pickPdfFile ? pickPdfFile()
                                     : QFileDialog::getSaveFileName(parent, "Print to PDF file",
                                                                    QString(), "PDF files (*.pdf)");
    if (file.isEmpty()) return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(PdfFileName(file));
    return true;
  }
  const QPrinterInfo standard = QPrinterInfo::defaultPrinter();
  if (standard.isNull()) {
    QMessageBox::warning(parent, "Print", "There is no default printer.");
    return false;
  }
  printer.setOutputFormat(QPrinter::NativeFormat);
  printer.setPrinterName(standard.printerName());
  return true;
}

namespace {

template <class F>
int PrintDocument(QPrinter& printer, F&& print) {
  TPRSQtCanvas canvas(printer);
  if (!canvas.Active()) return 0;
  TPRSPrintLayout layout(canvas);
  print(layout);
  canvas.End();
  return layout.Pages();
}

}  // namespace

int PRSPrintTreeView(QPrinter& printer, const IPRSTreeReader& tree) {
  return PrintDocument(printer, [&](TPRSPrintLayout& l) { l.PrintTreeView(tree); });
}

int PRSPrintMemoField(QPrinter& printer, std::string_view text) {
  return PrintDocument(printer, [&](TPRSPrintLayout& l) { l.PrintMemoField(text); });
}

int PRSPrintStringGrid(QPrinter& printer, const IStringGrid& grid,
                       const std::vector<int>& columnWidths) {
  return PrintDocument(printer, [&](TPRSPrintLayout& l) { l.PrintStringGrid(grid, columnWidths); });
}

}  // namespace kal
