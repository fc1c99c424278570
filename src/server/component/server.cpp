#include "server/component/server.h"

#include <stdexcept>

#include "server/builtin/builtin_classes.h"

namespace tavrin {

namespace {

// Stopping goes on past a failing part: the process is ending, and what is left
// running would keep it from ending.
void StopQuietly(IDSServerTransport& Transport) noexcept {
  try {
    Transport.Stop();
  } catch (...) {
  }
}

// A failing destroy hook of a "Server" instance is dropped; the registry is empty then.
void CloseQuietly(TDSServerMethodProvider& Registry) noexcept {
  try {
    Registry.Close();
  } catch (...) {
  }
}

}  // namespace

TDSServer::TDSServer(std::string Name)
    : FName(std::move(Name)),
      FMethodProvider(std::vector<const TDSClassDeclaration*>{&DSAdminDeclaration(), &DSMetadataDeclaration()}) {
  FMethodProvider.SetServerName(FName);
}

TDSServer::~TDSServer() { Stop(); }

void TDSServer::AddServerClass(const TDSServerClass& ServerClass) {
  if (FStarted) throw std::logic_error("Server classes cannot be added to a started server");
  FMethodProvider.AddServerClass(ServerClass);
}

void TDSServer::AddTransport(IDSServerTransport& Transport) {
  if (FStarted) throw std::logic_error("Transports cannot be added to a started server");
  FTransports.push_back(&Transport);
}

void TDSServer::Start() {
  if (FStarted) return;
  // The registry is complete before the first connection can be accepted: connection
  // threads read it without a lock.
  FMethodProvider.Open();
  std::size_t Started = 0;
  try {
    for (; Started < FTransports.size(); ++Started) FTransports[Started]->Start();
  } catch (...) {
    while (Started > 0) StopQuietly(*FTransports[--Started]);
    CloseQuietly(FMethodProvider);
    throw;
  }
  FStarted = true;
}

void TDSServer::Stop() noexcept {
  if (!FStarted) return;
  for (auto It = FTransports.rbegin(); It != FTransports.rend(); ++It) StopQuietly(**It);
  CloseQuietly(FMethodProvider);
  FStarted = false;
}

}  // namespace tavrin
