#pragma once

// The help context of every window that offers help (the help map file
// "kalmore.hmp" and the help folder's map follow this list; ARCHITECTURE.md
// has it as a table). The about box and the search prompt have none.

#include <cstdint>

namespace kal {

// clang-format off
inline constexpr int32_t HPTcHelpLoadFile         = 3;   // TForm4 "Load File Window"
inline constexpr int32_t HPTcHelpEditWindow       = 4;   // TForm3 "Edit Window"
inline constexpr int32_t HPTcHelpKeys             = 7;   // TForm5 "Keys"
inline constexpr int32_t HPTcHelpSequence         = 12;  // TForm14 "Sequence"
inline constexpr int32_t HPTcHelpMainWindow       = 15;  // TForm1
inline constexpr int32_t HPTcHelpSecurityItems    = 16;  // TForm6 "Security Items"
inline constexpr int32_t HPTcHelpUsers            = 22;  // TForm18 "User Administrator", TForm19 login
inline constexpr int32_t HPTcHelpConversionTools  = 26;  // TForm25 "Key Formatting", TForm22, TForm23, TForm24, TForm29
inline constexpr int32_t HPTcHelpDes              = 27;  // TForm28 "DES Encryption/Decryption"
inline constexpr int32_t HPTcHelpHashMac          = 30;  // TForm26 "Hash and MAC Computation"
inline constexpr int32_t HPTcHelpErrorWindow      = 40;  // TForm8 "Error Message Window"
inline constexpr int32_t HPTcHelpDirectoryAliases = 41;  // TFormAlias "Directory Aliases"
inline constexpr int32_t HPTcHelpPlugIns          = 42;  // TForm_PLGPlugIns "Plug Ins"
inline constexpr int32_t HPTcHelpAlarming         = 43;  // TForm20 "Alarming"
inline constexpr int32_t HPTcHelpMessageHeader    = 44;  // TForm7 "Message Header Parameters"
inline constexpr int32_t HPTcHelpCommunication    = 45;  // TForm9 "Communication Settings"
inline constexpr int32_t HPTcHelpTimeouts         = 46;  // TForm13 "Timeouts and Delays"
inline constexpr int32_t HPTcHelpPrintSelection   = 47;  // TForm2 "Print Selection"
inline constexpr int32_t HPTcHelpModemStatus      = 48;  // TForm10 "Modem Connection"
inline constexpr int32_t HPTcHelpSequenceRun      = 49;  // TForm15 "Sequence Run"
inline constexpr int32_t HPTcHelpPublicKeyData    = 50;  // TForm17 "Formatted Public Key Data"
inline constexpr int32_t HPTcHelpSelectDirectory  = 51;  // TForm21 "Select Directory"
inline constexpr int32_t HPTcHelpTlvTools         = 52;  // TForm27 "TLV Tools"
inline constexpr int32_t HPTcHelpSessionKey       = 53;  // TFormCRYSessionKeyCryptogramm
inline constexpr int32_t HPTcHelpEmvEditor        = 54;  // TFormTVREditor "EMV Elements Editor"
// clang-format on

}  // namespace kal
