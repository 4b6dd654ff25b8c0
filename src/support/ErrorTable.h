#pragma once

#include <string>
#include <string_view>

namespace kal {

// The error-code table: turns a code (group * 1000 + detail) into the main
// text and the sub text a user reads, and composes the text the error window
// shows. GUI-free; the error window binds to it.
class TERRErrorTable final {
 public:
  // Looks the code up; main text defaults to "Error: ", sub text to empty.
  static void ERRGettexts(int code, std::string& mainText, std::string& subText);

  // The text the error window shows for a code and a detail:
  // main text + " " + detail + ". " + sub text.
  static std::string ERRComposeText(int code, std::string_view detail);
  // The same with the code in front: "Error " + code + ": " + the composed
  // text. What a sequence run logs for a failure that the error window would
  // otherwise show with its code beside it.
  static std::string ERRCodedText(int code, std::string_view detail);

  // Group and detail of a code; the remainder keeps the sign of the code, so
  // -5 is group 0, detail -5.
  static int ERRGroup(int code) { return code - code % 1000; }
  static int ERRDetail(int code) { return code % 1000; }
};

}  // namespace kal
