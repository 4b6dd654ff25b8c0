#pragma once

// Figures of a benchmark that are no rate, printed by RatioMain.cpp after the
// run as "INFO <figure> <value> <unit>".

#include <benchmark/benchmark.h>

#include <string>

namespace kal::bench {

// Prefix of the counters that carry such figures: "INFO:<figure>:<unit>".
inline constexpr const char* kInfoCounter = "INFO:";

inline void Info(benchmark::State& state, const std::string& figure, double value,
                 const std::string& unit) {
  state.counters[kInfoCounter + figure + ":" + unit] = benchmark::Counter(value);
}

}  // namespace kal::bench
