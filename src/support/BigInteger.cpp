#include "support/BigInteger.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "support/SecureWipe.h"

namespace kal {

namespace {

using limb = uint64_t;
using dlimb = unsigned __int128;
using Limbs = std::vector<limb>;

}  // namespace

// The only door to a value's limbs.
struct TFGIntAccess {
  static Limbs& Mag(TFGInt& a) { return a.Number; }
  static const Limbs& Mag(const TFGInt& a) { return a.Number; }
};

namespace {

using Access = TFGIntAccess;
Limbs& Mag(TFGInt& a) {
  return Access::Mag(a);
}
const Limbs& Mag(const TFGInt& a) {
  return Access::Mag(a);
}

// ---------------------------------------------------------------------------
// Magnitudes as limb arrays, least significant first.

void Trim(Limbs& a) {
  while (!a.empty() && a.back() == 0) a.pop_back();
}

void WipeLimbs(Limbs& a) {
  if (!a.empty()) SecureWipe(a.data(), a.size() * sizeof(limb));
}

// A scratch vector that is overwritten before it is freed.
struct Scratch {
  Limbs v;
  explicit Scratch(size_t n = 0) : v(n, 0) {}
  ~Scratch() { WipeLimbs(v); }
  limb* data() { return v.data(); }
};

int Cmp(const limb* a, size_t an, const limb* b, size_t bn) {
  while (an > 0 && a[an - 1] == 0) --an;
  while (bn > 0 && b[bn - 1] == 0) --bn;
  if (an != bn) return an < bn ? -1 : 1;
  for (size_t i = an; i-- > 0;)
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  return 0;
}

int Cmp(const Limbs& a, const Limbs& b) {
  return Cmp(a.data(), a.size(), b.data(), b.size());
}

// r[0..n) = a[0..n) + b[0..n); returns the carry. r may alias a or b.
inline limb AddN(limb* r, const limb* a, const limb* b, size_t n) {
  limb c = 0;
  for (size_t i = 0; i < n; ++i) {
    const dlimb s = static_cast<dlimb>(a[i]) + b[i] + c;
    r[i] = static_cast<limb>(s);
    c = static_cast<limb>(s >> 64);
  }
  return c;
}

// r[0..n) = a[0..n) - b[0..n); returns the borrow. r may alias a or b.
inline limb SubN(limb* r, const limb* a, const limb* b, size_t n) {
  limb borrow = 0;
  for (size_t i = 0; i < n; ++i) {
    const dlimb d = static_cast<dlimb>(a[i]) - b[i] - borrow;
    r[i] = static_cast<limb>(d);
    borrow = static_cast<limb>(d >> 64) & 1u;
  }
  return borrow;
}

// r[0..n) += a[0..n) * b; returns the carry limb.
inline limb MulAddRow(limb* r, const limb* a, size_t n, limb b) {
  limb c = 0;
#pragma GCC unroll 4
  for (size_t j = 0; j < n; ++j) {
    const dlimb p = static_cast<dlimb>(a[j]) * b + r[j] + c;
    r[j] = static_cast<limb>(p);
    c = static_cast<limb>(p >> 64);
  }
  return c;
}

// r[0..an+bn) = a * b. r must not alias a or b.
void MulLimbs(limb* r, const limb* a, size_t an, const limb* b, size_t bn) {
  std::fill(r, r + an + bn, limb{0});
  for (size_t i = 0; i < bn; ++i) r[i + an] = MulAddRow(r + i, a, an, b[i]);
}

// r[0..2n) = a^2: the products a[i]*a[j] (i < j) once, doubled, plus the
// squares on the diagonal. r must not alias a.
void SqrLimbs(limb* r, const limb* a, size_t n) {
  std::fill(r, r + 2 * n, limb{0});
  for (size_t i = 0; i + 1 < n; ++i)
    r[i + n] = MulAddRow(r + 2 * i + 1, a + i + 1, n - i - 1, a[i]);
  limb shiftIn = 0, c = 0;
  for (size_t i = 0; i < n; ++i) {
    const dlimb sq = static_cast<dlimb>(a[i]) * a[i];
    const limb lo = r[2 * i], hi = r[2 * i + 1];
    const limb dlo = (lo << 1) | shiftIn;
    const limb dhi = (hi << 1) | (lo >> 63);
    shiftIn = hi >> 63;
    dlimb s = static_cast<dlimb>(dlo) + static_cast<limb>(sq) + c;
    r[2 * i] = static_cast<limb>(s);
    s = static_cast<dlimb>(dhi) + static_cast<limb>(sq >> 64) + static_cast<limb>(s >> 64);
    r[2 * i + 1] = static_cast<limb>(s);
    c = static_cast<limb>(s >> 64);
  }
}

Limbs Add(const Limbs& a, const Limbs& b) {
  const Limbs& x = a.size() >= b.size() ? a : b;
  const Limbs& y = a.size() >= b.size() ? b : a;
  Limbs r(x.size() + 1, 0);
  limb c = AddN(r.data(), x.data(), y.data(), y.size());
  for (size_t i = y.size(); i < x.size(); ++i) {
    const dlimb s = static_cast<dlimb>(x[i]) + c;
    r[i] = static_cast<limb>(s);
    c = static_cast<limb>(s >> 64);
  }
  r[x.size()] = c;
  Trim(r);
  return r;
}

// a - b for |a| >= |b|.
Limbs Sub(const Limbs& a, const Limbs& b) {
  Limbs r(a.size(), 0);
  limb borrow = SubN(r.data(), a.data(), b.data(), b.size());
  for (size_t i = b.size(); i < a.size(); ++i) {
    const dlimb d = static_cast<dlimb>(a[i]) - borrow;
    r[i] = static_cast<limb>(d);
    borrow = static_cast<limb>(d >> 64) & 1u;
  }
  Trim(r);
  return r;
}

Limbs Mul(const Limbs& a, const Limbs& b) {
  if (a.empty() || b.empty()) return {};
  Limbs r(a.size() + b.size());
  if (&a == &b || a == b)
    SqrLimbs(r.data(), a.data(), a.size());
  else
    MulLimbs(r.data(), a.data(), a.size(), b.data(), b.size());
  Trim(r);
  return r;
}

// Division by one limb: q = u div v, returns u mod v. v != 0.
limb DivSmall(const Limbs& u, limb v, Limbs& q) {
  q.assign(u.size(), 0);
  limb r = 0;
  for (size_t i = u.size(); i-- > 0;) {
    const dlimb num = (static_cast<dlimb>(r) << 64) | u[i];
    q[i] = static_cast<limb>(num / v);
    r = static_cast<limb>(num % v);
  }
  Trim(q);
  return r;
}

// Knuth's algorithm D (TAOCP 4.3.1): q = u div v, r = u mod v. v != 0.
void DivMod(const Limbs& u, const Limbs& v, Limbs& q, Limbs& r) {
  if (Cmp(u, v) < 0) {
    q.clear();
    r = u;
    return;
  }
  const size_t vn = v.size();
  if (vn == 1) {
    const limb rem = DivSmall(u, v[0], q);
    r.clear();
    if (rem != 0) r.push_back(rem);
    return;
  }
  const size_t un = u.size();
  const int s = std::countl_zero(v.back());
  Scratch vs(vn), us(un + 1);
  limb* V = vs.data();
  limb* U = us.data();
  for (size_t i = vn; i-- > 0;) V[i] = (v[i] << s) | (s != 0 && i > 0 ? v[i - 1] >> (64 - s) : 0);
  U[un] = s != 0 ? u[un - 1] >> (64 - s) : 0;
  for (size_t i = un; i-- > 0;) U[i] = (u[i] << s) | (s != 0 && i > 0 ? u[i - 1] >> (64 - s) : 0);

  Limbs quot(un - vn + 1, 0);
  const limb vTop = V[vn - 1], vNext = V[vn - 2];
  for (size_t j = un - vn + 1; j-- > 0;) {
    const dlimb num = (static_cast<dlimb>(U[j + vn]) << 64) | U[j + vn - 1];
    dlimb qhat = num / vTop;
    dlimb rhat = num - qhat * vTop;
    while ((qhat >> 64) != 0 || qhat * vNext > ((rhat << 64) | U[j + vn - 2])) {
      --qhat;
      rhat += vTop;
      if ((rhat >> 64) != 0) break;
    }
    // U[j..j+vn] -= qhat * V
    const limb qh = static_cast<limb>(qhat);
    limb carry = 0, borrow = 0;
    for (size_t i = 0; i < vn; ++i) {
      const dlimb p = static_cast<dlimb>(qh) * V[i] + carry;
      carry = static_cast<limb>(p >> 64);
      const dlimb d = static_cast<dlimb>(U[i + j]) - static_cast<limb>(p) - borrow;
      U[i + j] = static_cast<limb>(d);
      borrow = static_cast<limb>(d >> 64) & 1u;
    }
    const dlimb d = static_cast<dlimb>(U[j + vn]) - carry - borrow;
    U[j + vn] = static_cast<limb>(d);
    limb qfinal = qh;
    if ((d >> 64) != 0) {  // qhat was one too large: add V back
      --qfinal;
      const limb c = AddN(U + j, U + j, V, vn);
      U[j + vn] += c;
    }
    quot[j] = qfinal;
  }
  Trim(quot);
  q.swap(quot);
  Limbs rem(vn, 0);
  for (size_t i = 0; i < vn; ++i)
    rem[i] = (U[i] >> s) | (s != 0 && i + 1 < vn ? U[i + 1] << (64 - s) : 0);
  Trim(rem);
  WipeLimbs(r);
  r.swap(rem);
}

Limbs Mod(const Limbs& u, const Limbs& v) {
  Limbs q, r;
  DivMod(u, v, q, r);
  return r;
}

// ---------------------------------------------------------------------------
// Montgomery arithmetic modulo an odd n of k limbs, R = 2^(64k).

struct Montgomery {
  size_t k = 0;
  const limb* n = nullptr;
  limb n0 = 0;        // -n^-1 mod 2^64
  Limbs rr;           // R^2 mod n, k limbs
  mutable Scratch t;  // 2k limbs of product

