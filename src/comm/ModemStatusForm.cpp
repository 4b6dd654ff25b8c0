#include "comm/ModemStatusForm.h"

#include "support/StringUnit.h"

namespace kal {

namespace {

// Characters of a UTF-8 text: every byte that does not continue a sequence.
size_t CharacterCount(const std::string& text) {
  size_t n = 0;
  for (const char c : text)
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  return n;
}

}  // namespace

void TRRSModemStatusForm::RRSOpenStatusForm(const std::string& phoneBookEntry,
                                            const std::string& phoneNumber, const std::string& user,
                                            const std::string& portText, const std::string& address,
                                            const std::string& password) {
  visible_ = true;
  closeEnabled_ = false;
  busyCursor_ = true;
  calling_ = "Calling: " + (STRTrim(phoneBookEntry).empty() ? phoneNumber : phoneBookEntry);
  user_ = "User: " + user;
  password_ = "Password: " + std::string(CharacterCount(password), '*');
  address_ = "IP Address: " + address;
  port_ = "IP Port: " + portText;
  Notify();
}

void TRRSModemStatusForm::RRSEnableClose() {
  if (!visible_) return;
  closeEnabled_ = true;
  busyCursor_ = false;
  Notify();
}

void TRRSModemStatusForm::RRSClose() {
  if (!visible_) return;
  visible_ = false;
  busyCursor_ = false;
  Notify();
}

}  // namespace kal
