#pragma once
// The 38-byte column descriptor record handed to TDSWriter::PutColumnDescriptor: the
// name in UTF-8, NUL-terminated in 32 bytes; the type word (type_word.h); the
// attribute bits. Little-endian.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tavrin {

inline constexpr std::size_t kColumnDescriptorSize = 38;
using TColumnDescriptorRecord = std::array<std::uint8_t, kColumnDescriptorSize>;

namespace TColumnBits {
inline constexpr std::uint16_t Hidden = 1;
inline constexpr std::uint16_t ReadOnly = 2;
inline constexpr std::uint16_t Required = 4;
inline constexpr std::uint16_t All = Hidden | ReadOnly | Required;
}  // namespace TColumnBits

namespace TColumnDescriptorLayout {
inline constexpr std::size_t NameOffset = 0;
inline constexpr std::size_t NameBytes = 32;
inline constexpr std::size_t TypeWordOffset = 32;
inline constexpr std::size_t BitsOffset = 36;
}  // namespace TColumnDescriptorLayout

// The record for a column. A name of 32 bytes or more is cut to its first 31 bytes (the
// whole name then travels as the column's FIELDNAME attribute, which is the caller's to
// write); the cut never splits a UTF-8 sequence, so it may keep fewer than 31.
TColumnDescriptorRecord MakeColumnDescriptor(std::string_view Name, std::uint32_t TypeWord,
                                             std::uint16_t AttributeBits);

// The parts of a record; Name is empty when the name field holds no NUL.
struct TColumnDescriptorParts {
  std::string Name;
  std::uint32_t TypeWord = 0;
  std::uint16_t AttributeBits = 0;
};
TColumnDescriptorParts ReadColumnDescriptor(std::span<const std::uint8_t, kColumnDescriptorSize> Record);

}  // namespace tavrin
