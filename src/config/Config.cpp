#include "config/Config.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <utility>

#include "config/AliasList.h"
#include "support/StringGrid.h"
#include "support/StringUnit.h"
#include "support/TraceLogger.h"

namespace kal {

namespace {

// Default key material. The RSA pairs are real key pairs (public exponent
// 65537): a 1984-bit modulus for the 16-byte set, a 2048-bit one for the
// 24-byte set.
constexpr const char* kSessionKey16 = "5A C3 19 E4 7B 02 D8 6F 31 9E A4 0C 57 B2 E8 4D";
constexpr const char* kSessionKey24 =
    "3F 8A 61 D2 0B 9C 47 E5 A8 14 6D F3 22 C9 7E 05 B1 58 E6 0A 93 4C D7 6B";
constexpr const char* kComponentSecret = "E2 07 9B 4C 61 F8 3A D5 0E 72 C4 19 B6 5F 8D 23";
constexpr const char* kPublicExponent = "010001";
constexpr const char* kModulus16 =
    "BC7B892302D0CF80985C57069B8EE433EF9E6D35C876B38B7B3217FD744EF089"
    "5306D26C60E421F508D9C3D3D62CC1573E8D6DC603B511A5E9431BFF6D284D9D"
    "62807C3B6FD1C5736D0048C1C87264FE94DA81FC2EB3FC43199A50153AED0E66"
    "F7B895B86FEA3A490DB80C82B327CB5A846E9CF7F1EF1550FA09A0CA9CB0987B"
    "40FF5413580C22F1EE3E01403E14179CFA8029F6626C5759104F926C46D90B2C"
    "8797856941772BAD872EB96797389DB91911879EEB79375B0D9E9BFA4A468A7E"
    "013BB4BC5295535B8769E3C94655E3FB4122F67CEACC16D9942737AB67999AED"
    "3A62CA490E5EE10B80DEA2F1D8218AA3DFDF806128D9C669";
constexpr const char* kPrivExponent16 =
    "22A3615479D3FE0E57F1C05C8A81FC163F571222EC304456C1D136EF714C808F"
    "FC1E28D59A08D2E4C137A3F16E4ED3494149A47EDB778F42BA5786F1AE11D611"
    "B264827039E08734EB373E27BEBAA72CD21646051E601D600778807726592268"
    "71E60E3DD2F36CBAB836B6B5DE4ED5E450AA3356ADB38E6B4F482DB03D7EA89F"
    "3CC5FEB0AFCD9DCE40ABCB05E5C0C10C6B21B0E5D29B59E7AAD3C866107E103F"
    "3B71EB96AC76240F72D2BE7BA44B1B0A8059BB73FAF5AD8F74FE3CD8FB9F970C"
    "C17DA949C02F35665167F2471E4CD48009A5CD60928169B58539FE5A77AE840C"
    "83E54F7BAB6CFFAEB33C8737434E3923346E7DE9FF8667F1";
constexpr const char* kModulus24 =
    "E3CB812D65DF9722E5C0E13D60292A59C3E1AD042381F2D1274221BE9365B700"
    "B52C7B4B462D6D77F84E9AE4D571ED851039D37FFDB43F9C4396BA6FBB79B099"
    "693BD48638E30A19388E5A39184316FE13C69F3B88CF6C52A6CE604DE7F00087"
    "2660456D1110BABC1384B5E9A0244ABDC473B5173C63EF238870A679C57ACA95"
    "B95EBBA3641129F73C6B4562328627614D4393637ED100EE49E435B82A22BDC0"
    "6389B16EC2B7ADB6D2458C4F6A9C54AC41A61C66D84203949D5D8502DAD4A890"
    "88BE28F60625FFDD460119286C572C4D0859BC2AF4EFF9FAC2AE97A14D7DBD18"
    "C6D0D7064E1E33B3ABC9F6913DD7F4C902BA7847010B0515B3F7DBC95BD4AFD3";
constexpr const char* kPrivExponent24 =
    "1066B7FCFB7771D102C1DF207AD55145F7F893C081DDFAB7072097D564EA2497"
    "04746E1C295D5EA30E047ADA91BE60DFA7CA1769ABC157F879AAAC99C6E1D2CE"
    "A393B9E59575A365D57B4A6664A77AA1A8983076D4E43A646910E040E6663D63"
    "7DBBDE192595681C8A908F98815346490B9003DB3C6F3AE9FAB4EC5CF029BB29"
    "91D222800105C51525E5DBB052C9150943F4B56C6DDFABFE70241580026A4659"
    "C894E40DD311A2C2FD10115A8923A17C06F4B7822995080C8F2220AE8BAB61ED"
    "42818BB64810E4A4567FFB70F928AFF9A2D120729D97CB1586B9B86865ABE6E1"
    "56E1643CB9FCE87450A57B997F8FC190BC8EDECDF37A12BC0DBCE0B042DE2141";

// The ep2 namespace identifier, the value of the header attribute xmlns:ep2.
constexpr const char* kEp2Namespace = "http://www.eftpos2000.ch";

using S = TCFGConfig::TCFGString;
using I = TCFGConfig::TCFGInteger;

enum TGroup : uint8_t {
  kMain,  // in every file, read by every read
  kXml,   // the three header keys of Component, read and written after Communication
  kEnv,   // Directories and Window: read only at start-up
};
enum TKind : uint8_t { kString, kInteger, kByte, kKeyGeneration, kTime, kDate };

struct TEntry {
  const char* section;
  const char* key;
  TKind kind;
  uint8_t index;  // TCFGString for kString, TCFGInteger otherwise
  TGroup group;
};

// The file layout in file order; Communication, Files and the alarm sections
// are written by their own code.
constexpr TEntry kLayout[] = {
    {"Keys", "SessionKey", kString, S::CFGsSessionKey, kMain},
    {"Keys", "SessionKeyGeneration", kKeyGeneration, I::CFGiSessionKeyGeneration, kMain},
    {"Keys", "PubModulus", kString, S::CFGsPubModulus, kMain},
    {"Keys", "PubExponent", kString, S::CFGsPubExponent, kMain},
    {"Keys", "PrivModulus", kString, S::CFGsPrivModulus, kMain},
    {"Keys", "PrivExponent", kString, S::CFGsPrivExponent, kMain},
    {"Keys", "ATC", kString, S::CFGsATC, kMain},
    {"Component", "ComponentID", kString, S::CFGsComponentID, kMain},
    {"Component", "ComponentSecret", kString, S::CFGsComponentSecret, kMain},
    {"Component", "VersionNumber", kString, S::CFGsVersionNumber, kMain},
    {"Component", "SpecVersionNumber", kString, S::CFGsSpecVersionNumber, kMain},
    {"Component", "EncodingInformation", kByte, I::CFGiEncodingInformation, kMain},
    {"Component", "MacOnly", kByte, I::CFGiMacOnly, kMain},
    {"Component", "SenderIDType", kByte, I::CFGiSenderIDType, kMain},
    {"Component", "SenderIDLength", kByte, I::CFGiSenderIDLength, kMain},
    {"Component", "PublicKeyOwnerIDType", kByte, I::CFGiPublicKeyOwnerIDType, kMain},
    {"Component", "PublicKeyOwnerIDLength", kByte, I::CFGiPublicKeyOwnerIDLength, kMain},
    {"Component", "PublicKeyOwnerID", kString, S::CFGsPublicKeyOwnerID, kMain},
    {"Component", "PublicKeyIndex", kByte, I::CFGiPublicKeyIndex, kMain},
    {"Component", "UserSenderIDType", kByte, I::CFGiUserSenderIDType, kMain},
    {"Component", "UserSenderIDLength", kByte, I::CFGiUserSenderIDLength, kMain},
    {"Component", "UserPublicKeyOwnerIDType", kByte, I::CFGiUserPublicKeyOwnerIDType, kMain},
    {"Component", "UserPublicKeyOwnerIDLength", kByte, I::CFGiUserPublicKeyOwnerIDLength, kMain},
    {"Component", "Upgrade1020", kInteger, I::CFGiUpgrade1020, kMain},
    {"Component", "LogToFile", kInteger, I::CFGiLogToFile, kMain},
    {"Timeout", "InterCharTimeout", kInteger, I::CFGiInterCharTimeout, kMain},
    {"Timeout", "ServerResponseTimeout", kInteger, I::CFGiServerResponseTimeout, kMain},
    {"Timeout", "HangUpTimeout", kInteger, I::CFGiHangUpTimeout, kMain},
    {"Timeout", "ConnectionDelay", kInteger, I::CFGiConnectionDelay, kMain},
    {"Timeout", "CloseOnResponse", kInteger, I::CFGiCloseOnResponse, kMain},
    {"PlugIn", "OutIPAddress", kString, S::CFGsOutIPAddress, kMain},
    {"PlugIn", "OutIPPort", kInteger, I::CFGiOutIPPort, kMain},
    {"PlugIn", "ActivatePluginOut", kInteger, I::CFGiActivatePluginOut, kMain},
    {"PlugIn", "InIPAddress", kString, S::CFGsInIPAddress, kMain},
    {"PlugIn", "InIPPort", kInteger, I::CFGiInIPPort, kMain},
    {"PlugIn", "ActivatePluginIn", kInteger, I::CFGiActivatePluginIn, kMain},
    {"Sequence", "SequenceRecord", kInteger, I::CFGiSequenceRecord, kMain},
    {"Sequence", "SequenceLogErrors", kInteger, I::CFGiSequenceLogErrors, kMain},
    {"Sequence", "SequenceLogType", kInteger, I::CFGiSequenceLogType, kMain},
    {"Sequence", "SequenceLogDelimitor", kInteger, I::CFGiSequenceLogDelimitor, kMain},
    {"Sequence", "SequenceLogFileName", kString, S::CFGsSequenceLogFileName, kMain},
    {"Sequence", "SequenceRestart", kInteger, I::CFGiSequenceRestart, kMain},
    {"Sequence", "SequenceErrorCount", kInteger, I::CFGiSequenceErrorCount, kMain},
    {"Sequence", "SequenceEndTime", kTime, 0, kMain},
    {"Sequence", "SequenceEndDate", kDate, 0, kMain},
    {"Sequence", "PermanentRun", kInteger, I::CFGiPermanentRun, kMain},
    {"Sequence", "IssuerScriptResultFailureRate", kInteger, I::CFGiIssuerScriptResultFailureRate,
     kMain},
    {"Sequence", "ThreadDelay", kInteger, I::CFGiThreadDelay, kMain},
    {"Alarm", "AlarmLogFileName", kString, S::CFGsAlarmLogFileName, kMain},
    {"Admin", "UseLogin", kInteger, I::CFGiUseLogin, kMain},
    {"Component", "XMLMessageHeader", kString, S::CFGsXMLMessageHeader, kXml},
    {"Component", "XMLMessageAttrib", kString, S::CFGsXMLMessageAttrib, kXml},
    {"Component", "XMLMessageVal", kString, S::CFGsXMLMessageVal, kXml},
    {"Directories", "Message", kString, S::CFGsDirMessage, kEnv},
    {"Directories", "Record", kString, S::CFGsDirRecord, kEnv},
    {"Directories", "ReadStructure", kString, S::CFGsDirReadStructure, kEnv},
    {"Directories", "XMLDocStructure", kString, S::CFGsDirXMLDocStructure, kEnv},
    {"Directories", "Sequence", kString, S::CFGsDirSequence, kEnv},
    {"Directories", "Config", kString, S::CFGsDirConfig, kEnv},
    {"Directories", "PrintToFile", kString, S::CFGsDirPrintToFile, kEnv},
    {"Directories", "ValuePoolFile", kString, S::CFGsDirValuePoolFile, kEnv},
    {"Directories", "ConfigFileName", kString, S::CFGsConfigFileName, kEnv},
    {"Window", "WindowState", kInteger, I::CFGiWindowState, kEnv},
    {"Window", "WindowTop", kInteger, I::CFGiWindowTop, kEnv},
    {"Window", "WindowHeight", kInteger, I::CFGiWindowHeight, kEnv},
    {"Window", "WindowLeft", kInteger, I::CFGiWindowLeft, kEnv},
    {"Window", "WindowWidth", kInteger, I::CFGiWindowWidth, kEnv},
};

constexpr const char* kFiles = "Files";
constexpr const char* kErrorAlarms = "ErrorAlarms";
constexpr const char* kExecutionTimeAlarms = "ExecutionTimeAlarms";
constexpr int kSenderTypes = 6;  // items of the sender type choice, the last the user value
constexpr int kOwnerTypes = 4;   // items of the owner type choice, the last the user value

std::tm LocalNow() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm;
}

std::chrono::year_month_day Today() {
  const std::tm tm = LocalNow();
  return std::chrono::year_month_day{std::chrono::year{tm.tm_year + 1900},
                                     std::chrono::month{static_cast<unsigned>(tm.tm_mon + 1)},
                                     std::chrono::day{static_cast<unsigned>(tm.tm_mday)}};
}

std::chrono::seconds TimeOfDayNow() {
  const std::tm tm = LocalNow();
  return std::chrono::seconds{tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec};
}

std::string TimeText(std::chrono::seconds t) {
  const auto s = static_cast<unsigned>(t.count());
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02u:%02u:%02u", s / 3600 % 100, s / 60 % 60, s % 60);
  return buf;
}

std::string DateText(std::chrono::year_month_day d) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "%02u.%02u.%04d", static_cast<unsigned>(d.day()) % 100,
                static_cast<unsigned>(d.month()) % 100, static_cast<int>(d.year()));
  return buf;
}

