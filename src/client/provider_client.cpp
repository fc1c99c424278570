#include "client/provider_client.h"

#include <utility>

#include "dbxstream/command_types.h"
#include "vocabulary/variant_stream.h"

namespace tavrin {

namespace {

constexpr char16_t kGetProviderNames[] = u"AS_GetProviderNames";
constexpr char16_t kGetRecords[] = u"AS_GetRecords";
// AS_GetRecords's parameters: ProviderName, Count, RecsOut, Options, CommandText,
// ParamReader, OwnerDataStream, then the result.
constexpr std::int32_t kRecsOutOrdinal = 2;
constexpr std::int32_t kRecordsResultOrdinal = 7;

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
  std::vector<std::uint8_t> Bytes = Row.ReadBytes();
  FLastResultBytes = Bytes.size();
  Reply.Data = DecodeVariantBytes(std::move(Bytes));
  return Reply;
}

void TDBXProviderClient::Close() {
  for (std::optional<std::int32_t>* Handle : {&FNamesHandle, &FRecordsHandle}) {
    if (*Handle) FConnection.CommandClose(**Handle);
    Handle->reset();
  }
}

}  // namespace tavrin
