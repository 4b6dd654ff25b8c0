#include "comm/PhoneBook.h"

#include "platform/DialUp.h"

namespace kal {

TCPPhoneBookChoice TCPListPhoneBook(IPLTDialUpService* dialUp, const std::string& configured) {
  TCPPhoneBookChoice choice;
  choice.items.emplace_back(TCPPhoneBookChoice::TCPcNoEntry);
  std::vector<std::string> entries;
  const bool failed = dialUp != nullptr && dialUp->PLTEnumEntries(entries) != 0;
  if (failed) choice.error = TCPPhoneBookChoice::TCPcListFailed;
  if (dialUp == nullptr || failed) {
    // Without a book to choose from, "Ok" must not erase the configured entry.
    entries.clear();
    if (!configured.empty()) entries.push_back(configured);
  }
  if (entries.size() > TCPPhoneBookChoice::TCPcMaxEntries)
    entries.resize(TCPPhoneBookChoice::TCPcMaxEntries);
  for (std::string& entry : entries) {
    if (!configured.empty() && entry == configured)
      choice.selected = static_cast<int>(choice.items.size());
    choice.items.push_back(std::move(entry));
  }
  return choice;
}

std::string TCPPhoneBookValue(const std::string& item) {
  return item == TCPPhoneBookChoice::TCPcNoEntry ? std::string() : item;
}

}  // namespace kal