// One or two decimal digits, at most `max`.
bool ReadTimePart(std::string_view part, int max, int& value) {
  if (part.empty() || part.size() > 2) return false;
  value = 0;
  for (const char c : part) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return value <= max;
}

}  // namespace

bool ParseTimeText(std::string_view text, std::chrono::seconds& t) {
  int h = 0, m = 0, s = 0;
  const size_t c1 = text.find(':');
  if (c1 == std::string_view::npos) return false;
  const std::string_view rest = text.substr(c1 + 1);
  const size_t c2 = rest.find(':');
  if (!ReadTimePart(text.substr(0, c1), 23, h)) return false;
  if (!ReadTimePart(rest.substr(0, c2), 59, m)) return false;
  if (c2 != std::string_view::npos && !ReadTimePart(rest.substr(c2 + 1), 59, s)) return false;
  t = std::chrono::seconds{h * 3600 + m * 60 + s};
  return true;
}

namespace {

std::string Numbered(const char* prefix, size_t n) {
  return prefix + std::to_string(n);
}

}  // namespace

TCFGConfig::TCFGConfig(std::string programDir, std::string_view fileName,
                       ICFGCommIniSection* commParams)
    : CFGsProgramDir(std::move(programDir)),
      CFGsFileName(CFGsProgramDir + std::string(fileName)),
      CFGaTCPCommParams(commParams) {
  CFGSetDefaultKeyValues();

  SetStr(CFGsComponentID, "12345678901");
  SetStr(CFGsComponentSecret, kComponentSecret);
  SetStr(CFGsVersionNumber, "20");
  SetStr(CFGsSpecVersionNumber, "0201");
  SetInt(CFGiEncodingInformation, 0);
  SetInt(CFGiMacOnly, 1);
  SetInt(CFGiSenderIDType, 1);
  SetInt(CFGiSenderIDLength, 11);
  SetInt(CFGiPublicKeyOwnerIDType, 1);
  SetInt(CFGiPublicKeyOwnerIDLength, 11);
  SetStr(CFGsPublicKeyOwnerID, "12345678");
  SetInt(CFGiPublicKeyIndex, 1);
  SetInt(CFGiUserSenderIDType, 1);
  SetInt(CFGiUserSenderIDLength, 11);
  SetInt(CFGiUserPublicKeyOwnerIDType, 1);
  SetInt(CFGiUserPublicKeyOwnerIDLength, 11);
  SetInt(CFGiUpgrade1020, 0);
  SetInt(CFGiLogToFile, 0);

  SetInt(CFGiInterCharTimeout, 30000);
  SetInt(CFGiServerResponseTimeout, 60000);
  SetInt(CFGiHangUpTimeout, 300000);
  SetInt(CFGiConnectionDelay, 2000);
  SetInt(CFGiCloseOnResponse, 1);
  SetInt(CFGiCloseOnResponseTemp, 0);
  SetStr(CFGsOutIPAddress, "127.0.0.1");
  SetInt(CFGiOutIPPort, 0);
  SetInt(CFGiActivatePluginOut, 0);
  SetStr(CFGsInIPAddress, "127.0.0.1");
  SetInt(CFGiInIPPort, 0);
  SetInt(CFGiActivatePluginIn, 0);

  SetStr(CFGsXMLMessageHeader, "ep2:message");
  SetStr(CFGsXMLMessageAttrib, "xmlns:ep2");
  SetStr(CFGsXMLMessageVal, kEp2Namespace);

  SetInt(CFGiSequenceRecord, 0);
  SetInt(CFGiSequenceLogErrors, 0);
  SetInt(CFGiSequenceLogType, 0);
  SetInt(CFGiSequenceLogDelimitor, 0);
  SetStr(CFGsSequenceLogFileName, "log.txt");
  SetInt(CFGiSequenceRestart, 0);
  SetInt(CFGiSequenceErrorCount, 1);
  CFGaSequenceEndTime = TimeOfDayNow();
  CFGaSequenceEndDate = Today();
  SetInt(CFGiPermanentRun, 0);
  SetInt(CFGiIssuerScriptResultFailureRate, 0);
  SetInt(CFGiThreadDelay, 0);
  SetStr(CFGsAlarmLogFileName, "alarmlog.txt");
  SetInt(CFGiUseLogin, 0);

  for (const S dir : {CFGsDirMessage, CFGsDirRecord, CFGsDirReadStructure, CFGsDirXMLDocStructure,
                      CFGsDirSequence, CFGsDirConfig, CFGsDirPrintToFile, CFGsDirValuePoolFile})
    SetStr(dir, CFGsProgramDir);
  SetInt(CFGiWindowState, 2);  // maximised
  SetStr(CFGsConfigFileName, "");
  UpdateUserChoices();
}

