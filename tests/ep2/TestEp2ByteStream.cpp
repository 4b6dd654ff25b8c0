// The ep2 frame: an independent python3 parser reads the frames we write
// and writes frames we read, for every version, mode and identifier type;
// MACs and hashes are recomputed with OpenSSL. Exact layouts, refusals of
// the writer and every truncation on the reader's side.
#include "ep2/Ep2ByteStream.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <vector>

#include "common/TestSupport.h"
#include "ep2/Ep2Oracle.h"

namespace kal {
namespace {

using test::FromHex;
using test::ToHex;
using TIBS = TIBSaEp2ByteStream;

constexpr int kUserSenderIdLength = 6;
constexpr int kUserOwnerIdLength = 9;

// Reads "senderLength ownerLength frame" lines. For each frame it prints the
// twelve fields as hex ("-" when empty): version, specification version,
// mode, sender type, sender id, owner type, owner id, key index, cryptogram
// length (2 bytes), cryptogram, MAC, XML; then a frame packed anew from them.
const char* const kPython = R"(
import struct, sys
def parse(sl, ol, f):
    (length,) = struct.unpack_from('>I', f)
    assert length == len(f) - 4
    version, p = f[4], 5
    spec = f[p:p + 2] if version >= 0x20 else b''
    p += len(spec)
    mode = f[p]
    p += 1
    ids = [b''] * 7
    if mode == 2:
        st = f[p]
        n = 8 if st == 3 else 11 if st <= 4 else sl
        sid, p = f[p + 1:p + 1 + n], p + 1 + n
        ot = f[p]
        n = 11 if ot <= 3 else ol
        oid, p = f[p + 1:p + 1 + n], p + 1 + n
        idx, p = f[p], p + 1
        if version >= 0x30:
            (cl,), p = struct.unpack_from('>H', f, p), p + 2
        else:
            cl, p = f[p], p + 1
        crypt, p = f[p:p + cl], p + cl
        assert len(crypt) == cl
        ids = [bytes([st]), sid, bytes([ot]), oid, bytes([idx]), struct.pack('>H', cl), crypt]
    mac = f[p:p + 8] if mode else b''
    return [bytes([version]), spec, bytes([mode])] + ids + [mac, f[p + len(mac):]]
def pack(v, spec, mode, st, sid, ot, oid, idx, cl, crypt, mac, xml):
    body = v + spec + mode
    if mode[0] == 2:
        body += st + sid + ot + oid + idx + (cl if v[0] >= 0x30 else cl[1:]) + crypt
    body += mac + xml
    return struct.pack('>I', len(body)) + body
for line in sys.stdin.read().split('\n'):
    if line:
        sl, ol, hx = line.split()
        fields = parse(int(sl), int(ol), bytes.fromhex(hx))
        print(' '.join(x.hex().upper() or '-' for x in fields), pack(*fields).hex().upper())
)";

std::string Byte(int v) {
  return std::string(1, static_cast<char>(v));
}

struct Case {
  uint8_t version = 0;
  std::string spec;  // as given to the writer
  int mode = 0;
  uint8_t senderType = 0, ownerType = 0;
  std::string senderId, ownerId, key, cryptogram, xml;
  int variant = 1;

