#include "tools/EmvObjectCodec.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

#include "support/HexUtilities.h"
#include "support/StringUnit.h"

namespace kal {

namespace {

constexpr const char* kRfu = "RFU";

// Item texts b8..b1 of every byte of the check-list pages.
using TByteTexts = std::array<const char*, 8>;

const TByteTexts kTvr[5] = {
    {"Offline data authentication was not performed", "Offline static data authentication failed",
     "ICC data missing", "Card appears on terminal exception file",
     "Offline dynamic data authentication failed", "Combined DDA/AC Generation failed", kRfu, kRfu},
    {"ICC and terminal have different application versions", "Expired application",
     "Application not yet effective", "Requested service not allowed for card product", "New card",
     kRfu, kRfu, kRfu},
    {"Cardholder verification was not successful", "Unrecognised CVM", "PIN Try Limit exceeded",
     "PIN entry required and PIN pad not present or not working",
     "PIN entry required, PIN pad present, but PIN was not entered", "Online PIN entered", kRfu,
     kRfu},
    {"Transaction exceeds floor limit", "Lower consecutive offline limit exceeded",
     "Upper consecutive offline limit exceeded",
     "Transaction selected randomly for online processing", "Merchant forced transaction online",
     kRfu, kRfu, kRfu},
    {"Default TDOL used", "Issuer authentication was unsuccessful",
     "Script processing failed before final GENERATE AC",
     "Script processing failed after final GENERATE AC", kRfu, kRfu, kRfu, kRfu},
};

const TByteTexts kAip[2] = {
    {kRfu, "Offline static data authentication is supported",
     "Offline dynamic data authentication is supported", "Cardholder verification is supported",
     "Terminal risk management is to be performed", "Issuer authentication is supported",
     "Combined DDA - GENERATE AC supported", kRfu},
    {kRfu, kRfu, kRfu, kRfu, kRfu, kRfu, kRfu, kRfu},
};

const TByteTexts kTermCap[3] = {
    {"Manual key entry", "Magnetic stripe", "IC with contacts", kRfu, kRfu, kRfu, kRfu, kRfu},
    {"Plaintext PIN for ICC verification", "Enciphered PIN for online verification",
     "Signature (paper)", "Enciphered PIN for offline verification", kRfu, kRfu, kRfu, kRfu},
    {"Static data authentication", "Dynamic data authentication", "Card capture",
     "Combined DDA / AC Generation", kRfu, kRfu, kRfu, kRfu},
};

const TByteTexts kAddTermCap[5] = {
    {"Cash", "Goods", "Services", "Cashback", "Inquiry", "Transfer", "Payment", "Administrative"},
    {kRfu, kRfu, kRfu, kRfu, kRfu, kRfu, kRfu, kRfu},
    {"Numeric keys", "Alphabetic and special characters keys", "Command keys", "Function keys",
     kRfu, kRfu, kRfu, kRfu},
    {"Print, attendant", "Print, cardholder", "Display, attendant", "Display, cardholder", kRfu,
     kRfu, "Code table 10", "Code table 9"},
    {"Code table 8", "Code table 7", "Code table 6", "Code table 5", "Code table 4", "Code table 3",
     "Code table 2", "Code table 1"},
};

const TByteTexts* BitTexts(TEMVPage page) {
  switch (page) {
    case TEMVPage::TVR:
      return kTvr;
    case TEMVPage::ApplicationInterchangeProfile:
      return kAip;
    case TEMVPage::TerminalCapabilities:
      return kTermCap;
    case TEMVPage::AdditionalTerminalCapabilities:
      return kAddTermCap;
    default:
      return nullptr;
  }
}

// The byte a hex pair stands for; the pair must be hex digits.
int HexByte(std::string_view pair) {
  return UTHHexCharToInt(pair[0]) * 16 + UTHHexCharToInt(pair[1]);
}

std::string ByteHex(unsigned value) {
  return {UTHIntToHexChar(static_cast<int>((value >> 4) & 0xF)),
          UTHIntToHexChar(static_cast<int>(value & 0xF))};
}

constexpr uint8_t kCvmMethodCodes[] = {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x1E, 0x1F};
constexpr uint8_t kCvmConditionCodes[] = {0x00, 0x01, 0x02, 0x03, 0x06, 0x07, 0x08, 0x09};

// The byte of an "Other" field: one hex byte after trimming.
bool OtherByte(std::string_view field, int& byte) {
  const std::string text = STRTrim(field);
  if (text.size() != 2 || !UTHIsHexString(text)) return false;
  byte = HexByte(text);
  return true;
}

// Index of `code` in a code list, or -1.
template <size_t N>
int CodeIndex(const uint8_t (&codes)[N], int code) {
  for (size_t i = 0; i < N; ++i)
    if (codes[i] == code) return static_cast<int>(i);
  return -1;
}

// Reads a BER length at `pos` of a hex text: short form, or a first byte
// 8x giving the number of big-endian length bytes that follow. False when
// the digits are missing or not hex, or the length does not fit.
bool ReadBerLength(std::string_view hex, size_t& pos, size_t& length) {
  if (pos + 2 > hex.size() || !UTHIsHexString(hex.substr(pos, 2))) return false;
  const int first = HexByte(hex.substr(pos, 2));
  pos += 2;
  if (first < 0x80) {
    length = static_cast<size_t>(first);
    return true;
  }
  const size_t count = static_cast<size_t>(first & 0x7F);
  if (count > 4 || pos + 2 * count > hex.size() || !UTHIsHexString(hex.substr(pos, 2 * count)))
    return false;
  length = 0;
  for (size_t i = 0; i < count; ++i) length = length * 256 + HexByte(hex.substr(pos + 2 * i, 2));
  pos += 2 * count;
  return true;
}

// The sequence digit read back as a group number: hex value, 15 and above
// as the position.
int SequenceNumber(char digit, int position) {
  return digit == 'F' ? position : UTHHexCharToInt(digit);
}

}  // namespace

const char* EMVPageCaption(TEMVPage page) {
  static const char* const captions[EMVPageCount] = {"TVR",
                                                     "App Int Profile",
                                                     "Terminal Capabilities",
                                                     "Add Terminal Capabilities",
                                                     "CVM Results",
                                                     "Terminal Type",
                                                     "Cryptogram Information Data",
                                                     "Issuer Script Commands",
                                                     "Issuer Script Results"};
  const int i = static_cast<int>(page);
  return i >= 0 && i < EMVPageCount ? captions[i] : "";
}

std::string EMVNormalizeValue(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    if (c == ' ') continue;
    out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return out;
}

// --- Check-list pages ---

bool EMVIsBitPage(TEMVPage page) {
  return BitTexts(page) != nullptr;
}

int EMVBitPageBytes(TEMVPage page) {
  switch (page) {
    case TEMVPage::TVR:
    case TEMVPage::AdditionalTerminalCapabilities:
      return 5;
    case TEMVPage::ApplicationInterchangeProfile:
      return 2;
    case TEMVPage::TerminalCapabilities:
      return 3;
    default:
      return 0;
  }
}

const char* EMVBitItemText(TEMVPage page, int byte, int item) {
  const TByteTexts* texts = BitTexts(page);
  if (texts == nullptr || byte < 0 || byte >= EMVBitPageBytes(page) || item < 0 || item > 7)
    return "";
  return texts[byte][static_cast<size_t>(item)];
}

std::string EMVBitByteCaption(TEMVPage page, int byte) {
  if (page == TEMVPage::TerminalCapabilities) {
    static const char* const captions[3] = {"Byte 1 (leftmost byte): Card Data Input Capability",
                                            "Byte 2: CVM Capability ",
                                            "Byte 3: Security Capability"};
    if (byte >= 0 && byte < 3) return captions[byte];
  }
  return "Byte " + std::to_string(byte + 1);
}

std::string EMVEncodeBits(const std::vector<TEMVBitByte>& bytes) {
  std::string out;
  for (const TEMVBitByte& b : bytes) {
    out += UTHBitsToHexChar(b[0], b[1], b[2], b[3]);
    out += UTHBitsToHexChar(b[4], b[5], b[6], b[7]);
  }
  return out;
}

bool EMVDecodeBits(std::string_view value, std::vector<TEMVBitByte>& bytes) {
  const std::string hex = EMVNormalizeValue(value);
  if (hex.size() != 2 * bytes.size() || !UTHIsHexString(hex)) return false;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto high = UTHHexCharToBits(hex[2 * i]);
    const auto low = UTHHexCharToBits(hex[2 * i + 1]);
    for (size_t k = 0; k < 4; ++k) {
      bytes[i][k] = high[k];
      bytes[i][k + 4] = low[k];
    }
  }
  return true;
}