void TCFGConfig::CFGSetDefaultKeyValues() {
  SetStr(CFGsSessionKey, kSessionKey16);
  SetStr(CFGsPubModulus, kModulus16);
  SetStr(CFGsPubExponent, kPublicExponent);
  SetStr(CFGsPrivModulus, kModulus16);
  SetStr(CFGsPrivExponent, kPrivExponent16);
  SetInt(CFGiSessionKeyGeneration, 0);
}

const char* TCFGConfig::CFGDefaultSessionKey(bool key24) {
  return key24 ? kSessionKey24 : kSessionKey16;
}

void TCFGConfig::CFGSetDefaultKeyValues24() {
  SetStr(CFGsSessionKey, kSessionKey24);
  SetStr(CFGsPubModulus, kModulus24);
  SetStr(CFGsPubExponent, kPublicExponent);
  SetStr(CFGsPrivModulus, kModulus24);
  SetStr(CFGsPrivExponent, kPrivExponent24);
  SetInt(CFGiSessionKeyGeneration, 0);
}

std::string TCFGConfig::ProgramPath(std::string_view name) const {
  if (!name.empty() && name.front() == '/') return std::string(name);
  return CFGsProgramDir + std::string(name);
}

std::string TCFGConfig::ConfigPath(std::string_view name) const {
  return STRTrim(name).empty() ? CFGsProgramDir + CFGcBaseFileName : ProgramPath(name);
}

