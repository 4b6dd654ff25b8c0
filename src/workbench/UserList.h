#pragma once

// The users of the workbench and their password encoding (unit AUUUserList).

#include <string>
#include <string_view>
#include <vector>

namespace kal {

class TTDBDebug;

class TAUUUser {
 public:
  TAUUUser(std::string userID, std::string password, bool isAdmin)
      : AUUsUserID(std::move(userID)),
        AUUsUserPassword(std::move(password)),
        AUUbIsAdmin(isAdmin) {}

  const std::string& AUUGetUserID() const { return AUUsUserID; }
  const std::string& AUUGetPassword() const { return AUUsUserPassword; }
  bool AUUIsAdmin() const { return AUUbIsAdmin; }

 private:
  std::string AUUsUserID;
  std::string AUUsUserPassword;
  bool AUUbIsAdmin;
};

class TAUUUserList {
 public:
  void AUUAddUser(std::string name, std::string password, bool isAdmin);
  // The first user whose trimmed name and trimmed password equal the given
  // ones without regard to letter case; a stored name or password that is
  // blank never matches. isAdmin is the user's right, false without a match.
  bool AUUFindUser(std::string_view name, std::string_view password, bool& isAdmin) const;
  void AUUEmptyList() { AUUaUserList.clear(); }

  const std::vector<TAUUUser>& AUUUsers() const { return AUUaUserList; }

 private:
  std::vector<TAUUUser> AUUaUserList;
};

// The key text of the password encoding. Files written by earlier versions
// depend on it, so it cannot change.
inline constexpr std::string_view AUUcPasswordKey = "Rk7mQw2Zt9LbVx4N";

// Triple-DES (the key text above, mandatory padding) and Base64. Empty when
// the encryption fails (a password longer than AUUcMaxPassword bytes).
std::string AUUEncodePassword(std::string_view plain);
inline constexpr size_t AUUcMaxPassword = 247;

// The inverse; empty when the text is not Base64 or does not decrypt. The
// steps go to `trace` (may be null) without the password itself.
std::string AUUDecodePassword(std::string_view encoded, TTDBDebug* trace = nullptr);

}  // namespace kal
