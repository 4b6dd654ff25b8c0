// Peak memory of a parse: the most bytes held through operator new while a
// document is read, above what was held before, per byte of UTF-8 input, for
// a document holding one large text, for ep2-shaped messages and for a
// document dense in markup. The figures are INFO lines; the benchmarks time
// nothing worth comparing. This executable replaces the global operator new
// and delete to count, so it runs apart from the timed parsing benchmarks.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "XmlDocuments.h"
#include "xml/XMLParser.h"

namespace {

// Bytes held through operator new now and at most since the last reset. The
// benchmarks run on one thread.
std::size_t gHeld = 0;
std::size_t gPeak = 0;

void* Allocate(std::size_t size) {
  void* p = std::malloc(size ? size : 1);
  if (!p) throw std::bad_alloc();
  gHeld += malloc_usable_size(p);
  if (gHeld > gPeak) gPeak = gHeld;
  return p;
}

void Release(void* p) {
  if (!p) return;
  gHeld -= malloc_usable_size(p);
  std::free(p);
}

}  // namespace

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void operator delete(void* p) noexcept {
  Release(p);
}
void operator delete[](void* p) noexcept {
  Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
  Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  Release(p);
}

namespace {

using namespace kal;
using namespace kal::bench;

// One element holding 8 MB of text: words, line ends and some non-ASCII.
std::string TextDocument() {
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<text>";
  while (out.size() < (8u << 20))
    out +=
        "Gr\xC3\xBC"
        "ezi mitenand, the quick brown fox 0123456789.\n";
  return out + "</text>\n";
}

// Parses bytes once and prints the peak per input byte as an INFO line.
void Peak(benchmark::State& state, const char* name, const std::string& bytes) {
  TVxXMLParser parser;
  MemoryBuf buf(bytes.data(), bytes.size());
  std::istream in(&buf);
  double ratio = 0;
  for (auto _ : state) {
    std::unique_ptr<TVxXMLDocument> doc;
    const std::size_t before = gHeld;
    gPeak = gHeld;
    parser.Parse(in, doc);
    ratio = static_cast<double>(gPeak - before) / static_cast<double>(bytes.size());
  }
  std::printf("INFO %s %.2f peak bytes per input byte\n", name, ratio);
  std::fflush(stdout);
}

void BM_Text(benchmark::State& state) {
  Peak(state, "xml-peak-text-8m", TextDocument());
}
void BM_Ep2(benchmark::State& state) {
  Peak(state, "xml-peak-ep2-1m", Document(256));
}
void BM_Dense(benchmark::State& state) {
  Peak(state, "xml-peak-dense-1m", DenseDocument());
}

}  // namespace

BENCHMARK(BM_Text)->Name("xml-peak-text-8m")->Iterations(1);
BENCHMARK(BM_Ep2)->Name("xml-peak-ep2-1m")->Iterations(1);
BENCHMARK(BM_Dense)->Name("xml-peak-dense-1m")->Iterations(1);