// --- CVM Results ---

const char* const EMVCvmOtherByteMessage = "Enter a hex byte e.g. \"FF\" for other value";

const std::vector<std::string>& EMVCvmMethodTexts() {
  static const std::vector<std::string> texts = {
      "Fail CVM processing",
      "Plaintext PIN verification performed by ICC",
      "Enciphered PIN verified online",
      "Plaintext PIN verification performed by ICC and signature (paper)",
      "Enciphered PIN verification performed by ICC",
      "Enciphered PIN verification performed by ICC and signature (paper)",
      "Signature (paper)",
      "No CVM required",
      "Other value"};
  return texts;
}

const std::vector<std::string>& EMVCvmOnFailureTexts() {
  static const std::vector<std::string> texts = {
      "Fail cardholder verification if this CVM is unsuccessful",
      "Apply succeeding CVR if this CVM is unsuccessful"};
  return texts;
}

const std::vector<std::string>& EMVCvmConditionTexts() {
  static const std::vector<std::string> texts = {
      "Always",
      "If cash or cashback",
      "If not cash or cashback",
      "If terminal supports the CVM",
      "If transaction is in the application currency and is under X value",
      "If transaction is in the application currency and is over X value",
      "If transaction is in the application currency and is under Y value",
      "If transaction is in the application currency and is over Y value",
      "Other"};
  return texts;
}

