#include "datapacket/type_word.h"

#include "datapacket/packet_layout.h"
#include "datapacket/packet_status.h"

namespace tavrin {
namespace {

namespace T = TPacketType;

// Bits 27 to 30 mean nothing yet.
constexpr std::uint32_t kUnusedBits = 0x78000000;

bool FixedSizeFits(std::uint32_t Base, std::uint32_t Size) {
  switch (Base) {
    case T::Integer:
    case T::Unsigned: return Size == 1 || Size == 2 || Size == 4 || Size == 8;
    case T::Boolean: return Size == 1 || Size == 2;
    case T::Float: return Size == 4 || Size == 8;
    case T::Single:
    case T::Date:
    case T::Time: return Size == 4;
    case T::DateTime: return Size == 8;
    case T::TimeStamp: return Size == 16;
    case T::TimeStampOffset: return Size == 20;
    // A precision byte, a sign-and-places byte and up to 64 digits.
    case T::Bcd:
    case T::FmtBcd: return Size >= 2 && Size <= 34;
    case T::Unknown:
    case T::Text:
    case T::WideText:
    case T::Bytes: return Size >= 1;
    default: return false;
  }
}

bool IsPrefixWidth(std::uint32_t Width) { return Width == 1 || Width == 2 || Width == 4; }

}  // namespace

bool IsKnownBaseType(std::uint32_t BaseType) {
  return BaseType == T::Unknown || BaseTypeName(BaseType) != "unknown";
}

std::string_view BaseTypeName(std::uint32_t BaseType) {
  switch (BaseType) {
    case T::Integer: return "integer";
    case T::Unsigned: return "unsigned";
    case T::Boolean: return "boolean";
    case T::Float: return "float";
    case T::Bcd: return "bcd";
    case T::Date: return "date";
    case T::Time: return "time";
    case T::DateTime: return "datetime";
    case T::Text: return "text";
    case T::WideText: return "widetext";
    case T::Bytes: return "bytes";
    case T::Object: return "object";
    case T::ArrayOf: return "array";
    case T::Table: return "table";
    case T::TimeStamp: return "timestamp";
    case T::FmtBcd: return "fmtbcd";
    case T::Single: return "single";
    case T::TimeStampOffset: return "timestampoffset";
    default: return "unknown";
  }
}

std::uint16_t CheckColumnType(std::uint32_t TypeWord) {
  const std::uint32_t Base = BaseTypeOf(TypeWord);
  const std::uint32_t Size = SizeOf(TypeWord);
  const bool IsComposite = (TypeWord & TTypeWord::Composite) != 0;
  const bool IsArray = (TypeWord & TTypeWord::Array) != 0;
  const bool IsTable = (TypeWord & TTypeWord::EmbeddedTable) != 0;
  const bool IsVarying = (TypeWord & TTypeWord::Varying) != 0;
  if ((TypeWord & (TTypeWord::InDelta | TTypeWord::ArrayValue | kUnusedBits)) != 0 || !IsKnownBaseType(Base))
    return TDSStatus::BadColumnType;
  if (IsComposite) {
    if (IsVarying || Size == 0 || (IsArray && IsTable)) return TDSStatus::BadColumnType;
    if (IsArray) return Base == T::ArrayOf ? TDSStatus::Ok : TDSStatus::BadColumnType;
    if (IsTable) return Base == T::Table ? TDSStatus::Ok : TDSStatus::BadColumnType;
    return Base == T::Object || Base == T::Table ? TDSStatus::Ok : TDSStatus::BadColumnType;
  }
  if (IsArray || IsTable || Base == T::Object || Base == T::ArrayOf || Base == T::Table)
    return TDSStatus::BadColumnType;
  if (IsVarying) {
    const bool Fits = (Base == T::Text || Base == T::WideText || Base == T::Bytes) && IsPrefixWidth(Size);
    return Fits ? TDSStatus::Ok : TDSStatus::BadColumnType;
  }
  return FixedSizeFits(Base, Size) ? TDSStatus::Ok : TDSStatus::BadColumnType;
}

std::uint16_t CheckAttributeValue(std::uint32_t TypeWord, std::span<const std::uint8_t> Value) {
  const std::uint32_t Base = BaseTypeOf(TypeWord);
  const std::uint32_t Size = SizeOf(TypeWord);
  const bool IsVarying = (TypeWord & TTypeWord::Varying) != 0;
  constexpr std::uint32_t kColumnOnly = TTypeWord::Composite | TTypeWord::Array | TTypeWord::EmbeddedTable;
  if ((TypeWord & (kColumnOnly | kUnusedBits)) != 0 || !IsKnownBaseType(Base) || Base == T::Object ||
      Base == T::ArrayOf || Base == T::Table)
    return TDSStatus::BadAttributeType;
  if ((TypeWord & TTypeWord::ArrayValue) != 0) {
    if (IsVarying || Size == 0) return TDSStatus::BadAttributeType;
    if (Value.size() < 4) return TDSStatus::BadAttributeValue;
    const std::uint64_t Count = LoadLE(Value.data(), 4);
    return Value.size() - 4 == Count * Size ? TDSStatus::Ok : TDSStatus::BadAttributeValue;
  }
  if (IsVarying) {
    if (!IsPrefixWidth(Size)) return TDSStatus::BadAttributeType;
    if (Value.size() < Size) return TDSStatus::BadAttributeValue;
    const std::uint64_t Length = LoadLE(Value.data(), Size);
    if (Value.size() - Size != Length) return TDSStatus::BadAttributeValue;
    if (Base == T::Text && (Length == 0 || Value.back() != 0)) return TDSStatus::BadAttributeValue;
    return TDSStatus::Ok;
  }
  if (Size == 0) return TDSStatus::BadAttributeType;
  return Value.size() == Size ? TDSStatus::Ok : TDSStatus::BadAttributeValue;
}

}  // namespace tavrin
