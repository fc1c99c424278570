#include "datapacket/packet_bytes.h"

#include <string>

#include "datapacket/packet_layout.h"
#include "vocabulary/dbx_error.h"

namespace tavrin {

void RefusePacket(std::size_t Offset, std::string_view Reason) {
  throw TDBXError(TDBXErrorCodes::InvalidInput,
                  TPacketFault::kPrefix + std::to_string(Offset) + ": " + std::string(Reason));
}

void TPacketBytes::RefuseTruncated() const { RefusePacket(FOffset, TPacketFault::kTruncated); }

std::uint16_t TPacketBytes::U16() {
  Need(2);
  const auto Value = static_cast<std::uint16_t>(LoadLE(FPacket.data() + FOffset, 2));
  FOffset += 2;
  return Value;
}

std::uint32_t TPacketBytes::U32() {
  Need(4);
  const auto Value = static_cast<std::uint32_t>(LoadLE(FPacket.data() + FOffset, 4));
  FOffset += 4;
  return Value;
}

std::uint32_t TPacketBytes::VarLength(std::uint32_t Max) {
  const std::size_t Start = FOffset;
  std::uint64_t Value = 0;
  for (unsigned Shift = 0;; Shift += 7) {
    if (Shift > 28) RefusePacket(Start, TPacketFault::kLength);
    const std::uint8_t b = U8();
    Value |= static_cast<std::uint64_t>(b & 0x7F) << Shift;
    if ((b & 0x80) == 0) {
      // One form per number: a last byte of 0 after others would be a second form.
      if (b == 0 && Shift > 0) RefusePacket(Start, TPacketFault::kLength);
      break;
    }
  }
  if (Value > Max) RefusePacket(Start, TPacketFault::kValueTooLong);
  return static_cast<std::uint32_t>(Value);
}

}  // namespace tavrin
