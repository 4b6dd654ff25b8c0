#include "platform/ProgramDirectory.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace kal {

namespace {

std::string WithSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

}  // namespace

std::string PLTProgramDirectory() {
  if (const char* home = std::getenv("KALMORE_HOME"); home != nullptr && *home != '\0')
    return WithSlash(home);
  std::vector<char> buf(4096);
  const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return "./";
  std::string exe(buf.data(), static_cast<size_t>(n));
  const auto slash = exe.rfind('/');
  return slash == std::string::npos ? std::string("./") : exe.substr(0, slash + 1);
}

}  // namespace kal
