// UTF-8 to UTF-16 decoding of the XML input buffer against glibc's iconv on
// the same megabyte of mixed text.
#include <benchmark/benchmark.h>
#include <iconv.h>

#include <cstdint>
#include <istream>
#include <memory>
#include <stdexcept>
#include <streambuf>
#include <string>

#include "xml/InputBuffer.h"

namespace {

using namespace kal;

// A read-only stream over a string, without copying it.
class MemoryBuf : public std::streambuf {
 public:
  explicit MemoryBuf(const std::string& s) {
    char* p = const_cast<char*>(s.data());
    setg(p, p, p + s.size());
  }

 protected:
  pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode) override {
    const off_type base = dir == std::ios_base::beg   ? 0
                          : dir == std::ios_base::cur ? gptr() - eback()
                                                      : egptr() - eback();
    const off_type to = base + off;
    if (to < 0 || to > egptr() - eback()) return pos_type(off_type(-1));
    setg(eback(), eback() + to, egptr());
    return pos_type(to);
  }
  pos_type seekpos(pos_type pos, std::ios_base::openmode which) override {
    return seekoff(off_type(pos), std::ios_base::beg, which);
  }
};

// About 1 MB of text as messages carry it: mostly ASCII, with accented Latin,
// Greek and Cyrillic (2 bytes), CJK and the euro sign (3 bytes) and a few
// characters above U+FFFF (4 bytes), in lines ending in CR LF.
const std::string& MixedText() {
  static const std::string text = [] {
    const char* words[] = {"<Amount>",
                           "1250.00",
                           "</Amount>",
                           "merchant",
                           "terminal",
                           "transaction",
                           "approved",
                           "card",
                           "Zürich",
                           "Genève",
                           "Straße",
                           "café",
                           "Ελλάδα",
                           "Москва",
                           "東京都",
                           "支払い",
                           "20\xE2\x82\xAC",
                           "\xF0\x9F\x98\x80",
                           "naïve",
                           "reference",
                           "status=\"ok\"",
                           "<Msg msgnum=\"3\">",
                           "data",
                           "päivää",
                           "the",
                           "and",
                           "of",
                           "to",
                           "value",
                           "response"};
    std::uint32_t seed = 1;
    std::string s;
    std::size_t line = 0;
    while (s.size() < (1u << 20)) {
      seed = seed * 1664525u + 1013904223u;
      s += words[(seed >> 8) % std::size(words)];
      if (++line % 12 == 0)
        s += "\r\n";
      else
        s += ' ';
    }
    return s;
  }();
  return text;
}

std::size_t Utf16Units(const std::string& text) {
  std::size_t n = 0;
  for (unsigned char b : text) n += (b & 0xC0) != 0x80 ? 1 : 0;
  for (unsigned char b : text) n += b >= 0xF0 ? 1 : 0;  // surrogate pairs
  return n;
}

void BM_Ours(benchmark::State& state) {
  const std::string& text = MixedText();
  const std::size_t units = Utf16Units(text);
  MemoryBuf mem(text);
  std::istream in(&mem);
  TInvalidChars inv;
  TInputBuffer buffer(inv);
  for (auto _ : state) {
    buffer.Init(in);
    std::u16string out = buffer.GetChars(units);
    benchmark::DoNotOptimize(out.data());
    if (out.back() == EOFChar) state.SkipWithError("text cut short");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void BM_Iconv(benchmark::State& state) {
  const std::string& text = MixedText();
  const std::size_t units = Utf16Units(text);
  iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    state.SkipWithError("iconv_open failed");
    return;
  }
  for (auto _ : state) {
    std::unique_ptr<char16_t[]> out(new char16_t[units]);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(text.data());
    std::size_t srcLeft = text.size();
    char* dst = reinterpret_cast<char*>(out.get());
    std::size_t dstLeft = units * 2;
    if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1) || srcLeft)
      state.SkipWithError("iconv failed");
    benchmark::DoNotOptimize(out.get());
  }
  iconv_close(cd);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

}  // namespace

BENCHMARK(BM_Ours)->Name("utf8-decode-1m/ours");
BENCHMARK(BM_Iconv)->Name("utf8-decode-1m/ref");
