// ep2 public-key records of keys made by `openssl genpkey`: the record is
// compared with one an independent python3 script builds from the key,
// exported, imported and parsed; every tampered byte, every truncation and
// every unwritable property gives its code. Key files and file dialogs.
#include "ep2/Ep2PublicKey.h"

#include <gtest/gtest.h>

#include <sstream>

#include "common/TestSupport.h"
#include "support/HexUtilities.h"

namespace kal {
namespace {

using test::FromHex;
using test::ToHex;
using TKey = TEp2PublicKey;

// Reads a PEM private key file name; prints modulus and exponent as hex,
// then the record for hash indicators 1 and 2 ("-" when the modulus does
// not fit indicator 1's length byte). Owner 1234567890, index 0xA7, expiry
// 2812, key algorithm indicator 0x11.
const char* const kPythonRecord = R"(
import hashlib, struct, sys
from cryptography.hazmat.primitives import serialization
with open(sys.stdin.read().strip(), 'rb') as f:
    numbers = serialization.load_pem_private_key(f.read(), None).public_key().public_numbers()
def raw(v):
    return v.to_bytes((v.bit_length() + 7) // 8, 'big')
n, e = raw(numbers.n), raw(numbers.e)
out = [n.hex(), e.hex()]
for indicator in (1, 2):
    if indicator == 1 and len(n) > 255:
        out.append('-')
        continue
    length = struct.pack('>H', len(n)) if indicator == 2 else bytes([len(n)])
    record = (bytes.fromhex('1234567890') + bytes([0xA7]) + bytes.fromhex('2812') +
              bytes([indicator, 0x11]) + length + bytes([len(e)]) + n + e)
    digest = hashlib.sha1 if indicator == 1 else hashlib.sha256
    out.append((record + digest(record).digest()).hex().upper())
print(' '.join(out))
)";

struct Chooser : IEp2PublicKeyFileChooser {
  bool accept = false;
  std::string choice, folderSeen;
  bool Choose(const std::string& folder, std::string& name) {
    folderSeen = folder;
    if (accept) name = choice;
    return accept;
  }
  bool ChooseOpenFile(const std::string& folder, std::string& name) override {
    return Choose(folder, name);
  }
  bool ChooseSaveFile(const std::string& folder, std::string& name) override {
    return Choose(folder, name);
  }
};

class Ep2PublicKey : public ::testing::Test {
 protected:
  void SetProperties(TKey& key, int indicator, const std::string& n, const std::string& e) {
    key.SetPublicKeyOwnerId("12 345 67890");
    key.SetPublicKeyIndex(0xA7);
    key.SetPublicKeyExpDate("2812");
    key.SetHashAlgorithmIndicator(indicator);
    key.SetPublicKeyAlgorithmIndicator(0x11);
    key.SetPublicKeyModulus(n);
    key.SetPublicKeyExponent(e);
  }
  int Parse(const std::string& hex) {
    TKey key;
    text.clear();
    return key.ParsePublicKeyData(hex, text);
  }

