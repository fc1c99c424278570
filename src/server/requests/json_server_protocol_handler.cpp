#include "server/requests/json_server_protocol_handler.h"

#include <stdexcept>

namespace tavrin {

TDBXJSonServerProtocolHandler::TDBXJSonServerProtocolHandler(
    std::unique_ptr<TDBXJSonServerInputConnectionHandler> ConnectionHandler,
    std::unique_ptr<IDBXSessionBinder> Session)
    : FDSSession(std::move(Session)), FConnectionHandler(std::move(ConnectionHandler)) {
  if (!FConnectionHandler) throw std::invalid_argument("protocol handler without a chain");
}

TDBXJSonServerProtocolHandler::~TDBXJSonServerProtocolHandler() {
  FConnectionHandler.reset();
  if (!FDSSession) return;
  try {
    FDSSession->CloseSession();
  } catch (...) {
    // The connection is already gone; a session that fails to close is the session
    // manager's to report, and nothing here could act on it.
  }
}

bool TDBXJSonServerProtocolHandler::HandleProtocol() {
  return FConnectionHandler->HandleProtocol();
}

bool TDBXJSonServerProtocolHandler::HandleNonBlockingProtocol() {
  return FConnectionHandler->HandleNonBlockingProtocol();
}

void TDBXJSonServerProtocolHandler::SetUp(TDSCustomAuthenticationManager* AuthenticationManager) {
  if (!FDSSession) return;
  if (!FDSSession->HasSession()) FDSSession->CreateSession(AuthenticationManager);
  FDSSession->MakeCurrentForThread();
}

}  // namespace tavrin
