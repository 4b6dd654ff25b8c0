#include "support/ErrorTable.h"

namespace kal {

namespace {

struct Row {
  int detail;
  const char* mainText;
  const char* subText;
};

// Texts are copied exactly as the program has always shown them (logs and
// sequence statistics compare them), spelling and trailing blanks included.
constexpr const char* kSource = "incorrect message source: ";
constexpr const char* kStream = "incorrect data stream: ";

constexpr Row kGroup0[] = {
    {1, kSource, "format a element contains incorrect character(s)"},
    {2, kSource, "format an element contains incorrect character(s)"},
    {3, kSource, "format ans element contains incorrect character(s)"},
    {4, kSource, "format date element contains incorrect character(s)"},
    {5, kSource, "format time element contains incorrect character(s)"},
    {6, kSource, "format n element contains incorrect character(s)"},
    {7, kSource, "Element value too long for encryption"},
    {11, kSource, "format b element contains incorrect character(s)"},
    {12, kSource, "format b element contains incorrect character(s)"},
    {13, kSource, "format b element input data length is not a UTBase64 length (mod 4)"},
    {14, kSource,
     "format b element too much input data left (receveived end of encoded data but not end of "
     "input string)"},
    {15, kSource,
     "format b element wrong padding (input data isnt closed with correct padding characters))"},
    // The message builder's Base64 coder failed on a b or cn value.
    {16, kSource, "format b element could not be encoded as UTBase64"},
    {21, kSource, "format cn element contains incorrect character(s)"},
    {22, kSource, "format cn element contains incorrect character(s)"},
    {23, kSource, "format cn element input data length is not a UTBase64 length (mod 4)"},
    {24, kSource,
     "format cn element too much input data left (receveived end of encoded data but not end of "
     "input string)"},
    {25, kSource,
     "format cn element wrong padding (input data is not closed with correct padding "
     "characters))"},
    {26, kSource, "format cn element could not be encoded as UTBase64"},
};

constexpr Row kGroup1000[] = {
    {2, kStream, "unexpected encoding byte received"},
    {3, "software error: ", "unexpected encoding byte in outgoing stream"},
    {4, kStream, "length bytes different from stream length"},
    {5, kStream, "sender ID type is out of range"},
    {6, kStream, "sender identifier length is out of range"},
    {7, kStream, "public key owner ID type is out of range"},
    {8, kStream, "public key owner ID length is out of range"},
    // Refusals of the stream writer: a cryptogram its length field cannot
    // hold, and version fields of the wrong size.
    {9, kStream, "session key cryptogram too long for its length field"},
    {10, kStream, "version number must be 1 byte and specification version 2 bytes"},
};

constexpr int kStreamSecurityFirst = 100;
constexpr int kStreamSecurityEnd = 300;

constexpr Row kGroup3000[] = {
    {1, "XML parser error: ", ""},
};

constexpr Row kGroup4000[] = {
    {1, "session key generation error: ", "invalid session key variant"},
    {2, "session key generation error: ", "invalid session key length"},
    {3, "session key generation error: ", "invalid session key length variant PIN"},
    {4, "session key generation error: ", "invalid session key length variant MAC"},
    {5, "error during decryption of session key cryptogram: ", "cryptogram is smaller than 41"},
    {6, "error during PIN decryption: ", "invalid PIN block length"},
    {7, "error during PIN decryption: ", "invalid PIN length"},
    {8, "session key decryption error: ", "invalid session key length variant PIN"},
    {9, "session key decryption error: ", "invalid session key length"},
    {10, "DES decryption error: ", "invalid encrypted block length"},
    // An unusable PAN for a format-3 PIN block, missing padding, OAEP, the
    // session-key cryptogram block, the component secret and RSA.
    {12, "PIN block error: ", "PAN must hold at least 12 digits"},
    {13, "DES decryption error: ", "padding not found"},
    {14, "OAEP encoding error: ", "message, seed or mask length does not fit the modulus"},
    {15, "error during decryption of session key cryptogram: ", "OAEP decoding failed"},
    {16, "error during decryption of session key cryptogram: ", "invalid cryptogram block"},
    {17, "session key generation error: ", "invalid component secret length"},
    {18, "RSA error: ", "invalid key, or value not below the modulus"},
    {56, "compressed numeric format error: ", "illegal character in string"},
    {57, "compressed numeric format error: ", "illegal character in hex string"},
    {66, "compressed numeric format error: ", "illegal character in received string"},
    {67, "compressed numeric format error: ", "illegal character in received hex string"},
};

constexpr Row kGroup5000[] = {
    {1, "security error in received message: ", "duplicate security element(s) received"},
    {2, "security error in received message: ", "no session key cryptogram detected"},
    {3, "software error: ", "session key cryptogram not decrypted"},
};

constexpr Row kGroup6000[] = {
    {1, "XML parser error: ", ""},
    {2, "Number of attributes and attribute values is different", ""},
};

constexpr Row kGroup7000[] = {
    {1, "Socket error: ", ""},
    {2, "Socket error: ", ""},
    {3, "Communication error: ", ""},
    {4, "Error in received message: ", ""},
    {5, "Error in received message: ", ""},
    {6, "Error in received message: ", "Wrong message tag"},
    {8, "Error in message: ", "Invalid PIN"},
    {9, "", "No key from incoming message available (press again to use default key)"},
    // A frame whose length bytes announce more than the receiver takes; the
    // length follows the text.
    {11, "Frame length exceeds limit: ", ""},
    // A value-pool file that is missing or empty: the text names the file.
    {21, "", ""},
    {22, "", ""},
};

constexpr Row kGroup9000[] = {
    {1, "Invalid data for session key cryptogram", ""},
    {2, "Invalid PIN data", ""},
    {3, "Invalid PAN data", ""},
    {4, "Invalid track 2 data", ""},
    {5, "Invalid track 2 equivalent data", ""},
};

// Sub texts of the plug-in call's codes (9100 to 9199 share one main text).
constexpr Row kGroup9100[] = {
    // The plug-in answered with status 255.
    {104, "Plug in error. ", "Plug in error detected, see log of plug in"},
};

template <size_t N>
void Lookup(const Row (&rows)[N], int detail, std::string& mainText, std::string& subText) {
  for (const Row& row : rows) {
    if (row.detail == detail) {
      mainText = row.mainText;
      subText = row.subText;
      return;
    }
  }
}

}  // namespace

void TERRErrorTable::ERRGettexts(int code, std::string& mainText, std::string& subText) {
  mainText = "Error: ";
  subText.clear();
  const int detail = ERRDetail(code);
  switch (ERRGroup(code)) {
    case 0:
      mainText = kSource;
      Lookup(kGroup0, detail, mainText, subText);
      break;
    case 1000:
      // The byte stream's own security objects have the base + 100 (hash)
      // and + 200 (MAC): their codes read as those of the ep2 security.
      if (detail >= kStreamSecurityFirst && detail < kStreamSecurityEnd)
        Lookup(kGroup4000, detail % 100, mainText, subText);
      else
        Lookup(kGroup1000, detail, mainText, subText);
      break;
    case 3000:
      Lookup(kGroup3000, detail, mainText, subText);
      break;
    case 4000:
      Lookup(kGroup4000, detail, mainText, subText);
      break;
    case 5000:
      Lookup(kGroup5000, detail, mainText, subText);
      break;
    case 6000:
      Lookup(kGroup6000, detail, mainText, subText);
      break;
    case 7000:
      Lookup(kGroup7000, detail, mainText, subText);
      break;
    case 9000:
      if (detail >= 100 && detail <= 199) {
        mainText = "Plug in error. ";
        subText.clear();
        Lookup(kGroup9100, detail, mainText, subText);
      } else {
        Lookup(kGroup9000, detail, mainText, subText);
      }
      break;
    default:
      break;
  }
}

std::string TERRErrorTable::ERRComposeText(int code, std::string_view detail) {
  std::string mainText, subText;
  ERRGettexts(code, mainText, subText);
  std::string text = mainText;
  text += ' ';
  text += detail;
  text += ". ";
  text += subText;
  return text;
}

std::string TERRErrorTable::ERRCodedText(int code, std::string_view detail) {
  return "Error " + std::to_string(code) + ": " + ERRComposeText(code, detail);
}

}  // namespace kal
