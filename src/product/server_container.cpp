#include "product/server_container.h"

#include <string>

namespace tavrin {

namespace ContainerTexts = TServerContainerTexts;

namespace {
TServerMethodsServices WithThrottle(const TServerMethodsServices& Services, TLoginThrottle& Throttle) {
  TServerMethodsServices Result = Services;
  Result.LoginThrottle = &Throttle;
  return Result;
}
}  // namespace

TServerContainer1::TServerContainer1(const TServerMethodsServices& Services, const TServerContainerSettings& Settings)
    : DSServer1(ContainerTexts::kServerName),
      DSTCPServerTransport1(DSServer1),
      FServices(Services),
      FLoginThrottle(std::chrono::milliseconds(Settings.LoginDelayMaxMs)),
      FMethodServices(WithThrottle(Services, FLoginThrottle)),
      FServerMethods(ServerMethodsDeclaration(FMethodServices)) {
  DSServer1.Events.OnConnect = [this](const TDSConnectEventObject& Event) { DSServer1Connect(Event); };
  DSServer1.Events.OnDisconnect = [this](const TDSConnectEventObject& Event) { DSServer1Disconnect(Event); };
  auto& Transport = DSTCPServerTransport1.Transport();
  Transport.SetPort(Settings.Port);
  Transport.SetMaxConnections(Settings.MaxConnections);
  Transport.SetConnectTimeout(Settings.ConnectTimeoutMs);
  Transport.SetIdleTimeout(Settings.IdleTimeoutMs);
  DSTCPServerTransport1.SetClientMemoryBudget(Settings.ClientMemoryMB * TDSTCPServerLink::kBytesPerMB,
                                              std::chrono::milliseconds(Settings.ClientMemoryWaitMs));
  Transport.SetOnConnectionRefused([this](const std::string& Address) {
    FServices.Log.Append(ContainerTexts::kRefused + Address + ContainerTexts::kRefusedReason);
  });
  Transport.SetOnInactivityClose([this](const std::string& Address) {
    FServices.Log.Append(ContainerTexts::kClosedIdle + Address);
  });
  DSTCPServerTransport1.SetOnClientMemoryRefusal([this](const std::string& Address) {
    FServices.Log.Append(ContainerTexts::kRequestRefused + Address + ContainerTexts::kMemoryReason);
  });
  Transport.SetOnRefusalClose([this](const std::string& Address) {
    FServices.Log.Append(ContainerTexts::kClosedRefused + Address + ContainerTexts::kClosedRefusedReason);
  });
  DSServerClass1.OnGetClass = [this] { return DSServerClass1GetClass(); };
  DSServer1.AddServerClass(DSServerClass1);
  Loaded();
}

TServerContainer1::~TServerContainer1() {
  // A slowed login answer would hold its thread, and so the stop, for up to its delay.
  FLoginThrottle.Stop();
  DSServer1.Stop();
  // The connection threads gave theirs back as they parked; this gives back the
  // rest (a query run on another thread), so a stopped server holds no database file.
  FServices.DatabaseSession.Connections().ReleaseAll();
}

void TServerContainer1::Loaded() {
  if (DSServer1.AutoStart) DSServer1.Start();
}

void TServerContainer1::DSServer1Connect(const TDSConnectEventObject& Event) {
  FServices.Log.Append(ContainerTexts::kConnected + Event.ChannelInfo.ClientInfo.IpAddress);
}

void TServerContainer1::DSServer1Disconnect(const TDSConnectEventObject& Event) {
  FServices.Log.Append(ContainerTexts::kDisconnected + Event.ChannelInfo.ClientInfo.IpAddress);
}

}  // namespace tavrin