  test::TempDir dir;
  std::string text, data;
};

TEST_F(Ep2PublicKey, RecordsOfGeneratedKeysMatchAnIndependentBuildAndSurviveTheirFiles) {
  for (int bits : {1024, 2048, 4096}) {
    SCOPED_TRACE(bits);
    const std::string pem = dir.file("key" + std::to_string(bits) + ".pem");
    int status = -1;
    test::RunCommand("openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:" +
                         std::to_string(bits) + " -out " + pem + " 2>/dev/null",
                     "", &status);
    ASSERT_EQ(status, 0);
    std::istringstream out(test::RunPython(kPythonRecord, pem, &status));
    ASSERT_EQ(status, 0);
    std::string n, e, expected[2];
    out >> n >> e >> expected[0] >> expected[1];
    ASSERT_FALSE(expected[1].empty());

    for (int indicator : {1, 2}) {
      TKey key;
      SetProperties(key, indicator, n, e);  // lower-case compact hex
      const int rc = key.ComputeFormattedKey(data, text);
      if (expected[indicator - 1] == "-") {
        EXPECT_EQ(rc, 107);
        EXPECT_EQ(text, "Incorrect public modulus length");
        continue;
      }
      ASSERT_EQ(rc, 0);
      EXPECT_EQ(data, expected[indicator - 1]);
      EXPECT_EQ(key.GetPublicKeyModulusLength(), bits / 8);
      EXPECT_EQ(key.GetPublicKeyExponentLength(), 3);
      const std::string record = FromHex(data);
      EXPECT_EQ(key.GetHashResult(),
                UTHStringToHex(record.substr(record.size() - 20 - 12 * (indicator - 1))));

      key.SetFileName(dir.file("exported.key"));
      ASSERT_EQ(key.ExportFile(data, text), 0);
      EXPECT_EQ(text, "Export successfully completed!");
      EXPECT_EQ(test::ReadFile(dir.file("exported.key")), expected[indicator - 1] + "\r\n");

      TKey imported;
      imported.SetFileName(key.GetFileName());
      ASSERT_EQ(imported.ImportFile(data, text), 0) << text;
      EXPECT_EQ(text, "Import successfully completed!");
      EXPECT_EQ(imported.GetPublicKeyOwnerId(), "1234567890");
      EXPECT_EQ(imported.GetPublicKeyIndex(), 0xA7);
      EXPECT_EQ(imported.GetPublicKeyExpDate(), "2812");
      EXPECT_EQ(imported.GetHashAlgorithmIndicator(), indicator);
      EXPECT_EQ(imported.GetPublicKeyAlgorithmIndicator(), 0x11);
      EXPECT_EQ(imported.GetPublicKeyModulusLength(), bits / 8);
      EXPECT_EQ(imported.GetPublicKeyExponentLength(), 3);
      EXPECT_EQ(imported.GetPublicKeyModulus(), UTHStringToHex(FromHex(n)));
      EXPECT_EQ(imported.GetPublicKeyExponent(), "01 00 01");
      EXPECT_EQ(imported.GetHashResult(), key.GetHashResult());
      EXPECT_EQ(imported.GetComputedHashResult(), key.GetHashResult());

      // One changed bit anywhere but in the indicator and length fields
      // breaks the hash.
      const size_t lengths = indicator == 1 ? 2 : 3;
      for (size_t i = 0; i < record.size(); ++i) {
        if (i >= 8 && i < 10 + lengths && i != 9) continue;
        std::string tampered = record;
        tampered[i] ^= 1;
        ASSERT_EQ(Parse(ToHex(tampered)), 112) << i;
        ASSERT_EQ(text, "Hash verification failed");
      }
    }
  }
}

TEST_F(Ep2PublicKey, EachFieldTheDataCannotFillGivesItsCode) {
  TKey key;
  SetProperties(key, 1, "C3 5A 01 F7 89", "03");
  ASSERT_EQ(key.ComputeFormattedKey(data, text), 0);
  EXPECT_EQ(data.substr(0, 24),
            "1234567890A72812011105"
            "01");
  // Owner id, index, expiry date, indicators, the two lengths, modulus,
  // exponent and hash, with the code of each.
  const std::vector<std::pair<size_t, int>> fields = {{5, 100}, {1, 102}, {2, 103}, {1, 105},
                                                      {1, 106}, {1, 107}, {1, 108}, {5, 109},
                                                      {1, 110}, {20, 111}};
  size_t end = 0;
  for (const auto& [size, code] : fields) {
    for (size_t n = end; n < end + size; ++n) EXPECT_EQ(Parse(data.substr(0, 2 * n)), code) << n;
    end += size;
  }
  EXPECT_EQ(Parse(data + "00 junk"), 0);  // bytes after the hash are ignored
  EXPECT_EQ(Parse(data.substr(0, 10) + " " + data.substr(10)), 0);
  EXPECT_EQ(Parse(data.substr(0, 34) + "xx" + data.substr(34)), 110);  // reading stops there

  EXPECT_EQ(Parse("1A" + data.substr(2)), 101);
  EXPECT_EQ(text, "Incorrect public key owner identifier (compressed numeric conversion failed)");
  EXPECT_EQ(Parse(data.substr(0, 12) + "2F" + data.substr(14)), 104);
  EXPECT_EQ(Parse(data.substr(0, 20) + "00" + data.substr(22)), 107);  // empty modulus
  SetProperties(key, 2, "C3 5A 01 F7 89", "03");
  ASSERT_EQ(key.ComputeFormattedKey(data, text), 0);
  EXPECT_EQ(data.substr(20, 6), "000501");
  EXPECT_EQ(Parse(data.substr(0, 16) + "03" + data.substr(18)), 112);
  EXPECT_EQ(text, "Hash algorithm indicator not 1 or 2, hash not verified");
}

TEST_F(Ep2PublicKey, PropertiesThatCannotBeWrittenAreRefused) {
  auto build = [this](void (*change)(TKey&)) {
    TKey key;
    SetProperties(key, 1, "C3 5A", "03");
    EXPECT_EQ(key.ComputeFormattedKey(data, text), 0);
    change(key);
    const int rc = key.ComputeFormattedKey(data, text);
    EXPECT_EQ(data + key.GetHashResult(), "");
    return rc;
  };
  EXPECT_EQ(build([](TKey& k) { k.SetPublicKeyOwnerId("123456789"); }), 100);
  EXPECT_EQ(text, "Incorrect public key owner identifier");
  EXPECT_EQ(build([](TKey& k) { k.SetPublicKeyOwnerId("12345678901"); }), 100);
  EXPECT_EQ(build([](TKey& k) { k.SetPublicKeyOwnerId("12345678A0"); }), 100);
  EXPECT_EQ(build([](TKey& k) { k.SetPublicKeyIndex(256); }), 102);
  EXPECT_EQ(build([](TKey& k) { k.SetPublicKeyIndex(-1); }), 102);
  EXPECT_EQ(build([](TKey& k) { k.SetPublicKeyExpDate("281"); }), 103);
  EXPECT_EQ(build([](TKey& k) { k.SetPublicKeyExpDate("28F2"); }), 103);
  EXPECT_EQ(build([](TKey& k) { k.SetPublicKeyAlgorithmIndicator(256); }), 106);
  EXPECT_EQ(build([](TKey& k) { k.SetPublicKeyModulus("C3 5A 0"); }), 109);
  EXPECT_EQ(build([](TKey& k) { k.SetPublicKeyModulus(""); }), 109);
  EXPECT_EQ(build([](TKey& k) { k.SetPublicKeyExponent("0G"); }), 110);
  EXPECT_EQ(build([](TKey& k) { k.SetPublicKeyExponent(std::string(512, '1')); }), 108);
  EXPECT_EQ(text, "Incorrect public key exponent length");
  EXPECT_EQ(build([](TKey& k) { k.SetHashAlgorithmIndicator(3); }), 112);
  EXPECT_EQ(text, "Hash algorithm indicator not 1 or 2, hash not set");
}

TEST_F(Ep2PublicKey, KeyFilesAndFileDialogs) {
  TKey key;
  SetProperties(key, 2, "C3 5A 01", "03");
  ASSERT_EQ(key.ComputeFormattedKey(data, text), 0);
  const std::string record = data;
  const std::string file = dir.file("keys.txt");
  test::WriteFile(file, "# ep2 key\r\n   \r\n" + record.substr(0, 20) + " " + record.substr(20) +
                            "\r\n" + record + "\r\n");
  TKey imported;
  imported.SetFileName(file);
  ASSERT_EQ(imported.FindKeyLine(data), 0);
  EXPECT_EQ(data, record);
  ASSERT_EQ(imported.ImportFile(data, text), 0);
  EXPECT_EQ(imported.GetPublicKeyModulus(), "C3 5A 01");

  test::WriteFile(file, "# none\n\n  \nZZ\n");
  EXPECT_EQ(imported.ImportFile(data, text), 1);
  EXPECT_EQ(text, "No key found");
  imported.SetFileName(dir.file("missing.key"));
  EXPECT_EQ(imported.ImportFile(data, text), 2);
  EXPECT_EQ(text, "File " + dir.file("missing.key") + " does not exist");

  // Dialogs: cancelling keeps the file name; a choice replaces it.
  Chooser chooser;
  TKey dialogs(&chooser);
  SetProperties(dialogs, 2, "C3 5A 01", "03");
  dialogs.SetShowFileDialog(true);
  dialogs.SetFileName(dir.file("old.key"));
  EXPECT_EQ(dialogs.ExportFile(data, text), 1);
  EXPECT_EQ(text, "Export aborted during file dialog");
  EXPECT_EQ(dialogs.ImportFile(data, text), 1);
  EXPECT_EQ(text, "Import aborted during file dialog");
  EXPECT_EQ(chooser.folderSeen + "/", dir.path());
  EXPECT_EQ(dialogs.GetFileName(), dir.file("old.key"));
  chooser.accept = true;
  chooser.choice = dir.file("new.key");
  ASSERT_EQ(dialogs.ExportFile(data, text), 0);
  EXPECT_EQ(dialogs.GetFileName(), dir.file("new.key"));
  EXPECT_EQ(test::ReadFile(dir.file("new.key")), record + "\r\n");
  ASSERT_EQ(dialogs.ImportFile(data, text), 0);

  TKey noChooser;
  noChooser.SetShowFileDialog(true);
  EXPECT_EQ(noChooser.ImportFile(data, text), 1);
  dialogs.SetShowFileDialog(false);
  dialogs.SetFileName(dir.file("no/such/folder.key"));
  EXPECT_EQ(dialogs.ExportFile(data, text), 2);
  EXPECT_EQ(text, "File " + dir.file("no/such/folder.key") + " could not be written");
}

}  // namespace
}  // namespace kal
