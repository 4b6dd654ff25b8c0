#include "workbench/MainWindowPorts.h"

#include <ctime>
#include <thread>

namespace kal {

std::chrono::steady_clock::time_point TCEXSystemClock::CEXNow() {
  return std::chrono::steady_clock::now();
}

std::chrono::local_time<std::chrono::milliseconds> ICEXClock::CEXLocalNow() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const time_t t = system_clock::to_time_t(now);
  tm local{};
  localtime_r(&t, &local);
  const auto ms = duration_cast<milliseconds>(now.time_since_epoch()) % 1000;
  const auto day = local_days{year{local.tm_year + 1900} / (local.tm_mon + 1) / local.tm_mday};
  return day + hours{local.tm_hour} + minutes{local.tm_min} + seconds{local.tm_sec} + ms;
}

void TCEXSystemClock::CEXSleep(std::chrono::milliseconds duration) {
  std::this_thread::sleep_for(duration);
}

}  // namespace kal
