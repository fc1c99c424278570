#pragma once
// The 16-bit statuses the writer's operations return, 0 for success, and their texts.
// The reader names the faults it finds in a packet with the same texts where the fault
// is one the writer refuses too. The values are ours; they reach clients only inside
// error texts, so a new status takes a new number and old ones keep theirs.

#include <cstdint>
#include <string>
#include <string_view>

namespace tavrin {

namespace TDSStatus {
inline constexpr std::uint16_t Ok = 0;
inline constexpr std::uint16_t NoPacket = 1;
inline constexpr std::uint16_t InvalidArgument = 2;
inline constexpr std::uint16_t BadPacketVersion = 3;
inline constexpr std::uint16_t BadDescriptorCount = 4;
inline constexpr std::uint16_t TooManyDescriptors = 5;
inline constexpr std::uint16_t BadColumnName = 6;
inline constexpr std::uint16_t BadColumnType = 7;
inline constexpr std::uint16_t BadColumnBits = 8;
inline constexpr std::uint16_t ChildrenMissing = 9;
inline constexpr std::uint16_t DescriptorsMissing = 10;
inline constexpr std::uint16_t NestedNotClosed = 11;
inline constexpr std::uint16_t NoNestedToClose = 12;
inline constexpr std::uint16_t BadAttributeArea = 13;
inline constexpr std::uint16_t AttributeBeforeColumn = 14;
inline constexpr std::uint16_t BadAttributeName = 15;
inline constexpr std::uint16_t BadAttributeType = 16;
inline constexpr std::uint16_t BadAttributeValue = 17;
inline constexpr std::uint16_t TooManyAttributes = 18;
inline constexpr std::uint16_t ValueTooLong = 19;
inline constexpr std::uint16_t BadValueStatus = 20;
inline constexpr std::uint16_t BadValueSize = 21;
inline constexpr std::uint16_t BadRowStatus = 22;
inline constexpr std::uint16_t ModifiedWithoutOriginal = 23;
inline constexpr std::uint16_t UnchangedOutsideModified = 24;
inline constexpr std::uint16_t BadTableValue = 25;
inline constexpr std::uint16_t NoNestedRows = 26;
inline constexpr std::uint16_t RowIncomplete = 27;
inline constexpr std::uint16_t PacketTooLarge = 28;
inline constexpr std::uint16_t TooManyRowValues = 29;
inline constexpr std::uint16_t NestedTooDeep = 30;
inline constexpr std::uint16_t BadOutputMode = 31;
inline constexpr std::uint16_t MetadataTooLarge = 32;
}  // namespace TDSStatus

// The status's text, plain ASCII (so the same bytes in every code page); a status of no
// known value gives "Unknown data packet status" and its number.
std::string DSStatusText(std::uint16_t Status);

}  // namespace tavrin