  explicit Montgomery(const Limbs& mod) : k(mod.size()), n(mod.data()), t(2 * mod.size()) {
    // Newton's iteration for n^-1 mod 2^64 (each step doubles the correct
    // low bits; n * n = 1 mod 8 starts with three).
    limb inv = n[0];
    for (int i = 0; i < 5; ++i) inv *= 2 - n[0] * inv;
    n0 = limb{0} - inv;
    Limbs r2(2 * k + 1, 0);
    r2[2 * k] = 1;
    rr = Mod(r2, mod);
    rr.resize(k, 0);
  }

  // r = t * R^-1 mod n for t = this->t (2k limbs, t < n * R), destroyed.
  void Redc(limb* r) const {
    limb* T = t.v.data();
    limb c2 = 0;
    for (size_t i = 0; i < k; ++i) {
      const limb m = T[i] * n0;
      const limb c = MulAddRow(T + i, n, k, m);
      const dlimb s = static_cast<dlimb>(T[i + k]) + c + c2;
      T[i + k] = static_cast<limb>(s);
      c2 = static_cast<limb>(s >> 64);
    }
    if (c2 != 0 || Cmp(T + k, k, n, k) >= 0)
      SubN(r, T + k, n, k);
    else
      std::copy(T + k, T + 2 * k, r);
  }

