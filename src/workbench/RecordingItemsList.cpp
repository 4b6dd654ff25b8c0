#include "workbench/RecordingItemsList.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>

#include "config/AliasList.h"
#include "config/Config.h"
#include "ep2/RandomSource.h"
#include "support/Base64.h"
#include "support/CompressedNumeric.h"
#include "support/HexUtilities.h"
#include "support/SecureWipe.h"
#include "support/StringUnit.h"
#include "support/TlvUtilities.h"
#include "support/XmlLine.h"
#include "workbench/RecordedData.h"
#include "workbench/TransactionCertificate.h"
#include "workbench/ValuePools.h"

namespace kal {

namespace {

constexpr const char* kMapFileName = "submission.ini";
constexpr const char* kRoot = "ep2:bdfin";
constexpr const char* kCrLf = "\r\n";
// Draws of the failure rate are below this.
constexpr uint32_t kRateScale = 10000;

std::vector<std::string> Split(std::string_view line, char separator) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t end = line.find(separator, start);
    fields.emplace_back(line.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return fields;
    start = end + 1;
  }
}

bool ToBase64(std::string_view bytes, std::string& text) {
  const TUTBase64 coder;
  return !coder.EncodeData(bytes, text);
}

bool FromBase64(std::string_view text, std::string& bytes) {
  const TUTBase64 coder;
  return coder.DecodeData(text, bytes) == TUTBase64::UTBcOk;
}

bool Pack(std::string_view digits, std::string& packed) {
  const TUTCompressedNumeric converter(0);
  packed.clear();
  if (converter.UTCCompressNumericString(digits, packed) == 0) return true;
  packed.clear();
  return false;
}

std::string Expand(std::string_view packed) {
  const TUTCompressedNumeric converter(0);
  std::string digits;
  static_cast<void>(converter.UTCExpandCompNumericString(packed, digits));
  return digits;
}

// A value in its transfer form; false when a b or cn value cannot be
// converted.
bool TransferForm(std::string_view value, std::string_view type, std::string& out) {
  out.clear();
  if (type == "b") return ToBase64(UTHHexToString(value), out);
  if (type == "cn") {
    std::string packed;
    return Pack(STRRemoveBlanks(value), packed) && ToBase64(packed, out);
  }
  out = value;
  return true;
}

bool IsDigits(std::string_view text) {
  for (const char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// Days of month `month` (1-12) of year `year`.
int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// One item of the certificate input, formatted to `length` bytes by its
// type; false when a value cannot be decoded or packed.
bool FormatATCItem(const std::string& type, const std::string& value, size_t length,
                   std::string& out) {
  out.clear();
  if (type == "b" || type == "cn") {
    if (!FromBase64(value, out)) return false;
    out.resize(length, type == "b" ? '\0' : '\xFF');
    return true;
  }
  if (type == "a" || type == "an" || type == "ans") {
    out = value;
    out.resize(length, '\0');
    return true;
  }
  if (type == "n" || type == "date" || type == "expdate" || type == "time") {
    std::string digits = value;
    if (digits.size() % 2 != 0) digits.insert(0, 1, '0');
    if (!Pack(digits, out)) return false;
    if (out.size() < length)
      out.insert(0, length - out.size(), '\0');
    else
      out.erase(0, out.size() - length);
    return true;
  }
  // An item without a value (or of another type) gives zero bytes.
  out.assign(length, '\0');
  return true;
}

void AppendLine(std::string& text, size_t depth, std::string_view line) {
  text.append(depth * 3, ' ');
  text += line;
  text += kCrLf;
}

}  // namespace

// -------------------------------------------------------------------- map

std::vector<TRFLRecordingItem> RFLParseMap(const std::vector<std::string>& lines) {
  std::vector<TRFLRecordingItem> items;
  for (const std::string& raw : lines) {
    const std::string line = STRTrim(raw);
    if (line.empty()) continue;
    const std::vector<std::string> fields = Split(line, ';');
    TRFLRecordingItem item;
    item.RFLsXMLTag = STRTrim(fields[0]);
    if (fields.size() > 1) item.RFLsEMVTag = STRTrim(fields[1]);
    for (size_t i = 2; i < fields.size(); ++i) {
      std::string parent = STRRemoveBlanks(fields[i]);
      if (parent.empty()) break;
      item.RFLaParentTags.push_back(std::move(parent));
    }
    items.push_back(std::move(item));
  }
  return items;
}

// ---------------------------------------------------------- issuer scripts

int RFLComputeIssuerScriptResults(std::string_view script, int32_t failureRate,
                                  const std::function<uint32_t(uint32_t)>& randomBelow,
                                  TRFLScriptOutcome& outcome) {
  outcome = {};
  std::string_view rest = script;
  while (!rest.empty()) {
    std::string tag, value;
    int length = 0;
    if (const int rc = UTLGetTagLengthValue(rest, tag, length, value); rc != UTLcOk) return rc;
    const bool is71 = tag == "71";
    if (!is71 && tag != "72") return RFLcScriptNoData;
    (is71 ? outcome.seen71 : outcome.seen72) = true;
    bool& failed = is71 ? outcome.failed71 : outcome.failed72;
    // Each script reports its own identifier; one without 9F18 reports
    // zeros.
    std::string identifier = "00000000";
    int counter = 1;
    std::string_view inner = value;
    while (!inner.empty()) {
      std::string innerTag, innerValue;
      int innerLength = 0;
      int rc = UTLGetTagLengthValue(inner, innerTag, innerLength, innerValue);
      if (rc == UTLcOk && innerTag == "9F18" && innerValue.size() > 8) rc = RFLcScriptBadTag;
      if (rc != UTLcOk) {
        failed = false;
        return rc;
      }
      if (innerTag == "9F18") {
        identifier = std::string(8 - innerValue.size(), '0') + innerValue;
        continue;
      }
      char status = '2';
      if (outcome.failed71 || outcome.failed72) {
        status = '0';
      } else {
        const uint32_t draw = randomBelow ? randomBelow(kRateScale) : kRateScale;
        if (static_cast<int64_t>(draw) < failureRate) {
          status = '1';
          failed = true;
        }
      }
      outcome.results += status;
      outcome.results += UTHIntToHexChar(counter);
      outcome.results += identifier;
      if (counter < 15) ++counter;
    }
  }
  return RFLcScriptOk;
}

// ------------------------------------------------------------------- block

std::string RFLGenerateXMLDocumentString(const std::vector<TRFLRecordingItem>& items,
                                         const std::vector<TRFLItemValue>& values) {
  std::string text;
  AppendLine(text, 0, std::string("<") + kRoot + ">");
  const std::vector<std::string> none;
  const std::vector<std::string>* open = &none;
  auto closeBeyond = [&](size_t shared) {
    for (size_t depth = open->size(); depth > shared; --depth)
      AppendLine(text, depth, "</" + (*open)[depth - 1] + ">");
  };
  for (size_t i = 0; i < items.size(); ++i) {
    const TRFLRecordingItem& item = items[i];
    const std::vector<std::string>& parents = item.RFLaParentTags;
    size_t shared = 0;
    while (shared < parents.size() && shared < open->size() && parents[shared] == (*open)[shared])
      ++shared;
    closeBeyond(shared);
    for (size_t depth = shared + 1; depth <= parents.size(); ++depth)
      AppendLine(text, depth, "<" + parents[depth - 1] + ">");
    const TRFLItemValue* value = i < values.size() ? &values[i] : nullptr;
    if (!item.RFLsXMLTag.empty() && value != nullptr && value->RFLbValueIsSet &&
        !value->RFLsValue.empty())
      AppendLine(text, parents.size() + 1,
                 "<" + item.RFLsXMLTag + ">" + UXMEscapeText(value->RFLsValue) + "</" +
                     item.RFLsXMLTag + ">");
    open = &parents;
  }
  closeBeyond(0);
  text += std::string("</") + kRoot + ">";
  return text;
}

// -------------------------------------------------------------------- list

TRFLRecordingItemsList::TRFLRecordingItemsList(const std::string& programDir, TClock clock)
    : TRFLRecordingItemsList(
          [&] {
            std::string path = programDir;
            if (!path.empty() && path.back() != '/') path += '/';
            std::vector<std::string> lines;
            if (!CEXReadTextLines(path + kMapFileName, RFLcMaxMapFileBytes, lines)) lines.clear();
            return RFLParseMap(lines);
          }(),
          std::move(clock)) {}

TRFLRecordingItemsList::TRFLRecordingItemsList(std::vector<TRFLRecordingItem> items, TClock clock)
    : items_(std::move(items)), clock_(std::move(clock)) {
  if (!clock_) clock_ = [] { return std::chrono::steady_clock::now(); };
  state_.RFLaValues.resize(items_.size());
}

void TRFLRecordingItemsList::Notice(const std::string& text) const {
  if (env_.notice) env_.notice(text);
}

uint32_t TRFLRecordingItemsList::RandomBelow(uint32_t n) const {
  if (env_.random == nullptr) return n;
  if (n <= 1) return 0;
  // Rejection keeps every value equally likely.
  const uint32_t limit =
      std::numeric_limits<uint32_t>::max() - std::numeric_limits<uint32_t>::max() % n;
  for (;;) {
    uint8_t bytes[4];
    env_.random->SECFillRandom(bytes, sizeof bytes);
    const uint32_t r = static_cast<uint32_t>(bytes[0]) << 24 |
                       static_cast<uint32_t>(bytes[1]) << 16 |
                       static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
    if (r < limit) return r % n;
  }
}

void TRFLRecordingItemsList::RFLReset() {
  state_.RFLb71Result = state_.RFLb72Result = false;
  state_.RFLlSendTime = state_.RFLlReceiveTime = {};
  for (TRFLItemValue& value : state_.RFLaValues) value = {};
}

void TRFLRecordingItemsList::RFLSetMessageSend(std::string_view rootTag) {
  state_.RFLsMessageSent = rootTag;
  state_.RFLlSendTime = clock_();
}

void TRFLRecordingItemsList::RFLSetMessageReceived(std::string_view rootTag) {
  state_.RFLsMessageReceived = rootTag;
  state_.RFLlReceiveTime = clock_();
}

void TRFLRecordingItemsList::RFLPutState(const TRFLRecordingState& state) {
  state_ = state;
  state_.RFLaValues.resize(items_.size());
}

void TRFLRecordingItemsList::RFLModifyValue(size_t index, std::string_view value,
                                            std::string_view type, std::string_view plainType,
                                            std::string_view plainValue) {
  if (index >= items_.size()) return;
  TRFLItemValue converted;
  if (!TransferForm(value, type, converted.RFLsValue) ||
      !TransferForm(plainValue, plainType, converted.RFLsPlainValue))
    return;
  converted.RFLsType = type;
  converted.RFLsPlainType = plainType;
  converted.RFLbValueIsSet = true;
  state_.RFLaValues[index] = std::move(converted);
}

void TRFLRecordingItemsList::RFLSetValue(size_t index, std::string_view value,
                                         std::string_view type, std::string_view plainType,
                                         std::string_view plainValue) {
  if (index < items_.size() && !state_.RFLaValues[index].RFLbValueIsSet)
    RFLModifyValue(index, value, type, plainType, plainValue);
}

int TRFLRecordingItemsList::RFLFindXMLElement(std::string_view name) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].RFLsXMLTag == name) return static_cast<int>(i);
  return -1;
}

