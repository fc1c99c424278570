#pragma once
// Reads a packet's bytes front to back with every length checked before use: a read
// that would pass the end, or a length above its cap, refuses the packet with a
// TDBXError (code InvalidInput) that names the byte where the fault starts.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace tavrin {

// Texts of the faults only a reader can meet (the writer never makes them).
namespace TPacketFault {
inline constexpr char kPrefix[] = "Data packet refused at byte ";
inline constexpr char kTruncated[] = "the packet ends inside a value or record";
inline constexpr char kNotAPacket[] = "not a data packet";
inline constexpr char kLayout[] = "unsupported layout version ";
inline constexpr char kReserved[] = "reserved header byte is not 0";
inline constexpr char kTooLarge[] = "packet larger than 2 GiB";
inline constexpr char kMetadataLength[] = "the metadata section does not end where the header says";
inline constexpr char kDescriptorCount[] = "the header's descriptor count does not match the columns";
inline constexpr char kRowCount[] = "the row count does not match the rows";
inline constexpr char kTrailing[] = "bytes after the last row";
inline constexpr char kColumnName[] = "a column name must take 1 to 31 bytes";
inline constexpr char kAttributeName[] = "an attribute name must take 1 to 255 bytes";
inline constexpr char kNoColumns[] = "a dataset level without columns";
inline constexpr char kNestedCount[] = "a nested table's descriptor count does not match its columns";
inline constexpr char kMarker[] = "unknown value marker";
inline constexpr char kOnDemand[] = "only blobs and nested tables can be left on demand";
inline constexpr char kLength[] = "malformed value length";
inline constexpr char kValueTooLong[] = "value longer than 64 MiB";
inline constexpr char kNestedLength[] = "nested rows do not end where their length says";
}  // namespace TPacketFault

// Raises the refusal for a fault at Offset.
[[noreturn]] void RefusePacket(std::size_t Offset, std::string_view Reason);

class TPacketBytes {
 public:
  // Reads Bytes[Start, End) of a packet; offsets in errors count from the packet's start.
  TPacketBytes(std::span<const std::uint8_t> Packet, std::size_t Start, std::size_t End)
      : FPacket(Packet), FOffset(Start), FEnd(End) {}

  std::span<const std::uint8_t> Packet() const { return FPacket; }
  std::size_t Offset() const { return FOffset; }
  std::size_t End() const { return FEnd; }
  std::size_t Remaining() const { return FEnd - FOffset; }
  bool AtEnd() const { return FOffset == FEnd; }

  // The small reads are here to be inlined: a row of a large packet makes several each.
  std::uint8_t U8() {
    Need(1);
    return FPacket[FOffset++];
  }
  std::uint16_t U16();
  std::uint32_t U32();
  // The next Count bytes, which stay in the packet.
  std::span<const std::uint8_t> Take(std::size_t Count) {
    Need(Count);
    const auto Part = FPacket.subspan(FOffset, Count);
    FOffset += Count;
    return Part;
  }
  // A length written by AppendVarLength: at most 5 bytes and no more than Max.
  std::uint32_t VarLength(std::uint32_t Max);

 private:
  void Need(std::size_t Count) const {
    if (Count > Remaining()) RefuseTruncated();
  }
  [[noreturn]] void RefuseTruncated() const;

  std::span<const std::uint8_t> FPacket;
  std::size_t FOffset;
  std::size_t FEnd;
};

}  // namespace tavrin