void TCFGConfig::ReadGroup(const TPLTIniFile& ini, int group) {
  for (const TEntry& e : kLayout) {
    if (e.group != group) continue;
    const auto si = static_cast<S>(e.index);
    const auto ii = static_cast<I>(e.index);
    switch (e.kind) {
      case kString:
        SetStr(si, ini.PLTReadString(e.section, e.key, Str(si)));
        break;
      case kInteger:
        SetInt(ii, ReadNumber(ini, e.section, e.key, Int(ii), INT32_MIN, INT32_MAX));
        break;
      case kByte:
        SetInt(ii, ReadNumber(ini, e.section, e.key, Int(ii), 0, 255));
        break;
      case kKeyGeneration:
        SetInt(ii, ini.PLTReadInteger(e.section, e.key, 0));
        break;
      case kTime: {
        std::chrono::seconds t{};
        if (ParseTimeText(ini.PLTReadString(e.section, e.key, ""), t)) CFGaSequenceEndTime = t;
        break;
      }
      case kDate:
        // The end date is not taken from the file: every read starts today.
        CFGaSequenceEndDate = Today();
        break;
    }
  }
}

int32_t TCFGConfig::ReadNumber(const TPLTIniFile& ini, const char* section, const char* key,
                               int32_t value, int64_t min, int64_t max) const {
  const std::string text = ini.PLTReadString(section, key, "");
  if (text.empty()) return value;
  // Two different defaults tell a value that reads as a number from one
  // that does not.
  const int32_t read = ini.PLTReadInteger(section, key, 0);
  const bool number = read != 0 || ini.PLTReadInteger(section, key, 1) == 0;
  if (number && read >= min && read <= max) return read;
  if (trace_ != nullptr)
    trace_->TDBSimpleAddString("Configuration: [" + std::string(section) + "] " + key + "=" + text +
                               " is out of range, " + std::to_string(value) + " is kept");
  return value;
}

