#pragma once

#include <cstdint>
#include <string>

#include "comm/ClientSocketPPP.h"
#include "comm/ErrorHandOff.h"
#include "comm/ModemStatusForm.h"
#include "config/CommIniSection.h"
#include "platform/TcpServer.h"

namespace kal {

// The line settings of the test link (line type, role per line, ports,
// addresses, dial-up data) and the connecting and disconnecting of the two
// endpoints the main window owns: the client socket and the TCP server. It
// reads and writes the Communication section of the configuration files.
//
// Threads: the GUI thread only.
class TTCPCommParams final : public ICFGCommIniSection {
 public:
  // Line types.
  static constexpr int32_t TCPcCommThisComp = 0;
  static constexpr int32_t TCPcCommEthernet = 1;
  static constexpr int32_t TCPcCommModem = 2;
  // Roles.
  static constexpr int32_t TCPcIsClient = 0;
  static constexpr int32_t TCPcIsServer = 1;
  static constexpr int32_t TCPcIsBoth = 2;
  // Client connection status.
  static constexpr int32_t TCPcConnectionClosed = 0;
  static constexpr int32_t TCPcConnectionOpening = 1;
  static constexpr int32_t TCPcConnectionOpen = 2;

  static constexpr int32_t TCPcDefaultServerPort = 1000;
  static constexpr const char* TCPcSection = "Communication";

  // `errorBase` is the result of a failed client connect. Errors go to
  // `errorHandOff` (not owned; null: shown nowhere). Installs the socket
  // error latch.
  explicit TTCPCommParams(int32_t errorBase, ICEXErrorHandOff* errorHandOff = nullptr);

  void TCPSetErrorHandOff(ICEXErrorHandOff* errorHandOff);

  int32_t TCPGetCommType() const { return TCPiCommType; }
  void TCPSetCommType(int32_t v) { TCPiCommType = v; }
  int32_t TCPGetThisComputerClientServer() const { return TCPiThisComputerClientServer; }
  void TCPSetThisComputerClientServer(int32_t v) { TCPiThisComputerClientServer = v; }
  int32_t TCPGetThisComputerIPPortNr() const { return TCPiThisComputerIPPortNr; }
  void TCPSetThisComputerIPPortNr(int32_t v) { TCPiThisComputerIPPortNr = v; }
  int32_t TCPGetEthernetClientServer() const { return TCPiEthernetClientServer; }
  void TCPSetEthernetClientServer(int32_t v) { TCPiEthernetClientServer = v; }
  int32_t TCPGetEthernetIPPortNr() const { return TCPiEthernetIPPortNr; }
  void TCPSetEthernetIPPortNr(int32_t v) { TCPiEthernetIPPortNr = v; }
  const std::string& TCPGetEthernetIPAddr() const { return TCPsEthernetIPAddr; }
  void TCPSetEthernetIPAddr(const std::string& v) { TCPsEthernetIPAddr = v; }
  int32_t TCPGetModemClientServer() const { return TCPiModemClientServer; }
  void TCPSetModemClientServer(int32_t v) { TCPiModemClientServer = v; }
  int32_t TCPGetModemIPPortNr() const { return TCPiModemIPPortNr; }
  void TCPSetModemIPPortNr(int32_t v) { TCPiModemIPPortNr = v; }
  const std::string& TCPGetModemIPAddr() const { return TCPsModemIPAddr; }
  void TCPSetModemIPAddr(const std::string& v) { TCPsModemIPAddr = v; }
  const std::string& TCPGetModemPhoneNr() const { return TCPsModemPhoneNr; }
  void TCPSetModemPhoneNr(const std::string& v) { TCPsModemPhoneNr = v; }
  const std::string& TCPGetModemUserID() const { return TCPsModemUserID; }
  void TCPSetModemUserID(const std::string& v) { TCPsModemUserID = v; }
  const std::string& TCPGetModemPassword() const { return TCPsModemPassword; }
  void TCPSetModemPassword(const std::string& v) { TCPsModemPassword = v; }
  const std::string& TCPGetPhonebookEntry() const { return TCPsPhoneBookEntry; }
  void TCPSetPhonebookEntry(const std::string& v) { TCPsPhoneBookEntry = v; }

