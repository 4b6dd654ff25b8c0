#include "config/DialogFields.h"

#include <charconv>
#include <filesystem>

#include "config/Config.h"

namespace kal {

bool CFGParseDialogNumber(std::string_view text, int32_t min, int32_t max, int32_t& value) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || text.front() == '+') return false;
  int64_t parsed = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  if (parsed < min || parsed > max) return false;
  value = static_cast<int32_t>(parsed);
  return true;
}

int CFGIdTypeItems(TCFGIdType kind) {
  return kind == TCFGIdType::Sender ? 6 : 4;
}

int CFGIdTypeItem(const TCFGConfig& config, TCFGIdType kind) {
  const int items = CFGIdTypeItems(kind);
  const bool user = kind == TCFGIdType::Sender ? config.CFGGetSenderIDUserChoice()
                                               : config.CFGGetPublicKeyOwnerIDUserChoice();
  if (user) return items - 1;
  const int32_t type = kind == TCFGIdType::Sender ? config.CFGGetStoredSenderIDType()
                                                  : config.CFGGetStoredPublicKeyOwnerIDType();
  return type >= 1 && type < items ? type - 1 : -1;
}

void CFGStoreIdType(TCFGConfig& config, TCFGIdType kind, int item, uint8_t userType,
                    uint8_t userLength) {
  const int items = CFGIdTypeItems(kind);
  const bool user = item == items - 1;
  const int32_t stored = kind == TCFGIdType::Sender ? config.CFGGetStoredSenderIDType()
                                                    : config.CFGGetStoredPublicKeyOwnerIDType();
  int32_t type = 0;
  if (user)
    type = stored >= items ? stored : items;
  else if (item >= 0 && item < items)
    type = item + 1;
  if (kind == TCFGIdType::Sender) {
    config.CFGSetSenderIDUserChoice(user);
    config.CFGSetSenderIDType(static_cast<uint8_t>(type));
    config.CFGSetUserSenderIDType(userType);
    config.CFGSetUserSenderIDLength(userLength);
  } else {
    config.CFGSetPublicKeyOwnerIDUserChoice(user);
    config.CFGSetPublicKeyOwnerIDType(static_cast<uint8_t>(type));
    config.CFGSetUserPublicKeyOwnerIDType(userType);
    config.CFGSetUserPublicKeyOwnerIDLength(userLength);
  }
}

std::string CFGDirectoryChooserStart(const TCFGConfig& config) {
  const std::string& record = config.CFGGetDirRecord();
  std::error_code ec;
  if (!record.empty() && std::filesystem::is_directory(record, ec)) return record;
  return config.CFGGetProgramDir();
}

}  // namespace kal