void TCFGConfig::ReadFiles(const TPLTIniFile& ini) {
  for (size_t n = 0; n < CFGaPickFiles.size(); ++n) {
    CFGaPickFiles[n] = ini.PLTReadString(kFiles, Numbered("File", n), CFGaPickFiles[n]);
    CFGaPickFilesSeq[n] = ini.PLTReadString(kFiles, Numbered("Sequence", n), CFGaPickFilesSeq[n]);
    CFGaPickFilesIni[n] = ini.PLTReadString(kFiles, Numbered("Config", n), CFGaPickFilesIni[n]);
  }
}

int TCFGConfig::CFGReadIniFile(bool bStartup) {
  const std::string path = ConfigPath(CFGsFileName);
  TPLTIniFile ini;
  if (const int rc = ini.PLTLoad(path); rc != 0) return rc;
  ReadGroup(ini, kMain);
  if (CFGaTCPCommParams != nullptr) CFGaTCPCommParams->TCPReadIniFile(ini);
  ReadGroup(ini, kXml);
  const bool upgraded = UpgradeOldVersion();
  if (bStartup) {
    ReadGroup(ini, kEnv);
    ReadFiles(ini);
  } else {
    CFGReadErrorAlarms(ini);
    CFGReadExecutionTimeAlarms(ini);
  }
  UpdateUserChoices();
  if (!upgraded) return 0;
  // The file is rewritten after the whole read, and only with the sections
  // this read took in, so that nothing else of the old file is lost.
  WriteSections(ini, bStartup, !bStartup);
  return ini.PLTSave(path, CFGcFileMode);
}

