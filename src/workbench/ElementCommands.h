#pragma once

// The element commands on the source tree: copy, cut, delete, insert before
// and insert as child through the element clipboard, go to parent, the
// parent ids after drag and drop, and the id and name look-ups.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kal {

class TUACEditElement;
class TXMLMessageTree;
class TXMLTreeNode;
class TUAXxmlElement;

// Refusals of the insert commands.
inline constexpr const char* CEXcNoFocusForInsert =
    "Select element in source window, where to insert";
inline constexpr const char* CEXcClipboardEmpty = "Use copy or cut item function first";
inline constexpr const char* CEXcNoInsertPlace = "Select element where to insert";
inline constexpr const char* CEXcInsertAboveRoot = "Insert above root element is not possible";
inline constexpr const char* CEXcContainersOnly = "Operation allowed for container elements only";

// The clipboard is emptied; with a selected node and the focus on the tree,
// it then holds the node's element and those of its descendants in tree
// order.
void CEXCopyItem(TUACEditElement& clipboard, const TXMLTreeNode* selected, bool hasFocus);
// Copy, then the node and its subtree are deleted. True when deleted.
bool CEXCutItem(TXMLMessageTree& tree, TUACEditElement& clipboard, TXMLTreeNode* selected,
                bool hasFocus);
// Deletes the node with its subtree (no clipboard). True when deleted.
bool CEXDeleteItem(TXMLMessageTree& tree, TXMLTreeNode* selected);

// Inserts the clipboard's elements in front of the selected node
// (`asChild` false) or as its last child; the elements get new ids and
// their parent ids follow. Returns the refusal text, empty when inserted;
// `inserted` gets the first new node.
std::string CEXInsertItem(TXMLMessageTree& tree, const TUACEditElement& clipboard,
                          TXMLTreeNode* selected, bool hasFocus, bool asChild,
                          TXMLTreeNode** inserted = nullptr);

// Hangs an element under its parent: parent id 0 makes a top-level node,
// otherwise the last node (searching from the end) whose element has that
// id gets it as its last child. The element keeps its id. False (and the
// element freed) when no parent was found.
bool InsertElement(TXMLMessageTree& tree, std::unique_ptr<TUAXxmlElement> element, bool shortText);

// The node of the selected node's parent element, searching backwards from
// the selected node; nullptr when there is none.
TXMLTreeNode* CEXGotoParent(TXMLTreeNode* selected);

// After drag and drop: the moved element's parent id becomes the target's
// id (mode 0, first child) or the target's parent id (mode 1, before it).
void CEXDragDropEnd(TXMLTreeNode* moved, TXMLTreeNode* target, int32_t mode);

void CEXClearAllOldIDs(TXMLMessageTree& tree);
// The first element with that id, or none.
TUAXxmlElement* CEXFindElementID(const TXMLMessageTree& tree, int32_t id);
// The `count`-th element (from 1, tree order) with exactly that name, or
// none.
TUAXxmlElement* CEXFindElementName(const TXMLMessageTree& tree, std::string_view name, int count);

}  // namespace kal
