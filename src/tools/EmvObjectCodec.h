#pragma once

// Encoders and decoders of the EMV data objects the "EMV Elements Editor"
// edits: one pair per page. A page's state is a plain struct (the window maps
// it onto its widgets); encoders give the value as compact upper-case hex,
// decoders accept blanks and lower case, update the struct in place as far as
// the value allows and report the page's message. No Qt, no state.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "support/StringGrid.h"

namespace kal {

// The pages in tab order.
enum class TEMVPage {
  TVR,
  ApplicationInterchangeProfile,
  TerminalCapabilities,
  AdditionalTerminalCapabilities,
  CVMResults,
  TerminalType,
  CryptogramInformationData,
  IssuerScriptCommands,
  IssuerScriptResults,
};
constexpr int EMVPageCount = 9;

// The tab caption of a page ("TVR", "App Int Profile", ...).
const char* EMVPageCaption(TEMVPage page);

// The value with every blank removed and ASCII letters upper-cased.
std::string EMVNormalizeValue(std::string_view value);

// --- Check-list pages (TVR, AIP, terminal capabilities) ---

// One check list per byte of the value; item 0 is bit b8 (the most
// significant), item 7 bit b1. Byte 0 is the leftmost byte.
using TEMVBitByte = std::array<bool, 8>;

// True for the four check-list pages.
bool EMVIsBitPage(TEMVPage page);
// Bytes of a check-list page's value (TVR 5, AIP 2, terminal capabilities 3,
// additional terminal capabilities 5); 0 for the other pages.
int EMVBitPageBytes(TEMVPage page);
// The text of item 0..7 of byte `byte`; empty outside the page.
const char* EMVBitItemText(TEMVPage page, int byte, int item);
// The heading of a byte's check list ("Byte 1 (leftmost byte): Card Data
// Input Capability", ...).
std::string EMVBitByteCaption(TEMVPage page, int byte);

// Two hex digits per byte, items 0..3 giving the first digit.
std::string EMVEncodeBits(const std::vector<TEMVBitByte>& bytes);
// The value must be exactly two hex digits per byte of `bytes`; then each
// digit is split onto its four items. Any other value changes nothing and
// gives false.
bool EMVDecodeBits(std::string_view value, std::vector<TEMVBitByte>& bytes);

// --- CVM Results ---

struct TEMVCvmResults {
  static constexpr int OtherMethod = 8;     // "Other value": byte from otherMethod
  static constexpr int OtherCondition = 8;  // "Other": byte from otherCondition
  int method = -1;                          // 0..8, -1 none selected
  std::string otherMethod;                  // field Edit2
  int onFailure = -1;          // 0 fail cardholder verification, 1 apply succeeding CVR
  int condition = -1;          // 0..8
  std::string otherCondition;  // field Edit3
  int result = -1;             // 0 unknown, 1 failed, 2 successful, -1 none
};

const std::vector<std::string>& EMVCvmMethodTexts();
const std::vector<std::string>& EMVCvmOnFailureTexts();
const std::vector<std::string>& EMVCvmConditionTexts();
const std::vector<std::string>& EMVCvmResultTexts();

// The message of an "Other" field that is not one hex byte.
extern const char* const EMVCvmOtherByteMessage;

// Six hex digits: method byte (with b7 set for "apply succeeding" unless the
// method is "Other value"), condition byte, result byte. An "Other" field
// must hold one hex byte after trimming, else that byte stays 00 and
// `message` gets EMVCvmOtherByteMessage (empty otherwise).
std::string EMVEncodeCvmResults(const TEMVCvmResults& page, std::string& message);
// Needs six hex digits (else false, nothing changed). The failure choice is
// read from b7 only when b8 is clear; an unlisted method or condition byte
// selects "Other" and goes into its field (the method byte with b7 as it
// stood); a result byte other than 00..02 leaves no result selected.
bool EMVDecodeCvmResults(std::string_view value, TEMVCvmResults& page);

// --- Terminal Type ---

struct TEMVTerminalType {
  int environment = -1;  // 0 attended, 1 unattended
  int capability = -1;   // 0 online only, 1 offline with online capability, 2 offline only
  int control = -1;      // 0 financial institution, 1 merchant, 2 cardholder
};

const std::vector<std::string>& EMVTerminalEnvironmentTexts();
const std::vector<std::string>& EMVTerminalCapabilityTexts();
const std::vector<std::string>& EMVTerminalControlTexts();

enum class TEMVTerminalTypeCode {
  Encoded,     // value holds the two digits
  Incomplete,  // a group has no selection: nothing to write
  Error,       // attended with cardholder control: no such terminal type
};
TEMVTerminalTypeCode EMVEncodeTerminalType(const TEMVTerminalType& page, std::string& value);
// Two decimal digits 11..16, 21..26 or 34..36 set the three groups (true);
// any other value clears every selection (false).
bool EMVDecodeTerminalType(std::string_view value, TEMVTerminalType& page);

// --- Cryptogram Information Data ---

struct TEMVCryptogramInfo {
  int type = -1;         // b8 b7: AAC, TC, ARQC, AAR
  int paymentBits = -1;  // b6 b5
  int advice = -1;       // b4
  int reason = -1;       // b3 b2 b1
};

const std::vector<std::string>& EMVCidTypeTexts();
const std::vector<std::string>& EMVCidPaymentTexts();
const std::vector<std::string>& EMVCidAdviceTexts();
const std::vector<std::string>& EMVCidReasonTexts();

// Two hex digits; a group without selection contributes clear bits.
std::string EMVEncodeCryptogramInfo(const TEMVCryptogramInfo& page);
// Needs exactly two characters (else false); a character that is no hex
// digit reads as four clear bits.
bool EMVDecodeCryptogramInfo(std::string_view value, TEMVCryptogramInfo& page);

// --- Issuer Script Commands (templates 71 and 72) ---

struct TEMVScriptCommands {
  int tag = 0;                        // 0 "71", 1 "72"
  std::string scriptId;               // field Edit4
  std::vector<std::string> commands;  // one per grid row, hex
};

// The BER length of `bytes` as hex: short form below 128, else 81 xx,
// 82 xx xx, ... (big-endian, no leading zero bytes).
std::string EMVBerLengthHex(size_t bytes);

// "71"/"72" + length + "9F1804" + identifier + "86" + length + command for
// each non-empty command (blanks removed, upper-cased).
std::string EMVEncodeScriptCommands(const TEMVScriptCommands& page);
// Reads a template. Odd lengths and values under 18 digits change nothing
// and give false. Otherwise the steps run until the first failure, whose
// text goes to `message` (three blanks when all went well): tag, template
// length (short or long form), "9F18" "04" and the identifier, then the
// commands (tag 86, short or long form length), each written into
// page.commands from index 0 on (growing it when needed, later entries
// kept). A command that is not hex is reported and skipped.
bool EMVDecodeScriptCommands(std::string_view value, TEMVScriptCommands& page,
                             std::string& message);

// The command grid keeps at least `minRows` rows and one empty row at the
// end: while the last two rows are empty and there are more than `minRows`
// rows, the last goes; when the last row is not empty, an empty one is added.
void EMVTrimCommandGrid(IStringGrid& grid, int minRows);

// --- Issuer Script Results ---

struct TEMVScriptResult {
  int result = 2;        // 0 not performed, 1 failed, 2 successful
  int number = 1;        // the group's shown number
  char sequence = '1';   // the sequence digit written for it
  std::string scriptId;  // the identifier written for it (padded to 8 on encoding)
};

struct TEMVScriptResults {
  std::string scriptId;  // field Edit5: the first group's identifier
  std::vector<TEMVScriptResult> groups;
};

// "Script not performed", "Processing failed", "Processing successfull".
const std::vector<std::string>& EMVScriptResultTexts();

// The sequence digit of group number n: hex 1..E, "F" from 15 on.
char EMVScriptSequenceDigit(int number);
// The page as the window creates it: group 1, "Processing successful".
TEMVScriptResults EMVInitialScriptResults();
// "Add": a group numbered one above the last, successful, with the field's
// identifier.
void EMVAddScriptResult(TEMVScriptResults& page);
// "Remove": drops group `index` and numbers the rest 1, 2, 3 ... with their
// digits.
void EMVRemoveScriptResult(TEMVScriptResults& page, size_t index);
// A whole identifier typed into the field: it becomes every group's.
void EMVSetScriptResultsId(TEMVScriptResults& page, std::string_view id);

// Ten digits per group, in display order: result digit, sequence digit,
// identifier padded on the left with "0" to eight digits.
std::string EMVEncodeScriptResults(const TEMVScriptResults& page);
// Needs a multiple of ten digits (else false, nothing changed). Removes all
// groups and adds one per entry, keeping its result, sequence digit and
// identifier; the number is the sequence digit, or the position for "F".
// The first identifier goes into the field. A bad result or sequence digit
// stops with its text in `message` (empty when all went well).
bool EMVDecodeScriptResults(std::string_view value, TEMVScriptResults& page, std::string& message);

}  // namespace kal
