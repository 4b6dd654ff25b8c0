// Parsing a document: the same ep2-shaped UTF-8 bytes read by TVxXMLParser
// and by libxml2's xmlReadMemory (a tree built on both sides), one message
// of about 4 KB and 256 messages of about 1 MB, and a document dense in
// markup (1 MB of empty sibling elements with two attributes each). Only the
// parse is timed; the trees are freed with the timer paused on both sides.
// The ratio is the ratio of documents parsed per second. The C library keeps
// freed memory for both sides: otherwise whether it hands a freed tree back
// to the system, and the next parse faults it in again, depends on what ran
// before, and page faults rather than parsing decide the ratio. xml-entity-bomb
// compares refusals of a billion-laughs document per second (libxml2 with
// entity substitution, as our parser resolves every reference).
#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <malloc.h>

#include <cstdint>
#include <istream>
#include <memory>
#include <streambuf>
#include <string>

#include "XmlDocuments.h"
#include "xml/XMLBase.h"
#include "xml/XMLDOM.h"
#include "xml/XMLParser.h"
#include "xml/XMLStrings.h"

namespace {

using namespace kal;
using namespace kal::bench;

// Set before any benchmark runs: no trimming of the heap, and blocks up to
// the largest threshold glibc takes come from the heap, not fresh mappings.
const bool kHeapKept = [] {
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  return true;
}();

// Ten levels of ten references each: 10^9 characters if it were expanded.
std::string EntityBomb() {
  std::string out = "<?xml version=\"1.0\"?>\n<!DOCTYPE r [\n<!ENTITY l0 \"ha\">\n";
  for (int i = 1; i <= 9; ++i) {
    out += "<!ENTITY l" + std::to_string(i) + " \"";
    for (int j = 0; j < 10; ++j) out += "&l" + std::to_string(i - 1) + ";";
    out += "\">\n";
  }
  return out + "]>\n<r>&l9;</r>\n";
}

template <int messages>
std::string Input() {
  return messages > 0 ? Document(messages) : DenseDocument();
}

template <int messages>
void BM_Ours(benchmark::State& state) {
  const std::string bytes = Input<messages>();
  TVxXMLParser parser;
  // The parser reads the stream from its beginning each time.
  MemoryBuf buf(bytes.data(), bytes.size());
  std::istream in(&buf);
  for (auto _ : state) {
    std::unique_ptr<TVxXMLDocument> doc;
    parser.Parse(in, doc);
    benchmark::DoNotOptimize(doc.get());
    state.PauseTiming();
    doc.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

template <int messages>
void BM_Libxml2(benchmark::State& state) {
  const std::string bytes = Input<messages>();
  for (auto _ : state) {
    xmlDoc* doc = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                                XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    benchmark::DoNotOptimize(doc);
    state.PauseTiming();
    xmlFreeDoc(doc);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void BM_BombOurs(benchmark::State& state) {
  const std::string bytes = EntityBomb();
  TVxXMLParser parser;
  MemoryBuf buf(bytes.data(), bytes.size());
  std::istream in(&buf);
  for (auto _ : state) {
    std::unique_ptr<TVxXMLDocument> doc;
    bool refused = false;
    try {
      parser.Parse(in, doc);
    } catch (const EVxXMLParserError&) {
      refused = true;
    }
    if (!refused) state.SkipWithError("the entity bomb was not refused");
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_BombLibxml2(benchmark::State& state) {
  const std::string bytes = EntityBomb();
  for (auto _ : state) {
    xmlDoc* doc =
        xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), nullptr, nullptr,
                      XML_PARSE_NOENT | XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (doc) {
      xmlFreeDoc(doc);
      state.SkipWithError("libxml2 did not refuse the entity bomb");
    }
  }
  state.SetItemsProcessed(state.iterations());
}

// One message is about 4 KB; 256 about 1 MB; 0 stands for the dense document.
constexpr int kSmall = 1;
constexpr int kLarge = 256;
constexpr int kDense = 0;

}  // namespace

BENCHMARK(BM_Ours<kSmall>)->Name("xml-parse-4k/ours");
BENCHMARK(BM_Libxml2<kSmall>)->Name("xml-parse-4k/ref");
BENCHMARK(BM_Ours<kLarge>)->Name("xml-parse-1m/ours");
BENCHMARK(BM_Libxml2<kLarge>)->Name("xml-parse-1m/ref");
BENCHMARK(BM_Ours<kDense>)->Name("xml-parse-dense-1m/ours");
BENCHMARK(BM_Libxml2<kDense>)->Name("xml-parse-dense-1m/ref");
BENCHMARK(BM_BombOurs)->Name("xml-entity-bomb/ours");
BENCHMARK(BM_BombLibxml2)->Name("xml-entity-bomb/ref");
