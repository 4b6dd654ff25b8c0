#pragma once

#include <string>
#include <vector>

namespace kal {

class IPLTDialUpService;

// The phone-book choice of the communication settings: "(no entry)" first,
// then the entries of the dial-up service's phone book (at most 100). When
// the phone book cannot be listed (no dial-up service, or a failed listing)
// the configured entry follows "(no entry)" instead and is selected, so that
// storing the choice keeps it.
struct TCPPhoneBookChoice {
  static constexpr const char* TCPcNoEntry = "(no entry)";
  static constexpr const char* TCPcListFailed = "RasEnumEntries failed.";
  static constexpr size_t TCPcMaxEntries = 100;

  std::vector<std::string> items;
  int selected = 0;   // the configured entry, or "(no entry)" when not in the book
  std::string error;  // TCPcListFailed when the listing failed, else empty
};

// `dialUp` null: no phone book.
TCPPhoneBookChoice TCPListPhoneBook(IPLTDialUpService* dialUp, const std::string& configured);

// What an item stores: "" for "(no entry)", the entry's name otherwise.
std::string TCPPhoneBookValue(const std::string& item);

}  // namespace kal
