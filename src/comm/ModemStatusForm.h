#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kal {

// The dial-up displays and the modem status window, GUI-free: the window's
// form shows this state and reads the two displays from here.

enum class TRRSStatusColor { kDefault, kGreen, kRed };

// A one-line status display (a label).
class IRRSStatusLine {
 public:
  virtual ~IRRSStatusLine() = default;
  virtual std::string RRSGetText() const = 0;
  virtual void RRSSetText(const std::string& text) = 0;
  virtual void RRSSetColor(TRRSStatusColor color) = 0;
};

// A list of history lines (a list box).
class IRRSHistoryList {
 public:
  virtual ~IRRSHistoryList() = default;
  virtual void RRSAddLine(const std::string& line) = 0;
  virtual void RRSClear() = 0;
};

// Called after every change of what a display or the window shows.
using TRRSChangeNotice = std::function<void()>;

// `notice` (not owned, may be null or empty) hears every change.
class TRRSStatusLine final : public IRRSStatusLine {
 public:
  explicit TRRSStatusLine(const TRRSChangeNotice* notice = nullptr) : notice_(notice) {}
  std::string RRSGetText() const override { return text_; }
  void RRSSetText(const std::string& text) override {
    text_ = text;
    Notify();
  }
  void RRSSetColor(TRRSStatusColor color) override {
    color_ = color;
    Notify();
  }
  TRRSStatusColor RRSGetColor() const { return color_; }

 private:
  void Notify() const {
    if (notice_ != nullptr && *notice_) (*notice_)();
  }
  std::string text_;
  TRRSStatusColor color_ = TRRSStatusColor::kDefault;
  const TRRSChangeNotice* notice_;
};

class TRRSHistoryList final : public IRRSHistoryList {
 public:
  explicit TRRSHistoryList(const TRRSChangeNotice* notice = nullptr) : notice_(notice) {}
  void RRSAddLine(const std::string& line) override {
    lines_.push_back(line);
    Notify();
  }
  void RRSClear() override {
    lines_.clear();
    Notify();
  }
  const std::vector<std::string>& RRSLines() const { return lines_; }

 private:
  void Notify() const {
    if (notice_ != nullptr && *notice_) (*notice_)();
  }
  std::vector<std::string> lines_;
  const TRRSChangeNotice* notice_;
};

// The modem status window: shown while a dial-up connection is made, always
// on top, with the status line and history the dial-up client writes to.
//
// Threads: the GUI thread (the dial-up client posts its notifications
// there before it writes the displays).
class TRRSModemStatusForm final {
 public:
  TRRSModemStatusForm() = default;
  TRRSModemStatusForm(const TRRSModemStatusForm&) = delete;
  TRRSModemStatusForm& operator=(const TRRSModemStatusForm&) = delete;

  // Who hears every change of the window's state or its two displays (the
  // window's form); empty: nobody.
  void RRSSetChangeNotice(TRRSChangeNotice notice) { notice_ = std::move(notice); }

  static constexpr const char* RRScCaption = "Modem Connection";
  static constexpr const char* RRScLabels[] = {
      "Status", "Phone number", "User ID", "Password", "TCP/IP Address", "Port Nr", "History"};
  static constexpr const char* RRScCloseButton = "Close";

  // Shows the window with "Close" disabled and the busy cursor, and fills
  // the five value labels. The password is shown as one "*" per character.
  void RRSOpenStatusForm(const std::string& phoneBookEntry, const std::string& phoneNumber,
                         const std::string& user, const std::string& portText,
                         const std::string& address, const std::string& password);
  // While shown: enables "Close" and restores the normal cursor.
  void RRSEnableClose();
  // While shown: closes the window and restores the normal cursor (also
  // what the "Close" button does).
  void RRSClose();
  bool RRSStatusWindowVisible() const { return visible_; }
  TRRSStatusLine& RRSGetStatusField() { return status_; }
  TRRSHistoryList& RRSGetHistoryField() { return history_; }

  // What the window shows.
  bool RRSCloseEnabled() const { return closeEnabled_; }
  bool RRSBusyCursor() const { return busyCursor_; }
  const std::string& RRSCallingText() const { return calling_; }
  const std::string& RRSUserText() const { return user_; }
  const std::string& RRSPasswordText() const { return password_; }
  const std::string& RRSAddressText() const { return address_; }
  const std::string& RRSPortText() const { return port_; }

 private:
  bool visible_ = false;
  bool closeEnabled_ = true;
  bool busyCursor_ = false;
  void Notify() const {
    if (notice_) notice_();
  }

  std::string calling_, user_, password_, address_, port_;
  TRRSChangeNotice notice_;  // declared before the displays that point at it
  TRRSStatusLine status_{&notice_};
  TRRSHistoryList history_{&notice_};
};

}  // namespace kal