bool TCFGConfig::UpgradeOldVersion() {
  const std::string& version = Str(CFGsVersionNumber);
  if (version.empty() || version.front() != '1' || Int(CFGiUpgrade1020) == 0) return false;
  SetStr(CFGsVersionNumber, "20");
  if (Str(CFGsXMLMessageAttrib).find("specversion") != std::string::npos) return false;
  std::string attrib(STRTrim(Str(CFGsXMLMessageAttrib)));
  if (attrib.empty() || attrib.back() != ';') attrib += ';';
  std::string val(STRTrim(Str(CFGsXMLMessageVal)));
  if (val.empty() || val.back() != ';') val += ';';
  SetStr(CFGsXMLMessageAttrib, attrib + " specversion");
  SetStr(CFGsXMLMessageVal, val + " 0201");
  SetStr(CFGsSpecVersionNumber, "0201");
  return true;
}

int TCFGConfig::CFGWriteIniFile(std::string_view fileName) {
  const std::string path = ConfigPath(fileName);
  TPLTIniFile ini;
  // A file that exists but cannot be read is left alone rather than
  // replaced by what this object knows.
  if (const int rc = ini.PLTLoad(path); rc != 0) return rc;
  WriteSections(ini, true, true);
  return ini.PLTSave(path, CFGcFileMode);
}

void TCFGConfig::WriteSections(TPLTIniFile& ini, bool environment, bool alarms) const {
  const auto write = [&](TGroup group) {
    for (const TEntry& e : kLayout) {
      if (e.group != group) continue;
      switch (e.kind) {
        case kString:
          ini.PLTWriteString(e.section, e.key, Str(static_cast<S>(e.index)));
          break;
        case kInteger:
        case kByte:
        case kKeyGeneration:
          ini.PLTWriteInteger(e.section, e.key, Int(static_cast<I>(e.index)));
          break;
        case kTime:
          ini.PLTWriteString(e.section, e.key, TimeText(CFGaSequenceEndTime));
          break;
        case kDate:
          ini.PLTWriteString(e.section, e.key, DateText(CFGaSequenceEndDate));
          break;
      }
    }
  };
  write(kMain);
  if (CFGaTCPCommParams != nullptr) CFGaTCPCommParams->TCPWriteIniFile(ini);
  write(kXml);
  if (environment) {
    write(kEnv);
    for (size_t n = 0; n < CFGaPickFiles.size(); ++n)
      ini.PLTWriteString(kFiles, Numbered("File", n), CFGaPickFiles[n]);
    for (size_t n = 0; n < CFGaPickFilesSeq.size(); ++n)
      ini.PLTWriteString(kFiles, Numbered("Sequence", n), CFGaPickFilesSeq[n]);
    for (size_t n = 0; n < CFGaPickFilesIni.size(); ++n)
      ini.PLTWriteString(kFiles, Numbered("Config", n), CFGaPickFilesIni[n]);
  }
  if (alarms) {
    CFGWriteErrorAlarms(ini);
    CFGWriteExecutionTimeAlarms(ini);
  }
}

