#pragma once
// The fixed parts of our data-packet layout: the header, the value markers, the row
// statuses and the caps on what a packet may hold. docs/data-packet.md shows them at
// work. Every integer is little-endian.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "vocabulary/dbx_limits.h"

namespace tavrin {

namespace TPacketHeader {
// "TVPK": tells a packet from any other bytes before anything else is read.
inline constexpr std::uint8_t Magic[4] = {'T', 'V', 'P', 'K'};
// The layout this code writes and the only one it reads. A change of layout that an
// older reader would misread takes the next number.
inline constexpr std::uint8_t LayoutVersion = 1;
inline constexpr std::size_t MagicOffset = 0;
inline constexpr std::size_t LayoutOffset = 4;           // u8
inline constexpr std::size_t ReservedOffset = 5;         // u8, always 0
inline constexpr std::size_t PacketVersionOffset = 6;    // u16: 1, or 3 with blobs fetched on demand
inline constexpr std::size_t DescriptorCountOffset = 8;  // u32: column descriptors on all levels
inline constexpr std::size_t MetadataLengthOffset = 12;  // u32: bytes of the metadata section
inline constexpr std::size_t RowCountOffset = 16;        // u32: rows of the top level
inline constexpr std::size_t Size = 20;
}  // namespace TPacketHeader

// The byte in front of each value of a row.
namespace TValueMarker {
inline constexpr std::uint8_t Value = 0;      // the value's bytes follow
inline constexpr std::uint8_t Null = 1;
inline constexpr std::uint8_t Unchanged = 2;  // modified rows of a delta: the original's value stands
inline constexpr std::uint8_t OnDemand = 3;   // a blob or a nested table left for a later request
}  // namespace TValueMarker

// The first byte of each row. A modified row always follows its original, an
// unmodified row: the two travel as a pair.
enum class TRowStatus : std::uint8_t { Unmodified = 0, Modified = 1, Inserted = 2, Deleted = 3 };
inline constexpr std::uint8_t kLastRowStatus = 3;

// Special arguments of TDSWriter::PutValue, as the packet writer hands them over.
namespace TPutValue {
inline constexpr std::uint16_t Value = 0;
inline constexpr std::uint16_t Null = 1;
inline constexpr std::uint16_t Unchanged = 2;
// Length of a blob left on the server: the 4 data bytes are the blob's size.
inline constexpr std::uint32_t BlobOnDemandLength = 0x80000001;
// The 4 data bytes of a nested table value: rows follow (ended by EndNestedRows), or
// the rows are left for a later request.
inline constexpr std::uint32_t TableRowsFollow = 0xFFFFFFFF;
inline constexpr std::uint32_t TableOnDemand = 0x80000000;
}  // namespace TPutValue

namespace TPacketLimits {
// Column descriptors of one packet, on all levels (their counts are 16-bit).
inline constexpr std::uint32_t kMaxDescriptors = 0xFFFF;
// Levels of composite columns and nested tables inside one another.
inline constexpr int kMaxNesting = 16;
// Values of one row on all levels together, with array elements counted one by one.
inline constexpr std::uint32_t kMaxRowSlots = 65536;
// Attributes of one column or one dataset level.
inline constexpr std::uint32_t kMaxAttributes = 0xFFFF;
// Longest attribute name in bytes (its length is one byte).
inline constexpr std::size_t kMaxAttributeName = 255;
// Largest attribute value (a text attribute needs at most 8 KiB).
inline constexpr std::uint32_t kMaxAttributeBytes = 64 * 1024;
// Largest metadata section: it bounds what a client's packet can make us hold for its
// columns and attributes.
inline constexpr std::uint32_t kMaxMetadataBytes = 4 * 1024 * 1024;
// Largest single value: no larger one could travel to a client anyway.
inline constexpr std::uint32_t kMaxValueBytes = static_cast<std::uint32_t>(limits::kMaxBlobBytes);
// Largest packet: lengths inside are 32-bit and the variant carriage's are signed.
inline constexpr std::size_t kMaxPacketBytes = 0x7FFFFFFF;
// Longest column name in a descriptor, in bytes, without its terminating NUL.
inline constexpr std::size_t kMaxColumnName = 31;
}  // namespace TPacketLimits

// Little-endian integers in and out of byte buffers.
inline void AppendLE(std::vector<std::uint8_t>& Out, std::uint64_t Value, std::size_t Bytes) {
  for (std::size_t i = 0; i < Bytes; ++i) Out.push_back(static_cast<std::uint8_t>(Value >> (8 * i)));
}

inline void StoreLE(std::uint8_t* Out, std::uint64_t Value, std::size_t Bytes) {
  // As LoadLE: the usual widths as one store on a little-endian host.
  if constexpr (std::endian::native == std::endian::little) {
    switch (Bytes) {
      case 2: {
        const auto Narrow = static_cast<std::uint16_t>(Value);
        std::memcpy(Out, &Narrow, 2);
        return;
      }
      case 4: {
        const auto Narrow = static_cast<std::uint32_t>(Value);
        std::memcpy(Out, &Narrow, 4);
        return;
      }
      case 8:
        std::memcpy(Out, &Value, 8);
        return;
      default:
        break;
    }
  }
  for (std::size_t i = 0; i < Bytes; ++i) Out[i] = static_cast<std::uint8_t>(Value >> (8 * i));
}

inline std::uint64_t LoadLE(const std::uint8_t* In, std::size_t Bytes) {
  // The widths values mostly take, as one load each on a little-endian host: the byte
  // loop cost more than the rest of reading a row.
  if constexpr (std::endian::native == std::endian::little) {
    switch (Bytes) {
      case 2: {
        std::uint16_t Value;
        std::memcpy(&Value, In, 2);
        return Value;
      }
      case 4: {
        std::uint32_t Value;
        std::memcpy(&Value, In, 4);
        return Value;
      }
      case 8: {
        std::uint64_t Value;
        std::memcpy(&Value, In, 8);
        return Value;
      }
      default:
        break;
    }
  }
  std::uint64_t Value = 0;
  for (std::size_t i = 0; i < Bytes; ++i) Value |= static_cast<std::uint64_t>(In[i]) << (8 * i);
  return Value;
}

// The signed value of the Bytes-byte two's-complement number held in Value.
inline std::int64_t SignExtend(std::uint64_t Value, std::size_t Bytes) {
  if (Bytes >= 8) return static_cast<std::int64_t>(Value);
  const std::uint64_t Sign = std::uint64_t{1} << (8 * Bytes - 1);
  return static_cast<std::int64_t>((Value ^ Sign) - Sign);
}

// A length as 7-bit groups, least significant first, the high bit set on every byte
// but the last: below 128 it takes one byte.
inline void AppendVarLength(std::vector<std::uint8_t>& Out, std::uint32_t Value) {
  while (Value >= 0x80) {
    Out.push_back(static_cast<std::uint8_t>(Value | 0x80));
    Value >>= 7;
  }
  Out.push_back(static_cast<std::uint8_t>(Value));
}

}  // namespace tavrin
