#pragma once

// Child processes of the help engine: started with posix_spawn from an
// argument vector (no shell), with none of our descriptors but the standard
// ones, and reaped without waiting.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace kal {

// Starts argv[0] (searched on PATH when it holds no "/"). Descriptor 0 is
// `inputFd` (the null device when -1), 1 and 2 are the null device when
// `quiet`, else ours. Every other descriptor is closed in the child.
// The process id, or -1 when the start failed.
pid_t HLPSpawn(const std::vector<std::string>& argv, int inputFd, bool quiet);

// Runs argv to its end and returns its standard output when it exits with
// status 0. A program still running after `limit` is killed.
std::optional<std::string> HLPRunForOutput(const std::vector<std::string>& argv,
                                           std::chrono::milliseconds limit);

// Processes we started and have not reaped yet.
class THLPChildList final {
 public:
  void HLPAdd(pid_t pid) { pids_.push_back(pid); }
  // Reaps every child that has ended; never waits.
  void HLPReap();
  // Waits up to `limit` for every child to end and reaps it; the others
  // are left running.
  void HLPWaitAll(std::chrono::milliseconds limit);
  bool HLPEmpty() const { return pids_.empty(); }

 private:
  std::vector<pid_t> pids_;
};

}  // namespace kal