  int32_t TCPClientConnectionStatus() const { return TCPiClientConnectionStatus; }
  bool TCPShowErrors() const { return TCPbShowErrors; }
  void TCPSetShowErrors(bool v) { TCPbShowErrors = v; }

  // The Communication section. Every key is read with the value in force as
  // default; the password is kept as Base64 ("" or a value that does not
  // decode gives an empty password).
  void TCPReadIniFile(const TPLTIniFile& ini) override;
  void TCPWriteIniFile(TPLTIniFile& ini) const override;

  // Address and port of the current line type ("127.0.0.1" on this
  // computer); empty and 0 for an unknown line type.
  void TCPGetAddressPort(std::string& address, int32_t& port) const;
  // Whether the current line's role includes client, or server.
  bool TCPSendAsClient() const;
  bool TCPAcceptAsServer() const;

  // Each of these may be given a null client or server, which is then left
  // alone. The results are 0 or a code; `errorText` (when given) gets the
  // text of a non-zero result.

  // Disconnects, then connects by line type and role: the server listens
  // when the role includes server, the client connects (after the server,
  // and only when that worked) when it includes client. On the modem line
  // the client dials first.
  [[nodiscard]] int TCPConnect(TCTPClientSocketPPP* client, TPLTTcpServer* server,
                               std::string* errorText = nullptr);
  // Opens the client connection. A failure found while opening is reported
  // as "Client socket error: " + its text (to a running sequence, else the
  // error window) and gives the error base.
  [[nodiscard]] int TCPConnectClient(TCTPClientSocketPPP* client, std::string* errorText = nullptr);
  // Makes the server follow the role: listening on the current line's port
  // when the role includes server, stopped otherwise. A port outside
  // 1..65535 gives 10022, a failure to listen its socket code.
  [[nodiscard]] int TCPConnectServer(TPLTTcpServer* server, std::string* errorText = nullptr);
  // Closes the client connection; the server then follows the role again.
  [[nodiscard]] int TCPDisConnect(TCTPClientSocketPPP* client, TPLTTcpServer* server,
                                  std::string* errorText = nullptr);
  // TCPDisConnect, then the modem line is hung up.
  [[nodiscard]] int TCPDisconnectModem(TCTPClientSocketPPP* client, TPLTTcpServer* server,
                                       std::string* errorText = nullptr);

  // The modem status window, shown while the client dials.
  TRRSModemStatusForm& TCPStatusForm() { return statusForm_; }

 private:
  // A key of the Communication section and the field it holds: a number or
  // a text.
  struct TKey {
    const char* name;
    int32_t TTCPCommParams::*number;
    std::string TTCPCommParams::*text;
  };
  // Every key but the password, in the order they are read and written.
  static const TKey kKeys[];

  int32_t CurrentRole() const;
  int32_t CurrentPort() const;

  int32_t TCPiErrorBase;
  int32_t TCPiCommType = TCPcCommThisComp;
  int32_t TCPiThisComputerClientServer = TCPcIsBoth;
  int32_t TCPiThisComputerIPPortNr = TCPcDefaultServerPort;
  int32_t TCPiEthernetClientServer = TCPcIsClient;
  int32_t TCPiEthernetIPPortNr = TCPcDefaultServerPort;
  std::string TCPsEthernetIPAddr = "127.0.0.1";
  int32_t TCPiModemClientServer = TCPcIsClient;
  int32_t TCPiModemIPPortNr = TCPcDefaultServerPort;
  std::string TCPsModemIPAddr = "127.0.0.1";
  std::string TCPsModemPhoneNr;
  std::string TCPsModemUserID;
  std::string TCPsModemPassword;
  std::string TCPsPhoneBookEntry;
  bool TCPbShowErrors = false;
  int32_t TCPiClientConnectionStatus = TCPcConnectionClosed;

  TCEXNullErrorHandOff nullHandOff_;
  ICEXErrorHandOff* handOff_;
  TRRSModemStatusForm statusForm_;
};

}  // namespace kal
