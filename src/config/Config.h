#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "config/AlarmList.h"
#include "config/CommIniSection.h"
#include "platform/IniFile.h"

namespace kal {

class TTDBDebug;

class TALUAliasList;
class IStringGrid;

// A time of day as a field holds it: "H:mm", "HH:mm:ss" and the like (hours
// 0-23, minutes and seconds 0-59, one or two digits each); false for
// anything else.
bool ParseTimeText(std::string_view text, std::chrono::seconds& t);

// Every setting of a test configuration and the INI files that hold them
// ("config.ini" in the program folder and named configurations of the same
// layout). One instance lives for the whole run; other code reads and
// changes settings only through the accessors below.
//
// Threads: integer settings may be read from any thread while the GUI thread
// changes them (worker threads read the close request and the time-outs);
// strings, lists and the file operations belong to the GUI thread.
class TCFGConfig final {
 public:
  static constexpr int CFGcMaxPickFiles = 4;
  static constexpr const char* CFGcBaseFileName = "config.ini";
  static constexpr const char* CFGcEndOfSection = "End of section";
  // Configuration files hold the private key: owner read and write only.
  static constexpr unsigned CFGcFileMode = 0600;

  // `programDir` is the program folder, ending with "/"; the configuration's
  // file is that folder joined with `fileName`. `commParams` reads and writes
  // the Communication section; it is not owned and may be null (the section
  // in a file is then kept as it is). The main window's geometry defaults to
  // 0; the main window sets it before the first read.
  TCFGConfig(std::string programDir, std::string_view fileName, ICFGCommIniSection* commParams);
  TCFGConfig(const TCFGConfig&) = delete;
  TCFGConfig& operator=(const TCFGConfig&) = delete;

  // Reads the configuration's file over the settings in force: keys missing
  // from the file keep their values. bStartup true also reads Directories,
  // Window and Files; false reads the two alarm sections instead. An old
  // file (VersionNumber 1x with Upgrade1020 set and no specversion) is
  // upgraded and rewritten after the read, keeping the sections the read did
  // not take. Returns 0, or a system error number when an existing file
  // cannot be read (nothing is changed then) or the upgraded file cannot be
  // written. A numeric value that is no number or lies outside its range
  // (0..255 for the byte settings) keeps the setting's value, with a trace
  // line naming the key.
  [[nodiscard]] int CFGReadIniFile(bool bStartup);
  // The trace that gets those lines (not owned; null: none).
  void CFGSetTrace(TTDBDebug* trace) { trace_ = trace; }

  // Writes every section to `fileName` (relative names are taken in the
  // program folder, an empty name means "config.ini"), keeping whatever
  // else the file holds. 0, or a system error number; a file that exists but
  // cannot be read is not overwritten.
  [[nodiscard]] int CFGWriteIniFile(std::string_view fileName);

  void CFGSetDefaultKeyValues();
  void CFGSetDefaultKeyValues24();
  // The session key those two write, as spaced hex (16 or 24 bytes).
  static const char* CFGDefaultSessionKey(bool key24);

  // The configuration's file: set as given, read and written by the two
  // calls above (an empty name reads and writes "config.ini").
  const std::string& CFGGetFileName() const { return CFGsFileName; }
  void CFGSetFileName(std::string_view name) { CFGsFileName = name; }
  const std::string& CFGGetProgramDir() const { return CFGsProgramDir; }

