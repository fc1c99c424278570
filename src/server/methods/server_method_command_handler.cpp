#include "server/methods/server_method_command_handler.h"

#include <algorithm>
#include <string>
#include <utility>

#include "vocabulary/client_text.h"
#include "dbxstream/active_table_list.h"
#include "vocabulary/dbx_error.h"
#include "server/methods/server_connection_handler.h"
#include "server/sessions/session_manager.h"

namespace tavrin {

namespace {

// What a refusal for lack of memory names.
constexpr char kUnsentReplyWhat[] = "A reply's long value";

std::string NotAuthorizedText(const std::string& UserName) {
  // Built by appending: GCC 12 at -O2 misreads std::string::replace here as an
  // overlapping copy (-Wrestrict).
  const std::string_view Pattern = TDSCommandErrors::kNotAuthorized;
  const std::size_t At = Pattern.find("%s");
  std::string Text(Pattern.substr(0, At));
  Text.append(QuotedClientText(UserName));
  Text.append(Pattern.substr(At + 2));
  return Text;
}

}  // namespace

TDSServerMethodCommandHandler::TDSServerMethodCommandHandler(TDBXContext& Context,
                                                             TDSServerConnectionHandler& ServerCon,
                                                             TDBXCommandHandler& Next)
    : TDBXCommandHandler(Context, &Next), FServerCon(ServerCon) {}

TDSServerMethodCommandHandler::~TDSServerMethodCommandHandler() {
  // The open tables may read from the method's objects: they go first.
  ClearResources();
  FServerMethod.reset();
}

void TDSServerMethodCommandHandler::PrepareMethod(TDBXCommandMessage& Message) {
  FServerMethod.reset();
  FLongOutValues.clear();
  if (!FRow) FRow = NextHandler()->CreateDbxRow();
  FServerMethod = FServerCon.MethodProvider().Prepare(Message.FCommand, FServerCon,
                                                      Message.FServerSideCommand);
  FHasExecuted = false;
  FHasInvocationLifeCycle = FServerMethod->LifeCycle() == TDSLifeCycles::kInvocation;
  Message.FParameters = &FServerMethod->Parameters();
  if (FServerMethod->HasLiteralParameters()) Message.FParameterTypeChanged = true;
}

void TDSServerMethodCommandHandler::DbxPrepare(TDBXPrepareMessage& Message) {
  PrepareMethod(Message);
  Message.FCommandHandle = GetCommandHandle();
  TDBXCommandHandler::DbxPrepare(Message);
}

void TDSServerMethodCommandHandler::Authorize() const {
  const std::shared_ptr<TDSSession> Session = TDSSessionManager::GetThreadSession();
  if (!Session || !Session->RequiresAuthorization(FServerMethod->MethodAlias())) return;
  TDSAuthorizeRequest Request;
  Request.MethodAlias = FServerMethod->MethodAlias();
  Request.UserName = Session->UserName();
  Request.UserRoles = Session->UserRoles();
  Request.MethodRoles =
      Session->GetAuthRoles(FServerMethod->ClassName(), FServerMethod->MethodName(), nullptr);
  if (!Session->Authorize(Request)) {
    throw TDBXError(TDBXErrorCodes::NotAuthorized, NotAuthorizedText(Request.UserName));
  }
}

void TDSServerMethodCommandHandler::ReleaseInstanceWhenRead() {
  if (FHasInvocationLifeCycle && FServerMethod && !ActiveStreamerRowList().HasUnreadTable()) {
    FServerMethod->ReleaseInstance();
  }
}

void TDSServerMethodCommandHandler::DbxExecute(TDBXExecuteMessage& Message) {
  ClearResources();
  FLongOutValues.clear();
  if (FServerMethod) {
    if (FHasInvocationLifeCycle && FHasExecuted) FServerMethod->RenewInstance();
    Message.FParameters = &FServerMethod->Parameters();
  } else {
    PrepareMethod(Message);
  }
  FHasExecuted = true;

  // Whatever happens below, an "Invocation" instance does not outlive the call unless
  // the client still has rows to read from it.
  struct TReleaseAfterCall {
    TDSServerMethodCommandHandler& Command;
    ~TReleaseAfterCall() {
      try {
        Command.ReleaseInstanceWhenRead();
      } catch (...) {
        // A failing destruction must not replace the request's own outcome; the
        // instance is gone from the command either way.
      }
    }
  } ReleaseAfterCall{*this};

  Authorize();
  TDBXRowBuffer& Row = FRow->RowBuffer();
  if (Message.FHasParameters) FServerMethod->LoadArguments(Row);
  FServerMethod->Invoke(Message.FTables);

  Row.Post();
  for (auto& Long : FServerMethod->WriteResults(Row)) {
    // Counted before it is kept: a reply past the connection's or the server's memory
    // is refused here and its value dropped.
    TClientMemoryHold Hold;
    if (Long.Rest) Hold.Set(std::max<std::int64_t>(Long.Rest->Size(), 0), kUnsentReplyWhat);
    FLongOutValues[Long.Ordinal] = {std::move(Long.Rest), std::move(Hold)};
  }
  Message.FCommandHandle = GetCommandHandle();
  Message.FParameters = &FServerMethod->Parameters();
  Message.FRow = FRow.get();
  Message.FHasOutOrReturnParameters = FServerMethod->HasOutOrReturnParameters();
  Message.FHasDBXTableReaderOutOrReturnParameter = FServerMethod->HasTableParameters();
  Message.FReturnReader = FServerMethod->ReturnReader();
  Message.FActiveStreamerRowList = &ActiveStreamerRowList();
  TDBXCommandHandler::DbxExecute(Message);
}

void TDSServerMethodCommandHandler::DbxNext(TDBXNextMessage& Message) {
  Message.FActiveStreamerRowList = &ActiveStreamerRowList();
  TDBXCommandHandler::DbxNext(Message);
  ReleaseInstanceWhenRead();
}

void TDSServerMethodCommandHandler::DbxMoreBlob(TDBXMoreBlobMessage& Message) {
  Message.FActiveStreamerRowList = &ActiveStreamerRowList();
  // A long out value lives here, not among the tables.
  const auto Long = FLongOutValues.find(Message.FOrdinal);
  const bool OutValue = Long != FLongOutValues.end() && (Message.FOutParameter || Message.FRowHandle < 0);
  Message.FStreamReader = OutValue ? Long->second.Rest.get() : nullptr;
  TDBXCommandHandler::DbxMoreBlob(Message);
  if (OutValue) {
    Message.FStreamReader = nullptr;
    if (Message.FEos) FLongOutValues.erase(Long);
  }
  ReleaseInstanceWhenRead();
}

void TDSServerMethodCommandHandler::DbxReaderClose(TDBXReaderCloseMessage& Message) {
  Message.FActiveStreamerRowList = &ActiveStreamerRowList();
  TDBXCommandHandler::DbxReaderClose(Message);
  // A table closed unread is done with too: its instance need not wait for the next call.
  ReleaseInstanceWhenRead();
}

}  // namespace tavrin
