// Big-integer conversions, arithmetic and the Montgomery modular power,
// checked against OpenSSL's BIGNUM. The first byte picks the operation; the
// operands follow as fields of a 2-byte big-endian length and that many
// bytes (big-endian integers, or text for the parsers).
#include <openssl/bn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "support/BigInteger.h"
#include "support/Rsa.h"

namespace {

using kal::TFGInt;

class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : p_(data), n_(size) {}
  std::string Field(size_t cap) {
    size_t len = 0;
    if (n_ >= 2) {
      len = (size_t{p_[0]} << 8 | p_[1]) % (cap + 1);
      p_ += 2;
      n_ -= 2;
    }
    len = std::min(len, n_);
    std::string s(reinterpret_cast<const char*>(p_), len);
    p_ += len;
    n_ -= len;
    return s;
  }

 private:
  const uint8_t* p_;
  size_t n_;
};

[[noreturn]] void Fail(const char* what, const std::string& ours, const std::string& ref) {
  std::fprintf(stderr, "%s mismatch\n ours: %s\n  ref: %s\n", what, ours.c_str(), ref.c_str());
  std::abort();
}

struct BnCtx {
  BN_CTX* ctx = BN_CTX_new();
  ~BnCtx() { BN_CTX_free(ctx); }
};

struct Bn {
  BIGNUM* b = BN_new();
  Bn() = default;
  explicit Bn(const std::string& bytes) {
    BN_bin2bn(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()),
              b);
  }
  Bn(const Bn&) = delete;
  Bn& operator=(const Bn&) = delete;
  ~Bn() { BN_free(b); }
  std::string Dec() const {
    char* s = BN_bn2dec(b);
    std::string r(s);
    OPENSSL_free(s);
    return r;
  }
};

std::string Dec(const TFGInt& n) {
  std::string s;
  kal::FGIntToBase10String(n, s);
  return s;
}

TFGInt FromBytes(const std::string& b, bool negative = false) {
  TFGInt n;
  kal::Base256StringToFGInt(b, n);
  if (negative) kal::FGIntChangeSign(n);
  return n;
}

void Check(const char* what, const std::string& ours, const std::string& ref) {
  if (ours != ref) Fail(what, ours, ref);
}

void Conversions(Reader& in) {
  const std::string bytes = in.Field(700);
  const TFGInt n = FromBytes(bytes);
  const Bn bn(bytes);
  Check("base10", Dec(n), bn.Dec());
  std::string b256;
  kal::FGIntToBase256String(n, b256);
  std::string ref(BN_num_bytes(bn.b), '\0');
  BN_bn2bin(bn.b, reinterpret_cast<unsigned char*>(ref.data()));
  if (ref.empty()) ref.assign(1, '\0');
  if (b256 != ref) Fail("base256", b256, ref);
  std::string bits, back;
  kal::FGIntToBase2String(n, bits);
  TFGInt m;
  if (!kal::Base2StringToFGInt(bits, m)) Fail("base2 parse", bits, "");
  Check("base2", Dec(m), Dec(n));
  kal::ConvertBase256to2(bytes, bits);
  if (!kal::ConvertBase2to256(bits, back) || back != bytes) Fail("bit text", back, bytes);

  // The text parsers on arbitrary text: accepted exactly when OpenSSL's
  // decimal reader takes the whole text.
  const std::string text = in.Field(400);
  TFGInt t;
  const bool ok = kal::Base10StringToFGInt(text, t);
  bool valid = !text.empty() && text != "-";
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] >= '0' && text[i] <= '9') && !(i == 0 && text[i] == '-')) valid = false;
  if (ok != valid) Fail("base10 acceptance", text, valid ? "valid" : "invalid");
  if (ok) {
    BIGNUM* r = nullptr;
    BN_dec2bn(&r, text.c_str());
    char* s = BN_bn2dec(r);
    Check("base10 parse", Dec(t), s);
    OPENSSL_free(s);
    BN_free(r);
  }
  TFGInt b2;
  (void)kal::Base2StringToFGInt(text, b2);
}