int TRFLRecordingItemsList::RFLFindEMVElement(std::string_view tag) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].RFLsEMVTag == tag) return static_cast<int>(i);
  return -1;
}

int TRFLRecordingItemsList::RFLAcceptItem(std::string_view name, std::string_view emvTag, bool,
                                          std::string_view plainType, std::string_view plainValue,
                                          std::string_view type, std::string_view value,
                                          std::string& message) {
  if (name == "ep2:IssScrpt") {
    const int32_t rate =
        env_.config != nullptr ? env_.config->CFGGetIssuerScriptResultFailureRate() : 0;
    TRFLScriptOutcome outcome;
    const int rc = RFLComputeIssuerScriptResults(
        value, rate, [this](uint32_t n) { return RandomBelow(n); }, outcome);
    if (outcome.seen71) state_.RFLsScriptTag71 = "71";
    if (outcome.seen72) state_.RFLsScriptTag72 = "72";
    state_.RFLb71Result = outcome.failed71;
    state_.RFLb72Result = outcome.failed72;
    if (rc != RFLcScriptOk) {
      message = std::string(RFLcBadScript) + std::string(value);
      return rc;
    }
    if (const int index = RFLFindXMLElement("ep2:IssScrptRes"); index >= 0)
      RFLModifyValue(static_cast<size_t>(index), outcome.results, "b", "", "");
    return 0;
  }
  const std::string trimmedName = STRTrim(name);
  const std::string trimmedTag = STRTrim(emvTag);
  for (size_t i = 0; i < items_.size(); ++i) {
    const TRFLRecordingItem& item = items_[i];
    if ((!trimmedName.empty() && item.RFLsXMLTag == name) ||
        (!trimmedTag.empty() && item.RFLsEMVTag == emvTag))
      RFLModifyValue(i, value, type, plainType, plainValue);
  }
  if (name == "ep2:AmtAuth")
    if (const int index = RFLFindXMLElement("ep2:TrxAmt"); index >= 0)
      RFLModifyValue(static_cast<size_t>(index), value, type, plainType, plainValue);
  return 0;
}