  // Keys
  const std::string& CFGGetSessionKey() const { return Str(CFGsSessionKey); }
  void CFGSetSessionKey(std::string_view v) { SetStr(CFGsSessionKey, v); }
  int32_t CFGGetSessionKeyFromInMessage() const { return Int(CFGiSessionKeyGeneration); }
  void CFGSetSessionKeyFromInMessage(int32_t v) { SetInt(CFGiSessionKeyGeneration, v); }
  const std::string& CFGGetPublicKeyModulus() const { return Str(CFGsPubModulus); }
  void CFGSetPublicKeyModulus(std::string_view v) { SetStr(CFGsPubModulus, v); }
  const std::string& CFGGetPublicKeyExponent() const { return Str(CFGsPubExponent); }
  void CFGSetPublicKeyExponent(std::string_view v) { SetStr(CFGsPubExponent, v); }
  const std::string& CFGGetPrivateKeyModulus() const { return Str(CFGsPrivModulus); }
  void CFGSetPrivateKeyModulus(std::string_view v) { SetStr(CFGsPrivModulus, v); }
  const std::string& CFGGetPrivateKeyExponent() const { return Str(CFGsPrivExponent); }
  void CFGSetPrivateKeyExponent(std::string_view v) { SetStr(CFGsPrivExponent, v); }
  const std::string& CFGGetATC() const { return Str(CFGsATC); }
  void CFGSetATC(std::string_view v) { SetStr(CFGsATC, v); }

  // Component
  const std::string& CFGGetComponentID() const { return Str(CFGsComponentID); }
  void CFGSetComponentID(std::string_view v) { SetStr(CFGsComponentID, v); }
  const std::string& CFGGetComponentSecret() const { return Str(CFGsComponentSecret); }
  void CFGSetComponentSecret(std::string_view v) { SetStr(CFGsComponentSecret, v); }
  const std::string& CFGGetVersionNumber() const { return Str(CFGsVersionNumber); }
  void CFGSetVersionNumber(std::string_view v) { SetStr(CFGsVersionNumber, v); }
  const std::string& CFGGetSpecVersionNumber() const { return Str(CFGsSpecVersionNumber); }
  void CFGSetSpecVersionNumber(std::string_view v) { SetStr(CFGsSpecVersionNumber, v); }
  uint8_t CFGGetEncodingInformation() const { return Byte(CFGiEncodingInformation); }
  void CFGSetEncodingInformation(uint8_t v) { SetInt(CFGiEncodingInformation, v); }
  uint8_t CFGGetMacOnly() const { return Byte(CFGiMacOnly); }
  void CFGSetMacOnly(uint8_t v) { SetInt(CFGiMacOnly, v); }
  const std::string& CFGGetPublicKeyOwnerID() const { return Str(CFGsPublicKeyOwnerID); }
  void CFGSetPublicKeyOwnerID(std::string_view v) { SetStr(CFGsPublicKeyOwnerID, v); }
  uint8_t CFGGetPublicKeyIndex() const { return Byte(CFGiPublicKeyIndex); }
  void CFGSetPublicKeyIndex(uint8_t v) { SetInt(CFGiPublicKeyIndex, v); }
  uint8_t CFGGetUserSenderIDType() const { return Byte(CFGiUserSenderIDType); }
  void CFGSetUserSenderIDType(uint8_t v) { SetInt(CFGiUserSenderIDType, v); }
  uint8_t CFGGetUserSenderIDLength() const { return Byte(CFGiUserSenderIDLength); }
  void CFGSetUserSenderIDLength(uint8_t v) { SetInt(CFGiUserSenderIDLength, v); }
  uint8_t CFGGetUserPublicKeyOwnerIDType() const { return Byte(CFGiUserPublicKeyOwnerIDType); }
  void CFGSetUserPublicKeyOwnerIDType(uint8_t v) { SetInt(CFGiUserPublicKeyOwnerIDType, v); }
  uint8_t CFGGetUserPublicKeyOwnerIDLength() const { return Byte(CFGiUserPublicKeyOwnerIDLength); }
  void CFGSetUserPublicKeyOwnerIDLength(uint8_t v) { SetInt(CFGiUserPublicKeyOwnerIDLength, v); }
  int32_t CFGGetUpgrade1020() const { return Int(CFGiUpgrade1020); }
  void CFGSetUpgrade1020(int32_t v) { SetInt(CFGiUpgrade1020, v); }
  int32_t CFGGetLogToFile() const { return Int(CFGiLogToFile); }
  const std::string& CFGGetMessageHeader() const { return Str(CFGsXMLMessageHeader); }
  void CFGSetMessageHeader(std::string_view v) { SetStr(CFGsXMLMessageHeader, v); }
  const std::string& CFGGetMessageHeaderAttribute() const { return Str(CFGsXMLMessageAttrib); }
  void CFGSetMessageHeaderAttribute(std::string_view v) { SetStr(CFGsXMLMessageAttrib, v); }
  const std::string& CFGGetMessageHeaderAttributeValue() const { return Str(CFGsXMLMessageVal); }
  void CFGSetMessageHeaderAttributeValue(std::string_view v) { SetStr(CFGsXMLMessageVal, v); }

