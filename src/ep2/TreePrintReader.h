#pragma once

// A message tree read for printing and for the tree text files: every node
// in tree order, collapsed or not.

#include "ep2/MessageTree.h"
#include "support/PrintLayout.h"

namespace kal {

class TXMLTreePrintReader final : public IPRSTreeReader {
 public:
  explicit TXMLTreePrintReader(const TXMLMessageTree& tree) : tree_(tree) {}
  void PRSForEachNode(
      const std::function<void(int level, const std::string& text)>& visit) const override {
    for (const TXMLTreeNode* node = tree_.GetFirstNode(); node != nullptr; node = node->GetNext())
      visit(node->GetLevel(), node->GetText());
  }

 private:
  const TXMLMessageTree& tree_;
};

}  // namespace kal
