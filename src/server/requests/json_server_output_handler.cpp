#include "server/requests/json_server_output_handler.h"

#include <string>
#include <vector>

#include "dbxstream/json_row.h"
#include "dbxstream/stream_keywords.h"
#include "vocabulary/dbx_error.h"
#include "vocabulary/unicode_text.h"
#include "vocabulary/value_holders.h"

namespace tavrin {

namespace {

// The fixed fields member of a prepare reply: {"fields":[0,false]}.
constexpr std::int32_t kPrepareFieldsCount = 0;
constexpr bool kPrepareFieldsFlag = false;
// The fixed values of a next-result reply: {"result":[false,0,false,-1]}.
constexpr bool kNextResultUpdateable = false;
constexpr std::int32_t kNextResultRowsAffected = 0;
constexpr bool kNextResultHasNext = false;
constexpr std::int32_t kNextResultHandle = -1;

bool IsOutward(std::int32_t Direction) {
  return Direction == TDBXParameterDirections::OutParameter ||
         Direction == TDBXParameterDirections::InOutParameter ||
         Direction == TDBXParameterDirections::ReturnParameter;
}

// The table an out, in/out or return parameter of type TABLE holds, or null.
std::shared_ptr<TDBXReader> TableOf(const TDBXParameter& Parameter) {
  if (Parameter.DataType() != TDBXDataTypes::TableType) return nullptr;
  if (!IsOutward(Parameter.ParameterDirection())) return nullptr;
  const auto* Value = dynamic_cast<const TDBXReaderValue*>(Parameter.Value());
  if (Value == nullptr || Value->IsNull()) return nullptr;
  return Value->GetReader();
}

[[noreturn]] void RaiseNoOpenTable(std::int32_t RowHandle) {
  throw TDBXError(TDBXErrorCodes::NoOpenTable,
                  std::string(TDBXTableErrors::kNoOpenTable) + std::to_string(RowHandle));
}

}  // namespace

TDBXJSonServerOutputConnectionHandler::TDBXJSonServerOutputConnectionHandler(
    TDBXContext& Context, TDBXJSonStreamReader& Reader, TDBXJSonStreamWriter& Writer,
    TDBXRowBuffer& RowBuffer)
    : TDBXJSonConnectionHandler(Context, Reader, Writer, RowBuffer, nullptr, true),
      FStreamer(Reader, Writer, RowBuffer.Client()) {}

void TDBXJSonServerOutputConnectionHandler::WriteArrayAndObjectEnd() {
  StreamWriter().WriteArrayEnd();
  StreamWriter().WriteObjectEnd();
}

void TDBXJSonServerOutputConnectionHandler::WriteParameters(TDBXCommandMessage& Message,
                                                            bool& Written) {
  if (Message.FParameters != nullptr && !Message.FParameters->empty()) {
    if (Written) StreamWriter().WriteValueSeparator();
    WriteParameterList(StreamWriter(), *Message.FParameters);
    Written = true;
  }
  Message.FParameterTypeChanged = false;
}

void TDBXJSonServerOutputConnectionHandler::WriteParameterRow(TDBXRowBuffer& Row, bool& Written) {
  if (Written) StreamWriter().WriteValueSeparator();
  StreamWriter().WriteDataObject(Row.WrittenBytes());
  Row.Post();
  Written = true;
}

void TDBXJSonServerOutputConnectionHandler::DbxConnect(TDBXConnectMessage& Message) {
  TDBXJSonStreamWriter& W = StreamWriter();
  W.WriteResultObjectStart();
  W.WriteInt(Message.FConnectionHandle);
  W.WriteValueSeparator();
  W.WriteString(Message.FProductName);
  W.WriteValueSeparator();
  W.WriteInt(kProtocolVersion);
  WriteArrayAndObjectEnd();
  W.Flush();
}

void TDBXJSonServerOutputConnectionHandler::DbxPrepare(TDBXPrepareMessage& Message) {
  TDBXJSonStreamWriter& W = StreamWriter();
  W.WriteResultObjectStart();
  W.WriteHandleObject(Message.FCommandHandle);
  W.WriteValueSeparator();
  W.WriteObjectStart();
  W.WriteString(KeywordOf(TDBXStringCodes::Fields));
  W.WriteNameSeparator();
  W.WriteArrayStart();
  W.WriteInt(kPrepareFieldsCount);
  W.WriteValueSeparator();
  W.WriteBoolean(kPrepareFieldsFlag);
  WriteArrayAndObjectEnd();
  bool Written = true;
  WriteParameters(Message, Written);
  WriteArrayAndObjectEnd();
  W.Flush();
}

void TDBXJSonServerOutputConnectionHandler::DbxExecute(TDBXExecuteMessage& Message) {
  TDBXJSonStreamWriter& W = StreamWriter();
  TDBXRowBuffer& Row = Message.FRow != nullptr ? Message.FRow->RowBuffer() : RowBuffer();
  const std::int32_t CommandHandle = Message.FCommandHandle;
  std::vector<TDBXActiveTableReaderItem*> Tables;
  auto WriteTable = [&](std::shared_ptr<TDBXReader> Reader, bool& Written) {
    if (Message.FActiveStreamerRowList == nullptr) RaiseNoOpenTable(-1);
    if (Written) W.WriteValueSeparator();
    Tables.push_back(&FStreamer.WriteTableObject(*Message.FActiveStreamerRowList, CommandHandle,
                                                 std::move(Reader)));
    Written = true;
  };

  W.WriteResultObjectStart();
  bool Written = false;
  if (Message.FRowsAffected >= 0) {
    W.WriteRowsObject(Message.FRowsAffected);
    Written = true;
  }
  if (Message.FHasOutOrReturnParameters) {
    if (Message.FParameterTypeChanged) WriteParameters(Message, Written);
    const bool HasParameters = Message.FParameters != nullptr && !Message.FParameters->empty();
    if (Message.FHasDBXTableReaderOutOrReturnParameter) {
      if (HasParameters) {
        WriteParameterRow(Row, Written);
        for (const auto& Parameter : *Message.FParameters) {
          if (auto Table = TableOf(*Parameter)) WriteTable(std::move(Table), Written);
        }
      }
      if (Tables.empty() && Message.FReturnReader) WriteTable(Message.FReturnReader, Written);
    } else {
      WriteParameterRow(Row, Written);
    }
  }
  WriteArrayAndObjectEnd();
  for (std::size_t i = 0; i < Tables.size(); ++i) {
    if (i > 0) W.WriteValueSeparator();
    Tables[i]->SetEos(FStreamer.WriteNext(CommandHandle, *Tables[i], true));
  }
  W.Flush();
}

void TDBXJSonServerOutputConnectionHandler::DbxNext(TDBXNextMessage& Message) {
  if (Message.FActiveStreamerRowList == nullptr) RaiseNoOpenTable(Message.FRowHandle);
  TDBXActiveTableReaderItem& Item = Message.FActiveStreamerRowList->Get(Message.FRowHandle);
  if (Item.Reader() == nullptr) RaiseNoOpenTable(Message.FRowHandle);
  if (Item.Eos()) {
    throw TDBXError(TDBXErrorCodes::NoOpenTable, std::string(TDBXTableErrors::kNoFurtherRows) +
                                               std::to_string(Message.FRowHandle));
  }
  Item.SetEos(FStreamer.WriteNext(Message.FCommandHandle, Item, false));
  StreamWriter().Flush();
}

void TDBXJSonServerOutputConnectionHandler::DbxMoreBlob(TDBXMoreBlobMessage& Message) {
  TStream* Source = Message.FStreamReader;
  TDBXActiveTableReaderItem* Item = nullptr;
  if (Source == nullptr) {
    if (Message.FActiveStreamerRowList == nullptr) RaiseNoOpenTable(Message.FRowHandle);
    Item = &Message.FActiveStreamerRowList->Get(Message.FRowHandle);
    Source = &Item->LongValue(Message.FRow, Message.FOrdinal);
  }
  TDBXJSonStreamWriter& W = StreamWriter();
  W.WriteResultObjectStart();
  Message.FEos = W.WriteDataObject(*Source);
  WriteArrayAndObjectEnd();
  W.Flush();
  if (Message.FEos && Item != nullptr) Item->DropLongValue(Message.FRow, Message.FOrdinal);
}

void TDBXJSonServerOutputConnectionHandler::DbxNextResult(TDBXNextResultMessage& /*Message*/) {
  TDBXJSonStreamWriter& W = StreamWriter();
  W.WriteResultObjectStart();
  W.WriteBoolean(kNextResultUpdateable);
  W.WriteValueSeparator();
  W.WriteInt(kNextResultRowsAffected);
  W.WriteValueSeparator();
  W.WriteBoolean(kNextResultHasNext);
  W.WriteValueSeparator();
  W.WriteInt(kNextResultHandle);
  WriteArrayAndObjectEnd();
  W.Flush();
}

void TDBXJSonServerOutputConnectionHandler::DbxTxBegin(TDBXTxBeginMessage& Message) {
  StreamWriter().WriteResultObject(Message.FTransactionHandle);
}

void TDBXJSonServerOutputConnectionHandler::DbxTxEnd(TDBXTxEndMessage& /*Message*/) {
  StreamWriter().WriteResultVoidObject();
}

void TDBXJSonServerOutputConnectionHandler::DbxVendorProperty(TDBXVendorPropertyMessage& Message) {
  TDBXJSonStreamWriter& W = StreamWriter();
  W.WriteResultObjectStart();
  W.WriteString(Message.FPropertyValue);
  WriteArrayAndObjectEnd();
  W.Flush();
}

void TDBXJSonServerOutputConnectionHandler::DbxErrorMessage(TDBXErrorMessage& Message) {
  TDBXJSonStreamWriter& W = StreamWriter();
  // Every finished reply was flushed, so unsent bytes belong to the reply that failed:
  // dropping them makes the whole reply an error reply.
  W.Open();
  RowBuffer().Post();
  W.WriteRpcError(ToUtf16(Message.FErrorClassName), Message.FErrorCode,
                  ToUtf16(kRemoteErrorPrefix + Message.FErrorMessage), false);
  W.Flush();
}

void TDBXJSonServerOutputConnectionHandler::DbxReaderClose(TDBXReaderCloseMessage& Message) {
  if (Message.FActiveStreamerRowList == nullptr) RaiseNoOpenTable(Message.FReaderHandle);
  Message.FActiveStreamerRowList->Close(Message.FReaderHandle);
}

std::unique_ptr<TDBXJSonRow> TDBXJSonServerOutputConnectionHandler::CreateDbxRow() {
  return std::make_unique<TDBXJSonRow>(RowBuffer());
}

}  // namespace tavrin