  // Sender and public-key owner identifier types. The message header dialog
  // offers 6 sender types (the 6th is the user value) and 4 owner types (the
  // 4th is the user value). Whether the user value is chosen is a flag held
  // here: set from the stored type after every read (type >= 6, or >= 4)
  // and changed by the dialog before it stores the type.
  int32_t CFGGetSenderIDType() const;
  void CFGSetSenderIDType(uint8_t v);
  int32_t CFGGetSenderIDLength(int32_t type) const;
  int32_t CFGGetPublicKeyOwnerIDType() const;
  void CFGSetPublicKeyOwnerIDType(uint8_t v);
  int32_t CFGGetPublicKeyOwnerIDLength(int32_t type) const;
  bool CFGGetSenderIDUserChoice() const { return CFGbSenderIDUserChoice; }
  void CFGSetSenderIDUserChoice(bool v) { CFGbSenderIDUserChoice = v; }
  bool CFGGetPublicKeyOwnerIDUserChoice() const { return CFGbPublicKeyOwnerIDUserChoice; }
  // The stored type numbers themselves, whatever the user-value flag says.
  int32_t CFGGetStoredSenderIDType() const { return Int(CFGiSenderIDType); }
  int32_t CFGGetStoredPublicKeyOwnerIDType() const { return Int(CFGiPublicKeyOwnerIDType); }
  void CFGSetPublicKeyOwnerIDUserChoice(bool v) { CFGbPublicKeyOwnerIDUserChoice = v; }

  // Timeout (milliseconds)
  int32_t CFGGetInterCharTimeout() const { return Int(CFGiInterCharTimeout); }
  void CFGSetInterCharTimeout(int32_t v) { SetInt(CFGiInterCharTimeout, v); }
  int32_t CFGGetServerResponseTimeout() const { return Int(CFGiServerResponseTimeout); }
  void CFGSetServerResponseTimeout(int32_t v) { SetInt(CFGiServerResponseTimeout, v); }
  int32_t CFGGetHangUpTimeout() const { return Int(CFGiHangUpTimeout); }
  void CFGSetHangUpTimeout(int32_t v) { SetInt(CFGiHangUpTimeout, v); }
  int32_t CFGGetConnectionDelay() const { return Int(CFGiConnectionDelay); }
  void CFGSetConnectionDelay(int32_t v) { SetInt(CFGiConnectionDelay, v); }
  int32_t CFGGetCloseOnResponse() const { return Int(CFGiCloseOnResponse); }
  void CFGSetCloseOnResponse(int32_t v) { SetInt(CFGiCloseOnResponse, v); }
  int32_t CFGGetCloseOnResponseTemp() const { return Int(CFGiCloseOnResponseTemp); }
  void CFGSetCloseOnResponseTemp(int32_t v) { SetInt(CFGiCloseOnResponseTemp, v); }
  // True when the peer's connection is to be closed after a response.
  bool CFGGetCloseRequest() const {
    return Int(CFGiCloseOnResponse) != 0 || Int(CFGiCloseOnResponseTemp) != 0;
  }

