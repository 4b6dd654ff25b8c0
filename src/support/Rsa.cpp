#include "support/Rsa.h"

#include "support/SecureWipe.h"

namespace kal {

namespace {

bool ValidModulus(const TFGInt& n) {
  return n.Sign == TSign::positive && n.IsOdd() && n.BitLength() > 1;
}

bool ValidExponent(const TFGInt& e) {
  return e.Sign == TSign::positive && !e.IsZero();
}

// The value as exactly `bytes` big-endian bytes (value < 256^bytes).
std::string FixedBytes(const TFGInt& v, size_t bytes) {
  std::string s;
  FGIntToBase256String(v, s);
  // FGIntToBase256String gives at least one byte; drop a lone zero byte.
  if (s.size() > bytes) s.erase(0, s.size() - bytes);
  std::string out(bytes - s.size(), '\0');
  out += s;
  SecureWipe(s);
  return out;
}

}  // namespace

TRSAResult RSAEncrypt(std::string_view P, const TFGInt& exp, const TFGInt& modb, std::string& E) {
  if (!ValidModulus(modb)) return TRSAResult::InvalidModulus;
  if (!ValidExponent(exp)) return TRSAResult::EmptyExponent;
  TFGInt m, c;
  Base256StringToFGInt(P, m);
  if (FGIntCompareAbs(m, modb) != TCompare::Smaller) return TRSAResult::MessageNotBelowModulus;
  if (!FGIntMontgomeryModExp(m, exp, modb, c)) return TRSAResult::InvalidModulus;
  FGIntToBase256String(c, E);
  return TRSAResult::Ok;
}

TRSAResult RSADecrypt(std::string_view E, const TFGInt& d, const TFGInt& n, std::string& D,
                      const TFGInt& p, const TFGInt& q, const TFGInt& dp, const TFGInt& dq) {
  if (!ValidModulus(n)) return TRSAResult::InvalidModulus;
  if (d.Sign == TSign::negative) return TRSAResult::EmptyExponent;
  const bool crt = d.IsZero();
  if (crt && (p.IsZero() || q.IsZero() || dp.IsZero() || dq.IsZero()))
    return TRSAResult::EmptyExponent;
  TFGInt c, m;
  Base256StringToFGInt(E, c);
  if (FGIntCompareAbs(c, n) != TCompare::Smaller) return TRSAResult::MessageNotBelowModulus;
  const size_t bytes = (n.BitLength() + 7) / 8;
  if (!crt) {
    if (!FGIntMontgomeryModExp(c, d, n, m)) return TRSAResult::InvalidModulus;
    D = FixedBytes(m, bytes);
    return TRSAResult::Ok;
  }
  // m1 = c^dp mod p, m2 = c^dq mod q, h = qInv (m1 - m2) mod p, m = m2 + h q.
  TFGInt pq, qInv, m1, m2, h, t;
  FGIntMul(p, q, pq);
  if (!ValidModulus(p) || !ValidModulus(q) || FGIntCompareAbs(pq, n) != TCompare::Equal ||
      dp.Sign == TSign::negative || dq.Sign == TSign::negative)
    return TRSAResult::InvalidCRTKey;
  if (!FGIntModInv(q, p, qInv)) return TRSAResult::InvalidCRTKey;
  if (!FGIntMontgomeryModExp(c, dp, p, m1) || !FGIntMontgomeryModExp(c, dq, q, m2))
    return TRSAResult::InvalidCRTKey;
  FGIntSub(m1, m2, t);
  if (!FGIntMulMod(t, qInv, p, h)) return TRSAResult::InvalidCRTKey;
  FGIntMul(h, q, t);
  FGIntAdd(t, m2, m);
  D = FixedBytes(m, bytes);
  return TRSAResult::Ok;
}

TRSAResult RSADecrypt(std::string_view E, const TFGInt& d, const TFGInt& n, std::string& D) {
  const TFGInt none;
  return RSADecrypt(E, d, n, D, none, none, none, none);
}

}  // namespace kal
