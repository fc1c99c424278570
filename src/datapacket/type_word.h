#pragma once
// The 32-bit type word of a column descriptor or an attribute: the base type code in
// bits 16 to 21, flags above it, and in the low 16 bits the value's size in bytes, the
// width of a varying value's length prefix, or the count of a composite column's
// children or elements.

#include <cstdint>
#include <span>
#include <string_view>

namespace tavrin {

namespace TTypeWord {
inline constexpr std::uint32_t SizeMask = 0x0000FFFF;
inline constexpr unsigned BaseShift = 16;
inline constexpr std::uint32_t BaseMask = 0x3F;
inline constexpr std::uint32_t Varying = 0x00400000;     // a length prefix, then the bytes
inline constexpr std::uint32_t ArrayValue = 0x00800000;  // attributes: a 32-bit count, then elements
inline constexpr std::uint32_t Composite = 0x01000000;   // columns: children follow
inline constexpr std::uint32_t Array = 0x02000000;       // with Composite: repeated elements
inline constexpr std::uint32_t EmbeddedTable = 0x04000000;  // with Composite: a nested dataset field
inline constexpr std::uint32_t InDelta = 0x80000000;     // attributes: carried into delta packets
}  // namespace TTypeWord

// Base type codes.
namespace TPacketType {
inline constexpr std::uint32_t Unknown = 0;     // bytes the packet does not interpret
inline constexpr std::uint32_t Integer = 1;     // signed, 1, 2, 4 or 8 bytes
inline constexpr std::uint32_t Unsigned = 2;    // 1, 2, 4 or 8 bytes
inline constexpr std::uint32_t Boolean = 3;     // 2 bytes (1 accepted): 0 false, else true
inline constexpr std::uint32_t Float = 4;       // IEEE double, 8 bytes (4: single)
inline constexpr std::uint32_t Bcd = 5;         // decimal digits (packet_values.h); attributes: currency
inline constexpr std::uint32_t Date = 6;        // days since 1970-01-01, signed 32-bit
inline constexpr std::uint32_t Time = 7;        // milliseconds since midnight, 32-bit
inline constexpr std::uint32_t DateTime = 8;    // milliseconds since 1970-01-01 00:00, signed 64-bit
inline constexpr std::uint32_t Text = 9;        // UTF-8 bytes
inline constexpr std::uint32_t WideText = 10;   // UTF-16 code units
inline constexpr std::uint32_t Bytes = 11;      // bytes; blobs and memos
inline constexpr std::uint32_t Object = 12;     // a composite of named members
inline constexpr std::uint32_t ArrayOf = 13;    // a composite of repeated elements
inline constexpr std::uint32_t Table = 14;      // a nested dataset
inline constexpr std::uint32_t TimeStamp = 17;  // 16 bytes (packet_values.h)
inline constexpr std::uint32_t FmtBcd = 18;     // as Bcd
inline constexpr std::uint32_t Single = 27;     // IEEE single, 4 bytes
inline constexpr std::uint32_t TimeStampOffset = 36;  // 20 bytes (packet_values.h)
}  // namespace TPacketType

constexpr std::uint32_t BaseTypeOf(std::uint32_t TypeWord) {
  return (TypeWord >> TTypeWord::BaseShift) & TTypeWord::BaseMask;
}
constexpr std::uint32_t SizeOf(std::uint32_t TypeWord) { return TypeWord & TTypeWord::SizeMask; }
constexpr std::uint32_t MakeTypeWord(std::uint32_t BaseType, std::uint32_t Size, std::uint32_t Flags = 0) {
  return (BaseType << TTypeWord::BaseShift) | (Size & TTypeWord::SizeMask) | Flags;
}

// True for the codes listed in TPacketType.
bool IsKnownBaseType(std::uint32_t BaseType);

// The base type's name in the XML form ("integer", "text", ...); "unknown" for a code
// that is not listed.
std::string_view BaseTypeName(std::uint32_t BaseType);

// Whether a column descriptor may carry TypeWord: TDSStatus::Ok, or BadColumnType. The
// rules: a composite column is an object (code 12, its member count), an array (code 13
// with the array flag, its element count) or a nested table (code 14, with or without
// the embedded-table flag, the count of descriptors beneath it on all levels), never
// varying and never with a count of 0; a varying column is text, wide text or bytes
// with a prefix width of 1, 2 or 4; a fixed column has the size its type needs.
std::uint16_t CheckColumnType(std::uint32_t TypeWord);

// Whether an attribute value matches its type word: TDSStatus::Ok, BadAttributeType or
// BadAttributeValue. An array value is a 32-bit count and exactly that many elements of
// the word's size; a varying value is a length prefix of the word's width and exactly
// that many bytes (text: at least its terminating NUL, which ends it); a fixed value
// has exactly the word's size.
std::uint16_t CheckAttributeValue(std::uint32_t TypeWord, std::span<const std::uint8_t> Value);

}  // namespace tavrin