  // PlugIn
  const std::string& CFGGetPluginOutIPAddress() const { return Str(CFGsOutIPAddress); }
  void CFGSetPluginOutIPAddress(std::string_view v) { SetStr(CFGsOutIPAddress, v); }
  int32_t CFGGetPluginOutIPPort() const { return Int(CFGiOutIPPort); }
  void CFGSetPluginOutIPPort(int32_t v) { SetInt(CFGiOutIPPort, v); }
  int32_t CFGGetActivatePluginOut() const { return Int(CFGiActivatePluginOut); }
  void CFGSetActivatePluginOut(int32_t v) { SetInt(CFGiActivatePluginOut, v); }
  const std::string& CFGGetPluginInIPAddress() const { return Str(CFGsInIPAddress); }
  void CFGSetPluginInIPAddress(std::string_view v) { SetStr(CFGsInIPAddress, v); }
  int32_t CFGGetPluginInIPPort() const { return Int(CFGiInIPPort); }
  void CFGSetPluginInIPPort(int32_t v) { SetInt(CFGiInIPPort, v); }
  int32_t CFGGetActivatePluginIn() const { return Int(CFGiActivatePluginIn); }
  void CFGSetActivatePluginIn(int32_t v) { SetInt(CFGiActivatePluginIn, v); }

  // Sequence
  int32_t CFGGetSequenceRecord() const { return Int(CFGiSequenceRecord); }
  void CFGSetSequenceRecord(int32_t v) { SetInt(CFGiSequenceRecord, v); }
  int32_t CFGGetSequenceLogErrors() const { return Int(CFGiSequenceLogErrors); }
  void CFGSetSequenceLogErrors(int32_t v) { SetInt(CFGiSequenceLogErrors, v); }
  int32_t CFGGetSequenceLogType() const { return Int(CFGiSequenceLogType); }
  void CFGSetSequenceLogType(int32_t v) { SetInt(CFGiSequenceLogType, v); }
  int32_t CFGGetSequenceLogDelimitor() const { return Int(CFGiSequenceLogDelimitor); }
  void CFGSetSequenceLogDelimitor(int32_t v) { SetInt(CFGiSequenceLogDelimitor, v); }
  const std::string& CFGGetSequenceLogFileName() const { return Str(CFGsSequenceLogFileName); }
  void CFGSetSequenceLogFileName(std::string_view v) { SetStr(CFGsSequenceLogFileName, v); }
  int32_t CFGGetSequenceRestart() const { return Int(CFGiSequenceRestart); }
  void CFGSetSequenceRestart(int32_t v) { SetInt(CFGiSequenceRestart, v); }
  int32_t CFGGetSequenceErrorCount() const { return Int(CFGiSequenceErrorCount); }
  void CFGSetSequenceErrorCount(int32_t v) { SetInt(CFGiSequenceErrorCount, v); }
  // Time of day, seconds since midnight (0 to 86399); stored as "HH:mm:ss".
  std::chrono::seconds CFGGetSequenceEndTime() const { return CFGaSequenceEndTime; }
  void CFGSetSequenceEndTime(std::chrono::seconds v);
  // Stored as "dd.MM.yyyy"; every read sets today's date.
  std::chrono::year_month_day CFGGetSequenceEndDate() const { return CFGaSequenceEndDate; }
  void CFGSetSequenceEndDate(std::chrono::year_month_day v) { CFGaSequenceEndDate = v; }
  int32_t CFGGetPermanentRun() const { return Int(CFGiPermanentRun); }
  void CFGSetPermanentRun(int32_t v) { SetInt(CFGiPermanentRun, v); }
  int32_t CFGGetIssuerScriptResultFailureRate() const {
    return Int(CFGiIssuerScriptResultFailureRate);
  }
  void CFGSetIssuerScriptResultFailureRate(int32_t v) {
    SetInt(CFGiIssuerScriptResultFailureRate, v);
  }
  int32_t CFGGetThreadDelay() const { return Int(CFGiThreadDelay); }
  void CFGSetThreadDelay(int32_t v) { SetInt(CFGiThreadDelay, v); }

  // Alarm, Admin
  const std::string& CFGGetAlarmLogFileName() const { return Str(CFGsAlarmLogFileName); }
  void CFGSetAlarmLogFileName(std::string_view v) { SetStr(CFGsAlarmLogFileName, v); }
  int32_t CFGGetUseLogin() const { return Int(CFGiUseLogin); }
  void CFGSetUseLogin(int32_t v) { SetInt(CFGiUseLogin, v); }

