#pragma once

// "Find..." and "Find next" of the main window over the source tree and the
// six memos, and the target memo of the memo pop-up. A memo is searched in
// the text it shows (the form shows at most the start of a long text), so
// the hit selected is the one found. Case is ignored by simple case folding
// on the original text; an empty search text does nothing. The GUI thread
// only.

#include <cstddef>
#include <string>
#include <string_view>

#include "workbench/MainWindowPorts.h"
#include "workbench/ViewState.h"

namespace kal {

class TCEXCursorState;
class TCEXSourceSelection;
class TXMLMessageTree;

// What a memo shows, in UTF-16 units, and its selection.
struct TCEXMemoShown {
  std::u16string text;
  size_t selectionStart = 0;
  size_t selectionLength = 0;
};

// The form's side of the searches: the search prompt and the memos.
class ICEXSearchView {
 public:
  virtual ~ICEXSearchView() = default;
  // The modal prompt "Search text"; true on "Ok". It keeps its text.
  virtual bool CEXAskSearchText() = 0;
  // The prompt's text (UTF-8), whether or not it was left with "Ok".
  virtual std::string CEXSearchText() const = 0;
  virtual bool CEXMemoFocused(TCEXMemo memo) const = 0;
  virtual TCEXMemoShown CEXMemoShown(TCEXMemo memo) const = 0;
  // Selects `length` units from `start` and brings them into view.
  virtual void CEXSelectInMemo(TCEXMemo memo, size_t start, size_t length) = 0;
};

// The memo the find commands and the memo pop-up work on: the first of Memo1
// to Memo5 that has the input focus, otherwise Memo6.
TCEXMemo CEXGetPopupMemo(const ICEXSearchView& view);

// The line (index in tree order) of the first node after `selectedLine`
// (from the first node when it is -1) whose text holds `text`, ignoring
// case; -1 when there is none or the text is empty.
int CEXFindInTree(const TXMLMessageTree& tree, int selectedLine, std::u16string_view text);

class TCEXSearches final {
 public:
  static constexpr const char* CEXcNotFound = "String not found: ";

  // None is owned; every reference must outlive the searches. `view` null:
  // there is no form, and the commands do nothing.
  struct TPorts {
    ICEXSearchView* view;
    ICEXDialogs& dialogs;
    TCEXCursorState& cursor;
    const TXMLMessageTree& tree;
    TCEXSourceSelection& selection;
  };

  explicit TCEXSearches(TPorts ports) : ports_(ports) {}

  // "Find..." (Ctrl+F): the prompt; on "Ok" the tree search when the
  // source tree has the focus, otherwise the memo search from the start.
  void Action_FindExecute(bool treeFocused);
  // "Find next" (F3): the tree search, or the memo search from the
  // selection.
  void Action_FindNextExecute(bool treeFocused);
  // The memo pop-up's "Find..." and "Find Next" on the memo it was opened on.
  void Find2Click(TCEXMemo memo);
  void FindNext2Click(TCEXMemo memo);

 private:
  // From the node after the selected one, under the busy cursor.
  void FindInTree(const std::string& text);
  void FindInMemo(TCEXMemo memo, bool fromStart, const std::string& text);
  void NotFound(const std::string& text);

  TPorts ports_;
};

}  // namespace kal