// ------------------------------------------------------- end of transaction

void TRFLRecordingItemsList::RFLDoRecording(std::string_view sessionKey) {
  if (env_.config == nullptr || env_.config->CFGGetSequenceRecord() <= 0) return;
  if (STRTrim(state_.RFLsMessageSent) != "ep2:authreq" ||
      STRTrim(state_.RFLsMessageReceived) != "ep2:authrsp")
    return;
  RFLModifyTVR();
  RFLSetAuthTime();
  if (env_.config->CFGVersionAbove500()) RFLTrackToPAN();
  if (const int index = RFLFindXMLElement("ep2:AcqTC"); index >= 0) {
    std::string cryptogram = RFLComputeATC(sessionKey);
    if (!cryptogram.empty())
      RFLModifyValue(static_cast<size_t>(index), UTHStringToCompactHex(cryptogram), "b", "", "");
  }
  RFLWriteToFile();
}

void TRFLRecordingItemsList::RFLModifyTVR() {
  const int index = RFLFindXMLElement("ep2:TVR");
  if (index < 0) return;
  const TRFLItemValue& tvr = state_.RFLaValues[static_cast<size_t>(index)];
  std::string bytes;
  if (!tvr.RFLbValueIsSet || !FromBase64(tvr.RFLsValue, bytes)) return;
  // Byte 5 of the TVR: b6 "script processing failed before final GENERATE
  // AC" (bit 35 counted from the first byte's b8), b5 "after" (bit 36).
  std::string hex = UTHStringToCompactHex(bytes);
  hex = UTHSetBit(hex, 35, state_.RFLb71Result ? 1 : 0);
  hex = UTHSetBit(hex, 36, state_.RFLb72Result ? 1 : 0);
  RFLModifyValue(static_cast<size_t>(index), hex, "b", "b", hex);
}