const std::vector<std::string>& EMVCvmResultTexts() {
  static const std::vector<std::string> texts = {"Unknown (for example, for signature)",
                                                 "Failed (for example, for offline PIN)",
                                                 "Successful (for example, for offline PIN)"};
  return texts;
}

std::string EMVEncodeCvmResults(const TEMVCvmResults& page, std::string& message) {
  message.clear();
  int method = 0, condition = 0, result = 0;
  if (page.method == TEMVCvmResults::OtherMethod) {
    if (!OtherByte(page.otherMethod, method)) message = EMVCvmOtherByteMessage;
  } else if (page.method >= 0 && page.method < TEMVCvmResults::OtherMethod) {
    method = kCvmMethodCodes[page.method];
    if (page.onFailure == 1) method |= 0x40;
  }
  if (page.condition == TEMVCvmResults::OtherCondition) {
    if (!OtherByte(page.otherCondition, condition)) message = EMVCvmOtherByteMessage;
  } else if (page.condition >= 0 && page.condition < TEMVCvmResults::OtherCondition) {
    condition = kCvmConditionCodes[page.condition];
  }
  if (page.result >= 0 && page.result <= 2) result = page.result;
  return ByteHex(static_cast<unsigned>(method)) + ByteHex(static_cast<unsigned>(condition)) +
         ByteHex(static_cast<unsigned>(result));
}

