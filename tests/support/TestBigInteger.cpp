// Big integers: conversions, arithmetic and the Montgomery
// modular power, checked by hand-made cases and differentially against
// OpenSSL's BIGNUM on random operands.
#include "support/BigInteger.h"

#include <gtest/gtest.h>
#include <openssl/bn.h>

#include <memory>
#include <random>
#include <string>

#include "common/TestSupport.h"

namespace kal {
namespace {

using test::FromHex;
using test::ToHex;

TFGInt Dec(std::string_view s) {
  TFGInt n;
  EXPECT_TRUE(Base10StringToFGInt(s, n)) << s;
  return n;
}

std::string Dec(const TFGInt& n) {
  std::string s;
  FGIntToBase10String(n, s);
  return s;
}

TFGInt Bytes(std::string_view b) {
  TFGInt n;
  Base256StringToFGInt(b, n);
  return n;
}

// --- OpenSSL side ---

struct BnFree {
  void operator()(BIGNUM* b) const { BN_clear_free(b); }
};
using Bn = std::unique_ptr<BIGNUM, BnFree>;

struct CtxFree {
  void operator()(BN_CTX* c) const { BN_CTX_free(c); }
};

Bn ToBn(const TFGInt& n) {
  BIGNUM* b = nullptr;
  std::string s;
  FGIntToBase10String(n, s);
  EXPECT_GT(BN_dec2bn(&b, s.c_str()), 0);
  return Bn(b);
}

std::string BnDec(const BIGNUM* b) {
  char* s = BN_bn2dec(b);
  std::string r(s);
  OPENSSL_free(s);
  return r;
}

std::string RandomBytes(std::mt19937_64& rng, size_t n) {
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

// A random value of exactly `bits` bits (top bit set), optionally odd.
TFGInt RandomBits(std::mt19937_64& rng, size_t bits, bool odd) {
  std::string b = RandomBytes(rng, (bits + 7) / 8);
  const size_t extra = b.size() * 8 - bits;
  b[0] = static_cast<char>(static_cast<uint8_t>(b[0]) & (0xFFu >> extra));
  b[0] = static_cast<char>(static_cast<uint8_t>(b[0]) | (0x80u >> extra));
  if (odd) b.back() = static_cast<char>(b.back() | 1);
  return Bytes(b);
}

TFGInt RandomSigned(std::mt19937_64& rng, size_t maxBytes) {
  TFGInt n = Bytes(RandomBytes(rng, rng() % (maxBytes + 1)));
  if (rng() % 2) FGIntChangeSign(n);
  return n;
}

// --- Conversions ---

TEST(BigIntegerConversion, Base256RoundTripDropsLeadingZeros) {
  EXPECT_EQ(ToHex([] {
              std::string s;
              FGIntToBase256String(Bytes(FromHex("00 00 8c 69 50")), s);
              return s;
            }()),
            "8C6950");
  EXPECT_EQ(Dec(Bytes(FromHex("8c6950"))), "9202000");  // PKCS #1 example
  std::string s;
  FGIntToBase256String(Bytes(""), s);
  EXPECT_EQ(s, std::string(1, '\0'));
  EXPECT_TRUE(Bytes("").IsZero());
}

TEST(BigIntegerConversion, BitTexts) {
  std::string bits;
  ConvertBase256to2(FromHex("05 a0"), bits);
  EXPECT_EQ(bits, "0000010110100000");
  std::string bytes;
  ASSERT_TRUE(ConvertBase2to256("101", bytes));
  EXPECT_EQ(ToHex(bytes), "05");
  ASSERT_TRUE(ConvertBase2to256("110000000", bytes));
  EXPECT_EQ(ToHex(bytes), "0180");
  ASSERT_TRUE(ConvertBase2to256("", bytes));
  EXPECT_EQ(bytes, "");
  EXPECT_FALSE(ConvertBase2to256("10201", bytes));

  FGIntToBase2String(Dec("1440"), bits);
  EXPECT_EQ(bits, "10110100000");
  FGIntToBase2String(TFGInt(), bits);
  EXPECT_EQ(bits, "0");
  TFGInt n;
  ASSERT_TRUE(Base2StringToFGInt("0000010110100000", n));
  EXPECT_EQ(Dec(n), "1440");
  ASSERT_TRUE(Base2StringToFGInt("", n));
  EXPECT_TRUE(n.IsZero());
  EXPECT_FALSE(Base2StringToFGInt("12", n));
}

TEST(BigIntegerConversion, EightBitTables) {
  std::array<std::string, 256> trans;
  initialize8(trans);
  EXPECT_EQ(trans[0], "00000000");
  EXPECT_EQ(trans[0xA5], "10100101");
  EXPECT_EQ(trans[255], "11111111");
  for (int b = 0; b < 256; ++b) EXPECT_EQ(static_cast<uint8_t>(zeronetochar8(trans[b])), b);
}

TEST(BigIntegerConversion, Base10) {
  EXPECT_EQ(Dec(Dec("0")), "0");
  EXPECT_EQ(Dec(Dec("-0")), "0");
  EXPECT_EQ(Dec(Dec("000123")), "123");
  EXPECT_EQ(Dec(Dec("-18446744073709551616")), "-18446744073709551616");
  const std::string big = "123456789012345678901234567890123456789012345678901234567890";
  EXPECT_EQ(Dec(Dec(big)), big);
  TFGInt n;
  EXPECT_FALSE(Base10StringToFGInt("", n));
  EXPECT_FALSE(Base10StringToFGInt("-", n));
  EXPECT_FALSE(Base10StringToFGInt("12a", n));
  EXPECT_FALSE(Base10StringToFGInt("+1", n));
}

TEST(BigIntegerConversion, RandomRoundTripsMatchOpenSsl) {
  std::mt19937_64 rng(10);
  for (int round = 0; round < 300; ++round) {
    const std::string b = RandomBytes(rng, rng() % 600);
    const TFGInt n = Bytes(b);
    Bn bn(BN_bin2bn(reinterpret_cast<const unsigned char*>(b.data()), static_cast<int>(b.size()),
                    nullptr));
    EXPECT_EQ(Dec(n), BnDec(bn.get()));
    EXPECT_EQ(Dec(Dec(Dec(n))), Dec(n));
    std::string bits, back;
    FGIntToBase2String(n, bits);
    TFGInt m;
    ASSERT_TRUE(Base2StringToFGInt(bits, m));
    EXPECT_EQ(Dec(m), Dec(n));
    ConvertBase256to2(b, bits);
    ASSERT_TRUE(ConvertBase2to256(bits, back));
    EXPECT_EQ(back, b);
    EXPECT_EQ(n.BitLength(), static_cast<size_t>(BN_num_bits(bn.get())));
  }
}

// --- Arithmetic ---

TEST(BigIntegerArithmetic, SignsAndSmallCases) {
  TFGInt r;
  FGIntAdd(Dec("5"), Dec("-7"), r);
  EXPECT_EQ(Dec(r), "-2");
  FGIntSub(Dec("-5"), Dec("-5"), r);
  EXPECT_EQ(Dec(r), "0");
  EXPECT_EQ(r.Sign, TSign::positive);
  FGIntMul(Dec("-3"), Dec("4"), r);
  EXPECT_EQ(Dec(r), "-12");
  FGIntSquare(Dec("-3"), r);
  EXPECT_EQ(Dec(r), "9");
  r = Dec("-9");
  FGIntAbs(r);
  EXPECT_EQ(Dec(r), "9");
  FGIntChangeSign(r);
  EXPECT_EQ(Dec(r), "-9");
  r = Dec("0");
  FGIntChangeSign(r);
  EXPECT_EQ(Dec(r), "0");
  EXPECT_EQ(FGIntCompareAbs(Dec("-10"), Dec("9")), TCompare::Greater);
  EXPECT_EQ(FGIntCompareAbs(Dec("-10"), Dec("10")), TCompare::Equal);
  EXPECT_EQ(FGIntCompareAbs(Dec("3"), Dec("-10")), TCompare::Smaller);
  TFGInt c;
  FGIntCopy(Dec("-77"), c);
  EXPECT_EQ(Dec(c), "-77");
  r = Dec("100");
  FGIntSubBis(r, Dec("142"));
  EXPECT_EQ(Dec(r), "-42");
  FGIntDestroy(r);
  EXPECT_TRUE(r.IsZero());
}

TEST(BigIntegerArithmetic, OutputsMayBeInputs) {
  TFGInt a = Dec("123456789123456789123456789");
  FGIntMul(a, a, a);
  EXPECT_EQ(Dec(a), "15241578780673678546105778281054720515622620750190521");
  TFGInt q = Dec("1000"), m;
  ASSERT_TRUE(FGIntDivMod(q, Dec("7"), q, m));
  EXPECT_EQ(Dec(q), "142");
  EXPECT_EQ(Dec(m), "6");
}

TEST(BigIntegerArithmetic, WordOperations) {
  TFGInt a = Dec("18446744073709551615");
  FGIntMulByIntbis(a, 4294967295u);
  EXPECT_EQ(Dec(a), "79228162495817593515539431425");
  uint32_t rem = 0;
  ASSERT_TRUE(FGIntDivByIntBis(a, 10u, rem));
  EXPECT_EQ(Dec(a), "7922816249581759351553943142");
  EXPECT_EQ(rem, 5u);
  a = Dec("-17");
  ASSERT_TRUE(GIntDivByIntBis1(a, 5u, rem));
  EXPECT_EQ(Dec(a), "-3");
  EXPECT_EQ(rem, 2u);
  EXPECT_FALSE(FGIntDivByIntBis(a, 0u, rem));
  EXPECT_EQ(Dec(a), "-3");

  a = Dec("5");
  FGIntShiftLeftBy31(a);
  EXPECT_EQ(Dec(a), "10737418240");
  FGIntShiftLeftBy31(a);
  FGIntShiftLeftBy31(a);
  FGIntShiftRightBy31(a);
  FGIntShiftRightBy31(a);
  FGIntShiftRightBy31(a);
  EXPECT_EQ(Dec(a), "5");
  FGIntShiftRightBy31(a);
  EXPECT_TRUE(a.IsZero());
}

TEST(BigIntegerArithmetic, DivisionByZeroIsRefused) {
  TFGInt q = Dec("1"), m = Dec("2");
  EXPECT_FALSE(FGIntDivMod(Dec("5"), Dec("0"), q, m));
  EXPECT_FALSE(FGIntMod(Dec("5"), Dec("0"), m));
  EXPECT_FALSE(FGIntAddMod(Dec("5"), Dec("1"), Dec("0"), m));
  EXPECT_FALSE(FGIntMulMod(Dec("5"), Dec("1"), Dec("0"), m));
  EXPECT_EQ(Dec(q), "1");
  EXPECT_EQ(Dec(m), "2");
}

TEST(BigIntegerArithmetic, RemaindersAreNonNegative) {
  TFGInt q, m;
  ASSERT_TRUE(FGIntDivMod(Dec("-7"), Dec("3"), q, m));
  EXPECT_EQ(Dec(q), "-3");
  EXPECT_EQ(Dec(m), "2");
  ASSERT_TRUE(FGIntDivMod(Dec("7"), Dec("-3"), q, m));
  EXPECT_EQ(Dec(q), "-2");
  EXPECT_EQ(Dec(m), "1");
  ASSERT_TRUE(FGIntDivMod(Dec("-7"), Dec("-3"), q, m));
  EXPECT_EQ(Dec(q), "3");
  EXPECT_EQ(Dec(m), "2");
  ASSERT_TRUE(FGIntDivMod(Dec("-6"), Dec("3"), q, m));
  EXPECT_EQ(Dec(q), "-2");
  EXPECT_EQ(Dec(m), "0");
}

TEST(BigIntegerArithmetic, RandomOperandsMatchOpenSsl) {
  std::unique_ptr<BN_CTX, CtxFree> ctx(BN_CTX_new());
  std::mt19937_64 rng(20);
  for (int round = 0; round < 400; ++round) {
    const TFGInt a = RandomSigned(rng, 200), b = RandomSigned(rng, round % 3 ? 90 : 200);
    const Bn A = ToBn(a), B = ToBn(b);
    Bn R(BN_new()), Q(BN_new());
    TFGInt r, q;
    FGIntAdd(a, b, r);
    BN_add(R.get(), A.get(), B.get());
    EXPECT_EQ(Dec(r), BnDec(R.get()));
    FGIntSub(a, b, r);
    BN_sub(R.get(), A.get(), B.get());
    EXPECT_EQ(Dec(r), BnDec(R.get()));
    FGIntMul(a, b, r);
    BN_mul(R.get(), A.get(), B.get(), ctx.get());
    EXPECT_EQ(Dec(r), BnDec(R.get()));
    FGIntSquare(a, r);
    BN_sqr(R.get(), A.get(), ctx.get());
    EXPECT_EQ(Dec(r), BnDec(R.get()));
    FGIntGCD(a, b, r);
    BN_gcd(R.get(), A.get(), B.get(), ctx.get());
    EXPECT_EQ(Dec(r), BnDec(R.get()));
    if (!b.IsZero()) {
      // BN_nnmod gives the remainder in [0, |b|) like FGIntMod.
      ASSERT_TRUE(FGIntMod(a, b, r));
      BN_nnmod(R.get(), A.get(), B.get(), ctx.get());
      EXPECT_EQ(Dec(r), BnDec(R.get()));
      // a = q * b + r
      TFGInt back, qb;
      ASSERT_TRUE(FGIntDivMod(a, b, q, r));
      FGIntMul(q, b, qb);
      FGIntAdd(qb, r, back);
      EXPECT_EQ(Dec(back), Dec(a));
      TFGInt mm;
      ASSERT_TRUE(FGIntMulMod(a, a, b, mm));
      BN_mod_mul(R.get(), A.get(), A.get(), B.get(), ctx.get());
      BN_nnmod(R.get(), R.get(), B.get(), ctx.get());
      EXPECT_EQ(Dec(mm), BnDec(R.get()));
      ASSERT_TRUE(FGIntAddMod(a, b, b, mm));
      BN_nnmod(R.get(), A.get(), B.get(), ctx.get());
      EXPECT_EQ(Dec(mm), BnDec(R.get()));
      TFGInt babs = b;
      FGIntAbs(babs);
      const Bn Babs = ToBn(babs);
      TFGInt inv;
      if (BN_is_one(Babs.get())) continue;  // OpenSSL refuses modulus 1
      BIGNUM* refInv = BN_mod_inverse(nullptr, A.get(), Babs.get(), ctx.get());
      ASSERT_EQ(FGIntModInv(a, babs, inv), refInv != nullptr) << Dec(a) << " " << Dec(babs);
      if (refInv != nullptr) {
        EXPECT_EQ(Dec(inv), BnDec(refInv));
        BN_free(refInv);
      }
    }
  }
}

// Divisors whose top limb makes the quotient estimate too large (the
// add-back branch of long division) and quotients of all-ones limbs.
TEST(BigIntegerArithmetic, LongDivisionEdgeCases) {
  std::unique_ptr<BN_CTX, CtxFree> ctx(BN_CTX_new());
  const char* cases[][2] = {
      // u = [0, 0, 2^63, 2^63 - 1], v = [1, 0, 2^63] (limbs, least significant
      // first): the two-limb estimate of the quotient limb is one too large
      // and the add-back step corrects it.
      {"57896044618658097708646941636650613544717097621216448811677614281724547563520",
       "3138550867693340381917894711603833208051177722232017256449"},
      {"340282366920938463463374607431768211455", "18446744073709551617"},
      {"115792089237316195423570985008687907853269984665640564039457584007913129639935",
       "340282366920938463463374607431768211456"},
      {"6277101735386680763835789423207666416102355444464034512895",
       "6277101735386680763835789423207666416083908700390324961279"},
      {"39402006196394479212279040100143613805079739270465446667948293404245721771497210611414266"
       "254884915640806627990306815",
       "340282366920938463444927863358058659839"},
  };
  for (const auto& c : cases) {
    TFGInt q, m;
    ASSERT_TRUE(FGIntDivMod(Dec(c[0]), Dec(c[1]), q, m));
    Bn Q(BN_new()), M(BN_new());
    BN_div(Q.get(), M.get(), ToBn(Dec(c[0])).get(), ToBn(Dec(c[1])).get(), ctx.get());
    EXPECT_EQ(Dec(q), BnDec(Q.get())) << c[0];
    EXPECT_EQ(Dec(m), BnDec(M.get())) << c[0];
  }
  // Random divisors with limb patterns near 2^64 boundaries.
  std::mt19937_64 rng(30);
  for (int round = 0; round < 500; ++round) {
    std::string ub, vb;
    for (size_t i = 0, n = 8 * (2 + rng() % 8); i < n; ++i)
      ub += static_cast<char>(rng() % 3 == 0 ? 0xFF : (rng() % 2 ? 0 : rng()));
    for (size_t i = 0, n = 8 * (1 + rng() % 4); i < n; ++i)
      vb += static_cast<char>(rng() % 3 == 0 ? 0xFF : (rng() % 2 ? 0 : rng()));
    const TFGInt u = Bytes(ub), v = Bytes(vb);
    if (v.IsZero()) continue;
    TFGInt q, m;
    ASSERT_TRUE(FGIntDivMod(u, v, q, m));
    Bn Q(BN_new()), M(BN_new());
    BN_div(Q.get(), M.get(), ToBn(u).get(), ToBn(v).get(), ctx.get());
    EXPECT_EQ(Dec(q), BnDec(Q.get()));
    EXPECT_EQ(Dec(m), BnDec(M.get()));
  }
}

TEST(BigIntegerArithmetic, PowerOfTwoModuli) {
  TFGInt r;
  FGIntModBis(Dec("-1000"), r, 8);
  EXPECT_EQ(Dec(r), "232");  // |-1000| mod 256
  FGIntModBis(Dec("340282366920938463463374607431768211455"), r, 65);
  EXPECT_EQ(Dec(r), "36893488147419103231");
  FGIntModBis(Dec("12345"), r, 0);
  EXPECT_TRUE(r.IsZero());
  FGIntMulModBis(Dec("18446744073709551615"), Dec("18446744073709551615"), r, 64);
  EXPECT_EQ(Dec(r), "1");
  FGIntMulModBis(Dec("300"), Dec("300"), r, 16);
  EXPECT_EQ(Dec(r), "24464");  // 90000 mod 65536
}

// REDC with R = 2^bits: t * R^-1 mod base.
TEST(BigIntegerMontgomery, ReductionMatchesTheDefinition) {
  std::mt19937_64 rng(40);
  for (int round = 0; round < 100; ++round) {
    const size_t nbits = 2 + rng() % 300;
    const TFGInt n = RandomBits(rng, nbits, true);
    const size_t bits = nbits + rng() % 70;
    TFGInt R = Dec("1");
    for (size_t i = 0; i < bits; ++i) FGIntMulByIntbis(R, 2);
    // baseInv = -n^-1 mod R
    TFGInt inv, nInv;
    ASSERT_TRUE(FGIntModInv(n, R, inv));
    FGIntSub(R, inv, nInv);
    TFGInt t;
    {
      TFGInt nr, x = Bytes(RandomBytes(rng, (nbits + bits) / 8 + 1));
      FGIntMul(n, R, nr);
      ASSERT_TRUE(FGIntMod(x, nr, t));  // 0 <= t < n R
    }
    TFGInt res;
    ASSERT_TRUE(FGIntMontgomeryMod(t, n, nInv, res, bits));
    // res * R = t (mod n)
    TFGInt lhs, rhs;
    ASSERT_TRUE(FGIntMulMod(res, R, n, lhs));
    ASSERT_TRUE(FGIntMod(t, n, rhs));
    EXPECT_EQ(Dec(lhs), Dec(rhs));
    EXPECT_EQ(FGIntCompareAbs(res, n), TCompare::Smaller);
  }
  TFGInt res;
  EXPECT_FALSE(FGIntMontgomeryMod(Dec("5"), Dec("10"), Dec("1"), res, 8));   // even base
  EXPECT_FALSE(FGIntMontgomeryMod(Dec("5"), Dec("300"), Dec("1"), res, 8));  // R < base
}

class ModExpBits : public ::testing::TestWithParam<size_t> {};

// BN_mod_exp as the reference, for moduli of 512 to 4096 bits including
// lengths that are not a multiple of 8 (or of 64).
TEST_P(ModExpBits, MatchesOpenSsl) {
  const size_t bits = GetParam();
  std::unique_ptr<BN_CTX, CtxFree> ctx(BN_CTX_new());
  std::mt19937_64 rng(bits);
  const int rounds = bits > 2048 ? 3 : 6;
  for (int round = 0; round < rounds; ++round) {
    const TFGInt n = RandomBits(rng, bits, true);
    const TFGInt a = Bytes(RandomBytes(rng, bits / 8 + (round % 2 ? 8 : 0)));  // also >= n
    const size_t ebits = round == 0 ? 17 : 1 + rng() % bits;
    const TFGInt e = RandomBits(rng, ebits, false);
    TFGInt r;
    ASSERT_TRUE(FGIntMontgomeryModExp(a, e, n, r));
    Bn R(BN_new());
    ASSERT_EQ(BN_mod_exp(R.get(), ToBn(a).get(), ToBn(e).get(), ToBn(n).get(), ctx.get()), 1);
    EXPECT_EQ(Dec(r), BnDec(R.get())) << "bits=" << bits << " round=" << round;
  }
}

INSTANTIATE_TEST_SUITE_P(Moduli, ModExpBits,
                         ::testing::Values(512, 513, 521, 767, 1000, 1023, 1024, 1025, 1536, 2047,
                                           2048, 2049, 2051, 3072, 3077, 4095, 4096),
                         [](const auto& info) { return "Bits" + std::to_string(info.param); });

TEST(BigIntegerMontgomery, SmallAndSpecialOperands) {
  std::unique_ptr<BN_CTX, CtxFree> ctx(BN_CTX_new());
  TFGInt r;
  ASSERT_TRUE(FGIntMontgomeryModExp(Dec("4"), Dec("13"), Dec("497"), r));
  EXPECT_EQ(Dec(r), "445");
  ASSERT_TRUE(FGIntMontgomeryModExp(Dec("4"), Dec("0"), Dec("497"), r));
  EXPECT_EQ(Dec(r), "1");
  ASSERT_TRUE(FGIntMontgomeryModExp(Dec("0"), Dec("5"), Dec("497"), r));
  EXPECT_EQ(Dec(r), "0");
  ASSERT_TRUE(FGIntMontgomeryModExp(Dec("4"), Dec("13"), Dec("1"), r));
  EXPECT_EQ(Dec(r), "0");
  ASSERT_TRUE(FGIntMontgomeryModExp(Dec("-4"), Dec("3"), Dec("497"), r));
  EXPECT_EQ(Dec(r), "433");  // (-64) mod 497
  // Even moduli take the division path.
  ASSERT_TRUE(FGIntMontgomeryModExp(Dec("3"), Dec("200"), Dec("1000"), r));
  EXPECT_EQ(Dec(r), "1");
  std::mt19937_64 rng(50);
  for (int round = 0; round < 40; ++round) {
    TFGInt n = Bytes(RandomBytes(rng, 1 + rng() % 80));
    if (n.IsZero()) continue;
    const TFGInt a = Bytes(RandomBytes(rng, rng() % 90)), e = Bytes(RandomBytes(rng, rng() % 20));
    ASSERT_TRUE(FGIntMontgomeryModExp(a, e, n, r));
    Bn R(BN_new());
    ASSERT_EQ(BN_mod_exp(R.get(), ToBn(a).get(), ToBn(e).get(), ToBn(n).get(), ctx.get()), 1);
    EXPECT_EQ(Dec(r), BnDec(R.get()));
  }
  r = Dec("77");
  EXPECT_FALSE(FGIntMontgomeryModExp(Dec("4"), Dec("13"), Dec("0"), r));
  EXPECT_FALSE(FGIntMontgomeryModExp(Dec("4"), Dec("13"), Dec("-497"), r));
  EXPECT_FALSE(FGIntMontgomeryModExp(Dec("4"), Dec("-1"), Dec("497"), r));
  EXPECT_EQ(Dec(r), "77");
}

}  // namespace
}  // namespace kal