  // Directories
  const std::string& CFGGetDirMessage() const { return Str(CFGsDirMessage); }
  void CFGSetDirMessage(std::string_view v) { SetStr(CFGsDirMessage, v); }
  const std::string& CFGGetDirRecord() const { return Str(CFGsDirRecord); }
  void CFGSetDirRecord(std::string_view v) { SetStr(CFGsDirRecord, v); }
  const std::string& CFGGetDirReadStructure() const { return Str(CFGsDirReadStructure); }
  void CFGSetDirReadStructure(std::string_view v) { SetStr(CFGsDirReadStructure, v); }
  const std::string& CFGGetDirXMLDocStructure() const { return Str(CFGsDirXMLDocStructure); }
  void CFGSetDirXMLDocStructure(std::string_view v) { SetStr(CFGsDirXMLDocStructure, v); }
  const std::string& CFGGetDirSequence() const { return Str(CFGsDirSequence); }
  void CFGSetDirSequence(std::string_view v) { SetStr(CFGsDirSequence, v); }
  const std::string& CFGGetDirConfig() const { return Str(CFGsDirConfig); }
  void CFGSetDirConfig(std::string_view v) { SetStr(CFGsDirConfig, v); }
  const std::string& CFGGetDirPrintToFile() const { return Str(CFGsDirPrintToFile); }
  void CFGSetDirPrintToFile(std::string_view v) { SetStr(CFGsDirPrintToFile, v); }
  const std::string& CFGGetDirValuePoolFile() const { return Str(CFGsDirValuePoolFile); }
  void CFGSetDirValuePoolFile(std::string_view v) { SetStr(CFGsDirValuePoolFile, v); }
  const std::string& CFGGetConfigFileName() const { return Str(CFGsConfigFileName); }
  void CFGSetConfigFileName(std::string_view v) { SetStr(CFGsConfigFileName, v); }

  // Window
  int32_t CFGGetWindowState() const { return Int(CFGiWindowState); }
  void CFGSetWindowState(int32_t v) { SetInt(CFGiWindowState, v); }
  int32_t CFGGetWindowTop() const { return Int(CFGiWindowTop); }
  void CFGSetWindowTop(int32_t v) { SetInt(CFGiWindowTop, v); }
  int32_t CFGGetWindowHeight() const { return Int(CFGiWindowHeight); }
  void CFGSetWindowHeight(int32_t v) { SetInt(CFGiWindowHeight, v); }
  int32_t CFGGetWindowLeft() const { return Int(CFGiWindowLeft); }
  void CFGSetWindowLeft(int32_t v) { SetInt(CFGiWindowLeft, v); }
  int32_t CFGGetWindowWidth() const { return Int(CFGiWindowWidth); }
  void CFGSetWindowWidth(int32_t v) { SetInt(CFGiWindowWidth, v); }

  // Recent message, sequence and configuration files, entry 0 the newest.
  // Index outside 0..3 gives "". Adding a name already listed changes
  // nothing; otherwise the oldest entry is dropped.
  std::string CFGGetPickFile(int i) const { return Pick(CFGaPickFiles, i); }
  void CFGAddPickFile(std::string_view name) { AddPick(CFGaPickFiles, name); }
  std::string CFGGetPickFileSeq(int i) const { return Pick(CFGaPickFilesSeq, i); }
  void CFGAddPickFileSeq(std::string_view name) { AddPick(CFGaPickFilesSeq, name); }
  std::string CFGGetPickFileIni(int i) const { return Pick(CFGaPickFilesIni, i); }
  void CFGAddPickFileIni(std::string_view name) { AddPick(CFGaPickFilesIni, name); }

