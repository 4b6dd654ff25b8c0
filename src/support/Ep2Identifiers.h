#pragma once

// The ep2 identifier types (unit UEPEp2Utilities) of the ep2
// byte stream.

#include <string_view>

namespace kal {

// After trimming, exact case: "ep2:AcqID" 1, "ep2:SCID" 2, "ep2:TrmID" 3,
// "ep2:PMSID" 4, anything else 0.
int UEPSenderIDType(std::string_view elementName);

// After trimming, exact case: "ep2:PMSID" 1, "ep2:SCID" 2, "ep2:AcqID" 3,
// anything else 0.
int UEPPublicKeyOwnerIDType(std::string_view elementName);

}  // namespace kal
