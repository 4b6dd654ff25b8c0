#pragma once

#include <array>
#include <optional>
#include <string>

#include "platform/IniFile.h"

namespace kal {

// The Communication section of a configuration file is read and written by
// whoever holds the communication parameters; the configuration hands it the
// open INI file while it reads or writes the rest.
class ICFGCommIniSection {
 public:
  virtual ~ICFGCommIniSection() = default;
  virtual void TCPReadIniFile(const TPLTIniFile& ini) = 0;
  virtual void TCPWriteIniFile(TPLTIniFile& ini) const = 0;
};

// Keeps the values of the Communication section as text, so that a
// configuration can be read and written without communication parameters
// and nothing of that section is lost. A key that was never read is not
// written, so it keeps its default in whoever reads the file later.
class TCFGKeptCommSection final : public ICFGCommIniSection {
 public:
  static constexpr const char* CFGcSection = "Communication";
  static constexpr std::array<const char*, 13> CFGcKeys = {"CommType",
                                                           "ThisComputerClientServer",
                                                           "ThisComputerIPPortNr",
                                                           "EthernetClientServer",
                                                           "EthernetIPPortNr",
                                                           "EthernetIPAddr",
                                                           "ModemClientServer",
                                                           "ModemIPPortNr",
                                                           "ModemIPAddr",
                                                           "ModemPhoneNr",
                                                           "ModemUserID",
                                                           "PhoneBookEntry",
                                                           "ModemPassword"};

  void TCPReadIniFile(const TPLTIniFile& ini) override;
  void TCPWriteIniFile(TPLTIniFile& ini) const override;

  // The value held for a key of the section, if any.
  std::optional<std::string> CFGGetValue(std::string_view key) const;

 private:
  std::array<std::optional<std::string>, CFGcKeys.size()> values_;
};

}  // namespace kal
