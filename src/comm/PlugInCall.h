#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "config/Config.h"

namespace kal {

// The plug-in call: an outside service, reached over TCP, that may inspect
// and replace an XML message document. Outgoing documents go to the "Out"
// endpoint of the PlugIn settings, incoming ones to the "In" endpoint.
//
// Request: L (4 bytes, most significant first; document length + 4), the
// version byte 0x20, the specification version 0x03 0x00, the mode byte
// (200 or 201), the document. Reply: R (4 bytes), the version byte, two
// specification version bytes, the status byte (255: the plug-in failed),
// the replacement document.

constexpr int32_t PLGcEncodingOutMessage = 200;
constexpr int32_t PLGcEncodingInMessage = 201;
constexpr int32_t PLGcEncodingError = 255;
constexpr size_t PLGcLengthBytes = 4;
// Replies announcing a longer rest are refused.
constexpr uint32_t PLGcMaxReplyLength = 10000000;

// Results of PLGRunPlugin.
constexpr int32_t PLGcIllegalResponse = 4;   // reply shorter than its fixed fields
constexpr int32_t PLGcNoLengthBytes = 9101;  // nothing came back
constexpr int32_t PLGcConnectionError = 9102;
constexpr int32_t PLGcReadError = 9103;    // the reply broke off, timed out or was too long
constexpr int32_t PLGcPluginError = 9104;  // the plug-in reported a failure (status 255)

// Passes `sXMLDoc` through the plug-in of the mode (PLGcEncodingOutMessage
// takes the Out settings, any other mode the In settings). An inactive
// plug-in returns 0 at once with the document unchanged. Otherwise 0 with
// the plug-in's document in `sXMLDocNew`, or a result above with its text in
// `sErrorText` and `sXMLDocNew` equal to `sXMLDoc`. Connecting and each of
// the two reads of the reply wait at most ServerResponseTimeout. Blocks the
// calling thread for that long.
[[nodiscard]] int32_t PLGRunPlugin(const TCFGConfig& config, int32_t iEncoding,
                                   const std::string& sXMLDoc, std::string& sXMLDocNew,
                                   std::string& sErrorText);

// The request frame from a 1-byte version and a 2-byte specification
// version. False when either has another size or the document is too long
// for the length field.
bool PLGXMLDocToStream(std::string_view aXMLDoc, std::string_view sVersionNumber,
                       std::string_view sSpecVersionNumber, int32_t iEncoding, std::string& aBuf);

// Splits a reply body (the bytes behind the length): version (1 byte),
// specification version (2 bytes), status and document. False, with nothing
// set, for a body shorter than its 4 fixed bytes.
bool PLGStreamToXMLDoc(std::string_view aBuf, std::string& sVersionNumber,
                       std::string& sSpecVersionNumber, int32_t& iEncoding, std::string& aXMLDoc);

// The value of 4 length bytes, most significant first.
uint32_t PLGStringToLength(std::string_view bytes);

}  // namespace kal
