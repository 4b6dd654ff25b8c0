// libFuzzer target for the element records of message files. The input's
// first line is the file version, the rest are records, read until the text
// ends. Checks: no crash; every loaded element holds valid UTF-8; ids are
// unique and each parent id names the parent node's element (0 at the top
// level); saving the loaded tree succeeds, and loading that text again gives
// the same tree with ids 1..n in tree order.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "ep2/ElementRecords.h"
#include "ep2/Utf8Text.h"

namespace {

using kal::fuzz::Check;

std::vector<std::string> Dump(const kal::TXMLMessageTree& tree) {
  std::vector<std::string> out;
  std::set<int32_t> ids;
  int count = 0;
  for (const kal::TXMLTreeNode* n = tree.GetFirstNode(); n != nullptr; n = n->GetNext()) {
    const kal::TUAXxmlElement& e = *n->GetData();
    const kal::TXMLTreeNode* p = n->GetParent();
    Check(e.GetParentID() == (p ? p->GetData()->GetID() : 0));
    Check(ids.insert(e.GetID()).second);
    Check(p == nullptr || e.GetParentID() < e.GetID());
    for (const std::string* s :
         {&e.GetName(), &e.GetValue(), &e.GetType(), &e.GetAttributes(), &e.GetTLVTag()})
      Check(kal::UTFIsValidUTF8(*s));
    out.push_back(std::to_string(n->GetLevel()) + "\n" + e.GetName() + "\n" + e.GetValue() + "\n" +
                  e.GetType() + "\n" + e.GetAttributes() + "\n" + e.GetTLVTag());
    ++count;
  }
  Check(count == tree.Count());
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 65536) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  kal::TTextLineReader in(text);
  std::string version;
  (void)in.ReadLine(version);
  const bool shortText = !version.empty() && (version.back() & 1);

  kal::TXMLMessageTree tree;
  const int32_t rc = kal::UAXLoadElementRecords(in, version, INT32_MAX, tree, shortText);
  // Records are read until something fails: the end of the text at the least.
  Check(rc == kal::kUAXRecordEndOfFile || rc == kal::kUAXRecordBadNumber);
  const std::vector<std::string> first = Dump(tree);

  kal::TTextLineWriter out;
  std::string error;
  Check(kal::UAXSaveElementRecords(tree, out, error) == 0);
  kal::TXMLMessageTree again;
  kal::TTextLineReader in2(out.Text());
  Check(kal::UAXLoadElementRecords(in2, "7.0.1", tree.Count(), again, false) == 0);
  Check(in2.AtEnd());
  Check(Dump(again) == first);
  int32_t expect = 1;
  for (const kal::TXMLTreeNode* n = again.GetFirstNode(); n != nullptr; n = n->GetNext())
    Check(n->GetData()->GetID() == expect++);
  return 0;
}
