#pragma once

#include <QPlainTextEdit>
#include <functional>

class QAction;

namespace kal {

class TForm16;

// The memo of the tool windows: a pop-up menu with "Cut", "Copy", "Paste",
// "Delete", "Select all", "Find" and "Find Next", and the search. "Find" (also
// Ctrl+F) asks for the text in the search prompt and, when it is confirmed,
// searches from the beginning; "Find Next" (also F3) searches with the
// prompt's text on from behind the selection. A hit is selected and brought
// into view; a miss shows "String not found: " + the text; an empty text does
// nothing.
class TToolMemo : public QPlainTextEdit {
  Q_OBJECT

 public:
  using MessageSink = std::function<void(const QString&)>;

  // `prompt` (not owned) is the shared search prompt; messages go to a
  // message box unless a sink is set.
  explicit TToolMemo(TForm16* prompt, QWidget* parent = nullptr);

  void SetMessageSink(MessageSink sink) { sink_ = std::move(sink); }
  const QList<QAction*>& MemoActions() const { return actions_; }

  void Find();
  void FindNext();

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void SearchFrom(size_t from);

  TForm16* prompt_;
  MessageSink sink_;
  QList<QAction*> actions_;
};

}  // namespace kal