  void Mul(limb* r, const limb* a, const limb* b) const {
    MulLimbs(t.v.data(), a, k, b, k);
    Redc(r);
  }

  void Sqr(limb* r, const limb* a) const {
    SqrLimbs(t.v.data(), a, k);
    Redc(r);
  }

  // a (k limbs, < n) into Montgomery form.
  void To(limb* r, const limb* a) const { Mul(r, a, rr.data()); }

  void From(limb* r, const limb* a) const {
    std::copy(a, a + k, t.v.data());
    std::fill(t.v.data() + k, t.v.data() + 2 * k, limb{0});
    Redc(r);
  }
};

inline bool Bit(const Limbs& e, size_t i) {
  return (e[i / 64] >> (i % 64)) & 1u;
}

size_t BitLen(const Limbs& a) {
  return a.empty() ? 0 : 64 * (a.size() - 1) + (64 - std::countl_zero(a.back()));
}

// Window size for an exponent of `bits` bits (fewer multiplications in the
// table than it saves in the scan).
int WindowBits(size_t bits) {
  if (bits > 671) return 6;
  if (bits > 239) return 5;
  if (bits > 79) return 4;
  if (bits > 23) return 3;
  return 1;
}

// base^e mod n for odd n > 1, base < n, e > 0.
Limbs ModExpOdd(const Limbs& base, const Limbs& e, const Limbs& n) {
  const Montgomery mont(n);
  const size_t k = n.size();
  const size_t bits = BitLen(e);
  const int w = WindowBits(bits);
  const size_t tableSize = size_t{1} << (w - 1);

  // table[i] = base^(2i+1) in Montgomery form.
  Scratch table(tableSize * k), acc(k), sq(k);
  {
    Scratch b(k);
    std::copy(base.begin(), base.end(), b.data());
    mont.To(table.data(), b.data());
  }
  if (tableSize > 1) {
    mont.Sqr(sq.data(), table.data());
    for (size_t i = 1; i < tableSize; ++i)
      mont.Mul(table.data() + i * k, table.data() + (i - 1) * k, sq.data());
  }

  bool started = false;
  size_t i = bits;  // bits i-1 ... 0 remain
  while (i > 0) {
    if (!Bit(e, i - 1)) {
      mont.Sqr(acc.data(), acc.data());
      --i;
      continue;
    }
    // The longest window of at most w bits from bit i-1 down that ends in a 1.
    size_t lo = i >= static_cast<size_t>(w) ? i - w : 0;
    while (!Bit(e, lo)) ++lo;
    size_t val = 0;
    for (size_t b = i; b-- > lo;) val = (val << 1) | (Bit(e, b) ? 1u : 0u);
    if (started) {
      for (size_t s = lo; s < i; ++s) mont.Sqr(acc.data(), acc.data());
      mont.Mul(acc.data(), acc.data(), table.data() + (val >> 1) * k);
    } else {
      std::copy(table.data() + (val >> 1) * k, table.data() + (val >> 1) * k + k, acc.data());
      started = true;
    }
    i = lo;
  }
  Limbs r(k);
  mont.From(r.data(), acc.data());
  Trim(r);
  return r;
}

// base^e mod n by square and multiply with division (any n > 1).
Limbs ModExpPlain(const Limbs& base, const Limbs& e, const Limbs& n) {
  Limbs r{1};
  const size_t bits = BitLen(e);
  for (size_t i = bits; i-- > 0;) {
    r = Mod(Mul(r, r), n);
    if (Bit(e, i)) r = Mod(Mul(r, base), n);
  }
  return r;
}

// ---------------------------------------------------------------------------
// Signed values.

void Normalize(TFGInt& a) {
  Trim(Mag(a));
  if (Mag(a).empty()) a.Sign = TSign::positive;
}

TFGInt Make(Limbs mag, TSign sign) {
  TFGInt r;
  Mag(r) = std::move(mag);
  r.Sign = sign;
  Normalize(r);
  return r;
}

void Assign(TFGInt& out, TFGInt&& value) {
  WipeLimbs(Mag(out));
  Mag(out) = std::move(Mag(value));
  out.Sign = value.Sign;
  Normalize(out);
}

TSign Opposite(TSign s) {
  return s == TSign::positive ? TSign::negative : TSign::positive;
}

// a + (sign b) * |b|.
TFGInt AddSigned(const TFGInt& a, const Limbs& b, TSign bSign) {
  if (a.Sign == bSign) return Make(Add(Mag(a), b), a.Sign);
  const int c = Cmp(Mag(a), b);
  if (c == 0) return TFGInt();
  if (c > 0) return Make(Sub(Mag(a), b), a.Sign);
  return Make(Sub(b, Mag(a)), bSign);
}

// Non-negative residue of a modulo |m| (m != 0).
Limbs Residue(const TFGInt& a, const Limbs& m) {
  Limbs r = Mod(Mag(a), m);
  if (a.Sign == TSign::negative && !r.empty()) r = Sub(m, r);
  return r;
}

constexpr limb kTen19 = 10000000000000000000ull;

}  // namespace

// ---------------------------------------------------------------------------

TFGInt::~TFGInt() {
  WipeLimbs(Number);
}

size_t TFGInt::BitLength() const {
  return BitLen(Number);
}

void Base256StringToFGInt(std::string_view str256, TFGInt& n) {
  Limbs r((str256.size() + 7) / 8, 0);
  for (size_t i = 0; i < str256.size(); ++i) {
    const size_t pos = str256.size() - 1 - i;  // byte significance
    r[pos / 8] |= static_cast<limb>(static_cast<uint8_t>(str256[i])) << (8 * (pos % 8));
  }
  Assign(n, Make(std::move(r), TSign::positive));
}

void FGIntToBase256String(const TFGInt& n, std::string& str256) {
  const size_t bytes = std::max<size_t>(1, (BitLen(Mag(n)) + 7) / 8);
  std::string out(bytes, '\0');
  for (size_t pos = 0; pos < bytes && pos / 8 < Mag(n).size(); ++pos)
    out[bytes - 1 - pos] = static_cast<char>(Mag(n)[pos / 8] >> (8 * (pos % 8)));
  str256.swap(out);
}

void ConvertBase256to2(std::string_view str256, std::string& str2) {
  std::string out(8 * str256.size(), '0');
  for (size_t i = 0; i < str256.size(); ++i) {
    const auto b = static_cast<uint8_t>(str256[i]);
    for (int k = 0; k < 8; ++k)
      if ((b >> (7 - k)) & 1u) out[8 * i + k] = '1';
  }
  str2.swap(out);
}

bool ConvertBase2to256(std::string_view str2, std::string& str256) {
  for (char c : str2)
    if (c != '0' && c != '1') return false;
  const size_t pad = (8 - str2.size() % 8) % 8;
  std::string out((str2.size() + pad) / 8, '\0');
  for (size_t i = 0; i < str2.size(); ++i)
    if (str2[i] == '1') {
      const size_t p = i + pad;
      out[p / 8] = static_cast<char>(static_cast<uint8_t>(out[p / 8]) | (0x80u >> (p % 8)));
    }
  str256.swap(out);
  return true;
}

void FGIntToBase2String(const TFGInt& n, std::string& str2) {
  const size_t bits = BitLen(Mag(n));
  if (bits == 0) {
    str2.assign(1, '0');
    return;
  }
  std::string out(bits, '0');
  for (size_t i = 0; i < bits; ++i)
    if (Bit(Mag(n), bits - 1 - i)) out[i] = '1';
  str2.swap(out);
}

bool Base2StringToFGInt(std::string_view str2, TFGInt& n) {
  for (char c : str2)
    if (c != '0' && c != '1') return false;
  Limbs r((str2.size() + 63) / 64, 0);
  for (size_t i = 0; i < str2.size(); ++i)
    if (str2[i] == '1') {
      const size_t pos = str2.size() - 1 - i;
      r[pos / 64] |= limb{1} << (pos % 64);
    }
  Assign(n, Make(std::move(r), TSign::positive));
  return true;
}

bool Base10StringToFGInt(std::string_view str10, TFGInt& n) {
  TSign sign = TSign::positive;
  if (!str10.empty() && str10[0] == '-') {
    sign = TSign::negative;
    str10.remove_prefix(1);
  }
  if (str10.empty()) return false;
  for (char c : str10)
    if (c < '0' || c > '9') return false;
  Limbs r;
  size_t i = 0;
  while (i < str10.size()) {
    // Up to 19 digits at a time: r = r * 10^d + chunk.
    const size_t d = std::min<size_t>(19, str10.size() - i);
    limb chunk = 0, mul = 1;
    for (size_t k = 0; k < d; ++k, ++i) {
      chunk = chunk * 10 + static_cast<limb>(str10[i] - '0');
      mul *= 10;
    }
    limb carry = chunk;
    for (limb& x : r) {
      const dlimb p = static_cast<dlimb>(x) * mul + carry;
      x = static_cast<limb>(p);
      carry = static_cast<limb>(p >> 64);
    }
    if (carry != 0) r.push_back(carry);
  }
  Assign(n, Make(std::move(r), sign));
  return true;
}

void FGIntToBase10String(const TFGInt& n, std::string& str10) {
  if (Mag(n).empty()) {
    str10.assign(1, '0');
    return;
  }
  Limbs cur = Mag(n), q;
  std::vector<limb> chunks;  // base 10^19 digits, least significant first
  while (!cur.empty()) {
    chunks.push_back(DivSmall(cur, kTen19, q));
    cur.swap(q);
  }
  std::string out = n.Sign == TSign::negative ? "-" : "";
  out += std::to_string(chunks.back());
  for (size_t i = chunks.size() - 1; i-- > 0;) {
    const std::string part = std::to_string(chunks[i]);
    out.append(19 - part.size(), '0');
    out += part;
  }
  str10.swap(out);
}

char zeronetochar8(std::string_view eight) {
  uint8_t b = 0;
  for (size_t i = 0; i < 8 && i < eight.size(); ++i)
    if (eight[i] == '1') b |= static_cast<uint8_t>(0x80u >> i);
  return static_cast<char>(b);
}

void initialize8(std::array<std::string, 256>& trans) {
  for (int b = 0; b < 256; ++b) {
    std::string s(8, '0');
    for (int k = 0; k < 8; ++k)
      if ((b >> (7 - k)) & 1) s[k] = '1';
    trans[b] = s;
  }
}

void FGIntAdd(const TFGInt& a, const TFGInt& b, TFGInt& sum) {
  Assign(sum, AddSigned(a, Mag(b), b.Sign));
}

void FGIntSub(const TFGInt& a, const TFGInt& b, TFGInt& dif) {
  Assign(dif, AddSigned(a, Mag(b), Mag(b).empty() ? TSign::positive : Opposite(b.Sign)));
}

void FGIntChangeSign(TFGInt& a) {
  if (!Mag(a).empty()) a.Sign = Opposite(a.Sign);
}

void FGIntAbs(TFGInt& a) {
  a.Sign = TSign::positive;
}

void FGIntCopy(const TFGInt& from, TFGInt& to) {
  if (&from == &to) return;
  WipeLimbs(Mag(to));
  Mag(to) = Mag(from);
  to.Sign = from.Sign;
}

TCompare FGIntCompareAbs(const TFGInt& a, const TFGInt& b) {
  const int c = Cmp(Mag(a), Mag(b));
  return c < 0 ? TCompare::Smaller : (c == 0 ? TCompare::Equal : TCompare::Greater);
}

void FGIntMul(const TFGInt& a, const TFGInt& b, TFGInt& prod) {
  Assign(prod, Make(Mul(Mag(a), Mag(b)), a.Sign == b.Sign ? TSign::positive : TSign::negative));
}

void FGIntSquare(const TFGInt& a, TFGInt& square) {
  Assign(square, Make(Mul(Mag(a), Mag(a)), TSign::positive));
}

void FGIntMulByIntbis(TFGInt& a, uint32_t by) {
  limb carry = 0;
  for (limb& x : Mag(a)) {
    const dlimb p = static_cast<dlimb>(x) * by + carry;
    x = static_cast<limb>(p);
    carry = static_cast<limb>(p >> 64);
  }
  if (carry != 0) Mag(a).push_back(carry);
  Normalize(a);
}

bool FGIntDivByIntBis(TFGInt& a, uint32_t by, uint32_t& modres) {
  if (by == 0) return false;
  Limbs q;
  modres = static_cast<uint32_t>(DivSmall(Mag(a), by, q));
  Assign(a, Make(std::move(q), a.Sign));
  return true;
}

bool GIntDivByIntBis1(TFGInt& a, uint32_t by, uint32_t& modres) {
  return FGIntDivByIntBis(a, by, modres);
}

void FGIntShiftLeftBy31(TFGInt& a) {
  if (Mag(a).empty()) return;
  Mag(a).push_back(0);
  for (size_t i = Mag(a).size(); i-- > 0;)
    Mag(a)[i] = (Mag(a)[i] << 31) | (i > 0 ? Mag(a)[i - 1] >> 33 : 0);
  Normalize(a);
}

void FGIntShiftRightBy31(TFGInt& a) {
  const size_t n = Mag(a).size();
  for (size_t i = 0; i < n; ++i)
    Mag(a)[i] = (Mag(a)[i] >> 31) | (i + 1 < n ? Mag(a)[i + 1] << 33 : 0);
  Normalize(a);
}

void FGIntSubBis(TFGInt& a, const TFGInt& b) {
  FGIntSub(a, b, a);
}

bool FGIntDivMod(const TFGInt& a, const TFGInt& b, TFGInt& q, TFGInt& m) {
  if (Mag(b).empty()) return false;
  Limbs qm, rm;
  DivMod(Mag(a), Mag(b), qm, rm);
  // Truncated magnitudes; shift to the non-negative remainder for a < 0.
  TSign qs = a.Sign == b.Sign ? TSign::positive : TSign::negative;
  if (a.Sign == TSign::negative && !rm.empty()) {
    rm = Sub(Mag(b), rm);
    qm = Add(qm, Limbs{1});
  }
  TFGInt qv = Make(std::move(qm), qs);
  Assign(m, Make(std::move(rm), TSign::positive));
  Assign(q, std::move(qv));
  return true;
}

bool FGIntMod(const TFGInt& a, const TFGInt& b, TFGInt& m) {
  if (Mag(b).empty()) return false;
  Assign(m, Make(Residue(a, Mag(b)), TSign::positive));
  return true;
}

bool FGIntAddMod(const TFGInt& a, const TFGInt& b, const TFGInt& base, TFGInt& res) {
  if (Mag(base).empty()) return false;
  TFGInt s;
  FGIntAdd(a, b, s);
  return FGIntMod(s, base, res);
}

bool FGIntMulMod(const TFGInt& a, const TFGInt& b, const TFGInt& base, TFGInt& res) {
  if (Mag(base).empty()) return false;
  TFGInt p;
  FGIntMul(a, b, p);
  return FGIntMod(p, base, res);
}

void FGIntModBis(const TFGInt& a, TFGInt& out, size_t bits) {
  Limbs r = Mag(a);
  const size_t whole = bits / 64, part = bits % 64;
  if (r.size() > whole + (part != 0 ? 1 : 0)) r.resize(whole + (part != 0 ? 1 : 0));
  if (part != 0 && r.size() == whole + 1) r[whole] &= (limb{1} << part) - 1;
  Assign(out, Make(std::move(r), TSign::positive));
}

void FGIntMulModBis(const TFGInt& a, const TFGInt& b, TFGInt& prod, size_t bits) {
  // Only the low limbs of the operands reach the low `bits` of the product.
  const size_t need = (bits + 63) / 64;
  Limbs x(Mag(a).begin(), Mag(a).begin() + std::min(need, Mag(a).size()));
  Limbs y(Mag(b).begin(), Mag(b).begin() + std::min(need, Mag(b).size()));
  TFGInt p = Make(Mul(x, y), TSign::positive);
  FGIntModBis(p, prod, bits);
}

bool FGIntMontgomeryMod(const TFGInt& t, const TFGInt& base, const TFGInt& baseInv, TFGInt& res,
                        size_t bits) {
  if (!base.IsOdd() || base.Sign == TSign::negative || t.Sign == TSign::negative) return false;
  if (BitLen(Mag(base)) > bits) return false;  // R > base
  TFGInt m, u, mb;
  FGIntMulModBis(t, baseInv, m, bits);  // m = (t mod R) * baseInv mod R
  FGIntMul(m, base, mb);
  FGIntAdd(t, mb, u);                                               // t + m * base, divisible by R
  if (BitLen(Mag(u)) > bits + BitLen(Mag(base)) + 1) return false;  // t >= base * R
  // u / R
  Limbs q;
  const size_t whole = bits / 64, part = bits % 64;
  if (Mag(u).size() > whole) {
    q.assign(Mag(u).begin() + whole, Mag(u).end());
    if (part != 0) {
      for (size_t i = 0; i < q.size(); ++i)
        q[i] = (q[i] >> part) | (i + 1 < q.size() ? q[i + 1] << (64 - part) : 0);
    }
  }
  Trim(q);
  if (Cmp(q, Mag(base)) >= 0) q = Sub(q, Mag(base));
  if (Cmp(q, Mag(base)) >= 0) return false;  // t was not below base * R
  Assign(res, Make(std::move(q), TSign::positive));
  return true;
}

bool FGIntMontgomeryModExp(const TFGInt& a, const TFGInt& exp, const TFGInt& modb, TFGInt& res) {
  if (Mag(modb).empty() || modb.Sign == TSign::negative) return false;
  if (exp.Sign == TSign::negative) return false;
  const Limbs& n = Mag(modb);
  if (n.size() == 1 && n[0] == 1) {
    Assign(res, TFGInt());
    return true;
  }
  if (Mag(exp).empty()) {
    Assign(res, Make(Limbs{1}, TSign::positive));
    return true;
  }
  Limbs base = Residue(a, n);
  if (base.empty()) {
    Assign(res, TFGInt());
    return true;
  }
  Limbs r = (n[0] & 1u) ? ModExpOdd(base, Mag(exp), n) : ModExpPlain(base, Mag(exp), n);
  WipeLimbs(base);
  Assign(res, Make(std::move(r), TSign::positive));
  return true;
}

void FGIntGCD(const TFGInt& a, const TFGInt& b, TFGInt& gcd) {
  Limbs x = Mag(a), y = Mag(b);
  while (!y.empty()) {
    Limbs r = Mod(x, y);
    x.swap(y);
    y.swap(r);
  }
  Assign(gcd, Make(std::move(x), TSign::positive));
}

bool FGIntModInv(const TFGInt& a, const TFGInt& base, TFGInt& inverse) {
  if (Mag(base).empty() || base.Sign == TSign::negative) return false;
  if (Mag(base).size() == 1 && Mag(base)[0] == 1) {
    Assign(inverse, TFGInt());
    return true;
  }
  // Extended Euclid on (r0, r1) = (base, a mod base), tracking the
  // coefficient of a: t0 = 0, t1 = 1.
  TFGInt r0 = Make(Mag(base), TSign::positive);
  TFGInt r1 = Make(Residue(a, Mag(base)), TSign::positive);
  TFGInt t0, t1 = Make(Limbs{1}, TSign::positive);
  while (!Mag(r1).empty()) {
    Limbs qm, rm;
    DivMod(Mag(r0), Mag(r1), qm, rm);
    TFGInt q = Make(std::move(qm), TSign::positive), qt, t2;
    FGIntMul(q, t1, qt);
    FGIntSub(t0, qt, t2);
    t0 = std::move(t1);
    t1 = std::move(t2);
    r0 = std::move(r1);
    r1 = Make(std::move(rm), TSign::positive);
  }
  if (!(Mag(r0).size() == 1 && Mag(r0)[0] == 1)) return false;
  Assign(inverse, Make(Residue(t0, Mag(base)), TSign::positive));
  return true;
}

void FGIntDestroy(TFGInt& a) {
  WipeLimbs(Mag(a));
  Limbs().swap(Mag(a));
  a.Sign = TSign::positive;
}

}  // namespace kal
