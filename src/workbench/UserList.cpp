#include "workbench/UserList.h"

#include "ep2/Ep2Security.h"
#include "support/Base64.h"
#include "support/StringUnit.h"
#include "support/TraceLogger.h"

namespace kal {

void TAUUUserList::AUUAddUser(std::string name, std::string password, bool isAdmin) {
  AUUaUserList.emplace_back(std::move(name), std::move(password), isAdmin);
}

bool TAUUUserList::AUUFindUser(std::string_view name, std::string_view password,
                               bool& isAdmin) const {
  const std::string wantName = STRUpperCase(STRTrim(name));
  const std::string wantPassword = STRUpperCase(STRTrim(password));
  for (const TAUUUser& user : AUUaUserList) {
    const std::string storedName = STRUpperCase(STRTrim(user.AUUGetUserID()));
    const std::string storedPassword = STRUpperCase(STRTrim(user.AUUGetPassword()));
    if (storedName.empty() || storedPassword.empty()) continue;
    if (storedName == wantName && storedPassword == wantPassword) {
      isAdmin = user.AUUIsAdmin();
      return true;
    }
  }
  isAdmin = false;
  return false;
}

std::string AUUEncodePassword(std::string_view plain) {
  TSECep2Security security(0);
  std::string cipher;
  if (security.SECDESEncryptString(plain, AUUcPasswordKey, true, nullptr, cipher) != 0) return {};
  std::string encoded;
  if (TUTBase64().EncodeData(cipher, encoded)) return {};
  return encoded;
}

std::string AUUDecodePassword(std::string_view encoded, TTDBDebug* trace) {
  const auto step = [trace](const char* text) {
    if (trace != nullptr) trace->TDBSimpleAddString(text);
  };
  step(" AUUDecodePassword 1 ");
  std::string cipher;
  if (TUTBase64().DecodeData(encoded, cipher) != TUTBase64::UTBcOk) return {};
  step(" AUUDecodePassword 1a ");
  TSECep2Security security(0);
  std::string plain;
  const int code = security.SECDESDecryptString(cipher, AUUcPasswordKey, true, nullptr, plain);
  step(" AUUDecodePassword 1b ");
  step(" AUUDecodePassword 1c");
  if (code != 0) return {};
  return plain;
}

}  // namespace kal