bool EMVDecodeCvmResults(std::string_view value, TEMVCvmResults& page) {
  const std::string hex = EMVNormalizeValue(value);
  if (hex.size() != 6 || !UTHIsHexString(hex)) return false;
  const int method = HexByte(std::string_view(hex).substr(0, 2));
  const int condition = HexByte(std::string_view(hex).substr(2, 2));
  const int result = HexByte(std::string_view(hex).substr(4, 2));
  if ((method & 0x80) == 0) page.onFailure = (method & 0x40) != 0 ? 1 : 0;
  page.method = CodeIndex(kCvmMethodCodes, method & ~0x40);
  if (page.method < 0) {
    page.method = TEMVCvmResults::OtherMethod;
    page.otherMethod = hex.substr(0, 2);
  }
  page.condition = CodeIndex(kCvmConditionCodes, condition);
  if (page.condition < 0) {
    page.condition = TEMVCvmResults::OtherCondition;
    page.otherCondition = hex.substr(2, 2);
  }
  page.result = result <= 2 ? result : -1;
  return true;
}

// --- Terminal Type ---

const std::vector<std::string>& EMVTerminalEnvironmentTexts() {
  static const std::vector<std::string> texts = {"Attended", "Unattended"};
  return texts;
}

const std::vector<std::string>& EMVTerminalCapabilityTexts() {
  static const std::vector<std::string> texts = {"Online only", "Offline with online capability",
                                                 "Offline only"};
  return texts;
}

const std::vector<std::string>& EMVTerminalControlTexts() {
  static const std::vector<std::string> texts = {"Financial Institution", "Merchant", "Cardholder"};
  return texts;
}

TEMVTerminalTypeCode EMVEncodeTerminalType(const TEMVTerminalType& page, std::string& value) {
  if (page.environment < 0 || page.environment > 1 || page.capability < 0 || page.capability > 2 ||
      page.control < 0 || page.control > 2)
    return TEMVTerminalTypeCode::Incomplete;
  if (page.environment == 0 && page.control == 2) return TEMVTerminalTypeCode::Error;
  value = {static_cast<char>('1' + page.control),
           static_cast<char>('1' + page.capability + 3 * page.environment)};
  return TEMVTerminalTypeCode::Encoded;
}

bool EMVDecodeTerminalType(std::string_view value, TEMVTerminalType& page) {
  const std::string text = EMVNormalizeValue(value);
  const bool digits = text.size() == 2 && std::isdigit(static_cast<unsigned char>(text[0])) &&
                      std::isdigit(static_cast<unsigned char>(text[1]));
  const int first = digits ? text[0] - '0' : 0;
  const int second = digits ? text[1] - '0' : 0;
  const bool valid =
      first >= 1 && first <= 3 && second >= 1 && second <= 6 && !(first == 3 && second <= 3);
  if (!valid) {
    page = TEMVTerminalType{};
    return false;
  }
  page.control = first - 1;
  page.environment = (second - 1) / 3;
  page.capability = (second - 1) % 3;
  return true;
}

// --- Cryptogram Information Data ---

const std::vector<std::string>& EMVCidTypeTexts() {
  static const std::vector<std::string> texts = {"AAC (Decline)", "TC (Acceptance)",
                                                 "ARQC (On Line Authorisation)", "AAR (Referral)"};
  return texts;
}

const std::vector<std::string>& EMVCidPaymentTexts() {
  static const std::vector<std::string> texts = {"00", "01", "10", "11"};
  return texts;
}

const std::vector<std::string>& EMVCidAdviceTexts() {
  static const std::vector<std::string> texts = {"No Advice Required", "Advice Required"};
  return texts;
}

const std::vector<std::string>& EMVCidReasonTexts() {
  static const std::vector<std::string> texts = {"No information given",
                                                 "Service not allowed",
                                                 "PIN Try Limit exceeded",
                                                 "Issuer authentication failed",
                                                 "RFU 100",
                                                 "RFU 101",
                                                 "RFU 110",
                                                 "RFU 111"};
  return texts;
}