void Arithmetic(Reader& in, BnCtx& ctx, uint8_t flags) {
  const std::string ab = in.Field(300), bb = in.Field(300);
  const TFGInt a = FromBytes(ab, flags & 1), b = FromBytes(bb, flags & 2);
  Bn A(ab), B(bb), R, Q;
  BN_set_negative(A.b, flags & 1);
  BN_set_negative(B.b, flags & 2);
  TFGInt r, q;
  kal::FGIntAdd(a, b, r);
  BN_add(R.b, A.b, B.b);
  Check("add", Dec(r), R.Dec());
  kal::FGIntSub(a, b, r);
  BN_sub(R.b, A.b, B.b);
  Check("sub", Dec(r), R.Dec());
  kal::FGIntMul(a, b, r);
  BN_mul(R.b, A.b, B.b, ctx.ctx);
  Check("mul", Dec(r), R.Dec());
  kal::FGIntSquare(a, r);
  BN_sqr(R.b, A.b, ctx.ctx);
  Check("sqr", Dec(r), R.Dec());
  kal::FGIntGCD(a, b, r);
  BN_gcd(R.b, A.b, B.b, ctx.ctx);
  Check("gcd", Dec(r), R.Dec());
  if (b.IsZero()) {
    if (kal::FGIntDivMod(a, b, q, r)) Fail("divmod by zero", "accepted", "refused");
    return;
  }
  if (!kal::FGIntMod(a, b, r)) Fail("mod", "refused", "");
  BN_nnmod(R.b, A.b, B.b, ctx.ctx);
  Check("mod", Dec(r), R.Dec());
  // Quotient: a = q b + r with 0 <= r < |b|.
  if (!kal::FGIntDivMod(a, b, q, r)) Fail("divmod", "refused", "");
  TFGInt back, qb;
  kal::FGIntMul(q, b, qb);
  kal::FGIntAdd(qb, r, back);
  Check("divmod identity", Dec(back), Dec(a));
  Check("divmod remainder", Dec(r), R.Dec());
  TFGInt babs = b;
  kal::FGIntAbs(babs);
  Bn Babs(bb);
  // Modulo 1 every value is its own inverse (0) for us; OpenSSL refuses it.
  if (BN_is_one(Babs.b)) return;
  BIGNUM* inv = BN_mod_inverse(nullptr, A.b, Babs.b, ctx.ctx);
  TFGInt ours;
  const bool ok = kal::FGIntModInv(a, babs, ours);
  if (ok != (inv != nullptr)) Fail("modinv existence", ok ? "yes" : "no", inv ? "yes" : "no");
  if (inv != nullptr) {
    char* s = BN_bn2dec(inv);
    Check("modinv", Dec(ours), s);
    OPENSSL_free(s);
    BN_free(inv);
  }
  uint32_t rem = 0;
  uint32_t by = 7;
  if (bb.size() >= 4) {
    by = 0;
    for (int i = 0; i < 4; ++i) by = by << 8 | static_cast<uint8_t>(bb[i]);
  }
  TFGInt w = a;
  if (by != 0) {
    if (!kal::FGIntDivByIntBis(w, by, rem)) Fail("div by int", "refused", "");
    TFGInt check = w;
    kal::FGIntMulByIntbis(check, by);
    TFGInt remv;
    (void)kal::Base10StringToFGInt(std::to_string(rem), remv);
    if (a.Sign == kal::TSign::negative) kal::FGIntChangeSign(remv);
    TFGInt sum;
    kal::FGIntAdd(check, remv, sum);
    Check("div by int identity", Dec(sum), Dec(a));
  }
}

void ModExp(Reader& in, BnCtx& ctx, uint8_t flags) {
  const std::string nb = in.Field(512), ab = in.Field(520), eb = in.Field(48);
  const TFGInt n = FromBytes(nb), a = FromBytes(ab, flags & 1), e = FromBytes(eb);
  TFGInt r;
  const bool ok = kal::FGIntMontgomeryModExp(a, e, n, r);
  if (n.IsZero()) {
    if (ok) Fail("modexp mod 0", "accepted", "refused");
    return;
  }
  if (!ok) Fail("modexp", "refused", "");
  Bn N(nb), A(ab), E(eb), R;
  BN_set_negative(A.b, flags & 1);
  BN_nnmod(A.b, A.b, N.b, ctx.ctx);
  BN_mod_exp(R.b, A.b, E.b, N.b, ctx.ctx);
  Check("modexp", Dec(r), R.Dec());

  // RSA on the same operands: the error result codes, and the
  // value when the operands are valid.
  std::string out;
  const kal::TRSAResult rc = kal::RSAEncrypt(ab, e, n, out);
  kal::TRSAResult expect = kal::TRSAResult::Ok;
  if (!n.IsOdd() || n.BitLength() < 2)
    expect = kal::TRSAResult::InvalidModulus;
  else if (e.IsZero())
    expect = kal::TRSAResult::EmptyExponent;
  else if (kal::FGIntCompareAbs(FromBytes(ab), n) != kal::TCompare::Smaller)
    expect = kal::TRSAResult::MessageNotBelowModulus;
  if (rc != expect) Fail("rsa result", std::to_string(int(rc)), std::to_string(int(expect)));
  if (rc == kal::TRSAResult::Ok) {
    Bn M(ab), C;
    BN_mod_exp(C.b, M.b, E.b, N.b, ctx.ctx);
    Check("rsa value", Dec(FromBytes(out)), C.Dec());
    std::string dec;
    if (kal::RSADecrypt(out, e, n, dec) != kal::TRSAResult::Ok) Fail("rsa decrypt", "refused", "");
    if (dec.size() != (n.BitLength() + 7) / 8) Fail("rsa decrypt length", dec, nb);
  }
}

void Montgomery(Reader& in) {
  // REDC against its definition: res * R = t (mod n).
  std::string nb = in.Field(200);
  if (nb.empty()) return;
  nb.back() = static_cast<char>(nb.back() | 1);
  const TFGInt n = FromBytes(nb);
  const size_t bits = n.BitLength() + nb.size() % 70;
  TFGInt R, inv, nInv, nr, t, res;
  (void)kal::Base10StringToFGInt("1", R);
  for (size_t i = 0; i < bits; ++i) kal::FGIntMulByIntbis(R, 2);
  if (!kal::FGIntModInv(n, R, inv)) Fail("inverse mod 2^k", "none", "exists");
  kal::FGIntSub(R, inv, nInv);
  kal::FGIntMul(n, R, nr);
  if (!kal::FGIntMod(FromBytes(in.Field(400)), nr, t)) Fail("mod nR", "refused", "");
  if (!kal::FGIntMontgomeryMod(t, n, nInv, res, bits)) Fail("redc", "refused", "");
  TFGInt lhs, rhs;
  (void)kal::FGIntMulMod(res, R, n, lhs);
  (void)kal::FGIntMod(t, n, rhs);
  Check("redc", Dec(lhs), Dec(rhs));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static BnCtx ctx;
  Reader in(data + 1, size - 1);
  const uint8_t op = data[0] % 4, flags = data[0] >> 2;
  switch (op) {
    case 0:
      Conversions(in);
      break;
    case 1:
      Arithmetic(in, ctx, flags);
      break;
    case 2:
      ModExp(in, ctx, flags);
      break;
    case 3:
      Montgomery(in);
      break;
  }
  return 0;
}
