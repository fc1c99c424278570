#include "client/provider_client.h"

#include <utility>

#include "dbxstream/command_types.h"
#include "dbxstream/row_blob_stream_reader.h"
#include "vocabulary/variant_stream.h"

namespace tavrin {

namespace {

constexpr char16_t kGetProviderNames[] = u"AS_GetProviderNames";
constexpr char16_t kGetRecords[] = u"AS_GetRecords";
// AS_GetRecords's parameters: ProviderName, Count, RecsOut, Options, CommandText,
// ParamReader, OwnerDataStream, then the result.
constexpr std::int32_t kRecsOutOrdinal = 2;
constexpr std::int32_t kRecordsResultOrdinal = 7;
constexpr char16_t kApplyUpdates[] = u"AS_ApplyUpdates";
constexpr char16_t kRowRequest[] = u"AS_RowRequest";
// AS_ApplyUpdates: ProviderName, DeltaStream, MaxErrors, ErrorCount, OwnerDataStream,
// then the result. AS_RowRequest: ProviderName, RowStream, RequestType,
// OwnerDataStream, then the result.
constexpr std::int32_t kDeltaOrdinal = 1;
constexpr std::int32_t kErrorCountOrdinal = 3;
constexpr std::int32_t kApplyResultOrdinal = 5;
constexpr std::int32_t kRowOrdinal = 1;
constexpr std::int32_t kRowResultOrdinal = 4;

// The variant result at Ordinal of the reply's row, null when the server sent none.
TDSVariant ResultVariant(TDBXRowBuffer& Row, std::int32_t Ordinal) {
  Row.GoToField(Ordinal);
  if (Row.Null()) return TDSVariant::Null();
  return DecodeVariantBytes(Row.ReadBytes());
}

}  // namespace

TDBXProviderClient::TDBXProviderClient(TDBXClientConnection& Connection, std::u16string ClassName)
    : FConnection(Connection), FClassName(std::move(ClassName)) {}

std::int32_t TDBXProviderClient::Prepared(std::optional<std::int32_t>& Handle, std::u16string_view Method) {
  if (!Handle) {
    Handle = FConnection.Prepare(TDSCommandTypes::kServerMethod, FClassName + u"." + std::u16string(Method))
                 .CommandHandle;
  }
  return *Handle;
}

std::u16string TDBXProviderClient::GetProviderNames() {
  const std::int32_t Handle = Prepared(FNamesHandle, kGetProviderNames);
  FConnection.BeginParameters().WriteNull();
  FConnection.Execute(Handle);
  TDBXRowBuffer& Row = FConnection.ParameterRow();
  Row.GoToField(0);
  return Row.Null() ? std::u16string() : Row.ReadString();
}

TDBXRecordsReply TDBXProviderClient::GetRecords(std::u16string_view ProviderName, std::int32_t Count,
                                                std::int32_t Options) {
  const std::int32_t Handle = Prepared(FRecordsHandle, kGetRecords);
  TDBXRowBuffer& Parameters = FConnection.BeginParameters();
  Parameters.WriteString(ProviderName);
  Parameters.WriteInt32(Count);
  Parameters.WriteNull();  // RecsOut
  Parameters.WriteInt32(Options);
  Parameters.WriteString(u"");
  Parameters.WriteNull();  // ParamReader
  Parameters.WriteNull();  // OwnerDataStream
  Parameters.WriteNull();  // the result
  FConnection.Execute(Handle);
  TDBXRowBuffer& Row = FConnection.ParameterRow();
  TDBXRecordsReply Reply;
  Row.GoToField(kRecsOutOrdinal);
  Reply.RecsOut = Row.Null() ? 0 : Row.ReadInt32();
  Row.GoToField(kRecordsResultOrdinal);
  if (Row.Null()) {
    FLastResultBytes = 0;
    Reply.Data = TDSVariant::Null();
    return Reply;
  }
  // The packet is read from the value's stream into a buffer of its own size: gathering
  // the stream's bytes first copied a large list twice more.
  const std::unique_ptr<TDBXRowBlobStreamReader> Stream = Row.ReadBlobStreamReader(Row.RowHandle());
  Reply.Data = DecodeVariantStream(*Stream, FLastResultBytes);
  return Reply;
}

TDSVariant TDBXProviderClient::ApplyUpdates(std::u16string_view ProviderName, std::vector<std::uint8_t> Delta,
                                            std::int32_t MaxErrors, std::int32_t& ErrorCount) {
  const std::int32_t Handle = Prepared(FApplyHandle, kApplyUpdates);
  const std::vector<std::uint8_t> Stream = VariantStreamBytes(TDSVariant(std::move(Delta)));
  TDBXRowBuffer& Parameters = FConnection.BeginParameters();
  Parameters.WriteString(ProviderName);
  Parameters.WriteBytes(Stream);
  FConnection.HoldLongParameter(kDeltaOrdinal);
  Parameters.WriteInt32(MaxErrors);
  Parameters.WriteNull();  // ErrorCount
  Parameters.WriteNull();  // OwnerDataStream
  Parameters.WriteNull();  // the result
  FConnection.Execute(Handle);
  TDBXRowBuffer& Row = FConnection.ParameterRow();
  Row.GoToField(kErrorCountOrdinal);
  ErrorCount = Row.Null() ? 0 : Row.ReadInt32();
  return ResultVariant(Row, kApplyResultOrdinal);
}

TDSVariant TDBXProviderClient::RowRequest(std::u16string_view ProviderName, std::vector<std::uint8_t> Packet,
                                          std::int32_t RequestType) {
  const std::int32_t Handle = Prepared(FRowHandle, kRowRequest);
  const std::vector<std::uint8_t> Stream = VariantStreamBytes(TDSVariant(std::move(Packet)));
  TDBXRowBuffer& Parameters = FConnection.BeginParameters();
  Parameters.WriteString(ProviderName);
  Parameters.WriteBytes(Stream);
  FConnection.HoldLongParameter(kRowOrdinal);
  Parameters.WriteInt32(RequestType);
  Parameters.WriteNull();  // OwnerDataStream
  Parameters.WriteNull();  // the result
  FConnection.Execute(Handle);
  return ResultVariant(FConnection.ParameterRow(), kRowResultOrdinal);
}

void TDBXProviderClient::Close() {
  for (std::optional<std::int32_t>* Handle : {&FNamesHandle, &FRecordsHandle, &FApplyHandle, &FRowHandle}) {
    if (*Handle) FConnection.CommandClose(**Handle);
    Handle->reset();
  }
}

}  // namespace tavrin
