#pragma once

// What the tool windows share: the frame of a tool window (the main
// window's services, message boxes and file dialogs, the search prompt of
// its memos, buttons and hex fields) and the info window with its printable
// memo.

#include <QDialog>
#include <QGroupBox>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/ui/ToolMemo.h"

class QPrinter;
class QPushButton;

namespace kal {

class HexLineEdit;
class ICEXDialogs;
class ICEXMainServices;
class TForm16;

// Prepares the printer of a "Print"; false prints nothing. The default asks
// through PRSChoosePrinter (a PDF file where no printer exists).
using TToolPrinterChoice = std::function<bool(QPrinter& printer)>;

// A tool memo whose pop-up menu ends with "Print", which prints the memo's
// lines.
class TToolPrintMemo : public TToolMemo {
  Q_OBJECT

 public:
  explicit TToolPrintMemo(TForm16* prompt, QWidget* parent = nullptr);

  void SetPrinterChoice(TToolPrinterChoice choice) { choice_ = std::move(choice); }
  QAction* PrintAction() const { return print_; }
  // The pages printed; 0 when nothing was printed.
  int Print();

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  QAction* print_;
  TToolPrinterChoice choice_;
};

// "Info Window": the memo that the security object's steps are appended to,
// and "Clear", which empties it.
class TInfoWindow final : public QGroupBox {
  Q_OBJECT

 public:
  TInfoWindow(TForm16* prompt, QWidget* parent);

  TToolPrintMemo* Memo() const { return memo_; }
  // Appends the lines of a step trace.
  void Append(const std::vector<std::string>& lines);

 private:
  TToolPrintMemo* memo_;
};

// The frame of a tool window: not modal, made once and kept for the run.
class TToolWindow : public QDialog {
  Q_OBJECT

 public:
  TToolWindow(ICEXMainServices& services, const char* objectName, const char* title,
              QWidget* parent);
  ~TToolWindow() override;

  // Message boxes and file dialogs go through `dialogs` (not owned) from now
  // on instead of Qt's over this window.
  void SetDialogs(ICEXDialogs& dialogs) { dialogs_ = &dialogs; }

 protected:
  ICEXMainServices& Services() const { return services_; }
  ICEXDialogs& Dialogs() const { return *dialogs_; }
  TForm16* SearchPrompt() const { return prompt_; }

  // A push button named `name` (the caption when null) running `handler`.
  QPushButton* Button(const char* caption, std::function<void()> handler,
                      const char* name = nullptr);
  // A field with the hex pop-up menu.
  HexLineEdit* HexField(const char* name);
  // "Close", which closes the window.
  QPushButton* CloseButton();

 private:
  ICEXMainServices& services_;
  std::unique_ptr<ICEXDialogs> qtDialogs_;
  ICEXDialogs* dialogs_;
  TForm16* prompt_;
};

// A push button of owner that is never the default button, named `name`
// (the caption when null), running `handler` when clicked.
QPushButton* ToolButton(QWidget* owner, const char* caption, std::function<void()> handler,
                        const char* name = nullptr);

// Text to and from the bytes of a field that shows one byte per character
// (Latin-1, lossless for every byte).
QString ToolLatin1Text(const std::string& bytes);
std::string ToolLatin1Bytes(const QString& text);

}  // namespace kal
