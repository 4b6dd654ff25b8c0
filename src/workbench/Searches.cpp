#include "workbench/Searches.h"

#include "ep2/DocumentText.h"
#include "ep2/MessageTree.h"
#include "support/MemoSearch.h"
#include "workbench/BusyCursor.h"
#include "workbench/SourceSelection.h"

namespace kal {

TCEXMemo CEXGetPopupMemo(const ICEXSearchView& view) {
  for (TCEXMemo memo :
       {TCEXMemo::Memo1, TCEXMemo::Memo2, TCEXMemo::Memo3, TCEXMemo::Memo4, TCEXMemo::Memo5}) {
    if (view.CEXMemoFocused(memo)) return memo;
  }
  return TCEXMemo::Memo6;
}

int CEXFindInTree(const TXMLMessageTree& tree, int selectedLine, std::u16string_view text) {
  if (text.empty()) return -1;
  int line = 0;
  for (const TXMLTreeNode* node = tree.GetFirstNode(); node != nullptr;
       node = node->GetNext(), ++line) {
    if (line <= selectedLine) continue;
    if (FindNextString(UTFToDocumentText(node->GetText()), 0, text)) return line;
  }
  return -1;
}

void TCEXSearches::Action_FindExecute(bool treeFocused) {
  if (ports_.view == nullptr) return;
  // The memo focused when the command came: the prompt takes the focus.
  const TCEXMemo memo = CEXGetPopupMemo(*ports_.view);
  if (!ports_.view->CEXAskSearchText()) return;
  const std::string text = ports_.view->CEXSearchText();
  if (treeFocused)
    FindInTree(text);
  else
    FindInMemo(memo, true, text);
}

void TCEXSearches::Action_FindNextExecute(bool treeFocused) {
  if (ports_.view == nullptr) return;
  const std::string text = ports_.view->CEXSearchText();
  if (treeFocused)
    FindInTree(text);
  else
    FindInMemo(CEXGetPopupMemo(*ports_.view), false, text);
}

void TCEXSearches::Find2Click(TCEXMemo memo) {
  if (ports_.view == nullptr || !ports_.view->CEXAskSearchText()) return;
  FindInMemo(memo, true, ports_.view->CEXSearchText());
}

void TCEXSearches::FindNext2Click(TCEXMemo memo) {
  if (ports_.view != nullptr) FindInMemo(memo, false, ports_.view->CEXSearchText());
}

void TCEXSearches::FindInTree(const std::string& text) {
  if (text.empty()) return;
  int line = -1;
  {
    const TCEXBusyCursor busy(ports_.cursor);
    line = CEXFindInTree(ports_.tree, ports_.selection.CEXSelectedSourceLine(),
                         UTFToDocumentText(text));
  }
  if (line < 0) return NotFound(text);
  ports_.selection.CEXSelectSourceLine(line);
}

void TCEXSearches::FindInMemo(TCEXMemo memo, bool fromStart, const std::string& text) {
  if (text.empty()) return;
  const TCEXMemoShown shown = ports_.view->CEXMemoShown(memo);
  const size_t from = fromStart ? 0 : MSRSearchStart(shown.selectionStart, shown.selectionLength);
  const std::u16string needle = UTFToDocumentText(text);
  const auto hit = FindNextString(shown.text, from, needle);
  if (!hit) return NotFound(text);
  ports_.view->CEXSelectInMemo(memo, *hit, needle.size());
}

void TCEXSearches::NotFound(const std::string& text) {
  ports_.dialogs.CEXShowMessage(CEXcNotFound + text);
}

}  // namespace kal
