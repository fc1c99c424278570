#include "datapacket/delta_writer.h"

#include <stdexcept>

#include "datapacket/column_descriptor.h"
#include "datapacket/cursor.h"
#include "datapacket/packet_layout.h"

namespace tavrin {

namespace {

constexpr std::uint32_t kOnDemandSizeBytes = 4;

void PutAttributes(TDSWriter& Writer, std::int32_t Area, const std::vector<TPacketAttribute>& Attributes,
                   bool DeltaOnly) {
  for (const TPacketAttribute& Attribute : Attributes) {
    if (DeltaOnly && !Attribute.InDelta()) continue;
    CheckWriter(Writer, Writer.PutAttribute(Area, Attribute.Name, Attribute.TypeWord,
                                            static_cast<std::uint32_t>(Attribute.Value.size()),
                                            Attribute.Value.data()));
  }
}

}  // namespace

void CheckWriter(const TDSWriter& Writer, std::uint16_t Status) {
  if (Status != TDSStatus::Ok) Writer.Check(Status);
}

void PutLevelColumns(TDSWriter& Writer, const TPacketLevel& Level, bool DeltaOnly) {
  for (const TPacketColumn& Column : Level.Columns) {
    if (Column.IsComposite()) throw std::invalid_argument("composite column " + Column.FieldName());
    const TColumnDescriptorRecord Record = MakeColumnDescriptor(Column.Name, Column.TypeWord, Column.AttributeBits);
    CheckWriter(Writer, Writer.PutColumnDescriptor(Record));
    PutAttributes(Writer, TAttributeArea::Column, Column.Attributes, DeltaOnly);
  }
  PutAttributes(Writer, TAttributeArea::DataSet, Level.Attributes, DeltaOnly);
}

void PutPacketValue(TDSWriter& Writer, const TPacketValue& Value) {
  switch (Value.State) {
    case TValueState::Value:
      CheckWriter(Writer, Writer.PutValue(TPutValue::Value, static_cast<std::uint32_t>(Value.Data.size()),
                                          Value.Data.data()));
      return;
    case TValueState::Null:
      CheckWriter(Writer, Writer.PutValue(TPutValue::Null, 0, nullptr));
      return;
    case TValueState::Unchanged:
      CheckWriter(Writer, Writer.PutValue(TPutValue::Unchanged, 0, nullptr));
      return;
    case TValueState::OnDemand: {
      const std::uint32_t Size = Value.BlobSize;
      std::uint8_t Bytes[kOnDemandSizeBytes] = {static_cast<std::uint8_t>(Size), static_cast<std::uint8_t>(Size >> 8),
                                                static_cast<std::uint8_t>(Size >> 16),
                                                static_cast<std::uint8_t>(Size >> 24)};
      CheckWriter(Writer, Writer.PutValue(TPutValue::Value, TPutValue::BlobOnDemandLength, Bytes));
      return;
    }
  }
}

TDeltaWriter::TDeltaWriter(const TDSBase& Source) {
  CheckWriter(FWriter, FWriter.BeginPacket(Source.PacketVersion(), static_cast<std::int32_t>(Source.DescriptorCount())));
  PutLevelColumns(FWriter, Source.Level(), true);
}

void TDeltaWriter::PutStatus(TRowStatus Status) {
  const auto Byte = static_cast<std::uint8_t>(Status);
  CheckWriter(FWriter, FWriter.PutValue(TPutValue::Value, 1, &Byte));
}

void TDeltaWriter::PutDeltaValue(const TDeltaValue& Value) {
  if (Value.IsNull) {
    CheckWriter(FWriter, FWriter.PutValue(TPutValue::Null, 0, nullptr));
  } else {
    CheckWriter(FWriter, FWriter.PutValue(TPutValue::Value, static_cast<std::uint32_t>(Value.Bytes.size()),
                                          Value.Bytes.data()));
  }
}

void TDeltaWriter::AddModified(const TDSCursor& Row, const TDeltaChanges& Changes) {
  PutStatus(TRowStatus::Unmodified);
  for (std::size_t Slot = 0; Slot < Row.Level().Slots.size(); ++Slot) PutPacketValue(FWriter, Row.Value(Slot));
  PutStatus(TRowStatus::Modified);
  for (std::size_t Slot = 0; Slot < Row.Level().Slots.size(); ++Slot) {
    const auto Change = Changes.find(Slot);
    if (Change == Changes.end()) {
      CheckWriter(FWriter, FWriter.PutValue(TPutValue::Unchanged, 0, nullptr));
    } else {
      PutDeltaValue(Change->second);
    }
  }
}

void TDeltaWriter::AddInserted(const std::vector<TDeltaValue>& Values) {
  PutStatus(TRowStatus::Inserted);
  for (const TDeltaValue& Value : Values) PutDeltaValue(Value);
}

void TDeltaWriter::AddDeleted(const TDSCursor& Row) {
  PutStatus(TRowStatus::Deleted);
  for (std::size_t Slot = 0; Slot < Row.Level().Slots.size(); ++Slot) PutPacketValue(FWriter, Row.Value(Slot));
}

std::vector<std::uint8_t> TDeltaWriter::Take() {
  std::vector<std::uint8_t> Packet;
  CheckWriter(FWriter, FWriter.TakePacket(Packet));
  return Packet;
}

}  // namespace tavrin