namespace {

// Keys prefix1, prefix2, ... up to the first missing key.
std::vector<std::string> ReadRuleLines(const TPLTIniFile& ini, const char* section,
                                       const char* prefix) {
  std::vector<std::string> lines;
  for (size_t n = 1; ini.PLTValueExists(section, Numbered(prefix, n)); ++n)
    lines.push_back(ini.PLTReadString(section, Numbered(prefix, n), ""));
  return lines;
}

// Replaces the section by keys prefix1, prefix2, ... holding the lines.
void WriteRuleLines(TPLTIniFile& ini, const char* section, const char* prefix,
                    const std::vector<std::string>& lines) {
  ini.PLTEraseSection(section);
  for (size_t i = 0; i < lines.size(); ++i)
    ini.PLTWriteString(section, Numbered(prefix, i + 1), lines[i]);
}

void ListToGrid(const TALMAlarmList& list, IStringGrid& grid) {
  const int cols = grid.ColCount();
  for (int r = grid.FixedRows(); r < grid.RowCount(); ++r)
    for (int c = 0; c < cols; ++c) grid.SetCell(c, r, "");
  const int needed = static_cast<int>(list.ALMGetItemCount()) + 1;
  if (grid.RowCount() < needed) grid.SetRowCount(needed);
  for (size_t i = 0; i < list.ALMGetItemCount(); ++i) {
    std::string rest = list.ALEGetItem(i).ALMGetLine();
    const int row = static_cast<int>(i) + 1;
    for (int c = 1; c < cols; ++c)
      grid.SetCell(c, row, c + 1 < cols ? STRGetItem(";", rest) : std::exchange(rest, ""));
  }
}

void GridToList(const IStringGrid& grid, TALMAlarmList& list) {
  list.ALMEmptyList();
  for (int r = 1; r < grid.RowCount(); ++r) {
    std::string line;
    for (int c = 1; c < grid.ColCount(); ++c) {
      if (c > 1) line += ';';
      line += grid.Cell(c, r);
    }
    if (line.find_first_not_of(';') == std::string::npos) continue;
    static_cast<void>(list.ALMAddItem(line));
  }
}

}  // namespace

void TCFGConfig::CFGReadErrorAlarms(const TPLTIniFile& ini) {
  CFGaErrorAlarms->ALMSetLines(ReadRuleLines(ini, kErrorAlarms, "ErrorAlarm"));
}

void TCFGConfig::CFGReadExecutionTimeAlarms(const TPLTIniFile& ini) {
  CFGaExecutionTimeAlarms->ALMSetLines(
      ReadRuleLines(ini, kExecutionTimeAlarms, "ExecutionTimeAlarm"));
}

void TCFGConfig::CFGWriteErrorAlarms(TPLTIniFile& ini) const {
  WriteRuleLines(ini, kErrorAlarms, "ErrorAlarm", CFGaErrorAlarms->ALMGetLines());
}

void TCFGConfig::CFGWriteExecutionTimeAlarms(TPLTIniFile& ini) const {
  WriteRuleLines(ini, kExecutionTimeAlarms, "ExecutionTimeAlarm",
                 CFGaExecutionTimeAlarms->ALMGetLines());
}

void TCFGConfig::CFGGetErrorAlarms(IStringGrid& grid) const {
  ListToGrid(*CFGaErrorAlarms, grid);
}

void TCFGConfig::CFGGetExecutionTimeAlarms(IStringGrid& grid) const {
  ListToGrid(*CFGaExecutionTimeAlarms, grid);
}

void TCFGConfig::CFGSetErrorAlarms(const IStringGrid& grid) {
  GridToList(grid, *CFGaErrorAlarms);
}

void TCFGConfig::CFGSetExecutionTimeAlarms(const IStringGrid& grid) {
  GridToList(grid, *CFGaExecutionTimeAlarms);
}

