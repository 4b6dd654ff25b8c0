#include "support/Ep2Identifiers.h"

#include <gtest/gtest.h>

namespace kal {
namespace {

TEST(Ep2Identifiers, SenderIdType) {
  EXPECT_EQ(UEPSenderIDType("ep2:AcqID"), 1);
  EXPECT_EQ(UEPSenderIDType("ep2:SCID"), 2);
  EXPECT_EQ(UEPSenderIDType(" ep2:TrmID\r\n"), 3);
  EXPECT_EQ(UEPSenderIDType("ep2:PMSID"), 4);
  EXPECT_EQ(UEPSenderIDType("ep2:trmid"), 0);  // exact case
  EXPECT_EQ(UEPSenderIDType("ep2:Other"), 0);
  EXPECT_EQ(UEPSenderIDType(""), 0);
}

TEST(Ep2Identifiers, PublicKeyOwnerIdType) {
  EXPECT_EQ(UEPPublicKeyOwnerIDType("ep2:PMSID"), 1);
  EXPECT_EQ(UEPPublicKeyOwnerIDType("\tep2:SCID "), 2);
  EXPECT_EQ(UEPPublicKeyOwnerIDType("ep2:AcqID"), 3);
  EXPECT_EQ(UEPPublicKeyOwnerIDType("ep2:TrmID"), 0);
  EXPECT_EQ(UEPPublicKeyOwnerIDType("EP2:PMSID"), 0);
}

}  // namespace
}  // namespace kal
