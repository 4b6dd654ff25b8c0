#pragma once

#include <QLineEdit>

class QAction;
class QMenu;

namespace kal {

// A line edit with the hex pop-up menu of the keys dialog and the tool
// windows: "Compress" (every blank removed), "Expand" (blanks removed, then
// each pair followed by one blank), "Cut" and "&Copy" (the whole text to the
// clipboard, Cut empties the field), "&Paste" (clipboard text replaces the
// field), "&Delete" (the selection, or the whole text when nothing is
// selected), "Select all". A change made by the menu is announced as a user
// edit (textEdited).
class HexLineEdit : public QLineEdit {
  Q_OBJECT

 public:
  explicit HexLineEdit(QWidget* parent = nullptr);

  // The menu's actions in their order (children of the field).
  const QList<QAction*>& HexActions() const { return actions_; }
  QMenu* CreateHexMenu(QWidget* parent);

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void Replace(const QString& text);

  QList<QAction*> actions_;
};

}  // namespace kal
