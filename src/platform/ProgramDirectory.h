#pragma once

#include <string>

namespace kal {

// The program folder: where config.ini, users.ini, alias.ini, the counter
// files and the trace files live. It is the folder named by the environment
// variable KALMORE_HOME when set, else the executable's folder. The result
// always ends with "/".
std::string PLTProgramDirectory();

}  // namespace kal
