#include "support/DateTimeUtilities.h"

#include <cstdio>

namespace kal {

namespace {

std::tm Local(std::time_t when) {
  std::tm tm{};
  if (localtime_r(&when, &tm) == nullptr) tm = std::tm{};
  return tm;
}

std::string Two(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", v);
  return buf;
}

}  // namespace

void UDTDateTimeStringsAt(std::time_t when, std::string& year, std::string& month, std::string& day,
                          std::string& hour, std::string& minute, std::string& second) {
  const std::tm tm = Local(when);
  year = std::to_string(tm.tm_year + 1900);
  if (year.size() == 2) year = "20" + year;  // years have four digits
  month = Two(tm.tm_mon + 1);
  day = Two(tm.tm_mday);
  hour = Two(tm.tm_hour);
  minute = Two(tm.tm_min);
  second = Two(tm.tm_sec);
}

void UDTDateTimeStrings(std::string& year, std::string& month, std::string& day, std::string& hour,
                        std::string& minute, std::string& second) {
  UDTDateTimeStringsAt(std::time(nullptr), year, month, day, hour, minute, second);
}

std::string UDTDateTimeTextAt(std::time_t when) {
  const std::tm tm = Local(when);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %02d:%02d:%02d", tm.tm_mday, tm.tm_mon + 1,
                tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

std::string UDTTimeText() {
  std::string year, month, day, hour, minute, second;
  UDTDateTimeStrings(year, month, day, hour, minute, second);
  return hour + ":" + minute + ":" + second;
}

std::string UDTDateTimeText() {
  return UDTDateTimeTextAt(std::time(nullptr));
}

}  // namespace kal
