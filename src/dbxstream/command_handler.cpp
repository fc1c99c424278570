#include "dbxstream/command_handler.h"

#include "dbxstream/active_table_list.h"
#include "dbxstream/json_row.h"
#include "vocabulary/dbx_error.h"

namespace tavrin {

namespace {

constexpr char kNoRowObject[] = "This handler makes no row objects";
constexpr char kNoCommandHandle[] = "A connection handler has no command handle";

}  // namespace

TDBXCommandHandler::TDBXCommandHandler(TDBXContext& Context, TDBXCommandHandler* Next)
    : FDbxContext(Context), FNextHandler(Next) {}

TDBXCommandHandler::~TDBXCommandHandler() = default;

void TDBXCommandHandler::DbxExecute(TDBXExecuteMessage& Message) {
  if (FNextHandler) FNextHandler->DbxExecute(Message);
}
void TDBXCommandHandler::DbxPrepare(TDBXPrepareMessage& Message) {
  if (FNextHandler) FNextHandler->DbxPrepare(Message);
}
void TDBXCommandHandler::DbxNextResult(TDBXNextResultMessage& Message) {
  if (FNextHandler) FNextHandler->DbxNextResult(Message);
}
void TDBXCommandHandler::DbxNext(TDBXNextMessage& Message) {
  if (FNextHandler) FNextHandler->DbxNext(Message);
}
void TDBXCommandHandler::DbxMoreBlob(TDBXMoreBlobMessage& Message) {
  if (FNextHandler) FNextHandler->DbxMoreBlob(Message);
}
void TDBXCommandHandler::DbxCommandClose(TDBXCommandCloseMessage& Message) {
  if (FNextHandler) FNextHandler->DbxCommandClose(Message);
}
void TDBXCommandHandler::DbxReaderClose(TDBXReaderCloseMessage& Message) {
  if (FNextHandler) FNextHandler->DbxReaderClose(Message);
}
void TDBXCommandHandler::DbxErrorMessage(TDBXErrorMessage& Message) {
  if (FNextHandler) FNextHandler->DbxErrorMessage(Message);
}

std::unique_ptr<TDBXJSonRow> TDBXCommandHandler::CreateDbxRow() {
  throw TDBXError(TDBXErrorCodes::UnsupportedOperation, kNoRowObject);
}

void TDBXCommandHandler::ClearResources() {
  if (FActiveStreamerRowList) FActiveStreamerRowList->CloseAll();
}

TDBXActiveTableReaderList& TDBXCommandHandler::ActiveStreamerRowList() {
  if (!FActiveStreamerRowList) FActiveStreamerRowList = std::make_unique<TDBXActiveTableReaderList>();
  return *FActiveStreamerRowList;
}

std::size_t TDBXCommandHandler::OpenTableCount() const {
  return FActiveStreamerRowList ? FActiveStreamerRowList->TableCount() : 0;
}

void TDBXCommandHandler::SetNextOwnedHandler(std::unique_ptr<TDBXCommandHandler> Next) {
  FNextOwnedHandler = std::move(Next);
  FNextHandler = FNextOwnedHandler.get();
}

void TDBXCommandHandler::FreeNextHandler() {
  FNextHandler = nullptr;
  FNextOwnedHandler.reset();
}

TDBXConnectionHandler::TDBXConnectionHandler(TDBXContext& Context,
                                             std::unique_ptr<TDBXConnectionHandler> Next)
    : TDBXCommandHandler(Context), FNextConnectionHandler(Next.get()) {
  SetNextOwnedHandler(std::move(Next));
}

void TDBXConnectionHandler::DbxConnect(TDBXConnectMessage& Message) {
  if (FNextConnectionHandler) FNextConnectionHandler->DbxConnect(Message);
}
void TDBXConnectionHandler::DbxDisconnect(TDBXDisconnectMessage& Message) {
  if (FNextConnectionHandler) FNextConnectionHandler->DbxDisconnect(Message);
}
void TDBXConnectionHandler::DbxTxBegin(TDBXTxBeginMessage& Message) {
  if (FNextConnectionHandler) FNextConnectionHandler->DbxTxBegin(Message);
}
void TDBXConnectionHandler::DbxTxEnd(TDBXTxEndMessage& Message) {
  if (FNextConnectionHandler) FNextConnectionHandler->DbxTxEnd(Message);
}
void TDBXConnectionHandler::DbxVendorProperty(TDBXVendorPropertyMessage& Message) {
  if (FNextConnectionHandler) FNextConnectionHandler->DbxVendorProperty(Message);
}
void TDBXConnectionHandler::DbxOpen() {
  if (FNextConnectionHandler) FNextConnectionHandler->DbxOpen();
}

TDBXCommandHandler* TDBXConnectionHandler::AcquireCommandHandler(TDBXCommandMessage& Message) {
  if (FNextConnectionHandler) return FNextConnectionHandler->AcquireCommandHandler(Message);
  return this;
}

bool TDBXConnectionHandler::DbxBeforeRequest() {
  return FNextConnectionHandler ? FNextConnectionHandler->DbxBeforeRequest() : true;
}

std::u16string TDBXConnectionHandler::GetProductName() {
  return FNextConnectionHandler ? FNextConnectionHandler->GetProductName() : std::u16string();
}

void TDBXConnectionHandler::DbxInvocationMetadata(TJSONValue Metadata) {
  if (FNextConnectionHandler) FNextConnectionHandler->DbxInvocationMetadata(std::move(Metadata));
}

std::int32_t TDBXConnectionHandler::GetCommandHandle() const {
  throw TDBXError(TDBXErrorCodes::UnsupportedOperation, kNoCommandHandle);
}

void TDBXConnectionHandler::SetCommandHandle(std::int32_t /*Handle*/) {
  throw TDBXError(TDBXErrorCodes::UnsupportedOperation, kNoCommandHandle);
}

}  // namespace tavrin
