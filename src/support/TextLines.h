#pragma once

// Line-by-line text. The writer collects CR LF-ended lines in memory (the
// caller writes the whole text to its file in one go); the reader walks a
// text that was read whole and is the one line reader of every text file the
// program reads (configuration, aliases, users, counters, message files,
// value pools, recorded files), so that files from any system read alike.

#include <string>
#include <string_view>
#include <vector>

namespace kal {

class TTextLineWriter final {
 public:
  TTextLineWriter() = default;
  // A writer that expects the lines of `expected` (which must outlive it):
  // while the lines written match it nothing is copied, so that a text
  // compared with what a file holds costs no copy when it is the same.
  explicit TTextLineWriter(std::string_view expected) : expected_(expected), matching_(true) {}

  // Appends `line` and CR LF.
  void WriteLine(std::string_view line);
  // The lines written so far.
  const std::string& Text() const;
  // True when the lines written are exactly the expected text.
  bool Matches() const { return matching_ && matched_ == expected_.size(); }

 private:
  mutable std::string text_;
  std::string_view expected_;
  size_t matched_ = 0;  // bytes of `expected_` written while matching
  mutable bool matching_ = false;
};

// Lines end at CR LF, at LF or at a lone CR; a last line without an ending
// counts as a line. The reader refers to the text it was given, which must
// outlive it.
class TTextLineReader final {
 public:
  explicit TTextLineReader(std::string_view text) : text_(text) {}

  // The next line without its ending; false (and `line` empty) at the end.
  [[nodiscard]] bool ReadLine(std::string& line);
  bool AtEnd() const { return pos_ >= text_.size(); }
  // Lines handed out so far (the number of the last line read, 1-based).
  int LineNumber() const { return lines_; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
  int lines_ = 0;
};

// Every line of `text`, read by TTextLineReader.
std::vector<std::string> TextLines(std::string_view text);

}  // namespace kal
