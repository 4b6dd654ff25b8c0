// The XML 1.0 tests of the W3C conformance suite. A well-formed document
// (valid or invalid: the parser does not validate) must be accepted, a
// not-wf one rejected; the committed deviation list names, with a reason,
// every test where the parser deliberately differs, and the test fails on
// any change against it. Documents are read from their files, so that
// external DTDs and entities are found beside them; "error" tests allow
// either result.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "XMLSuiteSupport.h"

namespace kal {
namespace {

using test::SuiteTest;

struct Tally {
  int passed = 0;
  int total = 0;
};

TEST(XMLConformance, ManifestAgainstDeviationList) {
  const test::W3CSuite suite;
  const std::vector<SuiteTest> tests = test::ReadManifest();
  const std::map<std::string, std::string> deviations = test::ReadDeviations();
  std::map<std::string, Tally> tally{
      {"not-wf rejected", {}}, {"valid accepted", {}}, {"invalid accepted", {}}};
  std::set<std::string> counted;
  int errors = 0;
  for (const SuiteTest& t : tests) {
    TVxXMLParser parser;
    parser.SetFileName(suite.Root() + t.path);
    // Some tests name addresses on the internet; this machine reads none.
    parser.SetRetrieveInternetURI(false);
    const test::Parsed parsed = test::ParseBytes(parser, test::ReadBytes(suite.Root() + t.path));
    const bool accepted = parsed.doc != nullptr;
    if (t.type == "error") {
      ++errors;
      continue;
    }
    counted.insert(t.id);
    const bool wellFormed = t.type != "not-wf";
    const bool conforms = accepted == wellFormed;
    Tally& row = tally[wellFormed ? t.type + " accepted" : "not-wf rejected"];
    ++row.total;
    row.passed += conforms;
    const bool listed = deviations.count(t.id) > 0;
    if (conforms && listed)
      ADD_FAILURE() << t.id << " now conforms: take it off the deviation list";
    if (!conforms && !listed)
      ADD_FAILURE() << t.id << " (" << t.type << ", " << t.path << ") "
                    << (accepted ? "accepted" : "rejected: " + parsed.error);
  }
  for (const auto& [id, reason] : deviations)
    EXPECT_TRUE(counted.count(id)) << id << " is listed but not a counted test of the manifest";
  for (const auto& [category, row] : tally)
    std::printf("%-18s %4d of %4d (%.1f%%)\n", category.c_str(), row.passed, row.total,
                row.total ? 100.0 * row.passed / row.total : 0.0);
  std::printf("error tests (either result): %d\n", errors);
}

}  // namespace
}  // namespace kal
