// External DTDs and entities read through the parser: local files beside the
// document, what must fail (a missing file, no regular file, content beyond
// the cap), the options that switch retrieval off, the errors that name the
// DTD and its line, the bounds of entity expansion, and one loopback HTTP
// server for the network side.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>

#include "XMLTestSupport.h"
#include "common/TestSupport.h"
#include "xml/XMLDTD.h"
#include "xml/XMLParser.h"

extern char** environ;

namespace kal {
namespace {

using test::ExpectParserError;

// Catches reads and expansions that are not bounded at all (an unbounded
// billion laughs runs for hours); generous, since a bounded expansion of
// 10,000,000 characters under the sanitizers on a fully loaded machine took
// over a minute.
constexpr auto kTimeLimit = std::chrono::seconds(300);

struct Reader {
  TVxXMLParser parser;
  std::unique_ptr<TVxXMLDocument> doc;
  std::vector<std::string> notFound;  // the names OnFileNotFound was told

  Reader() {
    parser.OnFileNotFound = [this](TVxXMLNode&, const std::string& name) {
      notFound.push_back(name);
    };
  }
  // Parses text as the file fileName (empty: a stream) within the time limit.
  void Parse(const std::string& text, const std::string& fileName = "") {
    parser.SetFileName(fileName);
    std::istringstream in(text);
    const auto start = std::chrono::steady_clock::now();
    struct Timed {
      std::chrono::steady_clock::time_point start;
      ~Timed() { EXPECT_LT(std::chrono::steady_clock::now() - start, kTimeLimit); }
    } timed{start};
    parser.Parse(in, doc);
  }
  std::u16string Text() const { return doc->GetDocumentElement()->GetFirstCharData()->GetValue(); }
};

TEST(XMLExternal, ExternalSubsetBesideTheDocumentWithInternalPrecedence) {
  const test::TempDir dir;
  ::mkdir(dir.file("Sub").c_str(), 0700);
  test::WriteFile(dir.file("Sub/Doc.DTD"),
                  "<?xml version='1.0' encoding='ISO-8859-1'?>\n"
                  "<!ENTITY shared 'external'>\n"
                  "<!ENTITY only 'caf\xE9'>\n"
                  "<!ENTITY % more SYSTEM 'More.ent'>\n"
                  "%more;\n"
                  "<![ INCLUDE [ <!ENTITY inc 'included'> ]]>\n"
                  "<![IGNORE[ <!ENTITY ign 'x'> <![ nested ]]> <!ELEMENT broken ]]>\n");
  test::WriteFile(dir.file("Sub/More.ent"), "<!ENTITY more 'from the folder of the DTD'>");
  Reader run;
  run.Parse(
      "<!DOCTYPE r SYSTEM 'Sub/Doc.DTD' [<!ENTITY shared 'internal'>]>\n"
      "<r>&shared;|&only;|&more;|&inc;|&ign;</r>",
      dir.file("doc.xml"));
  EXPECT_EQ(run.Text(), u"internal|caf\u00E9|from the folder of the DTD|included|");
  EXPECT_TRUE(run.notFound.empty());
  // The name keeps its case: a lower-cased path names no file.
  Reader lower;
  ExpectParserError(
      [&] { lower.Parse("<!DOCTYPE r SYSTEM 'sub/doc.dtd'><r/>", dir.file("d.xml")); },
      "External entity \"" + dir.file("sub/doc.dtd") +
          "\" can not be read: File not found: " + dir.file("sub/doc.dtd"));
  EXPECT_EQ(lower.notFound, std::vector<std::string>{dir.file("sub/doc.dtd")});
}

TEST(XMLExternal, ErrorsInAnExternalDTDNameItsFileAndLine) {
  const test::TempDir dir;
  test::WriteFile(dir.file("bad.dtd"), "<!ENTITY a 'x'>\n\n<!ATTLIST r a STRING #IMPLIED>\n");
  test::WriteFile(dir.file("rest.dtd"), "<!ENTITY a 'x'>\n<r>not a declaration</r>\n");
  Reader run;
  const auto e = ExpectParserError(
      [&] {
        run.Parse("<?xml version='1.0'?>\n<!DOCTYPE r SYSTEM 'bad.dtd'>\n<r/>", dir.file("d.xml"));
      },
      "Unknown attribute type: \"STRING\".");
  EXPECT_EQ(e.FileName, dir.file("bad.dtd"));
  EXPECT_EQ(e.LineNumber, 2);
  EXPECT_EQ(e.ExtLineNumber, 3);
  // What the DTD holds beyond its declarations is not passed over.
  const auto rest =
      ExpectParserError([&] { run.Parse("<!DOCTYPE r SYSTEM 'rest.dtd'><r/>", dir.file("d.xml")); },
                        "Illegal occurence of \"<\".");
  EXPECT_EQ(rest.ExtLineNumber, 2);
}

TEST(XMLExternal, WhatIsNoRegularFileOrTooLargeFailsFast) {
  const test::TempDir dir;
  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  test::WriteFile(dir.file("big.ent"), std::string(10'000'001, 'x'));
  const struct {
    std::string literal;
    std::string why;
  } cases[] = {
      {"/dev/zero", "Not a regular file: /dev/zero"},
      {fifo, "Not a regular file: " + fifo},
      {dir.path(), "Not a regular file: " + dir.path()},
      {dir.file("missing.dtd"), "File not found: " + dir.file("missing.dtd")},
      {dir.file("big.ent"), "Content exceeds 10000000 bytes: " + dir.file("big.ent")},
  };
  for (const auto& c : cases) {
    for (const bool asEntity : {false, true}) {
      Reader run;
      const std::string text = asEntity
                                   ? "<!DOCTYPE r [<!ENTITY e SYSTEM '" + c.literal + "'>]><r/>"
                                   : "<!DOCTYPE r SYSTEM '" + c.literal + "'><r/>";
      try {
        run.Parse(text);
        ADD_FAILURE() << c.literal << " was read";
      } catch (const EVxXMLParserError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "External entity \"" + c.literal + "\" can not be read: " + c.why);
      }
      EXPECT_EQ(run.notFound, std::vector<std::string>{c.literal});
    }
  }
}

TEST(XMLExternal, RetrievalSwitchedOffReadsNothingAndOnlyTells) {
  const test::TempDir dir;
  test::WriteFile(dir.file("e.dtd"), "<!ENTITY e 'read'>");
  Reader off;
  off.parser.SetRetrieveExternal(false);
  off.Parse("<!DOCTYPE r SYSTEM '/dev/zero' [<!ENTITY x SYSTEM 'e.dtd'>]><r>&x;</r>",
            dir.file("d.xml"));
  EXPECT_EQ(off.notFound, (std::vector<std::string>{dir.file("e.dtd"), "/dev/zero"}));
  EXPECT_EQ(off.doc->GetDocumentElement()->GetFirstNode()->Next()->GetName(), u"x");

  // Without the network an address is not fetched, whatever its case.
  Reader local;
  local.parser.SetRetrieveInternetURI(false);
  local.Parse("<!DOCTYPE r SYSTEM 'HTTP://127.0.0.1:9/x.dtd'><r/>");
  EXPECT_EQ(local.notFound, std::vector<std::string>{"HTTP://127.0.0.1:9/x.dtd"});
}

TEST(XMLExternal, EntityExpansionIsBounded) {
  // Laughs: levels of ten references each to the level below, general
  // entities (used in text, in markup values, each parsed anew, or in an
  // attribute default) or parameter entities (expanded as they are declared).
  const auto laughs = [](int levels, const std::string& first, const std::string& use,
                         bool parameter = false) {
    const std::string decl = parameter ? "<!ENTITY % l" : "<!ENTITY l";
    const std::string ref = parameter ? "%l" : "&l";
    std::string dtd = "<!DOCTYPE r [" + decl + "0 '" + first + "'>";
    for (int i = 1; i <= levels; ++i) {
      dtd += decl + std::to_string(i) + " '";
      for (int j = 0; j < 10; ++j) dtd += ref + std::to_string(i - 1) + ";";
      dtd += "'>";
    }
    return dtd + use;
  };
  const auto characters = [](std::size_t limit) {
    return "Entity expansion exceeds the limit of " + std::to_string(limit) + " characters.";
  };
  const auto nodes = [](std::size_t limit) {
    return "Entity expansion exceeds the limit of " + std::to_string(limit) + " nodes.";
  };
  const auto repeat = [](const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
  };
  // What entities expand to is bounded by the document's size, and so are
  // the nodes their markup makes; a reference counts besides its text.
  struct Bomb {
    std::string text;
    std::string error;     // the limit's message for a document of this size
    std::size_t expanded;  // what the parse counted before it refused
  };
  const std::size_t floor = TVxXMLParser::kExpansionFloor;
  const std::size_t factor = TVxXMLParser::kExpansionFactor;
  const std::size_t nodeFloor = TVxXMLParser::kExpansionNodeFloor;
  std::vector<Bomb> bombs = {
      {laughs(9, "ha", "]><r>&l9;</r>"), "", 0},
      {laughs(9, "<b>ha</b>", "]><r>&l9;</r>"), "", 0},
      {laughs(9, "ha", "<!ATTLIST r a CDATA '&l9;'>]><r/>"), "", 0},
      // A million elements from 400 bytes.
      {laughs(6, "<x>y</x>", "]><r>&l6;</r>"), "", 0},
      // A million references to one character: cheap text, costly work.
      {laughs(6, "a", "]><r>&l6;</r>"), "", 0},
      // Each level is built when it is declared: up to the last that fits.
      {laughs(9, "ha", "]><r/>", true), "", 2 * 111'110 + 50 * kEntityReferenceCost},
      // Markup under the character bound that makes too many nodes, in one
      // reference or in many.
      {laughs(2, repeat("<x/>", 250), "]><r>&l2;&l2;&l2;&l2;&l2;</r>"), "nodes", 0},
      {"<!DOCTYPE r [<!ENTITY e '<x/>'>]><r>" + repeat("&e;", 4000) + "</r>", "nodes", 0},
  };
  for (Bomb& b : bombs) {
    if (b.error.empty())
      b.error = characters(floor + factor * b.text.size());
    else
      b.error = nodes(nodeFloor + b.text.size());
    Reader run;
    ExpectParserError([&] { run.Parse(b.text); }, b.error);
    if (b.error.ends_with("characters.")) {
      EXPECT_EQ(run.parser.ExpandedCharacters(), b.expanded);
    }
  }
  // A larger document may expand to more: the same references pass once
  // the document has room for them.
  const std::string bulk = "<!DOCTYPE r [<!ENTITY e0 '" + std::string(1000, 'x') +
                           "'><!ENTITY e1 '" + repeat("&e0;", 40) + "'>]><r>" + repeat("&e1;", 30) +
                           "</r>";
  Reader small, padded;
  ExpectParserError([&] { small.Parse(bulk); }, characters(floor + factor * bulk.size()));
  const std::string comment = "<!-- " + std::string(25'000, 'c') + " -->";
  padded.Parse(comment + bulk);
  EXPECT_EQ(padded.Text().size(), 1'200'000u);

  // Below the bound the whole expansion is counted once, with the cost of
  // each of its 122 references.
  Reader within;
  within.Parse(laughs(9, "ha", "]><r>&l2;&l1;</r>"));
  EXPECT_EQ(within.Text().size(), 220u);
  EXPECT_EQ(within.parser.ExpandedCharacters(), 220u + 122 * kEntityReferenceCost);

  // Cycles are refused, also where the references hide behind an "&" that
  // starts no reference, which the markup's parse reads apart.
  for (const char* loops :
       {"<!ENTITY a '<x>&b;</x>'><!ENTITY b '&a;'>", "<!ENTITY a '<b/>&#x&a;&#x&a;'>"}) {
    Reader loop;
    ExpectParserError([&] { loop.Parse(std::string("<!DOCTYPE r [") + loops + "]><r>&a;</r>"); },
                      "Entity \"a\" refers to itself.");
  }

  std::string chain = "<!DOCTYPE r [<!ENTITY e0 'end'>";
  for (int i = 1; i <= 41; ++i)
    chain += "<!ENTITY e" + std::to_string(i) + " '&e" + std::to_string(i - 1) + ";'>";
  Reader deep;
  deep.Parse(chain + "]><r>&e39;</r>");
  EXPECT_EQ(deep.Text(), u"end");
  ExpectParserError([&] { deep.Parse(chain + "]><r>&e41;</r>"); },
                    "Entities are nested deeper than 40 levels.");
}

// The loopback server of the external content tests
// (tests/platform/external_content_server.py), killed when the object goes.
class LoopbackHttp {
 public:
  LoopbackHttp() {
    std::string python = "/usr/bin/python3";
    std::string script = test::SourceDir() + "/tests/platform/external_content_server.py";
    std::string mode = "http";
    char* argv[] = {python.data(), script.data(), mode.data(), nullptr};
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    if (::posix_spawn(&pid_, argv[0], &fa, nullptr, argv, environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&fa);
    ::close(out[1]);
    std::string line;
    pollfd p{out[0], POLLIN, 0};
    char c = 0;
    while (pid_ > 0 && ::poll(&p, 1, 10000) == 1 && ::read(out[0], &c, 1) == 1 && c != '\n')
      line += c;
    ::close(out[0]);
    port_ = std::atoi(line.c_str());
  }
  ~LoopbackHttp() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  LoopbackHttp(const LoopbackHttp&) = delete;
  LoopbackHttp& operator=(const LoopbackHttp&) = delete;
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  int port() const { return port_; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

TEST(XMLExternal, OverHttpFromALoopbackServer) {
  const LoopbackHttp server;
  ASSERT_GT(server.port(), 0) << "HTTP server did not start";
  // The address keeps its case; the DTD declares Greeting.
  Reader run;
  run.Parse("<!DOCTYPE r SYSTEM '" + server.Url("/Entities/Doc.ent") + "'><r>&Greeting;</r>");
  EXPECT_EQ(run.Text(), u"Hello");
  // A relative literal in a document read from an address resolves against it.
  Reader relative;
  relative.Parse("<!DOCTYPE r SYSTEM 'Doc.ent'><r>&Greeting;</r>", server.Url("/Entities/d.xml"));
  EXPECT_EQ(relative.Text(), u"Hello");

  Reader big;
  const std::string url = server.Url("/sized?n=10000001");
  try {
    big.Parse("<!DOCTYPE r [<!ENTITY e SYSTEM '" + url + "'>]><r/>");
    ADD_FAILURE() << "content beyond the cap was read";
  } catch (const EVxXMLParserError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("External entity \"" + url + "\" can not be read: ", 0),
              0u)
        << e.what();
  }
  // A public identifier goes to the resolver, lower-cased, when one is set.
  Reader resolved;
  resolved.parser.SetPublicIdResolver(server.Url(""));
  const std::string asked = server.Url("/cgi-bin/PUBLIC?-//a//dtd_x//en");
  try {
    resolved.Parse("<!DOCTYPE r PUBLIC '-//A//DTD X//EN' ''><r/>");
    ADD_FAILURE() << "the resolver's error was not reported";
  } catch (const EVxXMLParserError& e) {
    EXPECT_NE(std::string(e.what()).find(asked), std::string::npos) << e.what();
  }
  EXPECT_EQ(resolved.notFound, std::vector<std::string>{asked});
}

}  // namespace
}  // namespace kal
