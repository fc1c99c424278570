#pragma once
// Small helpers that drive TDSWriter the way a packet writer does, and the two-row
// product packet that docs/data-packet.md takes apart byte by byte.

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "datapacket/column_descriptor.h"
#include "datapacket/writer.h"
#include "datapacket/packet_metadata.h"
#include "datapacket/packet_values.h"
#include "datapacket/type_word.h"

namespace tavrin::testing {

namespace T = TPacketType;

inline constexpr std::uint32_t kInt32 = MakeTypeWord(T::Integer, 4);
inline constexpr std::uint32_t kDouble = MakeTypeWord(T::Float, 8);
inline constexpr std::uint32_t kShortText = MakeTypeWord(T::Text, 1, TTypeWord::Varying);
inline constexpr std::uint32_t kBlob = MakeTypeWord(T::Bytes, 4, TTypeWord::Varying);

inline void PutColumn(TDSWriter& Writer, std::string_view Name, std::uint32_t TypeWord, std::uint16_t Bits = 0) {
  Writer.Check(Writer.PutColumnDescriptor(MakeColumnDescriptor(Name, TypeWord, Bits)));
}

inline void PutAttribute(TDSWriter& Writer, std::int32_t Area, std::string_view Name, const TAttributeValue& Value,
                         bool InDelta = false) {
  Writer.Check(Writer.PutAttribute(Area, Name, Value.TypeWord | (InDelta ? TTypeWord::InDelta : 0),
                                   static_cast<std::uint32_t>(Value.Bytes.size()), Value.Bytes.data()));
}

inline void CloseNested(TDSWriter& Writer) {
  Writer.Check(Writer.PutAttribute(TAttributeArea::DataSet, std::nullopt, 0, 0, nullptr));
}

inline void PutRow(TDSWriter& Writer, TRowStatus Status = TRowStatus::Unmodified) {
  const auto Byte = static_cast<std::uint8_t>(Status);
  Writer.Check(Writer.PutValue(TPutValue::Value, 1, &Byte));
}

inline void Put(TDSWriter& Writer, std::span<const std::uint8_t> Bytes) {
  Writer.Check(Writer.PutValue(TPutValue::Value, static_cast<std::uint32_t>(Bytes.size()), Bytes.data()));
}

inline void Put(TDSWriter& Writer, const TFixedValue& Value) { Put(Writer, Value.Bytes()); }

inline void PutText(TDSWriter& Writer, std::string_view Utf8) {
  Writer.Check(Writer.PutValue(TPutValue::Value, static_cast<std::uint32_t>(Utf8.size()), Utf8.data()));
}

inline void PutNull(TDSWriter& Writer) { Writer.Check(Writer.PutValue(TPutValue::Null, 0, nullptr)); }
inline void PutUnchanged(TDSWriter& Writer) { Writer.Check(Writer.PutValue(TPutValue::Unchanged, 0, nullptr)); }

inline std::vector<std::uint8_t> Take(TDSWriter& Writer) {
  std::vector<std::uint8_t> Packet;
  Writer.Check(Writer.TakePacket(Packet));
  return Packet;
}

// Columns produto, descricao, custo, venda, quantidade, with the product list's
// attributes, and no rows yet.
inline void BeginProductPacket(TDSWriter& Writer) {
  Writer.Check(Writer.BeginPacket(1, 5));
  PutColumn(Writer, "produto", kInt32, TColumnBits::Required);
  PutColumn(Writer, "descricao", kShortText);
  PutAttribute(Writer, TAttributeArea::Column, "WIDTH", Int32Attribute(60));
  PutColumn(Writer, "custo", kDouble);
  PutAttribute(Writer, TAttributeArea::Column, "SUBTYPE", TextAttribute("Money"));
  PutColumn(Writer, "venda", kDouble);
  PutAttribute(Writer, TAttributeArea::Column, "SUBTYPE", TextAttribute("Money"));
  PutColumn(Writer, "quantidade", kDouble);
}

inline void PutProduct(TDSWriter& Writer, std::int32_t Code, std::string_view Description, double Cost,
                       double Price, double Quantity) {
  PutRow(Writer);
  Put(Writer, IntegerValue(Code, 4));
  PutText(Writer, Description);
  Put(Writer, FloatValue(Cost));
  Put(Writer, FloatValue(Price));
  Put(Writer, FloatValue(Quantity));
}

// The packet of docs/data-packet.md.
inline std::vector<std::uint8_t> ProductPacket(std::int32_t OutputMode = TOutputMode::Binary) {
  TDSWriter Writer;
  Writer.Check(Writer.SetOutputMode(OutputMode));
  BeginProductPacket(Writer);
  PutProduct(Writer, 1, "Café", 12.5, 18.9, 40);
  PutProduct(Writer, 2, "Açúcar", 3.25, 4.99, 120);
  return Take(Writer);
}

}  // namespace tavrin::testing
