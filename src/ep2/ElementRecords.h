#pragma once

// The element records of a message file, for a whole tree: written in tree
// order, read back with new ids. The file's own head (version line and
// element count) is the message file's business.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "ep2/MessageTree.h"
#include "support/TextLines.h"

namespace kal {

// Writes the record of every element in tree order (each element after its
// parent, children in their order). Result 0, or the first failing
// element's result and text (TUAXxmlElement::SaveToFile); `file` then holds
// the records written before it, and the caller must not store them.
[[nodiscard]] int32_t UAXSaveElementRecords(const TXMLMessageTree& tree, TTextLineWriter& file,
                                            std::string& errorText);

// Called for each element read, after its ids were set and before it is hung
// into the tree (the run-time value rules of reading).
using TUAXElementRead = std::function<void(TUAXxmlElement&)>;

// Empties `tree` (so ids start again at 1) and reads up to `count` records
// of the given file version into it. For each element: the stored id
// becomes its old id, it gets a new id from the tree's counter, and its
// parent id is mapped to the new id of the element read most recently whose
// old id equals it. A parent id of 0 makes a top-level node; a parent id
// that matches no element read before drops the record (the id it took
// stays used) and the next one follows. The node text is the element's
// short tree text with `shortText`, else the full one. Result 0, or the
// record error of the element that could not be read, kUAXRecordEndOfFile
// when the text holds fewer records than `count` (the tree keeps the
// elements read before).
[[nodiscard]] int32_t UAXLoadElementRecords(TTextLineReader& file, std::string_view version,
                                            int32_t count, TXMLMessageTree& tree, bool shortText,
                                            const TUAXElementRead& onRead = {});

}  // namespace kal
