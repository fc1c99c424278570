#include "datapacket/row_codec.h"

#include "datapacket/packet_bytes.h"
#include "datapacket/packet_status.h"

namespace tavrin {
namespace {

void DecodeValue(const TPacketColumn& Column, TPacketBytes& In, TRowStatus Status, TPacketValue& Value,
                 bool CheckNested) {
  const std::size_t Start = In.Offset();
  Value = TPacketValue{};
  switch (In.U8()) {
    case TValueMarker::Value:
      Value.State = TValueState::Value;
      if (Column.IsTable()) {
        Value.NestedRows = In.U32();
        const std::uint32_t Length = In.U32();
        Value.DataOffset = In.Offset();
        Value.Data = In.Take(Length);
        if (CheckNested)
          ScanRows(*Column.Nested, In.Packet(), Value.DataOffset, In.Offset(), Value.NestedRows, nullptr,
                   TPacketFault::kNestedLength);
      } else if (Column.IsComposite()) {
        Value.DataOffset = In.Offset();
      } else {
        const std::uint32_t Length =
            Column.IsVarying() ? In.VarLength(TPacketLimits::kMaxValueBytes) : Column.Size();
        Value.DataOffset = In.Offset();
        Value.Data = In.Take(Length);
      }
      return;
    case TValueMarker::Null:
      Value.State = TValueState::Null;
      return;
    case TValueMarker::Unchanged:
      if (Status != TRowStatus::Modified) RefusePacket(Start, DSStatusText(TDSStatus::UnchangedOutsideModified));
      Value.State = TValueState::Unchanged;
      return;
    case TValueMarker::OnDemand:
      if (Column.IsBlob()) {
        Value.BlobSize = In.U32();
      } else if (!Column.IsTable()) {
        RefusePacket(Start, TPacketFault::kOnDemand);
      }
      Value.State = TValueState::OnDemand;
      return;
    default:
      RefusePacket(Start, TPacketFault::kMarker);
  }
}

}  // namespace

void DecodeRow(const TPacketLevel& Level, TPacketBytes& In, TPacketRow& Row, bool CheckNested) {
  const std::size_t Start = In.Offset();
  const std::uint8_t Status = In.U8();
  if (Status > kLastRowStatus) RefusePacket(Start, DSStatusText(TDSStatus::BadRowStatus));
  Row.Status = static_cast<TRowStatus>(Status);
  Row.Values.resize(Level.Slots.size());
  for (std::size_t i = 0; i < Level.Slots.size(); ++i)
    DecodeValue(*Level.Slots[i], In, Row.Status, Row.Values[i], CheckNested);
}

void ScanRows(const TPacketLevel& Level, std::span<const std::uint8_t> Packet, std::size_t Start,
              std::size_t End, std::uint32_t Count, std::vector<std::uint32_t>* Offsets,
              const char* EndFault) {
  // Every row takes its status byte and at least a marker per value: a count that
  // cannot fit is refused before anything is reserved for it.
  const std::uint64_t Smallest = 1 + static_cast<std::uint64_t>(Level.Slots.size());
  if (Count * Smallest > End - Start) RefusePacket(Start, TPacketFault::kRowCount);
  if (Offsets != nullptr) {
    Offsets->clear();
    Offsets->reserve(std::size_t{Count} + 1);
  }
  TPacketBytes In(Packet, Start, End);
  TPacketRow Row;
  bool AfterOriginal = false;  // the row before is unmodified: a modified row may pair with it
  for (std::uint32_t i = 0; i < Count; ++i) {
    const std::size_t RowStart = In.Offset();
    if (In.AtEnd()) RefusePacket(RowStart, TPacketFault::kRowCount);
    if (Offsets != nullptr) Offsets->push_back(static_cast<std::uint32_t>(RowStart));
    DecodeRow(Level, In, Row, true);
    if (Row.Status == TRowStatus::Modified && !AfterOriginal)
      RefusePacket(RowStart, DSStatusText(TDSStatus::ModifiedWithoutOriginal));
    AfterOriginal = Row.Status == TRowStatus::Unmodified;
  }
  if (!In.AtEnd()) RefusePacket(In.Offset(), EndFault);
  if (Offsets != nullptr) Offsets->push_back(static_cast<std::uint32_t>(End));
}

}  // namespace tavrin
