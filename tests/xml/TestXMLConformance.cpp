// The XML 1.0 tests of the W3C conformance suite, read with validation on. A
// not-wf document must be rejected, a valid one accepted without findings and
// an invalid one accepted with findings; the committed deviation list names,
// with a reason, every test where the parser deliberately differs, and the
// test fails on any change against it. Documents are read from their files,
// so that external DTDs and entities are found beside them; "error" tests
// allow either result. libxml2's validator reads the same files as a second
// oracle.
#include <gtest/gtest.h>
#include <libxml/parser.h>

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

void PrintTally(const std::map<std::string, Tally>& tally) {
  for (const auto& [category, row] : tally)
    std::printf("%-26s %4d of %4d (%.1f%%)\n", category.c_str(), row.passed, row.total,
                row.total ? 100.0 * row.passed / row.total : 0.0);
}

// Our verdict on one suite file: rejected, or accepted with or without
// validation findings.
struct Verdict {
  bool accepted = false;
  bool valid = false;
  std::string detail;  // the parser error or the first finding
};

Verdict Read(const test::W3CSuite& suite, const SuiteTest& t) {
  TVxXMLParser parser;
  parser.SetFileName(suite.Root() + t.path);
  // Some tests name addresses on the internet; this machine reads none.
  parser.SetRetrieveInternetURI(false);
  parser.SetValidateDocument(true);
  const test::Parsed parsed = test::ParseBytes(parser, test::ReadBytes(suite.Root() + t.path));
  Verdict v;
  v.accepted = parsed.doc != nullptr;
  v.valid = v.accepted && parser.ValidationErrors.empty();
  v.detail = !v.accepted                       ? "rejected: " + parsed.error
             : parser.ValidationErrors.empty() ? "valid"
                                               : "invalid: " + parser.ValidationErrors[0].Msg;
  return v;
}

// Whether the verdict is the one the suite asks for.
bool Conforms(const SuiteTest& t, const Verdict& v) {
  if (t.type == "not-wf") return !v.accepted;
  if (t.type == "valid") return v.valid;
  return v.accepted && !v.valid;  // invalid
}

TEST(XMLConformance, ManifestAgainstDeviationList) {
  const test::W3CSuite suite;
  const std::vector<SuiteTest> tests = test::ReadManifest();
  const std::map<std::string, std::string> deviations = test::ReadDeviations();
  std::map<std::string, Tally> tally{
      {"not-wf rejected", {}}, {"valid found valid", {}}, {"invalid found invalid", {}}};
  std::set<std::string> counted;
  int errors = 0;
  for (const SuiteTest& t : tests) {
    const Verdict v = Read(suite, t);
    if (t.type == "error") {
      ++errors;
      continue;
    }
    counted.insert(t.id);
    const bool conforms = Conforms(t, v);
    Tally& row = tally[t.type == "not-wf" ? "not-wf rejected" : t.type + " found " + t.type];
    ++row.total;
    row.passed += conforms;
    const bool listed = deviations.count(t.id) > 0;
    if (conforms && listed)
      ADD_FAILURE() << t.id << " now conforms: take it off the deviation list";
    if (!conforms && !listed)
      ADD_FAILURE() << t.id << " (" << t.type << ", " << t.path << ") " << v.detail;
  }
  for (const auto& [id, reason] : deviations)
    EXPECT_TRUE(counted.count(id)) << id << " is listed but not a counted test of the manifest";
  PrintTally(tally);
  std::printf("error tests (either result): %d\n", errors);
}

// libxml2 validates every valid and invalid test that both parsers read.
// Where it agrees with the suite our verdict must match it unless the test
// is a listed deviation; where it differs from the suite, our verdict must
// be the suite's (or listed) and the test is counted and named.
void IgnoreMessage(void*, const char*, ...) {}

TEST(XMLConformance, ValidityAgainstLibxml2) {
  xmlSetGenericErrorFunc(nullptr, IgnoreMessage);
  const test::W3CSuite suite;
  const std::map<std::string, std::string> deviations = test::ReadDeviations();
  std::map<std::string, Tally> tally{{"valid: same as libxml2", {}},
                                     {"invalid: same as libxml2", {}}};
  std::vector<std::string> libxml2Differs;
  for (const SuiteTest& t : test::ReadManifest()) {
    if (t.type != "valid" && t.type != "invalid") continue;
    const Verdict ours = Read(suite, t);
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    ASSERT_NE(ctxt, nullptr);
    // Its findings are counted, not printed.
    ctxt->vctxt.error = nullptr;
    ctxt->vctxt.warning = nullptr;
    xmlDocPtr doc = xmlCtxtReadFile(ctxt, (suite.Root() + t.path).c_str(), nullptr,
                                    XML_PARSE_DTDLOAD | XML_PARSE_DTDVALID | XML_PARSE_NONET |
                                        XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    const bool theirsRead = doc != nullptr && ctxt->wellFormed;
    const bool theirsValid = theirsRead && ctxt->valid;
    xmlFreeDoc(doc);
    xmlFreeParserCtxt(ctxt);
    if (!theirsRead || !ours.accepted) continue;
    Tally& row = tally[t.type + ": same as libxml2"];
    ++row.total;
    row.passed += ours.valid == theirsValid;
    const bool suiteValid = t.type == "valid";
    if (theirsValid != suiteValid) libxml2Differs.push_back(t.id);
    const bool explained =
        ours.valid == theirsValid || ours.valid == suiteValid || deviations.count(t.id) > 0;
    EXPECT_TRUE(explained) << t.id << " (" << t.type << "): libxml2 says "
                           << (theirsValid ? "valid" : "invalid") << ", ours " << ours.detail;
    if (theirsValid == suiteValid && ours.valid != theirsValid) {
      EXPECT_TRUE(deviations.count(t.id) > 0)
          << t.id << ": both oracles say " << t.type << ", ours " << ours.detail;
    }
  }
  PrintTally(tally);
  std::printf("libxml2 differs from the suite on %zu tests:", libxml2Differs.size());
  for (const std::string& id : libxml2Differs) std::printf(" %s", id.c_str());
  std::printf("\n");
}

}  // namespace
}  // namespace kal