  bool Sha256() const { return version >= 0x20 && ToHex(spec) >= "0630"; }
  int SenderIdLength() const {
    return senderType == 3 ? 8 : senderType <= 4 ? 11 : kUserSenderIdLength;
  }
  int OwnerIdLength() const { return ownerType <= 3 ? 11 : kUserOwnerIdLength; }
  std::vector<std::string> Fields() const;
};

// The twelve fields of a frame as the python script prints them.
std::vector<std::string> Fields(int version, const std::string& spec, int mode, int senderType,
                                const std::string& senderId, int ownerType,
                                const std::string& ownerId, int index, int cryptogramLength,
                                const std::string& cryptogram, const std::string& mac,
                                const std::string& xml) {
  if (mode != 2) return {Byte(version), spec, Byte(mode), "", "", "", "", "", "", "", mac, xml};
  const std::string length = Byte(cryptogramLength >> 8) + Byte(cryptogramLength & 0xFF);
  return {Byte(version), spec,        Byte(mode), Byte(senderType), senderId, Byte(ownerType),
          ownerId,       Byte(index), length,     cryptogram,       mac,      xml};
}

// A header for the writer.
TIBSFrameHeader Header(std::string_view version, int mode, std::string_view spec, int senderType,
                       std::string_view senderId, int ownerType, std::string_view ownerId,
                       int index, std::string_view cryptogram) {
  return {.sVersionNumber = std::string(version),
          .sSpecVersionNumber = std::string(spec),
          .iEncoding = mode,
          .iSenderIDType = senderType,
          .sSenderIdentifier = std::string(senderId),
          .iPublicKeyOwnerIdentifierType = ownerType,
          .sPublicKeyOwnerIdentifier = std::string(ownerId),
          .iPublicKeyIndex = index,
          .sSessionKeyCryptogram = std::string(cryptogram)};
}

// What the frame of a case must carry.
std::vector<std::string> Case::Fields() const {
  return kal::Fields(version, version >= 0x20 ? spec : "", mode, senderType, senderId, ownerType,
                     ownerId, 0x42, static_cast<int>(cryptogram.size()), cryptogram,
                     mode == 0 ? "" : test::FrameMacRef(key, variant, xml, Sha256()), xml);
}

class Ep2ByteStream : public ::testing::Test {
 protected:
  struct Read {
    int rc;
    std::string xml, hash;
    TIBSFrameHeader h;
    std::vector<std::string> Fields() const {
      return kal::Fields(static_cast<uint8_t>(h.sVersionNumber[0]), h.sSpecVersionNumber,
                         h.iEncoding, h.iSenderIDType, h.sSenderIdentifier,
                         h.iPublicKeyOwnerIdentifierType, h.sPublicKeyOwnerIdentifier,
                         h.iPublicKeyIndex, h.iSessionKeyCryptogramLength, h.sSessionKeyCryptogram,
                         h.sMAC, xml);
    }
  };
  Read Parse(std::string_view frame, int senderLength = kUserSenderIdLength,
             int ownerLength = kUserOwnerIdLength) {
    Read r;
    r.rc = stream.IBSStreamToXMLDoc(frame, senderLength, ownerLength, r.xml, r.h, r.hash);
    return r;
  }

