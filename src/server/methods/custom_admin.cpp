#include "server/methods/custom_admin.h"

#include <utility>

#include "vocabulary/dbx_error.h"
#include "server/methods/declaration_builder.h"
#include "server/methods/server_connection_handler.h"
#include "vocabulary/unicode_text.h"

namespace tavrin {
namespace {

using namespace declare;

[[noreturn]] void RefuseCallbackChannel(TDSServerObject&, TDSMethodCall&) {
  throw TDBXError(TDBXErrorCodes::UnsupportedAdminRequest, TDSAdminErrors::kNoCallbackChannels);
}

TDSMethodDeclaration CallbackMethod(std::string Name, std::vector<TDSParameterDeclaration> Parameters,
                                    TDeclaredType Result) {
  return {std::move(Name), std::move(Parameters), std::move(Result), false, false, RefuseCallbackChannel};
}

TDSParameterDeclaration Parameter(std::string Name, TDeclaredType Type) { return {std::move(Name), std::move(Type)}; }

}  // namespace

TDSServerConnectionHandler& TDSCustomAdmin::Connection() const {
  if (FConnectionHandler == nullptr) {
    throw TDBXError(TDBXErrorCodes::UnsupportedAdminRequest, TDSAdminErrors::kNoConnection);
  }
  return *FConnectionHandler;
}

const IDSServerMethodProvider& TDSCustomAdmin::Methods() const { return Connection().MethodProvider(); }

std::u16string TDSCustomAdmin::GetDSServerName() const { return ToUtf16(Methods().ServerName()); }

std::vector<TDSMethodDeclaration> CustomAdminMethodDeclarations() {
  const TDeclaredType Json = OfClass("TJSONValue");
  const TDeclaredType Callback = OfClass("TDBXCallback");
  const TDeclaredType Object = OfClass("TObject");
  const TDeclaredType Boolean = Named("Boolean");
  const TDeclaredType Integer = Named("Integer");
  return {
      {"GetDSServerName", {}, Named("string"), false, false, BindMethod(&TDSCustomAdmin::GetDSServerName)},
      CallbackMethod("ConsumeClientChannel",
                     {ConstText("ChannelName"), ConstText("ClientManagerId"), ConstText("CallbackId"),
                      ConstText("ChannelNames"), ConstText("SecurityToken"), Parameter("ResponseData", Json)},
                     Json),
      CallbackMethod("ConsumeClientChannelTimeout",
                     {ConstText("ChannelName"), ConstText("ClientManagerId"), ConstText("CallbackId"),
                      ConstText("ChannelNames"), ConstText("SecurityToken"), Parameter("Timeout", Integer),
                      Parameter("ResponseData", Json)},
                     Json),
      CallbackMethod("ConnectClientChannel",
                     {ConstText("ChannelName"), ConstText("ChannelId"), ConstText("CallbackId"),
                      ConstText("ChannelNames"), ConstText("SecurityToken"), Parameter("ChannelCallback", Callback)},
                     Boolean),
      CallbackMethod("ConnectClientChannelTimeout",
                     {ConstText("ChannelName"), ConstText("ChannelId"), ConstText("CallbackId"),
                      ConstText("ChannelNames"), ConstText("SecurityToken"), Parameter("ChannelCallback", Callback),
                      Parameter("Timeout", Integer)},
                     Boolean),
      CallbackMethod("CloseClientChannel", {ConstText("ChannelId"), ConstText("SecurityToken")}, Boolean),
      CallbackMethod("RegisterClientCallback",
                     {ConstText("ChannelId"), ConstText("CallbackId"), ConstText("ChannelNames"),
                      ConstText("SecurityToken"), Parameter("ChannelCallback", Callback)},
                     Boolean),
      CallbackMethod("RegisterClientCallbackServer",
                     {ConstText("ChannelId"), ConstText("CallbackId"), ConstText("ChannelNames"),
                      ConstText("SecurityToken")},
                     Boolean),
      CallbackMethod("UnregisterClientCallback",
                     {ConstText("ChannelId"), ConstText("CallbackId"), ConstText("SecurityToken")}, Boolean),
      CallbackMethod("BroadcastToChannel", {ConstText("ChannelName"), Parameter("Msg", Json)}, Boolean),
      CallbackMethod("BroadcastObjectToChannel", {ConstText("ChannelName"), Parameter("Msg", Object)}, Boolean),
      CallbackMethod("NotifyCallback",
                     {ConstText("ClientId"), ConstText("CallbackId"), Parameter("Msg", Json),
                      Parameter("Response", Out(Json))},
                     Boolean),
      CallbackMethod("NotifyObject",
                     {ConstText("ClientId"), ConstText("CallbackId"), Parameter("Msg", Object),
                      Parameter("Response", Out(Object))},
                     Boolean),
  };
}

}  // namespace tavrin