  // The alarm rules of sections ErrorAlarms and ExecutionTimeAlarms. The
  // lists are filled whenever the sections are read; a rule line that does
  // not parse adds no rule. Reading stops at the first missing key.
  TALEAlarmErrorList& CFGGetErrorAlarmList() { return *CFGaErrorAlarms; }
  TALTAlarmExecutionTimeList& CFGGetExecutionTimeAlarmList() { return *CFGaExecutionTimeAlarms; }
  std::vector<std::string> CFGGetErrorAlarmLines() const { return CFGaErrorAlarms->ALMGetLines(); }
  void CFGSetErrorAlarmLines(const std::vector<std::string>& lines) {
    CFGaErrorAlarms->ALMSetLines(lines);
  }
  std::vector<std::string> CFGGetExecutionTimeAlarmLines() const {
    return CFGaExecutionTimeAlarms->ALMGetLines();
  }
  void CFGSetExecutionTimeAlarmLines(const std::vector<std::string>& lines) {
    CFGaExecutionTimeAlarms->ALMSetLines(lines);
  }
  void CFGReadErrorAlarms(const TPLTIniFile& ini);
  void CFGReadExecutionTimeAlarms(const TPLTIniFile& ini);
  void CFGWriteErrorAlarms(TPLTIniFile& ini) const;
  void CFGWriteExecutionTimeAlarms(TPLTIniFile& ini) const;
  // The lists and the grids of the alarming dialog (row 0 the header,
  // column 0 the selection column). Lists to grids: the grid is cleared and
  // rule i's line, split at ";", goes into row i + 1 (the last column takes
  // the rest of the line). Grids to lists: each row's columns 1 to the last
  // joined by ";"; rows empty apart from the ";" are skipped. Both discard
  // the rules' events.
  void CFGGetErrorAlarms(IStringGrid& grid) const;
  void CFGGetExecutionTimeAlarms(IStringGrid& grid) const;
  void CFGSetErrorAlarms(const IStringGrid& grid);
  void CFGSetExecutionTimeAlarms(const IStringGrid& grid);

  // Whether the specversion item of the message header attributes is at
  // least 500, 520, 600 or 700 (read as a decimal integer).
  bool CFGVersionAbove500() const { return VersionAtLeast(500); }
  bool CFGVersionAbove520() const { return VersionAtLeast(520); }
  bool CFGVersionAbove600() const { return VersionAtLeast(600); }
  bool CFGVersionAbove700() const { return VersionAtLeast(700); }

  // A stored file name as a path to open: directory aliases expanded, a
  // relative result taken in the program folder; blank stays blank.
  std::string CFGResolveFileName(const TALUAliasList& aliases, std::string_view fileName) const;

  // Makes sure the file named by `fileName` (aliases expanded, relative
  // names in the program folder) exists, creating it empty when missing.
  // Returns 0, or a system error number with `message` set to `errorText`
  // + " Filename=" + the expanded name for the caller to show. A blank name
  // is left alone.
  [[nodiscard]] int CFGCheckFile(const TALUAliasList& aliases, std::string_view fileName,
                                 std::string_view errorText, std::string& message) const;