  TIBS stream{1000};
  std::mt19937 rng{11};
};

// Versions with and without the specification version, one- and two-byte
// cryptogram lengths, SHA-1 and SHA-256, modes 0-2, fixed and configured
// identifier lengths on both sides of their limits, both key lengths and
// both MAC variants.
TEST_F(Ep2ByteStream, IndependentPythonParserAndWriterAgreeWithOursAndOpenSslWithTheMac) {
  const std::pair<uint8_t, const char*> versions[] = {
      {0x10, "0630"}, {0x20, "0601"}, {0x2F, "0630"}, {0x30, "0630"}, {0x30, "0700"}};
  std::vector<Case> cases;
  std::string input;
  for (const auto& [version, spec] : versions)
    for (int mode = 0; mode <= 2; ++mode)
      for (uint8_t senderType : {3, 4, 5})
        for (uint8_t ownerType : {3, 4}) {
          Case c;
          c.version = version, c.spec = FromHex(spec), c.mode = mode;
          c.senderType = senderType, c.ownerType = ownerType;
          c.senderId = test::RandomBytes(rng, static_cast<size_t>(c.SenderIdLength()));
          c.ownerId = test::RandomBytes(rng, static_cast<size_t>(c.OwnerIdLength()));
          c.key = test::RandomBytes(rng, cases.size() % 2 == 0 ? 16 : 24);
          c.variant = 1 + static_cast<int>(cases.size() % 3 == 0);
          c.cryptogram = test::RandomBytes(rng, version >= 0x30 ? 256 : 1 + rng() % 255);
          c.xml = "<?xml version=\"1.0\"?>\r\n<ep2:Msg>Gr\xC3\xBC\xC3\x9F" +
                  std::string(rng() % 300, 'x') + "</ep2:Msg>";
          std::string frame;
          ASSERT_EQ(stream.IBSXMLDocToStream(
                        c.xml, c.SenderIdLength(), c.OwnerIdLength(),
                        Header(Byte(c.version), c.mode, c.spec, c.senderType, c.senderId,
                               c.ownerType, c.ownerId, 0x42, c.cryptogram),
                        c.variant, c.key, frame),
                    0);
          input += std::to_string(kUserSenderIdLength) + " " + std::to_string(kUserOwnerIdLength) +
                   " " + ToHex(frame) + "\n";
          cases.push_back(std::move(c));
        }
  int status = -1;
  const auto lines = test::SplitLines(test::RunPython(kPython, input, &status));
  ASSERT_EQ(status, 0);
  ASSERT_EQ(lines.size(), cases.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(lines[i].substr(0, 40));
    std::istringstream in(lines[i]);
    std::vector<std::string> fields;
    for (std::string x; in >> x;) fields.push_back(x == "-" ? "" : FromHex(x));
    ASSERT_EQ(fields.size(), 13u);
    const std::string pythonFrame = fields.back();
    fields.pop_back();
    EXPECT_EQ(fields, cases[i].Fields());
    const Read r = Parse(pythonFrame);
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(r.Fields(), cases[i].Fields());
    EXPECT_EQ(r.hash, cases[i].mode == 0 ? "" : test::ShaRef(cases[i].xml, cases[i].Sha256()));
  }
}

TEST_F(Ep2ByteStream, LayoutsAndHashIndicator) {
  std::string frame;
  const std::string key(16, '\x11'), xml = "<a/>";
  ASSERT_EQ(stream.IBSXMLDocToStream(xml, 8, 11, Header("\x10", 0, "\x06\x30", 3, "", 1, "", 0, ""),
                                     1, "", frame),
            0);
  EXPECT_EQ(ToHex(frame),
            "00000006"
            "1000" +
                ToHex(xml));

  // The cryptogram length takes one byte before version 0x30 and two from it.
  constexpr size_t kCryptogramLengthAt = 4 + 1 + 2 + 1 + 1 + 8 + 1 + 11 + 1;
  const std::string sid(8, 'T'), oid(11, 'O'), cryptogram(256, '\xC5');
  ASSERT_EQ(stream.IBSXMLDocToStream(
                xml, 8, 11, Header("\x2F", 2, "\x06\x30", 3, sid, 1, oid, 7, cryptogram.substr(1)),
                1, key, frame),
            0);
  EXPECT_EQ(static_cast<uint8_t>(frame[kCryptogramLengthAt]), 0xFF);
  EXPECT_EQ(
      stream.IBSXMLDocToStream(
          xml, 8, 11, Header("\x2F", 2, "\x06\x30", 3, sid, 1, oid, 7, cryptogram), 1, key, frame),
      1009);
  EXPECT_EQ(frame, "");
  ASSERT_EQ(
      stream.IBSXMLDocToStream(
          xml, 8, 11, Header("\x30", 2, "\x06\x30", 3, sid, 1, oid, 7, cryptogram), 1, key, frame),
      0);
  EXPECT_EQ(ToHex(frame.substr(kCryptogramLengthAt, 2)), "0100");

  for (const auto& [spec, indicator] : std::vector<std::pair<std::string, int>>{
           {"", 1}, {"\x06\x01", 1}, {"\x06\x29", 1}, {"\x06\x30", 2}, {"\x07\x00", 2}})
    EXPECT_EQ(TIBS::IBSGetHashalgorithmInd(spec), indicator) << ToHex(spec);
  // Below version 0x20 the frame carries no specification version, so its
  // MAC is over the SHA-1 hash whatever the caller configured.
  ASSERT_EQ(stream.IBSXMLDocToStream(xml, 8, 11, Header("\x1F", 1, "\x06\x30", 3, "", 1, "", 0, ""),
                                     2, key, frame),
            0);
  EXPECT_EQ(frame.substr(6, 8), test::FrameMacRef(key, 2, xml, false));
}

TEST_F(Ep2ByteStream, WriterRefusals) {
  std::string frame = "old";
  const std::string key(16, '\x22'), sid(8, 'T'), oid(11, 'O');
  auto write = [&](std::string_view version, int mode, std::string_view spec, int senderLength,
                   int ownerLength, int variant, std::string_view k) {
    return stream.IBSXMLDocToStream("<a/>", senderLength, ownerLength,
                                    Header(version, mode, spec, 3, sid, 1, oid, 0, ""), variant, k,
                                    frame);
  };
  EXPECT_EQ(write("\x30", 3, "\x06\x30", 8, 11, 1, key), 1003);
  EXPECT_EQ(write("\x30", -1, "\x06\x30", 8, 11, 1, key), 1003);
  EXPECT_EQ(write("\x30", 2, "\x06\x30", 11, 11, 1, key), 1006);
  EXPECT_EQ(write("\x30", 2, "\x06\x30", -8, 11, 1, key), 1006);
  EXPECT_EQ(write("\x30", 2, "\x06\x30", 8, 8, 1, key), 1008);
  EXPECT_EQ(write("\x30", 1, "\x06\x30", 8, 11, 1, key.substr(1)), 1202);
  EXPECT_EQ(write("\x30", 1, "\x06\x30", 8, 11, 6, key), 1201);
  EXPECT_EQ(write("", 0, "\x06\x30", 8, 11, 1, key), 1010);
  EXPECT_EQ(write(std::string("\x30\x00", 2), 0, "\x06\x30", 8, 11, 1, key), 1010);
  EXPECT_EQ(write("\x20", 0, "\x06", 8, 11, 1, key), 1010);
  EXPECT_EQ(frame, "");
  EXPECT_EQ(write("\x1F", 0, "", 8, 11, 1, key), 0);  // no specification version needed
  std::string mac = "old";
  EXPECT_EQ(stream.IBSComputeMAC("<a/>", 1, "", "", mac), 1202);
  EXPECT_EQ(mac, "");
}

TEST_F(Ep2ByteStream, ReaderRefusesTruncatedAndMisstatedFramesKeepingWhatItRead) {
  std::string frame;
  const std::string key(24, '\x33'), sid(8, 'T'), oid(kUserOwnerIdLength, 'O');
  ASSERT_EQ(
      stream.IBSXMLDocToStream(
          "<a/>", 8, kUserOwnerIdLength,
          Header("\x30", 2, "\x06\x30", 3, sid, 4, oid, 9, std::string(300, 'C')), 1, key, frame),
      0);
  ASSERT_EQ(Parse(frame).rc, 0);
  const size_t xmlStart = frame.size() - 4;
  // Every prefix with a corrected length field: the fields that fit are
  // read, the first that does not gives 1004.
  for (size_t n = 4; n < xmlStart; ++n) {
    std::string cut = frame.substr(0, n);
    const uint32_t length = static_cast<uint32_t>(n - 4);
    for (int i = 0; i < 4; ++i) cut[i] = static_cast<char>(length >> (24 - 8 * i));
    const Read r = Parse(cut);
    ASSERT_EQ(r.rc, 1004) << n;
    EXPECT_EQ(r.h.sVersionNumber, n > 4 ? "\x30" : "") << n;
    EXPECT_EQ(r.h.sSenderIdentifier, n >= 4 + 1 + 2 + 1 + 1 + 8 ? sid : "") << n;
    EXPECT_EQ(r.xml + r.hash, "") << n;
  }
  EXPECT_EQ(Parse(frame.substr(0, 3)).rc, 1004);
  std::string longer = frame + "x", shorter = frame.substr(0, frame.size() - 1);
  EXPECT_EQ(Parse(longer).rc, 1004);
  EXPECT_EQ(Parse(shorter).rc, 1004);
  longer[0] = shorter[0] = '\xFF';
  EXPECT_EQ(Parse(longer).rc, 1004);

  std::string unknown = frame;
  unknown[7] = 3;
  const Read r = Parse(unknown);
  EXPECT_EQ(r.rc, 1002);
  EXPECT_EQ(r.h.iEncoding, 3);
  EXPECT_EQ(r.h.sSpecVersionNumber, "\x06\x30");
  // A negative configured length cannot be read.
  EXPECT_EQ(Parse(frame, kUserSenderIdLength, -1).rc, 1008);
  EXPECT_EQ(Parse(frame, kUserSenderIdLength, kUserOwnerIdLength + 1).rc, 1004);
}

}  // namespace
}  // namespace kal