void TCFGConfig::UpdateUserChoices() {
  CFGbSenderIDUserChoice = Int(CFGiSenderIDType) >= kSenderTypes;
  CFGbPublicKeyOwnerIDUserChoice = Int(CFGiPublicKeyOwnerIDType) >= kOwnerTypes;
}

int32_t TCFGConfig::CFGGetSenderIDType() const {
  return CFGbSenderIDUserChoice ? Int(CFGiUserSenderIDType) : Int(CFGiSenderIDType);
}

void TCFGConfig::CFGSetSenderIDType(uint8_t v) {
  SetInt(CFGiSenderIDType, v);
  if (CFGbSenderIDUserChoice) SetInt(CFGiUserSenderIDType, v);
}

int32_t TCFGConfig::CFGGetSenderIDLength(int32_t type) const {
  if (type >= kSenderTypes) return Int(CFGiUserSenderIDLength);
  return type == 3 ? 8 : 11;  // the terminal id (type 3) is an8, the others n11
}

int32_t TCFGConfig::CFGGetPublicKeyOwnerIDType() const {
  return CFGbPublicKeyOwnerIDUserChoice ? Int(CFGiUserPublicKeyOwnerIDType)
                                        : Int(CFGiPublicKeyOwnerIDType);
}

void TCFGConfig::CFGSetPublicKeyOwnerIDType(uint8_t v) {
  SetInt(CFGiPublicKeyOwnerIDType, v);
  if (CFGbPublicKeyOwnerIDUserChoice) SetInt(CFGiUserPublicKeyOwnerIDType, v);
}

int32_t TCFGConfig::CFGGetPublicKeyOwnerIDLength(int32_t type) const {
  return type < kOwnerTypes ? 11 : Int(CFGiUserPublicKeyOwnerIDLength);
}

void TCFGConfig::CFGSetSequenceEndTime(std::chrono::seconds v) {
  // Only the time of day is kept.
  const int64_t day = 24 * 3600;
  CFGaSequenceEndTime = std::chrono::seconds{((v.count() % day) + day) % day};
}

std::string TCFGConfig::Pick(const TPickList& list, int i) {
  if (i < 0 || i >= CFGcMaxPickFiles) return "";
  return list[static_cast<size_t>(i)];
}

void TCFGConfig::AddPick(TPickList& list, std::string_view name) {
  for (const std::string& entry : list)
    if (entry == name) return;
  for (size_t i = list.size() - 1; i > 0; --i) list[i] = std::move(list[i - 1]);
  list[0] = std::string(name);
}

bool TCFGConfig::VersionAtLeast(int32_t threshold) const {
  std::string attribs = Str(CFGsXMLMessageAttrib);
  std::string values = Str(CFGsXMLMessageVal);
  for (;;) {
    const std::string attrib = STRTrim(STRGetItem(";", attribs));
    if (attrib.empty()) return false;
    const std::string value = STRRemoveLeadingChars('0', STRTrim(STRGetItem(";", values)));
    if (attrib != "specversion") continue;
    // The version as a decimal number; more than 9 digits is above any
    // threshold, anything but digits is no version.
    int64_t n = 0;
    bool digits = true;
    for (const char c : value) {
      if (c < '0' || c > '9') {
        digits = false;
        break;
      }
      if (n < 1000000000) n = n * 10 + (c - '0');
    }
    if (digits && n >= threshold) return true;
  }
}

std::string TCFGConfig::CFGResolveFileName(const TALUAliasList& aliases,
                                           std::string_view fileName) const {
  std::string name(fileName);
  aliases.ALUFindAlias(false, name);
  if (STRTrim(name).empty()) return name;
  return ProgramPath(name);
}

int TCFGConfig::CFGCheckFile(const TALUAliasList& aliases, std::string_view fileName,
                             std::string_view errorText, std::string& message) const {
  message.clear();
  std::string expanded(fileName);
  aliases.ALUFindAlias(false, expanded);
  if (STRTrim(expanded).empty()) return 0;
  const std::string path = ProgramPath(expanded);
  struct stat st {};
  if (stat(path.c_str(), &st) == 0) return 0;
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd >= 0) {
    close(fd);
    return 0;
  }
  const int rc = errno != 0 ? errno : EIO;
  message = std::string(errorText) + " Filename=" + expanded;
  return rc;
}

}  // namespace kal
