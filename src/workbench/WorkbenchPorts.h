#pragma once

// What the main window's core calls in the other parts of the workbench:
// the message files, the persistent counters, the login and the sequence
// window. Each comes with the implementation in use until its part exists.

#include <string>
#include <string_view>

namespace kal {

// Message files of the source tree.
class ICEXMessageFiles {
 public:
  virtual ~ICEXMessageFiles() = default;
  // Reads the message file into the source tree; shows its own errors.
  // True when the tree now holds the file.
  virtual bool CEXReadMessageFile(const std::string& path) = 0;
  // Reads the file into the reference tree; shows its own errors.
  virtual bool CEXReadReferenceFile(const std::string& /*path*/) { return false; }
  // A sequence run's read into the source or the reference tree: a failure
  // is not shown but handed back with its code and text (`failure`; both
  // empty when nothing says why), since no box may stop an unattended run.
  virtual bool CEXReadRunFile(const std::string& path, bool referenceTree, int& code,
                              std::string& failure) {
    code = 0;
    failure.clear();
    return referenceTree ? CEXReadReferenceFile(path) : CEXReadMessageFile(path);
  }
  // Saves the source tree to its message file (asking for a name when it
  // has none). True when it was saved.
  virtual bool CEXSaveMessage() = 0;
  // Saves the source tree to its message file without asking anything
  // (after a build, so that counters and pool positions persist). True when
  // it was saved.
  virtual bool CEXSaveMessageSilently() { return false; }
  // The file commands of the menus: "Load Message...", "Save Message as...",
  // "Load Reference Structure..." and "Load XML Document...".
  virtual void CEXLoadMessage() {}
  virtual void CEXSaveMessageAs() {}
  virtual void CEXLoadReferenceStructure() {}
  virtual void CEXLoadXMLDocument() {}
};

// No message files: nothing is read or saved.
class TCEXNoMessageFiles final : public ICEXMessageFiles {
 public:
  bool CEXReadMessageFile(const std::string&) override { return false; }
  bool CEXSaveMessage() override { return false; }
};

// The persistent message counters ("ep2:TrxSeqCnt" and "ep2:ATC").
class ICEXCounterLists {
 public:
  virtual ~ICEXCounterLists() = default;
  // Reads both lists from their files (at start).
  virtual void CEXReadCounters() = 0;
  // Writes both lists to their files (on close); shows its own errors.
  virtual void CEXWriteCounters() = 0;
  // The next value of the counter `key` of the list serving `tag` (a new
  // counter starts from `initialValue`); false when no list serves the tag.
  virtual bool CEXCounterMessageValue(std::string_view /*tag*/, std::string_view /*key*/,
                                      std::string_view /*initialValue*/,
                                      std::string& /*valueText*/) {
    return false;
  }
};

class TCEXNoCounterLists final : public ICEXCounterLists {
 public:
  void CEXReadCounters() override {}
  void CEXWriteCounters() override {}
};

// The login dialog and the user list.
class ICEXLogin {
 public:
  virtual ~ICEXLogin() = default;
  // Shows the login dialog modally with empty fields. True when it was left
  // with OK; `user` and `password` then hold what was entered.
  virtual bool CEXShowLoginDialog(std::string& user, std::string& password) = 0;
  // Reads the user list again.
  virtual void CEXReloadUsers() = 0;
  // Looks the user up by name and password; true when found, with the
  // user's administrator right.
  virtual bool CEXFindUser(const std::string& user, const std::string& password, bool& isAdmin) = 0;
};

// No user list yet: the dialog is not shown and every login is the
// administrator's, so a configuration that asks for a login still opens.
class TCEXNoLogin final : public ICEXLogin {
 public:
  bool CEXShowLoginDialog(std::string&, std::string&) override { return true; }
  void CEXReloadUsers() override {}
  bool CEXFindUser(const std::string&, const std::string&, bool& isAdmin) override {
    isAdmin = true;
    return true;
  }
};

// How a running sequence took an error hand-off.
enum class TSEQErrorTaken {
  NotRunning,  // no run: the caller handles the error itself
  Held,        // held back for the next group member: not stored, logged nor counted
  Taken        // the run's error: stored, logged and counted once per message
};

// The sequence window. The main window works without one (it then never
// counts as visible).
class ICEXSequenceWindow {
 public:
  virtual ~ICEXSequenceWindow() = default;
  virtual bool SEQVisible() const = 0;
  // Opens the sequence file in the window.
  virtual void SEQLoadSequenceFile(const std::string& path) = 0;
  // A received message is ready to be parsed.
  virtual void SEQMessageAvailable() = 0;
  // The run goes on with its next row (after a response time-out).
  virtual void SEQRunNextRow() = 0;
  // An error of the running sequence's current message: logged and counted
  // once per message, when the run has its log columns.
  virtual TSEQErrorTaken SEQLogError(int errorId, const std::string& errorText,
                                     bool groupValue) = 0;

  // The conditional group of the current row: its number of alternatives,
  // whether the last one has been tried, and loading the next one as the
  // reference structure (server role: the next group row; client role: the
  // next server reference). A window without groups has none.
  virtual int SEQGroupSize() const { return 0; }
  virtual bool SEQGroupEnd() const { return true; }
  virtual void SEQRunNextGroupRow() {}
  virtual void SEQLoadNextServerReference() {}
};

}  // namespace kal
