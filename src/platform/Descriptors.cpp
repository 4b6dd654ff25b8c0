#include "platform/Descriptors.h"

#include <dirent.h>
#include <sys/resource.h>

#include <climits>
#include <cstring>

namespace kal {

bool PLTRaiseDescriptorLimit() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return false;
  if (limit.rlim_cur == limit.rlim_max) return true;
  limit.rlim_cur = limit.rlim_max;
  return setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

int PLTFreeDescriptors() {
  rlimit limit{};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return INT_MAX;
  DIR* dir = opendir("/proc/self/fd");
  if (dir == nullptr) return INT_MAX;
  long long open = 0;
  while (const dirent* entry = readdir(dir))
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) ++open;
  closedir(dir);
  --open;  // the listing's own descriptor
  const long long free = static_cast<long long>(limit.rlim_cur) - open;
  if (free < 0) return 0;
  return free > INT_MAX ? INT_MAX : static_cast<int>(free);
}

}  // namespace kal
