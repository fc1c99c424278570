#include "client/connection.h"

#include <string>
#include <utility>

#include "dbxstream/parameter_descriptions.h"
#include "dbxstream/stream_keywords.h"
#include "dbxstream/stream_tokens.h"
#include "vocabulary/dbx_error.h"

namespace tavrin {

namespace {

// A prepare request asks for a command that is not updateable.
constexpr bool kPrepareUpdateable = false;

constexpr char kNoMemberObject[] = "Expected '{' of a member object in a reply";
constexpr char kNothingHeld[] = "No long value held for parameter ";

// The descriptors of a parameters member, positioned after its '[', with their ordinals.
std::vector<TDBXValueType> ReadDescriptions(TDBXJSonStreamReader& Reader) {
  const auto List = ReadParameterList(Reader);
  std::vector<TDBXValueType> Types;
  Types.reserve(List->size());
  for (const auto& Parameter : *List) {
    Types.emplace_back(static_cast<const TDBXValueType&>(*Parameter));
    Types.back().SetOrdinal(static_cast<std::int32_t>(Types.size() - 1));
  }
  return Types;
}

// Reads the name of a reply's member object, after its '{', then ':' and '['.
// Returns the name's string code.
std::int32_t ReadMemberStart(TDBXJSonStreamReader& Reader) {
  const std::int32_t Member = Reader.ReadStringCode();
  Reader.Next(TDBXTokens::NameSeparator);
  Reader.Next(TDBXTokens::ArrayStart);
  return Member;
}

[[noreturn]] void RaiseNoMemberObject() {
  throw TDBXError(TDBXErrorCodes::InvalidInput, kNoMemberObject);
}

// Reads the closing of a reply whose last value was just read: ']' and '}'.
void ReadReplyEnd(TDBXJSonStreamReader& Reader) {
  Reader.Next(TDBXTokens::ArrayEnd);
  Reader.Next(TDBXTokens::ObjectEnd);
}

}  // namespace

TDBXClientConnection::TDBXClientConnection(TDbxChannel& Channel, std::int32_t BufferSize)
    : FReader(Channel, FContext, BufferSize),
      FWriter(Channel, BufferSize) {
  FReader.Open();
  FWriter.Open();
  FParameterRow.SetStreams(&FReader, &FWriter);
  FParameterRow.SetClient(true);
  FParameterRow.SetParameterBuffer(true);
  FParameterRow.MinBufferSize(FWriter.CalcRowBufferSize());
}

TDBXConnectReply TDBXClientConnection::Connect(const TDBXProperties& Properties) {
  FWriter.WriteConnectObjectStart();
  bool First = true;
  for (const auto& [Name, Value] : Properties) {
    if (!First) FWriter.WriteValueSeparator();
    FWriter.WriteNamedString(Name, Value);
    First = false;
  }
  FWriter.WriteObjectEnd();
  FWriter.WriteArrayEnd();
  FWriter.WriteObjectEnd();
  FWriter.Flush();

  // {"result":[connectionHandle,productName,protocolVersion]}
  TDBXConnectReply Reply;
  FReader.NextResultObjectStart();
  FReader.Next(TDBXTokens::ArrayStart);
  Reply.ConnectionHandle = FReader.ReadInt();
  FReader.NextValueSeparator();
  Reply.ProductName = FReader.ReadString();
  FReader.NextValueSeparator();
  Reply.ProtocolVersion = FReader.ReadInt();
  ReadReplyEnd(FReader);
  FConnectionHandle = Reply.ConnectionHandle;
  return Reply;
}

TDBXPrepareReply TDBXClientConnection::Prepare(std::u16string_view CommandType,
                                               std::u16string_view CommandText,
                                               std::int32_t CommandHandle) {
  FWriter.WritePrepareStart();
  FWriter.WriteInt(CommandHandle);
  FWriter.WriteValueSeparator();
  FWriter.WriteBoolean(kPrepareUpdateable);
  FWriter.WriteValueSeparator();
  FWriter.WriteString(CommandType);
  FWriter.WriteValueSeparator();
  FWriter.WriteString(CommandText);
  FWriter.WriteArrayEnd();
  FWriter.WriteObjectEnd();
  FWriter.Flush();

  TDBXPrepareReply Reply;
  ReadPrepareReply(Reply);
  return Reply;
}

// {"result":[{"handle":[h]},{"fields":[...]}(,{"parameters":[n,...]})]}
void TDBXClientConnection::ReadPrepareReply(TDBXPrepareReply& Reply) {
  FReader.NextResultObjectStart();
  FReader.Next(TDBXTokens::ArrayStart);
  for (;;) {
    const std::int32_t Kind = FReader.Next();
    if (Kind == TDBXTokens::ArrayEnd) break;
    if (Kind == TDBXTokens::ValueSeparator) continue;
    if (Kind != TDBXTokens::ObjectStart) RaiseNoMemberObject();
    const std::int32_t Member = ReadMemberStart(FReader);
    if (Member == TDBXStringCodes::Handle) {
      Reply.CommandHandle = FReader.ReadInt();
    } else if (Member == TDBXStringCodes::Parameters) {
      Reply.Parameters = ReadDescriptions(FReader);
    }
    FReader.SkipToEndOfObject();
  }
  FReader.Next(TDBXTokens::ObjectEnd);
}

TDBXRowBuffer& TDBXClientConnection::BeginParameters() {
  FHeldLongParameters.clear();
  FParameterRow.Post();
  FParameterRow.MinBufferSize(FWriter.CalcRowBufferSize());  // a reply read into the row shrank it
  FParametersPending = true;
  return FParameterRow;
}

bool TDBXClientConnection::HoldLongParameter(std::int32_t Ordinal) {
  std::unique_ptr<TStream> Rest = FParameterRow.TakeOverflowStream();
  if (!Rest) return false;
  HoldLongParameter(Ordinal, std::move(Rest));
  return true;
}

void TDBXClientConnection::HoldLongParameter(std::int32_t Ordinal, std::unique_ptr<TStream> Rest) {
  FHeldLongParameters[Ordinal] = std::move(Rest);
}

// {"more_blob":[commandHandle,blobHandle,row,ordinal,rowHandle]}, answered with
// {"data":[count,bytes]}. Only the ordinal matters: the parameter row is the only value
// of this connection the server can be reading.
std::optional<std::int32_t> TDBXClientConnection::AnswerMoreBlob() {
  FReader.Next(TDBXTokens::ArrayStart);
  FReader.ReadInt();  // command handle
  FReader.NextValueSeparator();
  FReader.ReadInt();  // blob handle
  FReader.NextValueSeparator();
  FReader.ReadLong();  // row
  FReader.NextValueSeparator();
  const std::int32_t Ordinal = FReader.ReadInt();
  FReader.NextValueSeparator();
  FReader.ReadInt();  // row handle
  ReadReplyEnd(FReader);

  const auto Held = FHeldLongParameters.find(Ordinal);
  if (Held == FHeldLongParameters.end()) {
    TBytesStream Empty;
    FWriter.WriteDataObject(Empty);
    return Ordinal;
  }
  if (FWriter.WriteDataObject(*Held->second)) FHeldLongParameters.erase(Held);
  return std::nullopt;
}

TDBXExecuteReply TDBXClientConnection::Execute(std::int32_t CommandHandle) {
  FWriter.WriteExecuteStart();
  FWriter.WriteHandleObject(CommandHandle);
  if (FParametersPending) {
    FWriter.WriteValueSeparator();
    FWriter.WriteDataObject(FParameterRow.WrittenBytes());
    FParametersPending = false;
  }
  FWriter.WriteArrayEnd();
  FWriter.WriteObjectEnd();
  FWriter.Flush();

  // Blob readers of the row the last execute returned must not fetch from this one.
  FParameterRow.SetCommandHandle(CommandHandle);
  FParameterRow.Post();

  // While it reads the arguments the server asks for the rest of each long one.
  std::optional<std::int32_t> NothingHeld;
  while (FReader.NextResultOrMoreBlobObjectStart() == TDBXStringCodes::MoreBlob) {
    const std::optional<std::int32_t> Missing = AnswerMoreBlob();
    if (!NothingHeld) NothingHeld = Missing;
  }

  TDBXExecuteReply Reply;
  FReader.Next(TDBXTokens::ArrayStart);
  for (;;) {
    const std::int32_t Kind = FReader.Next();
    if (Kind == TDBXTokens::ArrayEnd) break;
    if (Kind == TDBXTokens::ValueSeparator) continue;
    if (Kind != TDBXTokens::ObjectStart) RaiseNoMemberObject();
    ReadExecuteMember(Reply);
  }
  FReader.Next(TDBXTokens::ObjectEnd);
  // The first block of every table follows the reply, the blocks separated by commas.
  for (std::size_t i = 0; i < Reply.Tables.size(); ++i) {
    if (i > 0) FReader.NextValueSeparator();
    Reply.Tables[i]->ReadFirstBlock();
  }
  if (NothingHeld) {
    throw TDBXError(TDBXErrorCodes::Unspecified,
                    std::string(kNothingHeld) + std::to_string(*NothingHeld));
  }
  return Reply;
}

// One member object of an execute reply, after its '{'; reads through its '}'.
void TDBXClientConnection::ReadExecuteMember(TDBXExecuteReply& Reply) {
  switch (ReadMemberStart(FReader)) {
    case TDBXStringCodes::Rows:
      Reply.RowsAffected = FReader.ReadLong();
      break;
    case TDBXStringCodes::Parameters:
      Reply.Parameters = ReadDescriptions(FReader);
      break;
    case TDBXStringCodes::Data:
      FParameterRow.ReadDataBytes();
      Reply.HasParameterRow = true;
      break;
    case TDBXStringCodes::Table:
      // The table object closes the member itself.
      Reply.Tables.push_back(ReadClientTableObject(FReader, FWriter, FParameterRow.Client()));
      return;
    default:
      break;
  }
  FReader.SkipToEndOfObject();
}

TDBXNextResultReply TDBXClientConnection::NextResult(std::int32_t CommandHandle) {
  FWriter.WriteNextResultObject(CommandHandle);
  FWriter.Flush();

  // {"result":[updateable,rowsAffected,hasNext,commandHandle]}
  TDBXNextResultReply Reply;
  FReader.NextResultObjectStart();
  FReader.Next(TDBXTokens::ArrayStart);
  Reply.Updateable = FReader.ReadBoolean();
  FReader.NextValueSeparator();
  Reply.RowsAffected = FReader.ReadLong();
  FReader.NextValueSeparator();
  Reply.HasNextResult = FReader.ReadBoolean();
  FReader.NextValueSeparator();
  Reply.CommandHandle = FReader.ReadInt();
  ReadReplyEnd(FReader);
  return Reply;
}

void TDBXClientConnection::CommandClose(std::int32_t CommandHandle) {
  FWriter.WriteCommandCloseObject(CommandHandle);
  if (FParameterRow.CommandHandle() == CommandHandle) FParameterRow.CloseCommandHandle();
}

void TDBXClientConnection::ReaderClose(std::int32_t RowHandle, std::int32_t CommandHandle) {
  FWriter.WriteReaderCloseObject(RowHandle, CommandHandle);
}

void TDBXClientConnection::Disconnect() { FWriter.WriteDisconnectObject(FConnectionHandle); }

}  // namespace tavrin