void TRFLRecordingItemsList::RFLSetAuthTime() {
  const int index = RFLFindXMLElement("ep2:AuthTimeMeas");
  if (index < 0) return;
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(state_.RFLlReceiveTime -
                                                                        state_.RFLlSendTime);
  const std::string text = std::to_string(ms.count());
  RFLModifyValue(static_cast<size_t>(index), text, "n", "n", text);
}

void TRFLRecordingItemsList::RFLTrackToPAN() {
  int track = -1;
  for (const char* name : {"ep2:Track2Dat", "ep2:Track2EqDat", "ep2:Track3Dat"}) {
    const int index = RFLFindXMLElement(name);
    if (index < 0) continue;
    track = index;
    if (state_.RFLaValues[static_cast<size_t>(index)].RFLbValueIsSet) break;
  }
  if (track < 0) return;
  std::string packed;
  if (!FromBase64(state_.RFLaValues[static_cast<size_t>(track)].RFLsPlainValue, packed)) return;
  const std::string digits = Expand(packed);
  SecureWipe(packed);
  if (digits.size() <= 1) return;
  const size_t separator = digits.find('D');
  if (separator == std::string::npos) return;

  if (const int expiry = RFLFindXMLElement("ep2:AppExpDate");
      expiry >= 0 && digits.size() >= separator + 5) {
    const std::string yymm = digits.substr(separator + 1, 4);
    const int month = IsDigits(yymm) ? std::stoi(yymm.substr(2)) : 0;
    if (month >= 1 && month <= 12) {
      const int year = 2000 + std::stoi(yymm.substr(0, 2));
      const std::string date = yymm + std::to_string(DaysInMonth(year, month));
      RFLSetValue(static_cast<size_t>(expiry), date, "expdate", "expdate", date);
    }
  }

  // The PAN replaces the track only where the map can take it.
  const int panIndex = RFLFindXMLElement("ep2:AppPAN");
  if (separator < 3 || panIndex < 0 || env_.cryptography == nullptr) return;
  std::string pan = digits.substr(0, separator);
  pan.erase(
      0, pan.find_first_not_of('0') == std::string::npos ? pan.size() : pan.find_first_not_of('0'));
  std::string bytes;
  if (pan.empty() || !Pack(pan, bytes)) return;
  if (env_.cryptography->RFLEncryptValue(bytes) == 0) {
    RFLSetValue(static_cast<size_t>(panIndex), UTHStringToCompactHex(bytes), "b", "cn", pan);
    state_.RFLaValues[static_cast<size_t>(track)].RFLbValueIsSet = false;
  }
  SecureWipe(pan);
}

