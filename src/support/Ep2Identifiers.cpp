#include "support/Ep2Identifiers.h"

#include "support/StringUnit.h"

namespace kal {

int UEPSenderIDType(std::string_view elementName) {
  const std::string n = STRTrim(elementName);
  if (n == "ep2:AcqID") return 1;
  if (n == "ep2:SCID") return 2;
  if (n == "ep2:TrmID") return 3;
  if (n == "ep2:PMSID") return 4;
  return 0;
}

int UEPPublicKeyOwnerIDType(std::string_view elementName) {
  const std::string n = STRTrim(elementName);
  if (n == "ep2:PMSID") return 1;
  if (n == "ep2:SCID") return 2;
  if (n == "ep2:AcqID") return 3;
  return 0;
}

}  // namespace kal
