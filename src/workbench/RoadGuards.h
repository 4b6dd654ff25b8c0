#pragma once

// The guards every road holds over a command: the busy mark and the wipe of
// a key copy.

#include <string>

#include "support/SecureWipe.h"

namespace kal {

// Marks a road busy for the life of a command: a timer or link event that
// comes while a message box of the command is open finds the road busy and
// does nothing.
class TCEXBusyGuard {
 public:
  explicit TCEXBusyGuard(bool& busy) : busy_(busy) { busy_ = true; }
  ~TCEXBusyGuard() { busy_ = false; }
  TCEXBusyGuard(const TCEXBusyGuard&) = delete;
  TCEXBusyGuard& operator=(const TCEXBusyGuard&) = delete;

 private:
  bool& busy_;
};

// Wipes a key copy when the scope ends, on every path.
class TCEXKeyWipe {
 public:
  explicit TCEXKeyWipe(std::string& key) : key_(key) {}
  ~TCEXKeyWipe() { SecureWipe(key_); }
  TCEXKeyWipe(const TCEXKeyWipe&) = delete;
  TCEXKeyWipe& operator=(const TCEXKeyWipe&) = delete;

 private:
  std::string& key_;
};

}  // namespace kal