bool TRFLRecordingItemsList::RFLATCInput(std::string& input) const {
  input.clear();
  const std::string list = STRRemoveBlanks(env_.config != nullptr ? env_.config->CFGGetATC() : "");
  std::string_view rest = list;
  while (!rest.empty()) {
    std::string tag;
    int length = 0;
    if (UTLGetTagLength(rest, tag, length) != UTLcOk || length > CEXcMaxATCItemLength) {
      input.clear();
      return false;
    }
    const size_t size = static_cast<size_t>(length);
    int found = -1;
    for (size_t i = 0; i < items_.size() && found < 0; ++i)
      if (STRUpperCase(items_[i].RFLsEMVTag) == tag) found = static_cast<int>(i);
    if (found < 0) {
      input.append(size, '\0');
      continue;
    }
    const TRFLItemValue& item = state_.RFLaValues[static_cast<size_t>(found)];
    const bool plain = !item.RFLsPlainType.empty();
    std::string formatted;
    if (!FormatATCItem(plain ? item.RFLsPlainType : item.RFLsType,
                       plain ? item.RFLsPlainValue : item.RFLsValue, size, formatted)) {
      input.clear();
      return false;
    }
    input += formatted;
  }
  return true;
}

std::string TRFLRecordingItemsList::RFLComputeATC(std::string_view sessionKey) {
  std::string input;
  if (!RFLATCInput(input) || input.empty() || env_.cryptography == nullptr) return {};
  if (env_.cryptography->RFLComputeCryptogram(sessionKey, input) != 0) input.clear();
  return input;
}

void TRFLRecordingItemsList::RFLWriteToFile() {
  const int index = RFLFindXMLElement("ep2:TrmID");
  if (index < 0) {
    Notice(RFLcMissingTrmID);
    return;
  }
  const std::string& terminalId = state_.RFLaValues[static_cast<size_t>(index)].RFLsValue;
  std::string name;
  if (!CEXTerminalFileName(terminalId, name)) {
    Notice(RFLcInvalidTrmID + CEXShownTerminalId(terminalId));
    return;
  }
  std::string folder = env_.config != nullptr ? env_.config->CFGGetDirRecord() : std::string();
  if (env_.aliases != nullptr) static_cast<void>(env_.aliases->ALUFindAlias(false, folder));
  const std::string path = CEXRecordFolder(folder) + name + ".xml";
  const std::string block = RFLGenerateXMLDocumentString(items_, state_.RFLaValues) + kCrLf;

  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "ab");
  bool ok = file != nullptr;
  if (ok) ok = std::fwrite(block.data(), 1, block.size(), file) == block.size();
  if (file != nullptr && std::fclose(file) != 0) ok = false;
  if (!ok) {
    const int err = errno;
    Notice("Can not write " + path + (err != 0 ? ": " + std::string(std::strerror(err)) : ""));
  }
}

}  // namespace kal
