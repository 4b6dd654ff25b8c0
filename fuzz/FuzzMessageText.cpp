// libFuzzer target for whole message files. Checks: no crash; a failure
// names a line of the text (2 for the element count, else the first line of
// the record that could not be read); a text read completely is saved, and
// reading the saved text gives the same tree, and the text saved from that
// reads and saves unchanged.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "ep2/MessageElement.h"
#include "ep2/MessageTree.h"
#include "workbench/MessageFiles.h"

namespace {

using kal::fuzz::Check;

std::vector<std::string> Dump(const kal::TXMLMessageTree& tree) {
  std::vector<std::string> out;
  for (const kal::TXMLTreeNode* n = tree.GetFirstNode(); n != nullptr; n = n->GetNext()) {
    const kal::TUAXxmlElement& e = *n->GetData();
    out.push_back(std::to_string(n->GetLevel()) + "\n" + e.GetName() + "\n" + e.GetValue() + "\n" +
                  e.GetType() + "\n" + e.GetAttributes() + "\n" + e.GetTLVTag());
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 65536) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  kal::TXMLMessageTree tree;
  const kal::TCEXMessageReadResult r = kal::CEXReadMessageText(text, tree, false, 0);
  if (r.result != 0) {
    Check(r.errorLine >= 2);
    return 0;
  }
  Check(tree.Count() <= r.records);
  std::string saved, errorText;
  if (kal::CEXMessageText(tree, nullptr, saved, errorText) != 0) return 0;
  kal::TXMLMessageTree again;
  const kal::TCEXMessageReadResult r2 = kal::CEXReadMessageText(saved, again, false, 0);
  Check(r2.result == 0 && r2.complete && r2.records == tree.Count());
  Check(Dump(again) == Dump(tree));
  std::string savedAgain;
  Check(kal::CEXMessageText(again, nullptr, savedAgain, errorText) == 0);
  // Reading renumbers in reading order, which a top-level node read before
  // a child of an earlier node leaves out of tree order; once saved in tree
  // order, the text stays the same.
  kal::TXMLMessageTree third;
  Check(kal::CEXReadMessageText(savedAgain, third, false, 0).complete);
  std::string savedThird;
  Check(kal::CEXMessageText(third, nullptr, savedThird, errorText) == 0 &&
        savedThird == savedAgain);
  return 0;
}