std::string EMVEncodeCryptogramInfo(const TEMVCryptogramInfo& page) {
  const auto field = [](int index, int limit) {
    return static_cast<unsigned>(index >= 0 && index < limit ? index : 0);
  };
  const unsigned byte = field(page.type, 4) << 6 | field(page.paymentBits, 4) << 4 |
                        field(page.advice, 2) << 3 | field(page.reason, 8);
  return ByteHex(byte);
}

bool EMVDecodeCryptogramInfo(std::string_view value, TEMVCryptogramInfo& page) {
  const std::string text = EMVNormalizeValue(value);
  if (text.size() != 2) return false;
  const auto high = UTHHexCharToBits(text[0]);
  const auto low = UTHHexCharToBits(text[1]);
  page.type = high[0] * 2 + high[1];
  page.paymentBits = high[2] * 2 + high[3];
  page.advice = low[0];
  page.reason = low[1] * 4 + low[2] * 2 + low[3];
  return true;
}

// --- Issuer Script Commands ---

std::string EMVBerLengthHex(size_t bytes) {
  if (bytes < 0x80) return ByteHex(static_cast<unsigned>(bytes));
  std::string digits;
  for (size_t rest = bytes; rest != 0; rest >>= 8)
    digits.insert(0, ByteHex(static_cast<unsigned>(rest & 0xFF)));
  return ByteHex(0x80u | static_cast<unsigned>(digits.size() / 2)) + digits;
}

std::string EMVEncodeScriptCommands(const TEMVScriptCommands& page) {
  std::string body = "9F1804" + EMVNormalizeValue(page.scriptId);
  for (const std::string& command : page.commands) {
    const std::string hex = EMVNormalizeValue(command);
    if (hex.empty()) continue;
    body += "86" + EMVBerLengthHex(hex.size() / 2) + hex;
  }
  return (page.tag == 1 ? "72" : "71") + EMVBerLengthHex(body.size() / 2) + body;
}

bool EMVDecodeScriptCommands(std::string_view value, TEMVScriptCommands& page,
                             std::string& message) {
  message.clear();
  const std::string hex = EMVNormalizeValue(value);
  if (hex.size() % 2 != 0) return false;
  message = "   ";
  if (hex.size() < 18) return false;
  const std::string_view v = hex;

  if (v.substr(0, 2) != "71" && v.substr(0, 2) != "72") {
    message = "Command tag is not 71 or 72";
    return true;
  }
  page.tag = v.substr(0, 2) == "72" ? 1 : 0;

  size_t pos = 2, length = 0;
  if (!ReadBerLength(v, pos, length)) {
    message = "Length Byte of issuer script commands is not a valid Hex String";
    return true;
  }
  if ((v.size() - pos) / 2 != length) {
    message = "Length Byte is not equal issuer script commands element length";
    return true;
  }

  if (v.substr(pos, 4) != "9F18") {
    message = "Script ID tag must be 9F18";
    return true;
  }
  pos += 4;
  if (v.substr(pos, 2) != "04") {
    message = "Script ID length must be 04";
    return true;
  }
  pos += 2;
  const std::string_view id = v.substr(pos, 8);
  if (id.size() != 8 || !UTHIsHexString(id)) {
    message = "Script ID is not a Hex String";
    return true;
  }
  page.scriptId = std::string(id);
  pos += 8;

  size_t row = 0;
  while (v.size() - pos >= 6) {
    if (v.substr(pos, 2) != "86") {
      message = "Command tag must be 86";
      return true;
    }
    pos += 2;
    size_t commandLength = 0;
    if (!ReadBerLength(v, pos, commandLength)) {
      message = "Length Byte of command is not a valid Hex String";
      return true;
    }
    if ((v.size() - pos) / 2 < commandLength) {
      message = "Length Byte is not equal command length";
      return true;
    }
    const std::string_view command = v.substr(pos, 2 * commandLength);
    pos += 2 * commandLength;
    if (!UTHIsHexString(command)) {
      message = "Command is not a valid Hex String: " + std::string(command);
      continue;
    }
    if (page.commands.size() <= row) page.commands.resize(row + 1);
    page.commands[row++] = std::string(command);
  }
  return true;
}

