#include "datapacket/base.h"

#include <algorithm>
#include <string>

#include "datapacket/packet_bytes.h"
#include "datapacket/packet_layout.h"
#include "datapacket/packet_status.h"
#include "datapacket/row_codec.h"

namespace tavrin {

namespace H = TPacketHeader;

TDSBase::TDSBase(std::vector<std::uint8_t> Packet) : FPacket(std::move(Packet)) {
  const std::span<const std::uint8_t> Bytes = FPacket;
  if (Bytes.size() > TPacketLimits::kMaxPacketBytes) RefusePacket(0, TPacketFault::kTooLarge);
  if (Bytes.size() < sizeof H::Magic || !std::equal(std::begin(H::Magic), std::end(H::Magic), Bytes.begin()))
    RefusePacket(0, TPacketFault::kNotAPacket);
  TPacketBytes Header(Bytes, sizeof H::Magic, Bytes.size());
  if (const auto Layout = Header.U8(); Layout != H::LayoutVersion)
    RefusePacket(H::LayoutOffset, TPacketFault::kLayout + std::to_string(Layout));
  if (Header.U8() != 0) RefusePacket(H::ReservedOffset, TPacketFault::kReserved);
  FPacketVersion = Header.U16();
  if (FPacketVersion != 1 && FPacketVersion != 3)
    RefusePacket(H::PacketVersionOffset, DSStatusText(TDSStatus::BadPacketVersion));
  FDescriptorCount = Header.U32();
  if (FDescriptorCount == 0 || FDescriptorCount > TPacketLimits::kMaxDescriptors)
    RefusePacket(H::DescriptorCountOffset, DSStatusText(TDSStatus::BadDescriptorCount));
  const std::uint32_t MetadataLength = Header.U32();
  const std::uint32_t RowCount = Header.U32();
  if (MetadataLength > TPacketLimits::kMaxMetadataBytes)
    RefusePacket(H::MetadataLengthOffset, DSStatusText(TDSStatus::MetadataTooLarge));
  if (MetadataLength > Header.Remaining()) RefusePacket(H::MetadataLengthOffset, TPacketFault::kTruncated);

  const std::size_t RowsStart = H::Size + MetadataLength;
  TPacketBytes Metadata(Bytes, H::Size, RowsStart);
  std::uint32_t Descriptors = 0;
  FLevel = ParseLevel(Metadata, 0, Descriptors);
  if (!Metadata.AtEnd()) RefusePacket(Metadata.Offset(), TPacketFault::kMetadataLength);
  if (Descriptors != FDescriptorCount) RefusePacket(H::DescriptorCountOffset, TPacketFault::kDescriptorCount);
  if (LayOutRows(FLevel) != TDSStatus::Ok) RefusePacket(H::Size, DSStatusText(TDSStatus::TooManyRowValues));
  ScanRows(FLevel, Bytes, RowsStart, Bytes.size(), RowCount, &FRowOffsets, TPacketFault::kTrailing);
}

}  // namespace tavrin
