#pragma once

// The archive of recorded data files: once a recorded file has gone into an
// outgoing message it is moved into the "Archive" folder beside it, so that
// its transactions are not sent twice.

#include <functional>
#include <string>

namespace kal {

class TARCArchive final {
 public:
  static constexpr const char* ARCcFolderName = "Archive";
  // Results of ARCCopyToArchive.
  static constexpr int ARCcOk = 0;
  static constexpr int ARCcNoFolder = 1;    // the archive folder cannot be created
  static constexpr int ARCcNoFile = 2;      // the file does not exist
  static constexpr int ARCcMoveFailed = 3;  // the move failed
  // Tries at most this many "_n" names before giving up.
  static constexpr int ARCcMaxSuffix = 100000;

  // `showMessage` receives the texts the user is to read (may be empty).
  explicit TARCArchive(std::function<void(const std::string&)> showMessage = {})
      : showMessage_(std::move(showMessage)) {}

  // Moves the file into the folder "Archive" beside it (created when
  // missing). When the folder already holds a file of that name, "_" and
  // the smallest n from 1 that is free go after the whole name
  // ("a.xml_1"). An existing file is never replaced: the move itself
  // refuses an existing target, and the next n is tried.
  [[nodiscard]] int ARCCopyToArchive(const std::string& path);

 private:
  std::function<void(const std::string&)> showMessage_;
};

}  // namespace kal
