#pragma once

// Arbitrary-size signed integers (the FGInt routines), for RSA
// with moduli of any length (Rsa.h).
//
// Values are held in private 64-bit limbs; no caller sees the layout. The
// routines keep their historical names and argument order; results are
// written to the last (reference) arguments, which may be the same objects as
// the inputs. Routines that can be given operands without a defined result
// (a zero divisor, an even modulus for Montgomery reduction, ...) return
// false and leave their outputs unchanged.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kal {

enum class TSign { negative, positive };
enum class TCompare { Smaller, Equal, Greater };

class TFGInt {
 public:
  TSign Sign = TSign::positive;

  TFGInt() = default;
  TFGInt(const TFGInt&) = default;
  TFGInt(TFGInt&&) noexcept = default;
  TFGInt& operator=(const TFGInt&) = default;
  TFGInt& operator=(TFGInt&&) noexcept = default;
  ~TFGInt();  // overwrites the limbs (exponents and keys pass through here)

  bool IsZero() const { return Number.empty(); }
  bool IsOdd() const { return !Number.empty() && (Number[0] & 1u) != 0; }
  // Bit length of the magnitude (0 for zero).
  size_t BitLength() const;

 private:
  friend struct TFGIntAccess;  // the routines in BigInteger.cpp
  // The magnitude's limbs (64 bits), least significant first, without high
  // zero limbs; zero is an empty vector with a positive sign. Callers see
  // values only through the routines below.
  std::vector<uint64_t> Number;
};

// --- Conversions. Bit texts are strings of '0' and '1', most significant
// bit first; byte strings are big-endian. ---

// Big-endian bytes to a non-negative integer (leading zero bytes ignored; the
// empty string is 0).
void Base256StringToFGInt(std::string_view str256, TFGInt& n);
// The magnitude as big-endian bytes without leading zero bytes; 0 gives one
// byte 0x00.
void FGIntToBase256String(const TFGInt& n, std::string& str256);
// 8 bits per byte, leading zeros kept.
void ConvertBase256to2(std::string_view str256, std::string& str2);
// Bits left-padded with '0' to a multiple of 8, then 8 bits per byte. False
// (str256 unchanged) when a character is neither '0' nor '1'.
[[nodiscard]] bool ConvertBase2to256(std::string_view str2, std::string& str256);
// The magnitude's bits without leading zeros; 0 gives "0".
void FGIntToBase2String(const TFGInt& n, std::string& str2);
// Bits (leading zeros ignored; "" is 0) to a non-negative integer. False when
// a character is neither '0' nor '1'.
[[nodiscard]] bool Base2StringToFGInt(std::string_view str2, TFGInt& n);
// Decimal digits with an optional leading '-'. False on anything else
// (including an empty text or a lone '-').
[[nodiscard]] bool Base10StringToFGInt(std::string_view str10, TFGInt& n);
// Decimal, with '-' in front of a negative value.
void FGIntToBase10String(const TFGInt& n, std::string& str10);
// The byte whose 8-bit text is `eight` ('1' sets a bit, any other character
// clears it; bits beyond the eighth are ignored).
char zeronetochar8(std::string_view eight);
// trans[b] = the 8-bit text of byte b.
void initialize8(std::array<std::string, 256>& trans);

// --- Arithmetic ---

void FGIntAdd(const TFGInt& a, const TFGInt& b, TFGInt& sum);
void FGIntSub(const TFGInt& a, const TFGInt& b, TFGInt& dif);  // a - b
void FGIntChangeSign(TFGInt& a);
void FGIntAbs(TFGInt& a);
void FGIntCopy(const TFGInt& from, TFGInt& to);
TCompare FGIntCompareAbs(const TFGInt& a, const TFGInt& b);
void FGIntMul(const TFGInt& a, const TFGInt& b, TFGInt& prod);
void FGIntSquare(const TFGInt& a, TFGInt& square);
// a := a * by.
void FGIntMulByIntbis(TFGInt& a, uint32_t by);
// a := a div by (the magnitude, truncated; the sign stays), modres := the
// magnitude's remainder. False when by is 0.
[[nodiscard]] bool FGIntDivByIntBis(TFGInt& a, uint32_t by, uint32_t& modres);
// The same division, kept as a second in-place form for its callers.
[[nodiscard]] bool GIntDivByIntBis1(TFGInt& a, uint32_t by, uint32_t& modres);
// a := a * 2^31 and a := a div 2^31 (magnitude, truncated; sign stays).
void FGIntShiftLeftBy31(TFGInt& a);
void FGIntShiftRightBy31(TFGInt& a);
// a := a - b.
void FGIntSubBis(TFGInt& a, const TFGInt& b);
// a = q * b + m with 0 <= m < |b|. False when b is 0.
[[nodiscard]] bool FGIntDivMod(const TFGInt& a, const TFGInt& b, TFGInt& q, TFGInt& m);
// m = a mod b with 0 <= m < |b|. False when b is 0.
[[nodiscard]] bool FGIntMod(const TFGInt& a, const TFGInt& b, TFGInt& m);
// (a + b) mod base and (a * b) mod base, in [0, |base|). False when base is 0.
[[nodiscard]] bool FGIntAddMod(const TFGInt& a, const TFGInt& b, const TFGInt& base, TFGInt& res);
[[nodiscard]] bool FGIntMulMod(const TFGInt& a, const TFGInt& b, const TFGInt& base, TFGInt& res);
// The Montgomery helpers modulo R = 2^bits: |a| mod R, and |a * b| mod R.
void FGIntModBis(const TFGInt& a, TFGInt& out, size_t bits);
void FGIntMulModBis(const TFGInt& a, const TFGInt& b, TFGInt& prod, size_t bits);
// Montgomery reduction with R = 2^bits: res = t * R^-1 mod base, given
// baseInv = -base^-1 mod R. Requires an odd base > 0, R > base and
// 0 <= t < base * R; false otherwise.
[[nodiscard]] bool FGIntMontgomeryMod(const TFGInt& t, const TFGInt& base, const TFGInt& baseInv,
                                      TFGInt& res, size_t bits);
// res = a^exp mod modb in [0, modb), by Montgomery multiplication on 64-bit
// limbs with a sliding window. An even modulus takes a slower path by
// division. False when modb <= 0 or exp < 0. A negative a is taken modulo
// modb first; a^0 is 1 mod modb.
[[nodiscard]] bool FGIntMontgomeryModExp(const TFGInt& a, const TFGInt& exp, const TFGInt& modb,
                                         TFGInt& res);
// The greatest common divisor of |a| and |b| (gcd(0, 0) = 0).
void FGIntGCD(const TFGInt& a, const TFGInt& b, TFGInt& gcd);
// inverse with a * inverse = 1 mod base, in [0, base). False when base <= 0
// or gcd(a, base) != 1 (modulo 1 every value is 0, the inverse too).
[[nodiscard]] bool FGIntModInv(const TFGInt& a, const TFGInt& base, TFGInt& inverse);
// Overwrites and frees the limbs; the value becomes 0.
void FGIntDestroy(TFGInt& a);

}  // namespace kal
