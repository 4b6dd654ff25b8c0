#pragma once

// The command-line reader (unit UPAParamsStringUtils): each program argument is read on its own.
//
//   -c<file>, -c <file>   configuration file (value attached or in the next argument)
//   -s<file>, -s <file>   sequence file
//   -RUN                  run flag (a whole argument, any case)
//   <file>                message file (the bare arguments, joined by one blank)
//
// Values are trimmed, and one pair of enclosing quotes (" or ') is removed.
// A switch written alone takes the next argument as its value unless that
// argument starts with "-" (then its value is empty). When a switch is given
// more than once, the first value counts. Other arguments that start with "-"
// are ignored. "-c" and "-s" are matched case-sensitively, as they always were.

#include <string>
#include <string_view>
#include <vector>

namespace kal {

struct TUPParams {
  std::string messageFile, configFile, sequenceFile;
  bool run = false;
};

// `args` are the program arguments without argv[0].
TUPParams UPParseParamsString(const std::vector<std::string>& args);

// The value of `switchText` ("-c", "-s") in `args` by the rules above, or with
// an empty switch the message file (the bare arguments joined by one blank).
// Empty when the switch (or a bare argument) does not occur.
std::string UPPGetFileName(std::string_view switchText, const std::vector<std::string>& args);

// True when the argument, trimmed, is "-RUN" in any case.
bool UPPIsRunSwitch(std::string_view arg);

}  // namespace kal
