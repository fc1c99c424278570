#include "datapacket/packet_metadata.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "datapacket/column_descriptor.h"
#include "datapacket/packet_bytes.h"
#include "datapacket/packet_layout.h"
#include "datapacket/packet_status.h"
#include "vocabulary/unicode_text.h"

namespace tavrin {
namespace {

namespace T = TPacketType;

constexpr char kFieldNameAttribute[] = "FIELDNAME";

// The fixed value of an attribute of the given base type and one of the sizes; empty
// when it is of another kind.
std::span<const std::uint8_t> FixedValue(const TPacketAttribute& Attribute, std::uint32_t Base,
                                         std::initializer_list<std::uint32_t> Sizes) {
  const std::uint32_t Word = Attribute.TypeWord;
  if ((Word & (TTypeWord::Varying | TTypeWord::ArrayValue)) != 0 || BaseTypeOf(Word) != Base) return {};
  const std::uint32_t Size = SizeOf(Word);
  if (std::find(Sizes.begin(), Sizes.end(), Size) == Sizes.end() || Attribute.Value.size() != Size) return {};
  return Attribute.Value;
}

const TPacketAttribute* FindIn(const std::vector<TPacketAttribute>& Attributes, std::string_view Name) {
  for (const auto& a : Attributes)
    if (a.Name == Name) return &a;
  return nullptr;
}

// Slots of one column with everything inside it but nested tables, at most Cap + 1.
std::uint64_t CountSlots(const TPacketColumn& Column, std::uint64_t Cap) {
  std::uint64_t Count = 1;
  if (Column.IsObject()) {
    for (const auto& c : Column.Children) Count = std::min(Count + CountSlots(c, Cap), Cap + 1);
  } else if (Column.IsArray() && !Column.Children.empty()) {
    Count = std::min(Count + Column.Size() * CountSlots(Column.Children.front(), Cap), Cap + 1);
  }
  return Count;
}

std::uint64_t CountLevelSlots(const TPacketLevel& Level, std::uint64_t Cap);

// Slots of the nested tables inside a column, at most Cap + 1.
std::uint64_t CountNestedSlots(const TPacketColumn& Column, std::uint64_t Cap) {
  if (Column.IsTable() && Column.Nested) return CountLevelSlots(*Column.Nested, Cap);
  std::uint64_t Count = 0;
  for (const auto& c : Column.Children) Count = std::min(Count + CountNestedSlots(c, Cap), Cap + 1);
  return Count;
}

std::uint64_t CountLevelSlots(const TPacketLevel& Level, std::uint64_t Cap) {
  std::uint64_t Count = 0;
  for (const auto& c : Level.Columns)
    Count = std::min(Count + CountSlots(c, Cap) + CountNestedSlots(c, Cap), Cap + 1);
  return Count;
}

void LayOutLevel(TPacketLevel& Level);

void LayOutColumn(TPacketColumn& Column, std::vector<const TPacketColumn*>& Slots, bool First) {
  if (First) Column.Slot = static_cast<std::uint32_t>(Slots.size());
  Slots.push_back(&Column);
  if (Column.IsObject()) {
    for (auto& c : Column.Children) LayOutColumn(c, Slots, First);
  } else if (Column.IsArray() && !Column.Children.empty()) {
    for (std::uint32_t i = 0; i < Column.Size(); ++i) LayOutColumn(Column.Children.front(), Slots, First && i == 0);
  } else if (Column.IsTable() && Column.Nested && First) {
    LayOutLevel(*Column.Nested);
  }
}

void LayOutLevel(TPacketLevel& Level) {
  Level.Slots.clear();
  for (auto& c : Level.Columns) LayOutColumn(c, Level.Slots, true);
}

void AppendName(std::vector<std::uint8_t>& Out, std::string_view Name) {
  Out.push_back(static_cast<std::uint8_t>(Name.size()));
  Out.insert(Out.end(), Name.begin(), Name.end());
}

void AppendAttributes(std::vector<std::uint8_t>& Out, const std::vector<TPacketAttribute>& Attributes) {
  AppendLE(Out, Attributes.size(), 2);
  for (const auto& a : Attributes) {
    AppendName(Out, a.Name);
    AppendLE(Out, a.TypeWord, 4);
    AppendLE(Out, a.Value.size(), 4);
    Out.insert(Out.end(), a.Value.begin(), a.Value.end());
  }
}

void AppendColumn(std::vector<std::uint8_t>& Out, const TPacketColumn& Column) {
  AppendName(Out, Column.Name);
  AppendLE(Out, Column.TypeWord, 4);
  AppendLE(Out, Column.AttributeBits, 2);
  AppendAttributes(Out, Column.Attributes);
  for (const auto& c : Column.Children) AppendColumn(Out, c);
  if (Column.Nested) AppendLevel(Out, *Column.Nested);
}

std::string ReadName(TPacketBytes& In, std::size_t Max, std::string_view Fault) {
  const std::size_t Start = In.Offset();
  const std::size_t Length = In.U8();
  if (Length == 0 || Length > Max) RefusePacket(Start, Fault);
  const auto Bytes = In.Take(Length);
  return std::string(Bytes.begin(), Bytes.end());
}

std::vector<TPacketAttribute> ParseAttributes(TPacketBytes& In) {
  std::vector<TPacketAttribute> Attributes;
  const std::uint16_t Count = In.U16();
  for (std::uint16_t i = 0; i < Count; ++i) {
    TPacketAttribute a;
    a.Name = ReadName(In, TPacketLimits::kMaxAttributeName, TPacketFault::kAttributeName);
    const std::size_t TypeStart = In.Offset();
    a.TypeWord = In.U32();
    const std::uint32_t Length = In.U32();
    if (Length > TPacketLimits::kMaxAttributeBytes) RefusePacket(TypeStart + 4, DSStatusText(TDSStatus::ValueTooLong));
    const auto Value = In.Take(Length);
    a.Value.assign(Value.begin(), Value.end());
    if (const auto Status = CheckAttributeValue(a.TypeWord, a.Value); Status != TDSStatus::Ok)
      RefusePacket(TypeStart, DSStatusText(Status));
    Attributes.push_back(std::move(a));
  }
  return Attributes;
}

TPacketColumn ParseColumn(TPacketBytes& In, int Depth, std::uint32_t& Descriptors) {
  if (Depth > TPacketLimits::kMaxNesting) RefusePacket(In.Offset(), DSStatusText(TDSStatus::NestedTooDeep));
  TPacketColumn Column;
  Column.Name = ReadName(In, TPacketLimits::kMaxColumnName, TPacketFault::kColumnName);
  const std::size_t TypeStart = In.Offset();
  Column.TypeWord = In.U32();
  if (const auto Status = CheckColumnType(Column.TypeWord); Status != TDSStatus::Ok)
    RefusePacket(TypeStart, DSStatusText(Status));
  Column.AttributeBits = In.U16();
  if ((Column.AttributeBits & ~TColumnBits::All) != 0) RefusePacket(TypeStart + 4, DSStatusText(TDSStatus::BadColumnBits));
  Column.Attributes = ParseAttributes(In);
  if (++Descriptors > TPacketLimits::kMaxDescriptors) RefusePacket(TypeStart, DSStatusText(TDSStatus::TooManyDescriptors));
  if (Column.IsObject()) {
    for (std::uint32_t i = 0; i < Column.Size(); ++i) Column.Children.push_back(ParseColumn(In, Depth + 1, Descriptors));
  } else if (Column.IsArray()) {
    Column.Children.push_back(ParseColumn(In, Depth + 1, Descriptors));
  } else if (Column.IsTable()) {
    const std::size_t Start = In.Offset();
    const std::uint32_t Before = Descriptors;
    Column.Nested = std::make_unique<TPacketLevel>(ParseLevel(In, Depth + 1, Descriptors));
    if (Descriptors - Before != Column.Size()) RefusePacket(Start, TPacketFault::kNestedCount);
  }
  return Column;
}

}  // namespace

std::optional<std::int64_t> AttributeInteger(const TPacketAttribute& Attribute) {
  for (const std::uint32_t Base : {T::Integer, T::Unsigned}) {
    const auto Value = FixedValue(Attribute, Base, {1, 2, 4, 8});
    if (Value.empty()) continue;
    const std::uint64_t Raw = LoadLE(Value.data(), Value.size());
    return Base == T::Integer ? SignExtend(Raw, Value.size()) : static_cast<std::int64_t>(Raw);
  }
  return std::nullopt;
}

std::optional<bool> AttributeBoolean(const TPacketAttribute& Attribute) {
  const auto Value = FixedValue(Attribute, T::Boolean, {1, 2});
  if (Value.empty()) return std::nullopt;
  return LoadLE(Value.data(), Value.size()) != 0;
}

std::optional<double> AttributeFloat(const TPacketAttribute& Attribute) {
  const auto Value = FixedValue(Attribute, T::Float, {4, 8});
  if (Value.empty()) return std::nullopt;
  if (Value.size() == 4) {
    const auto Bits = static_cast<std::uint32_t>(LoadLE(Value.data(), 4));
    float f = 0;
    std::memcpy(&f, &Bits, 4);
    return f;
  }
  const std::uint64_t Bits = LoadLE(Value.data(), 8);
  double d = 0;
  std::memcpy(&d, &Bits, 8);
  return d;
}

std::optional<std::int64_t> AttributeCurrency(const TPacketAttribute& Attribute) {
  const auto Value = FixedValue(Attribute, T::Bcd, {8});
  if (Value.empty()) return std::nullopt;
  return static_cast<std::int64_t>(LoadLE(Value.data(), 8));
}

std::optional<std::string> AttributeText(const TPacketAttribute& Attribute) {
  const std::uint32_t Word = Attribute.TypeWord;
  if ((Word & TTypeWord::Varying) == 0 || (Word & TTypeWord::ArrayValue) != 0 || BaseTypeOf(Word) != T::Text ||
      CheckAttributeValue(Word, Attribute.Value) != TDSStatus::Ok)
    return std::nullopt;
  // Prefix, the bytes, the terminating NUL.
  return std::string(Attribute.Value.begin() + SizeOf(Word), Attribute.Value.end() - 1);
}

std::optional<std::vector<std::int64_t>> AttributeIntegers(const TPacketAttribute& Attribute) {
  const std::uint32_t Word = Attribute.TypeWord;
  const std::uint32_t Base = BaseTypeOf(Word);
  const std::uint32_t Size = SizeOf(Word);
  if ((Word & TTypeWord::ArrayValue) == 0 || (Base != T::Integer && Base != T::Unsigned) ||
      (Size != 1 && Size != 2 && Size != 4 && Size != 8) || CheckAttributeValue(Word, Attribute.Value) != TDSStatus::Ok)
    return std::nullopt;
  std::vector<std::int64_t> Values;
  for (std::size_t At = 4; At < Attribute.Value.size(); At += Size)
    Values.push_back(SignExtend(LoadLE(Attribute.Value.data() + At, Size), Size));
  return Values;
}

TAttributeValue TextAttribute(std::string_view Utf8) {
  if (Utf8.size() > 0xFFFE) throw std::length_error("attribute text longer than 65534 bytes");
  TAttributeValue a{MakeTypeWord(T::Text, 2, TTypeWord::Varying), {}};
  AppendLE(a.Bytes, Utf8.size() + 1, 2);
  a.Bytes.insert(a.Bytes.end(), Utf8.begin(), Utf8.end());
  a.Bytes.push_back(0);
  return a;
}

TAttributeValue Int32Attribute(std::int32_t Value) {
  TAttributeValue a{MakeTypeWord(T::Integer, 4), {}};
  AppendLE(a.Bytes, static_cast<std::uint32_t>(Value), 4);
  return a;
}

TAttributeValue BooleanAttribute(bool Value) {
  TAttributeValue a{MakeTypeWord(T::Boolean, 2), {}};
  AppendLE(a.Bytes, Value ? 0xFFFF : 0, 2);
  return a;
}

TAttributeValue Int32ArrayAttribute(std::span<const std::int32_t> Values) {
  TAttributeValue a{MakeTypeWord(T::Integer, 4, TTypeWord::ArrayValue), {}};
  AppendLE(a.Bytes, Values.size(), 4);
  for (const auto v : Values) AppendLE(a.Bytes, static_cast<std::uint32_t>(v), 4);
  return a;
}

const TPacketAttribute* TPacketColumn::FindAttribute(std::string_view AttributeName) const {
  return FindIn(Attributes, AttributeName);
}

std::string TPacketColumn::FieldName() const {
  if (const auto* a = FindAttribute(kFieldNameAttribute))
    if (auto Text = AttributeText(*a)) return *Text;
  return Name;
}

const TPacketColumn* TPacketLevel::FindColumn(std::string_view ColumnName) const {
  const std::string Wanted = UpperAscii(ColumnName);
  for (const auto& c : Columns)
    if (UpperAscii(c.FieldName()) == Wanted) return &c;
  return nullptr;
}

const TPacketAttribute* TPacketLevel::FindAttribute(std::string_view AttributeName) const {
  return FindIn(Attributes, AttributeName);
}

std::uint16_t LayOutRows(TPacketLevel& Top) {
  if (CountLevelSlots(Top, TPacketLimits::kMaxRowSlots) > TPacketLimits::kMaxRowSlots)
    return TDSStatus::TooManyRowValues;
  LayOutLevel(Top);
  return TDSStatus::Ok;
}

void AppendLevel(std::vector<std::uint8_t>& Out, const TPacketLevel& Level) {
  AppendLE(Out, Level.Columns.size(), 2);
  for (const auto& c : Level.Columns) AppendColumn(Out, c);
  AppendAttributes(Out, Level.Attributes);
}

TPacketLevel ParseLevel(TPacketBytes& In, int Depth, std::uint32_t& Descriptors) {
  TPacketLevel Level;
  const std::size_t Start = In.Offset();
  const std::uint16_t Count = In.U16();
  if (Count == 0) RefusePacket(Start, TPacketFault::kNoColumns);
  for (std::uint16_t i = 0; i < Count; ++i) Level.Columns.push_back(ParseColumn(In, Depth, Descriptors));
  Level.Attributes = ParseAttributes(In);
  return Level;
}

}  // namespace tavrin
