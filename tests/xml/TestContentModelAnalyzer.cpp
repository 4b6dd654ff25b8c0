// The content-model matcher: chosen models with the sequences that tell a
// correct matcher from a greedy one, bounds on nesting and input, and random
// models and child sequences compared with Python's regular expressions
// (child names as letters, the model as a pattern).
#include "xml/ContentModelAnalyzer.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <sstream>

#include "common/TestSupport.h"
#include "xml/XMLDTD.h"
#include "xml/XMLParser.h"

namespace kal {
namespace {

// A document whose root element r is declared with model; other names are
// declared EMPTY.
std::string Document(const std::string& model, const std::string& children) {
  std::string text = "<!DOCTYPE r [<!ELEMENT r " + model + ">";
  for (const char* n : {"a", "b", "c", "d"}) text += std::string("<!ELEMENT ") + n + " EMPTY>";
  return text + "]><r>" + children + "</r>";
}

struct Model {
  TVxXMLParser parser;
  std::unique_ptr<TVxXMLDocument> doc;
  const TVxContentModel* content = nullptr;
};

std::unique_ptr<Model> ReadModel(const std::string& model) {
  auto m = std::make_unique<Model>();
  m->parser.SetRetrieveExternal(false);
  std::istringstream in(Document(model, ""));
  m->parser.Parse(in, m->doc);
  const auto* type = dynamic_cast<TVxDocumentType*>(m->doc->GetDocumentType());
  m->content = type->GetElementDecl(u"r")->GetContentModel();
  return m;
}

// Children as letters ("ab" is <a/><b/>).
bool Accepts(const std::string& model, const std::string& letters) {
  const auto m = ReadModel(model);
  std::vector<std::u16string> names;
  for (char c : letters) names.emplace_back(1, static_cast<char16_t>(c));
  const std::vector<std::u16string_view> views(names.begin(), names.end());
  TContentModelAnalyzer analyzer;
  return analyzer.MatchContentModel(views, *m->content);
}

TEST(ContentModelAnalyzer, ChoicesAndRepetitionsAreTriedWithoutCommittingEarly) {
  struct Case {
    const char* model;
    const char* children;
    bool accepted;
  };
  const Case cases[] = {
      {"((a,b)|c)*", "ac", false},
      {"((a,b)|c)*", "abcab", true},
      {"((a,b)|c)*", "", true},
      {"((a,b)|c)*", "aba", false},
      {"(a,b)", "ab", true},
      {"(a,b)", "ba", false},
      {"(a|b)", "ab", false},
      {"(a|b)*", "baa", true},
      {"(a,b?)", "a", true},
      {"(a?)", "", true},
      {"(a+)", "", false},
      {"(b)", "ab", false},
      {"(a*,a)", "aaa", true},
      {"((a,b)|(a,c))", "ac", true},
      {"(a?,a?,a)", "aa", true},
      {"((a|b)*,b)", "abab", true},
      {"((a|b)*,b)", "aba", false},
      {"(a?,b?)*", "bab", true},
      {"(a?,b?)+", "", true},
      {"((a?)*)+", "aaa", true},
      {"((a?)*)+", "b", false},
      {"(a,(b|c)+,d?)", "acbd", true},
      {"(a,(b|c)+,d?)", "ad", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Accepts(c.model, c.children), c.accepted)
        << c.model << " on \"" << c.children << "\"";
}

TEST(ContentModelAnalyzer, NamesMatchIgnoringAsciiCaseAndCurNodeStopsWhereMatchingFailed) {
  const auto m = ReadModel("(A,b+)");
  std::unique_ptr<TVxXMLDocument> doc;
  TVxXMLParser parser;
  std::istringstream in("<r><a/><B/><b/><c/><b/></r>");
  parser.Parse(in, doc);
  const TVxXMLElement* first = doc->GetDocumentElement()->GetFirstChild();
  TContentModelAnalyzer analyzer;
  EXPECT_FALSE(analyzer.MatchContentModel(first, *m->content));
  ASSERT_NE(analyzer.CurNode, nullptr);
  EXPECT_EQ(analyzer.CurNode->GetName(), u"c");

  // Children running out before the model is satisfied leave nothing to
  // point at; an accepted list neither. (The models stay alive while the
  // analyser that compiled them is used.)
  const auto longer = ReadModel("(a,b,b,c,b,d)");
  EXPECT_FALSE(analyzer.MatchContentModel(first, *longer->content));
  EXPECT_EQ(analyzer.CurNode, nullptr);
  const auto exact = ReadModel("(a,b*,c,b)");
  EXPECT_TRUE(analyzer.MatchContentModel(first, *exact->content));
  EXPECT_EQ(analyzer.CurNode, nullptr);
  const auto none = ReadModel("(a*)");
  EXPECT_TRUE(analyzer.MatchContentModel(nullptr, *none->content));
}

TEST(ContentModelAnalyzer, HandBuiltModelsOfAnyDepthAndUnknownDelimiters) {
  TVxXMLDocument doc;
  // 200,000 nested groups around one name, compiled without recursion.
  auto model = std::make_unique<TVxContentModel>(ctChildren, &doc);
  model->AddElement(u"a", tcNone);
  for (int i = 0; i < 200000; ++i) {
    auto outer = std::make_unique<TVxContentModel>(ctChildren, &doc);
    outer->AddElement(model.release());
    if (i % 2) outer->Occurrence = tcOneBase;
    model = std::move(outer);
  }
  TContentModelAnalyzer analyzer;
  EXPECT_TRUE(analyzer.MatchContentModel({u"a", u"a"}, *model));
  EXPECT_FALSE(analyzer.MatchContentModel({}, *model));

  // A group joined by neither "," nor "|" lets nothing through.
  TVxContentModel odd(ctChildren, &doc);
  odd.AddElement(u"a", tcQuest);
  odd.SetDelimiter(u'&');
  EXPECT_FALSE(analyzer.MatchContentModel({}, odd));
  EXPECT_FALSE(analyzer.MatchContentModel({u"a"}, odd));
  odd.Occurrence = tcZeroBase;
  TContentModelAnalyzer fresh;  // the first analyser keeps what it compiled
  EXPECT_TRUE(fresh.MatchContentModel({}, odd));
}

TEST(ContentModelAnalyzer, LongChildListsOnNestedOptionalRepetitions) {
  // Every repetition here can match without reading; 100,000 children must
  // neither loop nor take exponential time.
  const auto m = ReadModel("((a?,(b?)*)*,c?)+");
  std::vector<std::u16string_view> names;
  for (int i = 0; i < 100000; ++i) names.push_back(i % 3 == 2 ? u"b" : u"a");
  TContentModelAnalyzer analyzer;
  EXPECT_TRUE(analyzer.MatchContentModel(names, *m->content));
  names.push_back(u"d");
  EXPECT_FALSE(analyzer.MatchContentModel(names, *m->content));
}

// Random models over the names a to d, written as a content model (names in
// random ASCII case) and as a Python pattern over the letters.
class ModelGenerator {
 public:
  explicit ModelGenerator(std::uint32_t seed) : rng_(seed) {}

  struct Generated {
    std::string model, pattern;
  };

  Generated Group(int depth) {
    const int count = 1 + Pick(3);
    const char delimiter = Pick(2) ? ',' : '|';
    Generated g{"(", "(?:"};
    for (int i = 0; i < count; ++i) {
      if (i) {
        g.model += delimiter;
        if (delimiter == '|') g.pattern += '|';
      }
      const Generated p = depth > 0 && Pick(3) == 0 ? Group(depth - 1) : Leaf();
      g.model += p.model;
      g.pattern += p.pattern;
    }
    const std::string occurrence = Occurrence();
    return {g.model + ")" + occurrence, g.pattern + ")" + occurrence};
  }

  // A child sequence: often a word the model accepts, changed a little.
  std::string Word(const std::string& pattern) {
    std::string w = Pick(3) ? Sample(pattern) : "";
    if (Pick(2) == 0 || w.empty()) {
      for (int n = Pick(5); n > 0; --n)
        w.insert(w.begin() + Pick(static_cast<int>(w.size()) + 1), Letter());
    } else if (Pick(2) == 0) {
      w.erase(w.begin() + Pick(static_cast<int>(w.size())));
    }
    return w.size() > 12 ? w.substr(0, 12) : w;
  }

 private:
  int Pick(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }
  char Letter() { return static_cast<char>('a' + Pick(4)); }

  std::string Occurrence() {
    static const char* const kOccurrences[] = {"", "", "?", "*", "+"};
    return kOccurrences[Pick(5)];
  }

  Generated Leaf() {
    const char letter = Letter();
    const std::string occurrence = Occurrence();
    const char name = Pick(2) ? static_cast<char>(letter - 'a' + 'A') : letter;
    return {std::string(1, name) + occurrence, std::string(1, letter) + occurrence};
  }

  // Walks the pattern text choosing branches and repetitions at random.
  std::string Sample(const std::string& pattern) {
    std::size_t at = 0;
    std::string out;
    SampleSeq(pattern, at, out);
    return out;
  }
  // One alternative of the group the pattern is in at at; at ends on ")" or
  // the end.
  void SampleSeq(const std::string& p, std::size_t& at, std::string& out) {
    // Count the alternatives of this level and pick one.
    std::vector<std::size_t> starts{at};
    for (std::size_t i = at, depth = 0; i < p.size(); ++i) {
      if (p[i] == '(') ++depth;
      if (p[i] == ')') {
        if (depth == 0) break;
        --depth;
      }
      if (p[i] == '|' && depth == 0) starts.push_back(i + 1);
    }
    at = starts[static_cast<std::size_t>(Pick(static_cast<int>(starts.size())))];
    while (at < p.size() && p[at] != '|' && p[at] != ')') {
      const std::size_t begin = at;
      std::size_t end;
      if (p[at] == '(') {
        int depth = 0;
        end = at;
        do {
          if (p[end] == '(') ++depth;
          if (p[end] == ')') --depth;
          ++end;
        } while (depth > 0);
      } else {
        end = at + 1;
      }
      const char occurrence = end < p.size() ? p[end] : 0;
      const bool marked = occurrence == '?' || occurrence == '*' || occurrence == '+';
      int times = 1;
      if (occurrence == '?') times = Pick(2);
      if (occurrence == '*') times = Pick(3);
      if (occurrence == '+') times = 1 + Pick(2);
      for (int t = 0; t < times; ++t) {
        if (p[begin] == '(') {
          std::size_t inner = begin + 3;  // after "(?:"
          SampleSeq(p, inner, out);
        } else {
          out += p[begin];
        }
      }
      at = end + (marked ? 1 : 0);
    }
    // Skip the remaining alternatives up to this level's ")".
    for (int depth = 0; at < p.size(); ++at) {
      if (p[at] == '(') ++depth;
      if (p[at] == ')') {
        if (depth == 0) break;
        --depth;
      }
    }
  }

  std::mt19937 rng_;
};

TEST(ContentModelAnalyzer, RandomModelsAgreeWithPythonRegularExpressions) {
  ModelGenerator gen(20240611);
  struct Case {
    std::string model, word;
  };
  std::vector<Case> cases;
  std::string input;
  for (int m = 0; m < 400; ++m) {
    const ModelGenerator::Generated g = gen.Group(3);
    for (int w = 0; w < 8; ++w) {
      cases.push_back({g.model, gen.Word(g.pattern)});
      input += g.pattern + "\t" + cases.back().word + "\n";
    }
  }
  int status = 0;
  const std::string out = test::RunPython(
      "import re, sys\n"
      "for line in sys.stdin:\n"
      "    pattern, word = line.rstrip('\\n').split('\\t')\n"
      "    print(1 if re.fullmatch(pattern, word) else 0)\n",
      input, &status);
  ASSERT_EQ(status, 0);
  const std::vector<std::string> expected = test::SplitLines(out);
  ASSERT_EQ(expected.size(), cases.size());
  int accepted = 0;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const bool oracle = expected[i] == "1";
    accepted += oracle;
    EXPECT_EQ(Accepts(cases[i].model, cases[i].word), oracle)
        << cases[i].model << " on \"" << cases[i].word << "\"";
    // Every eighth case also as a whole document, validated as it is read.
    if (i % 8 != 0) continue;
    std::string children;
    for (char c : cases[i].word) children += std::string("<") + c + "/>";
    TVxXMLParser parser;
    parser.SetValidateDocument(true);
    std::istringstream in(Document(cases[i].model, children));
    std::unique_ptr<TVxXMLDocument> doc;
    EXPECT_EQ(parser.Parse(in, doc), oracle) << cases[i].model << " on \"" << cases[i].word << "\"";
  }
  // Both verdicts occur often enough for the comparison to mean something.
  EXPECT_GT(accepted, static_cast<int>(cases.size()) / 5);
  EXPECT_LT(accepted, static_cast<int>(cases.size()) * 4 / 5);
}

}  // namespace
}  // namespace kal
