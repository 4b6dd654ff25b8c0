#include "comm/CommParams.h"

#include "comm/SocketErrorLatch.h"
#include "platform/SocketErrors.h"
#include "support/Base64.h"

namespace kal {

namespace {

constexpr const char* kSection = TTCPCommParams::TCPcSection;

bool AllDigits(const std::string& text) {
  for (const char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

std::string WithoutDots(const std::string& text) {
  std::string out;
  for (const char c : text)
    if (c != '.') out += c;
  return out;
}

void SetText(std::string* errorText, const std::string& text) {
  if (errorText != nullptr) *errorText = text;
}

}  // namespace

TTCPCommParams::TTCPCommParams(int32_t errorBase, ICEXErrorHandOff* errorHandOff)
    : TCPiErrorBase(errorBase), handOff_(errorHandOff != nullptr ? errorHandOff : &nullHandOff_) {
  RRSInitSocketError();
}

void TTCPCommParams::TCPSetErrorHandOff(ICEXErrorHandOff* errorHandOff) {
  handOff_ = errorHandOff != nullptr ? errorHandOff : &nullHandOff_;
}

// clang-format off
const TTCPCommParams::TKey TTCPCommParams::kKeys[] = {
    {"CommType",                 &TTCPCommParams::TCPiCommType,                 nullptr},
    {"ThisComputerClientServer", &TTCPCommParams::TCPiThisComputerClientServer, nullptr},
    {"ThisComputerIPPortNr",     &TTCPCommParams::TCPiThisComputerIPPortNr,     nullptr},
    {"EthernetClientServer",     &TTCPCommParams::TCPiEthernetClientServer,     nullptr},
    {"EthernetIPPortNr",         &TTCPCommParams::TCPiEthernetIPPortNr,         nullptr},
    {"EthernetIPAddr",           nullptr, &TTCPCommParams::TCPsEthernetIPAddr},
    {"ModemClientServer",        &TTCPCommParams::TCPiModemClientServer,        nullptr},
    {"ModemIPPortNr",            &TTCPCommParams::TCPiModemIPPortNr,            nullptr},
    {"ModemIPAddr",              nullptr, &TTCPCommParams::TCPsModemIPAddr},
    {"ModemPhoneNr",             nullptr, &TTCPCommParams::TCPsModemPhoneNr},
    {"ModemUserID",              nullptr, &TTCPCommParams::TCPsModemUserID},
    {"PhoneBookEntry",           nullptr, &TTCPCommParams::TCPsPhoneBookEntry},
};
// clang-format on

void TTCPCommParams::TCPReadIniFile(const TPLTIniFile& ini) {
  for (const TKey& key : kKeys) {
    if (key.number != nullptr)
      this->*key.number = ini.PLTReadInteger(kSection, key.name, this->*key.number);
    else
      this->*key.text = ini.PLTReadString(kSection, key.name, this->*key.text);
  }
  const std::string encoded = ini.PLTReadString(kSection, "ModemPassword", "");
  std::string password;
  if (TUTBase64().DecodeData(encoded, password) != TUTBase64::UTBcOk) password.clear();
  TCPsModemPassword = password;
}

void TTCPCommParams::TCPWriteIniFile(TPLTIniFile& ini) const {
  for (const TKey& key : kKeys) {
    if (key.number != nullptr)
      ini.PLTWriteInteger(kSection, key.name, this->*key.number);
    else
      ini.PLTWriteString(kSection, key.name, this->*key.text);
  }
  std::string encoded;
  if (TUTBase64().EncodeData(TCPsModemPassword, encoded)) encoded.clear();
  ini.PLTWriteString(kSection, "ModemPassword", encoded);
}

int32_t TTCPCommParams::CurrentRole() const {
  switch (TCPiCommType) {
    case TCPcCommThisComp:
      return TCPiThisComputerClientServer;
    case TCPcCommEthernet:
      return TCPiEthernetClientServer;
    case TCPcCommModem:
      return TCPiModemClientServer;
    default:
      return -1;
  }
}

int32_t TTCPCommParams::CurrentPort() const {
  switch (TCPiCommType) {
    case TCPcCommThisComp:
      return TCPiThisComputerIPPortNr;
    case TCPcCommEthernet:
      return TCPiEthernetIPPortNr;
    case TCPcCommModem:
      return TCPiModemIPPortNr;
    default:
      return 0;
  }
}

void TTCPCommParams::TCPGetAddressPort(std::string& address, int32_t& port) const {
  port = CurrentPort();
  switch (TCPiCommType) {
    case TCPcCommThisComp:
      address = "127.0.0.1";
      break;
    case TCPcCommEthernet:
      address = TCPsEthernetIPAddr;
      break;
    case TCPcCommModem:
      address = TCPsModemIPAddr;
      break;
    default:
      address.clear();
      break;
  }
}

bool TTCPCommParams::TCPSendAsClient() const {
  const int32_t role = CurrentRole();
  if (TCPiCommType == TCPcCommThisComp) return role == TCPcIsClient || role == TCPcIsBoth;
  return role == TCPcIsClient;  // -1 for an unknown line type
}

bool TTCPCommParams::TCPAcceptAsServer() const {
  const int32_t role = CurrentRole();
  if (TCPiCommType == TCPcCommThisComp) return role == TCPcIsServer || role == TCPcIsBoth;
  return role == TCPcIsServer;
}

int TTCPCommParams::TCPConnect(TCTPClientSocketPPP* client, TPLTTcpServer* server,
                               std::string* errorText) {
  int result = TCPDisConnect(client, server, errorText);
  const int32_t role = CurrentRole();
  switch (TCPiCommType) {
    case TCPcCommThisComp:
      if (client != nullptr) {
        client->SetHost("");
        client->SetAddress("127.0.0.1");
        client->SetPort(TCPiThisComputerIPPortNr);
        client->SetUserID("");
        client->SetPassword("");
        client->SetPhoneNumber("");
        client->SetPhoneBookEntry("");
      }
      if (role == TCPcIsClient) {
        result = TCPConnectClient(client, errorText);
      } else if (role == TCPcIsServer) {
        result = TCPConnectServer(server, errorText);
      } else if (role == TCPcIsBoth) {
        result = TCPConnectServer(server, errorText);
        if (result == 0) result = TCPConnectClient(client, errorText);
      }
      break;

    case TCPcCommEthernet:
      if (client != nullptr) {
        // Digits and dots only: a numeric address (even an incomplete one,
        // which the numeric parser reads in its short forms); else a name.
        if (AllDigits(WithoutDots(TCPsEthernetIPAddr))) {
          client->SetAddress(TCPsEthernetIPAddr);
          client->SetHost("");
        } else {
          client->SetHost(TCPsEthernetIPAddr);
          client->SetAddress("");
        }
        client->SetPort(TCPiEthernetIPPortNr);
        client->SetUserID("");
        client->SetPassword("");
        client->SetPhoneNumber("");
        client->SetPhoneBookEntry("");
      }
      if (role == TCPcIsClient)
        result = TCPConnectClient(client, errorText);
      else if (role == TCPcIsServer)
        result = TCPConnectServer(server, errorText);
      break;

    case TCPcCommModem:
      if (client != nullptr) {
        client->SetHost("");
        client->SetAddress(TCPsModemIPAddr);
        client->SetPort(TCPiModemIPPortNr);
        client->SetUserID(TCPsModemUserID);
        client->SetPassword(TCPsModemPassword);
        client->SetPhoneNumber(TCPsModemPhoneNr);
        client->SetPhoneBookEntry(TCPsPhoneBookEntry);
      }
      if (role == TCPcIsServer) {
        result = TCPConnectServer(server, errorText);
      } else if (role == TCPcIsClient && client != nullptr) {
        if (client->CTPModemConnectionstate() != TCTPClientSocketPPP::CTPcModemDisconnected) {
          static_cast<void>(TCPDisconnectModem(client, server, errorText));
          handOff_->CEXShowMessage("Modem not in idle state, press hangup and try again");
          result = 0;
        } else {
          statusForm_.RRSOpenStatusForm(TCPsPhoneBookEntry, TCPsModemPhoneNr, TCPsModemUserID,
                                        std::to_string(TCPiModemIPPortNr), TCPsModemIPAddr,
                                        TCPsModemPassword);
          client->CTPInitialise(&statusForm_.RRSGetStatusField(),
                                &statusForm_.RRSGetHistoryField());
          result = TCPConnectClient(client, errorText);
        }
      }
      break;

    default:
      break;
  }
  return result;
}

int TTCPCommParams::TCPConnectClient(TCTPClientSocketPPP* client, std::string* errorText) {
  if (client == nullptr) return 0;
  TCPiClientConnectionStatus = TCPcConnectionOpening;
  // Only the failures of this connect count: drop whatever an earlier
  // connection left in the latch.
  int code = 0;
  std::string text;
  RRSGetLastSocketError(code, text);
  client->CTPConnect();
  RRSGetLastSocketError(code, text);
  if (code == 0) {
    TCPiClientConnectionStatus = TCPcConnectionOpen;
    return 0;
  }
  const std::string message = "Client socket error: " + text;
  if (!handOff_->CEXLogError(code, message, false)) handOff_->ERRSetErrorMessage(code, message);
  SetText(errorText, message);
  TCPiClientConnectionStatus = TCPcConnectionClosed;
  return TCPiErrorBase;
}

int TTCPCommParams::TCPConnectServer(TPLTTcpServer* server, std::string* errorText) {
  if (server == nullptr) return 0;
  if (!TCPAcceptAsServer()) {
    if (server->PLTActive()) server->PLTDeactivate();
    return 0;
  }
  const int32_t port = CurrentPort();
  if (port < 1 || port > 65535) {
    // Nothing listens on a port the settings no longer name.
    if (server->PLTActive()) server->PLTDeactivate();
    SetText(errorText, PLTSocketErrorText(PLTcSocketInvalidArgument));
    return PLTcSocketInvalidArgument;
  }
  if (server->PLTGetDefaultPort() != port) {
    server->PLTDeactivate();
    server->PLTSetDefaultPort(port);
  }
  if (!server->PLTActive()) {
    if (const int rc = server->PLTActivate(); rc != 0) {
      SetText(errorText, PLTSocketErrorText(rc));
      return rc;
    }
  }
  return 0;
}

int TTCPCommParams::TCPDisConnect(TCTPClientSocketPPP* client, TPLTTcpServer* server,
                                  std::string* errorText) {
  if (client != nullptr) {
    if (client->Active()) client->CTPExtendStatus(" Closing client socket");
    client->Close();
  }
  TCPiClientConnectionStatus = TCPcConnectionClosed;
  return server != nullptr ? TCPConnectServer(server, errorText) : 0;
}

int TTCPCommParams::TCPDisconnectModem(TCTPClientSocketPPP* client, TPLTTcpServer* server,
                                       std::string* errorText) {
  const int result = TCPDisConnect(client, server, errorText);
  if (client != nullptr) client->CTPDisConnectModem();
  return result;
}

}  // namespace kal