namespace {

bool RowEmpty(const IStringGrid& grid, int row) {
  for (int col = grid.FixedCols(); col < grid.ColCount(); ++col)
    if (!grid.Cell(col, row).empty()) return false;
  return true;
}

}  // namespace

void EMVTrimCommandGrid(IStringGrid& grid, int minRows) {
  while (grid.RowCount() > minRows && grid.RowCount() - 2 >= grid.FixedRows() &&
         RowEmpty(grid, grid.RowCount() - 1) && RowEmpty(grid, grid.RowCount() - 2))
    grid.SetRowCount(grid.RowCount() - 1);
  if (grid.RowCount() > grid.FixedRows() && !RowEmpty(grid, grid.RowCount() - 1))
    grid.SetRowCount(grid.RowCount() + 1);
}

// --- Issuer Script Results ---

const std::vector<std::string>& EMVScriptResultTexts() {
  static const std::vector<std::string> texts = {"Script not performed", "Processing failed",
                                                 "Processing successfull"};
  return texts;
}

char EMVScriptSequenceDigit(int number) {
  return number >= 15 ? 'F' : UTHIntToHexChar(std::max(number, 0));
}

TEMVScriptResults EMVInitialScriptResults() {
  TEMVScriptResults page;
  page.groups.push_back(TEMVScriptResult{2, 1, '1', ""});
  return page;
}

void EMVAddScriptResult(TEMVScriptResults& page) {
  const int number = page.groups.empty() ? 1 : page.groups.back().number + 1;
  page.groups.push_back(TEMVScriptResult{2, number, EMVScriptSequenceDigit(number), page.scriptId});
}

void EMVRemoveScriptResult(TEMVScriptResults& page, size_t index) {
  if (index >= page.groups.size()) return;
  page.groups.erase(page.groups.begin() + static_cast<std::ptrdiff_t>(index));
  for (size_t i = 0; i < page.groups.size(); ++i) {
    page.groups[i].number = static_cast<int>(i) + 1;
    page.groups[i].sequence = EMVScriptSequenceDigit(page.groups[i].number);
  }
}

void EMVSetScriptResultsId(TEMVScriptResults& page, std::string_view id) {
  page.scriptId = std::string(id);
  for (TEMVScriptResult& group : page.groups) group.scriptId = page.scriptId;
}

std::string EMVEncodeScriptResults(const TEMVScriptResults& page) {
  std::string out;
  for (const TEMVScriptResult& group : page.groups) {
    const std::string id = EMVNormalizeValue(group.scriptId);
    out += UTHIntToHexChar(group.result);
    out += group.sequence;
    if (id.size() < 8) out.append(8 - id.size(), '0');
    out += id;
  }
  return out;
}

bool EMVDecodeScriptResults(std::string_view value, TEMVScriptResults& page, std::string& message) {
  message.clear();
  const std::string hex = EMVNormalizeValue(value);
  if (hex.size() % 10 != 0) return false;
  page.groups.clear();
  for (size_t pos = 0; pos < hex.size(); pos += 10) {
    const char result = hex[pos];
    const char sequence = hex[pos + 1];
    if (result < '0' || result > '2') {
      message = std::string("Script result must be 0..2. Found :") + result;
      return true;
    }
    if (!UTHIsHexChar(sequence)) {
      message = std::string("Command Sequence Number is not a valid hex char: ") + sequence;
      return true;
    }
    const std::string id = hex.substr(pos + 2, 8);
    if (pos == 0) page.scriptId = id;
    const int position = static_cast<int>(pos / 10) + 1;
    page.groups.push_back(
        TEMVScriptResult{result - '0', SequenceNumber(sequence, position), sequence, id});
  }
  return true;
}

}  // namespace kal
