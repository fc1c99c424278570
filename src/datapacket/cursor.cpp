#include "datapacket/cursor.h"

#include <stdexcept>

#include "datapacket/packet_bytes.h"

namespace tavrin {

TDSCursor::TDSCursor(const TDSBase& Base)
    : FPacket(Base.Bytes()), FLevel(&Base.Level()), FOffsets(Base.RowOffsets()) {
  MoveTo(1);
}

TDSCursor::TDSCursor(std::span<const std::uint8_t> Packet, const TPacketLevel& Level,
                     std::shared_ptr<const std::vector<std::uint32_t>> Offsets)
    : FPacket(Packet), FLevel(&Level), FOwnedOffsets(std::move(Offsets)), FOffsets(*FOwnedOffsets) {
  MoveTo(1);
}

TDSCursor TDSCursor::Nested(const TPacketColumn& Column, const TPacketValue& Value) const {
  if (!Column.IsTable() || !Column.Nested) throw std::invalid_argument("not a nested table column: " + Column.Name);
  auto Offsets = std::make_shared<std::vector<std::uint32_t>>();
  if (Value.State == TValueState::Value) {
    // Checked when the base was loaded; this only finds where each row starts.
    TPacketBytes In(FPacket, Value.DataOffset, Value.DataOffset + Value.Data.size());
    TPacketRow Row;
    for (std::uint32_t i = 0; i < Value.NestedRows; ++i) {
      Offsets->push_back(static_cast<std::uint32_t>(In.Offset()));
      DecodeRow(*Column.Nested, In, Row, false);
    }
    Offsets->push_back(static_cast<std::uint32_t>(In.Offset()));
  } else {
    Offsets->push_back(0);
  }
  return TDSCursor(FPacket, *Column.Nested, std::move(Offsets));
}

void TDSCursor::Decode(std::uint32_t Index, TPacketRow& Row) const {
  TPacketBytes In(FPacket, FOffsets[Index], FOffsets[Index + 1]);
  DecodeRow(*FLevel, In, Row, false);
}

void TDSCursor::MoveTo(std::uint32_t RecordNumber) {
  FIndex = RecordNumber == 0 ? 0 : RecordNumber - 1;
  if (FIndex >= RecordCount()) {
    FIndex = RecordCount();
    return;
  }
  Decode(FIndex, FRow);
  // Loading made sure a modified row has its original right before it.
  if (FRow.Status == TRowStatus::Modified) Decode(FIndex - 1, FOriginal);
}

void TDSCursor::CheckRow() const {
  if (Eof()) throw std::out_of_range("the cursor is past its last row");
}

TRowStatus TDSCursor::Status() const {
  CheckRow();
  return FRow.Status;
}

bool TDSCursor::IsOriginal() const {
  CheckRow();
  if (FRow.Status != TRowStatus::Unmodified || FIndex + 1 >= RecordCount()) return false;
  // The status byte opens each row.
  return FPacket[FOffsets[FIndex + 1]] == static_cast<std::uint8_t>(TRowStatus::Modified);
}

const TPacketValue& TDSCursor::Value(std::size_t Slot) const {
  CheckRow();
  return FRow.Values.at(Slot);
}

const TPacketValue& TDSCursor::OldValue(std::size_t Slot) const {
  CheckRow();
  return FRow.Status == TRowStatus::Modified ? FOriginal.Values.at(Slot) : FRow.Values.at(Slot);
}

const std::vector<TPacketValue>& TDSCursor::Values() const {
  CheckRow();
  return FRow.Values;
}

}  // namespace tavrin
