#pragma once

// What the benchmarks that drive the main window's roads share: a temporary
// folder and the 4 KB "ep2:authreq" message they build and send.

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "ep2/MessageElement.h"
#include "ep2/MessageTree.h"

namespace kal::bench {

constexpr int kElements = 110;  // about 4 KB of XML

// The value of the i-th generated element, 24 characters.
inline std::string Value(int i) {
  std::string v = "value of element number " + std::to_string(i);
  v.resize(24, '.');
  return v;
}

// A fresh temporary folder, removed at the end.
struct Folder {
  Folder() {
    char name[] = "/tmp/kal-bench-XXXXXX";
    if (mkdtemp(name) == nullptr) std::abort();
    path = std::string(name) + "/";
  }
  ~Folder() { std::filesystem::remove_all(path); }
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  std::string path;
};

// Fills the empty source tree with the message: "ep2:TrmID", "ep2:TrxSeqCnt"
// (counted up) and kElements generated items.
inline void AddBenchMessage(TXMLMessageTree& tree) {
  int32_t id = 0;
  TXMLTreeNode* root =
      tree.AddChildObject(nullptr, "ep2:authreq",
                          std::make_unique<TUAXxmlElement>("ep2:authreq", "", "c", "", "", 0), id);
  root->GetData()->SetID(id);
  const int32_t rootId = id;
  const auto add = [&](const std::string& name, const std::string& type, const std::string& value,
                       const std::string& attributes) {
    tree.AddChildObject(root, name,
                        std::make_unique<TUAXxmlElement>(name, value, type, attributes, "", rootId),
                        id)
        ->GetData()
        ->SetID(id);
  };
  add("ep2:TrmID", "an", "T0000042", "M");
  add("ep2:TrxSeqCnt", "n", "1", "A");
  for (int i = 0; i < kElements; ++i) add("ep2:Item" + std::to_string(i), "ans", Value(i), "M");
}

}  // namespace kal::bench
