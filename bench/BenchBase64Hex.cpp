// Base64 against OpenSSL's EVP_EncodeBlock / EVP_DecodeBlock (RATIO lines;
// scripts/run-bench masks OpenSSL to its portable code), hex throughput
// (INFO lines). Throughput counts the input bytes of each call.
#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "support/Base64.h"
#include "support/HexUtilities.h"

namespace {

constexpr size_t k4K = 4096;
constexpr size_t k1M = 1024 * 1024;

std::string RandomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng() & 0xFF);
  return s;
}

// Base64 text of exactly n characters (n a multiple of 4, no padding), so
// that EVP_DecodeBlock and DecodeData read the same input.
std::string RandomBase64(size_t n, unsigned seed) {
  std::string text;
  (void)kal::TUTBase64().EncodeData(RandomBytes(n / 4 * 3, seed), text);
  return text;
}

void Fail(benchmark::State& state, const char* what) {
  state.SkipWithError(what);
  std::fprintf(stderr, "BenchBase64Hex: %s\n", what);
}

void EncodeOurs(benchmark::State& state, size_t n) {
  const std::string in = RandomBytes(n, 1);
  const kal::TUTBase64 coder;
  std::string out;
  for (auto _ : state) {
    if (coder.EncodeData(in, out)) return Fail(state, "EncodeData failed");
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  // Cross-check once against the reference.
  std::string ref(4 * ((n + 2) / 3) + 1, '\0');
  const int len =
      EVP_EncodeBlock(reinterpret_cast<unsigned char*>(ref.data()),
                      reinterpret_cast<const unsigned char*>(in.data()), static_cast<int>(n));
  ref.resize(static_cast<size_t>(len));
  if (ref != out) return Fail(state, "encode differs from EVP_EncodeBlock");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

void EncodeRef(benchmark::State& state, size_t n) {
  const std::string in = RandomBytes(n, 1);
  std::string out(4 * ((n + 2) / 3) + 1, '\0');
  for (auto _ : state) {
    const int len =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                        reinterpret_cast<const unsigned char*>(in.data()), static_cast<int>(n));
    benchmark::DoNotOptimize(len);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

// DecodeData with the default filtering on: the text holds nothing to drop,
// but every character is still checked.
void DecodeOurs(benchmark::State& state, size_t n) {
  const std::string in = RandomBase64(n, 2);
  const kal::TUTBase64 coder;
  std::string out;
  for (auto _ : state) {
    if (coder.DecodeData(in, out) != 0) return Fail(state, "DecodeData failed");
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  std::string ref(n / 4 * 3, '\0');
  const int len =
      EVP_DecodeBlock(reinterpret_cast<unsigned char*>(ref.data()),
                      reinterpret_cast<const unsigned char*>(in.data()), static_cast<int>(n));
  if (len != static_cast<int>(ref.size()) || ref != out) {
    return Fail(state, "decode differs from EVP_DecodeBlock");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

void DecodeRef(benchmark::State& state, size_t n) {
  const std::string in = RandomBase64(n, 2);
  std::string out(n / 4 * 3, '\0');
  for (auto _ : state) {
    const int len =
        EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                        reinterpret_cast<const unsigned char*>(in.data()), static_cast<int>(n));
    if (len < 0) return Fail(state, "EVP_DecodeBlock failed");
    benchmark::DoNotOptimize(len);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * n));
}

// Filtered decoding of text broken into lines of 76 characters (the slow
// path: the text is filtered into a copy first).
void DecodeLines(benchmark::State& state) {
  const std::string flat = RandomBase64(k1M, 3);
  std::string in;
  for (size_t i = 0; i < flat.size(); i += 76) in += flat.substr(i, 76) + "\r\n";
  const kal::TUTBase64 coder;
  std::string out;
  for (auto _ : state) {
    if (coder.DecodeData(in, out) != 0) return Fail(state, "DecodeData failed");
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

void HexEncode(benchmark::State& state, bool spaced) {
  const std::string in = RandomBytes(k1M, 4);
  for (auto _ : state) {
    std::string out = spaced ? kal::UTHStringToHex(in) : kal::UTHStringToCompactHex(in);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * k1M));
}

void HexDecode(benchmark::State& state, bool spaced) {
  const std::string bytes = RandomBytes(k1M, 5);
  const std::string in = spaced ? kal::UTHStringToHex(bytes) : kal::UTHStringToCompactHex(bytes);
  for (auto _ : state) {
    std::string out = kal::UTHHexToString(in);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}

BENCHMARK_CAPTURE(EncodeOurs, 4k, k4K)->Name("base64-encode-4k/ours");
BENCHMARK_CAPTURE(EncodeRef, 4k, k4K)->Name("base64-encode-4k/ref");
BENCHMARK_CAPTURE(EncodeOurs, 1m, k1M)->Name("base64-encode-1m/ours");
BENCHMARK_CAPTURE(EncodeRef, 1m, k1M)->Name("base64-encode-1m/ref");
BENCHMARK_CAPTURE(DecodeOurs, 4k, k4K)->Name("base64-decode-4k/ours");
BENCHMARK_CAPTURE(DecodeRef, 4k, k4K)->Name("base64-decode-4k/ref");
BENCHMARK_CAPTURE(DecodeOurs, 1m, k1M)->Name("base64-decode-1m/ours");
BENCHMARK_CAPTURE(DecodeRef, 1m, k1M)->Name("base64-decode-1m/ref");
BENCHMARK(DecodeLines)->Name("base64-decode-lines-1m/info");
BENCHMARK_CAPTURE(HexEncode, compact, false)->Name("hex-encode-1m/info");
BENCHMARK_CAPTURE(HexEncode, spaced, true)->Name("hex-encode-spaced-1m/info");
BENCHMARK_CAPTURE(HexDecode, compact, false)->Name("hex-decode-1m/info");
BENCHMARK_CAPTURE(HexDecode, spaced, true)->Name("hex-decode-spaced-1m/info");

}  // namespace