  // Field indices: strings and integers are kept in two tables so that the
  // file layout can be described once (Config.cpp).
  enum TCFGString : uint8_t {
    CFGsSessionKey,
    CFGsPubModulus,
    CFGsPubExponent,
    CFGsPrivModulus,
    CFGsPrivExponent,
    CFGsATC,
    CFGsComponentID,
    CFGsComponentSecret,
    CFGsVersionNumber,
    CFGsSpecVersionNumber,
    CFGsPublicKeyOwnerID,
    CFGsXMLMessageHeader,
    CFGsXMLMessageAttrib,
    CFGsXMLMessageVal,
    CFGsOutIPAddress,
    CFGsInIPAddress,
    CFGsSequenceLogFileName,
    CFGsAlarmLogFileName,
    CFGsDirMessage,
    CFGsDirRecord,
    CFGsDirReadStructure,
    CFGsDirXMLDocStructure,
    CFGsDirSequence,
    CFGsDirConfig,
    CFGsDirPrintToFile,
    CFGsDirValuePoolFile,
    CFGsConfigFileName,
    CFGsCount
  };
  enum TCFGInteger : uint8_t {
    CFGiSessionKeyGeneration,
    CFGiEncodingInformation,
    CFGiMacOnly,
    CFGiSenderIDType,
    CFGiSenderIDLength,
    CFGiPublicKeyOwnerIDType,
    CFGiPublicKeyOwnerIDLength,
    CFGiPublicKeyIndex,
    CFGiUserSenderIDType,
    CFGiUserSenderIDLength,
    CFGiUserPublicKeyOwnerIDType,
    CFGiUserPublicKeyOwnerIDLength,
    CFGiUpgrade1020,
    CFGiLogToFile,
    CFGiInterCharTimeout,
    CFGiServerResponseTimeout,
    CFGiHangUpTimeout,
    CFGiConnectionDelay,
    CFGiCloseOnResponse,
    CFGiCloseOnResponseTemp,
    CFGiOutIPPort,
    CFGiActivatePluginOut,
    CFGiInIPPort,
    CFGiActivatePluginIn,
    CFGiSequenceRecord,
    CFGiSequenceLogErrors,
    CFGiSequenceLogType,
    CFGiSequenceLogDelimitor,
    CFGiSequenceRestart,
    CFGiSequenceErrorCount,
    CFGiPermanentRun,
    CFGiIssuerScriptResultFailureRate,
    CFGiThreadDelay,
    CFGiUseLogin,
    CFGiWindowState,
    CFGiWindowTop,
    CFGiWindowHeight,
    CFGiWindowLeft,
    CFGiWindowWidth,
    CFGiCount
  };

 private:
  using TPickList = std::array<std::string, CFGcMaxPickFiles>;

  const std::string& Str(TCFGString i) const { return CFGasStrings[i]; }
  void SetStr(TCFGString i, std::string_view v) { CFGasStrings[i] = v; }
  int32_t Int(TCFGInteger i) const { return CFGaiIntegers[i].load(std::memory_order_acquire); }
  uint8_t Byte(TCFGInteger i) const { return static_cast<uint8_t>(Int(i)); }
  void SetInt(TCFGInteger i, int32_t v) { CFGaiIntegers[i].store(v, std::memory_order_release); }
  static std::string Pick(const TPickList& list, int i);
  static void AddPick(TPickList& list, std::string_view name);

  std::string ProgramPath(std::string_view name) const;
  std::string ConfigPath(std::string_view name) const;
  bool VersionAtLeast(int32_t threshold) const;
  bool UpgradeOldVersion();
  void ReadGroup(const TPLTIniFile& ini, int group);
  // The value of a numeric key within min..max, else `value` unchanged.
  int32_t ReadNumber(const TPLTIniFile& ini, const char* section, const char* key, int32_t value,
                     int64_t min, int64_t max) const;
  void ReadFiles(const TPLTIniFile& ini);
  // Writes the sections every file holds, then Directories, Window and Files
  // and the alarm sections when asked.
  void WriteSections(TPLTIniFile& ini, bool environment, bool alarms) const;
  void UpdateUserChoices();

  std::string CFGsProgramDir;
  std::string CFGsFileName;
  TTDBDebug* trace_ = nullptr;
  ICFGCommIniSection* CFGaTCPCommParams;
  std::array<std::string, CFGsCount> CFGasStrings;
  std::array<std::atomic<int32_t>, CFGiCount> CFGaiIntegers{};
  std::chrono::seconds CFGaSequenceEndTime{0};
  std::chrono::year_month_day CFGaSequenceEndDate{};
  bool CFGbSenderIDUserChoice = false;
  bool CFGbPublicKeyOwnerIDUserChoice = false;
  TPickList CFGaPickFiles;
  TPickList CFGaPickFilesSeq;
  TPickList CFGaPickFilesIni;
  std::unique_ptr<TALEAlarmErrorList> CFGaErrorAlarms = std::make_unique<TALEAlarmErrorList>();
  std::unique_ptr<TALTAlarmExecutionTimeList> CFGaExecutionTimeAlarms =
      std::make_unique<TALTAlarmExecutionTimeList>();
};

}  // namespace kal
