#include "resolver/custom_resolver.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <limits>
#include <new>
#include <thread>

#include "datapacket/delta_writer.h"
#include "datapacket/packet_values.h"
#include "resolver/delta_values.h"
#include "vocabulary/dbx_error.h"
#include "vocabulary/error_codes.h"

namespace tavrin {

namespace {

namespace R = TResolverErrors;
namespace EC = TErrorColumns;

constexpr std::int32_t kUnlimited = -1;
constexpr std::int32_t kPacketVersion = 1;
constexpr std::int32_t kErrorCategory = 1;
constexpr std::uint32_t kTextPrefixWidth = 2;

// The value of each slot of the current row: a modified row's new value where the
// client gave one, else the original's.
std::vector<TPacketValue> CurrentValues(const TDSCursor& Cursor) {
  std::vector<TPacketValue> Values = Cursor.Values();
  if (Cursor.Status() == TRowStatus::Modified) {
    for (std::size_t Slot = 0; Slot < Values.size(); ++Slot) {
      if (Values[Slot].State == TValueState::Unchanged) Values[Slot] = Cursor.OldValue(Slot);
    }
  }
  return Values;
}

void PutColumn(TDSWriter& Writer, const char* Name, std::uint32_t TypeWord) {
  CheckWriter(Writer, Writer.PutColumnDescriptor(MakeColumnDescriptor(Name, TypeWord, 0)));
}

void PutInt32(TDSWriter& Writer, std::int32_t Value) {
  const TFixedValue Bytes = IntegerValue(Value, 4);
  CheckWriter(Writer, Writer.PutValue(TPutValue::Value, Bytes.Size(), Bytes.Data()));
}

void PutText(TDSWriter& Writer, const std::string& Text) {
  CheckWriter(Writer, Writer.PutValue(TPutValue::Value, static_cast<std::uint32_t>(Text.size()), Text.data()));
}

void PutStatus(TDSWriter& Writer, TRowStatus Status) {
  const auto Byte = static_cast<std::uint8_t>(Status);
  CheckWriter(Writer, Writer.PutValue(TPutValue::Value, 1, &Byte));
}

// Error texts travel in a packet column whose length is bounded; a longer one is cut.
std::string Bounded(const std::string& Text) {
  constexpr std::size_t kMaxMessage = 4096;
  return Text.size() <= kMaxMessage ? Text : Text.substr(0, kMaxMessage);
}

// Test-only: a wait after each applied row, in milliseconds, from this environment
// variable (unset, 0 or not a number: none), so that a test can end the server while a
// transaction is open part-way through a delta.
constexpr char kTestPauseVariable[] = "TAVRIN_TEST_APPLY_PAUSE_MS";

std::chrono::milliseconds TestPauseBetweenRows() {
  static const std::chrono::milliseconds Pause = [] {
    const char* Text = std::getenv(kTestPauseVariable);
    return std::chrono::milliseconds(Text != nullptr ? std::strtol(Text, nullptr, 10) : 0);
  }();
  return Pause;
}

}  // namespace

void TCustomResolver::LoadDelta(std::vector<std::uint8_t> Delta, const TResolveSource& Source,
                                IProviderSupportNG& Support) {
  FSupport = &Support;
  FErrors.clear();
  FUpdateTree.Load(std::move(Delta), Source, Support.IsSQLBased(), Support.QuoteChar());
}

std::optional<std::vector<std::uint8_t>> TCustomResolver::ApplyUpdates(std::int32_t MaxErrors,
                                                                        std::int32_t& ErrorCount) {
  FPrevResponse = TResolverResponse::rrSkip;
  FMaxErrors = MaxErrors == kUnlimited ? std::numeric_limits<std::int32_t>::max() : MaxErrors;
  FErrorCount = 0;
  FErrors.clear();
  FInTransaction = Support().InTransaction();
  std::optional<std::vector<std::uint8_t>> Result;
  try {
    TDSCursor& Cursor = FUpdateTree.Cursor();
    for (Cursor.First(); !Cursor.Eof() && FMaxErrors >= FErrorCount; Cursor.Next()) {
      switch (Cursor.Status()) {
        case TRowStatus::Unmodified:
          break;  // an original: its values are the next row's old ones
        case TRowStatus::Modified:
          ApplyRow(TUpdateKind::ukModify);
          break;
        case TRowStatus::Inserted:
          ApplyRow(TUpdateKind::ukInsert);
          break;
        case TRowStatus::Deleted:
          ApplyRow(TUpdateKind::ukDelete);
          break;
      }
      if (TestPauseBetweenRows().count() > 0) std::this_thread::sleep_for(TestPauseBetweenRows());
    }
    ErrorCount = FErrorCount;
    if (!FErrors.empty()) Result = ErrorPacket();
  } catch (...) {
    FUpdateTree.Clear();
    FErrors.clear();
    throw;
  }
  FUpdateTree.Clear();
  FErrors.clear();
  return Result;
}

void TCustomResolver::ApplyRow(TUpdateKind Kind) {
  const TProviderOptions Options = FUpdateTree.Source().Options;
  const bool InTransaction = FInTransaction;
  try {
    if (Kind == TUpdateKind::ukModify && (Options & TProviderOption::poDisableEdits) != 0) {
      throw TDBXError(TDBXErrorCodes::ProviderFailure, R::kNoEdits);
    }
    if (Kind == TUpdateKind::ukInsert && (Options & TProviderOption::poDisableInserts) != 0) {
      throw TDBXError(TDBXErrorCodes::ProviderFailure, R::kNoInserts);
    }
    if (Kind == TUpdateKind::ukDelete && (Options & TProviderOption::poDisableDeletes) != 0) {
      throw TDBXError(TDBXErrorCodes::ProviderFailure, R::kNoDeletes);
    }
    switch (Kind) {
      case TUpdateKind::ukModify:
        DoUpdate(FUpdateTree);
        break;
      case TUpdateKind::ukInsert:
        DoInsert(FUpdateTree);
        break;
      case TUpdateKind::ukDelete:
        DoDelete(FUpdateTree);
        break;
    }
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const EResolverAbort&) {
    throw;
  } catch (const std::exception& Error) {
    // A fault the database ends the whole transaction for leaves nothing to go on with:
    // the rows after it would be written one by one, outside any transaction.
    if (InTransaction && !Support().InTransaction()) {
      throw TDBXError(TDBXErrorCodes::ProviderFailure, R::kTransactionLost + std::string(Error.what()));
    }
    const auto* Dbx = dynamic_cast<const TDBXError*>(&Error);
    HandleError(Error.what(), Dbx != nullptr ? Dbx->ErrorCode() : 0);
  }
  FPrevResponse = TResolverResponse::rrSkip;
}

void TCustomResolver::HandleError(const std::string& Message, std::int32_t Code) {
  TResolverResponse Response = FErrorCount >= FMaxErrors ? TResolverResponse::rrAbort : TResolverResponse::rrSkip;
  ++FErrorCount;
  if (FErrorCount > FMaxErrors) Response = TResolverResponse::rrAbort;
  if (Response == TResolverResponse::rrAbort) FMaxErrors = FErrorCount - 1;
  const TDSCursor& Cursor = FUpdateTree.Cursor();
  const std::uint32_t RecNo = Cursor.RecNo();
  auto Existing = std::find_if(FErrors.begin(), FErrors.end(), [RecNo](const TErrorRow& Row) { return Row.RecNo == RecNo; });
  TErrorRow& Row = Existing != FErrors.end() ? *Existing : FErrors.emplace_back();
  Row.RecNo = RecNo;
  Row.Response = Response;
  Row.Message = Bounded(Message);
  Row.Code = Code;
  Row.Values = CurrentValues(Cursor);
}

std::vector<std::uint8_t> TCustomResolver::ErrorPacket() const {
  TDSWriter Writer;
  const TDSBase& Delta = FUpdateTree.Delta();
  CheckWriter(Writer, Writer.BeginPacket(kPacketVersion, static_cast<std::int32_t>(EC::kCount + Delta.DescriptorCount())));
  const std::uint32_t Int32 = MakeTypeWord(TPacketType::Integer, 4);
  const std::uint32_t Text = MakeTypeWord(TPacketType::Text, kTextPrefixWidth, TTypeWord::Varying);
  PutColumn(Writer, EC::kRecordNo, Int32);
  PutColumn(Writer, EC::kResponse, Int32);
  PutColumn(Writer, EC::kMessage, Text);
  PutColumn(Writer, EC::kContext, Text);
  PutColumn(Writer, EC::kCategory, Int32);
  PutColumn(Writer, EC::kCode, Int32);
  PutLevelColumns(Writer, Delta.Level(), false);
  for (const TErrorRow& Row : FErrors) {
    PutStatus(Writer, TRowStatus::Unmodified);
    PutInt32(Writer, static_cast<std::int32_t>(Row.RecNo));
    PutInt32(Writer, static_cast<std::int32_t>(Row.Response) + 1);
    PutText(Writer, Row.Message);
    PutText(Writer, "");
    PutInt32(Writer, kErrorCategory);
    PutInt32(Writer, Row.Code);
    for (const TPacketValue& Value : Row.Values) PutPacketValue(Writer, Value);
  }
  std::vector<std::uint8_t> Packet;
  CheckWriter(Writer, Writer.TakePacket(Packet));
  return Packet;
}

std::vector<std::uint8_t> TCustomResolver::RowRequest(std::vector<std::uint8_t> Row, std::int32_t RequestType,
                                                      const TResolveSource& Source, IProviderSupportNG& Support) {
  FSupport = &Support;
  FUpdateTree.Load(std::move(Row), Source, Support.IsSQLBased(), Support.QuoteChar());
  try {
    const TDSBase& Request = FUpdateTree.Delta();
    TDSWriter Writer;
    CheckWriter(Writer, Writer.BeginPacket(Request.PacketVersion(), static_cast<std::int32_t>(Request.DescriptorCount())));
    PutLevelColumns(Writer, Request.Level(), false);
    const auto& Fields = FUpdateTree.Fields();
    TDSCursor& Cursor = FUpdateTree.Cursor();
    for (Cursor.First(); !Cursor.Eof(); Cursor.Next()) {
      if (Cursor.IsOriginal()) continue;  // the modified row after it stands for both
      std::vector<TPacketValue> Values = CurrentValues(Cursor);
      std::vector<std::size_t> Wanted;
      for (std::size_t i = 0; i < Fields.size(); ++i) {
        const auto& Field = Fields[i];
        if (Field.NotWritten) continue;
        const TValueState State = Values[Field.Column->Slot].State;
        const bool BlobWanted = (RequestType & TFetchOption::foBlobs) != 0 &&
                                (State == TValueState::Null || State == TValueState::OnDemand);
        if (Field.IsBlob ? BlobWanted : (RequestType & TFetchOption::foRecord) != 0) Wanted.push_back(i);
      }
      std::vector<std::optional<std::vector<std::uint8_t>>> Fresh;
      if (!Wanted.empty()) {
        const std::vector<TFieldValue> Current = FetchRow(FUpdateTree, Wanted);
        for (std::size_t k = 0; k < Wanted.size(); ++k) {
          Fresh.push_back(ColumnBytes(Fields[Wanted[k]].Column->TypeWord, Current[k], Fields[Wanted[k]].Field.DataType));
        }
      }
      PutStatus(Writer, TRowStatus::Unmodified);
      for (std::size_t Slot = 0; Slot < Values.size(); ++Slot) {
        const auto Refreshed = std::find_if(Wanted.begin(), Wanted.end(),
                                            [&](std::size_t i) { return Fields[i].Column->Slot == Slot; });
        if (Refreshed == Wanted.end()) {
          PutPacketValue(Writer, Values[Slot]);
          continue;
        }
        const auto& Bytes = Fresh[static_cast<std::size_t>(Refreshed - Wanted.begin())];
        if (Bytes) {
          CheckWriter(Writer, Writer.PutValue(TPutValue::Value, static_cast<std::uint32_t>(Bytes->size()), Bytes->data()));
        } else {
          CheckWriter(Writer, Writer.PutValue(TPutValue::Null, 0, nullptr));
        }
      }
    }
    std::vector<std::uint8_t> Packet;
    CheckWriter(Writer, Writer.TakePacket(Packet));
    FUpdateTree.Clear();
    return Packet;
  } catch (...) {
    FUpdateTree.Clear();
    throw;
  }
}

}  // namespace tavrin
