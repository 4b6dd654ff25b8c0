#pragma once

// The date-and-time parts (unit UDTDateTimeUtilities) and the
// fixed date-time text of the trace logger. All in local time.

#include <ctime>
#include <string>

namespace kal {

// The current local date and time as decimal texts: year in four digits,
// month, day, hour, minute and second in two digits with a leading zero.
void UDTDateTimeStrings(std::string& year, std::string& month, std::string& day, std::string& hour,
                        std::string& minute, std::string& second);

// The same for a given moment (for tests and callers that hold a time).
void UDTDateTimeStringsAt(std::time_t when, std::string& year, std::string& month, std::string& day,
                          std::string& hour, std::string& minute, std::string& second);

// "dd.MM.yyyy HH:mm:ss" of the current local time, or of a given moment.
std::string UDTDateTimeText();
// The current local time as "HH:mm:ss".
std::string UDTTimeText();
std::string UDTDateTimeTextAt(std::time_t when);

}  // namespace kal
