#pragma once
// TDSBase: a data packet or delta packet read and checked whole. Loading goes over
// every byte once: the header, the metadata (columns, attributes, nesting), every row
// on every level with its values, the pairing of each modified row with its original.
// A packet that passes can be walked with TDSCursor without further faults.
//
// The bytes come from clients (delta packets, row requests): no length is used before
// it is checked against the bytes that remain, and nothing is reserved for a count the
// bytes could not hold.
//
// Threading: once loaded, a base may be read from any thread.

#include <cstdint>
#include <span>
#include <vector>

#include "datapacket/packet_metadata.h"

namespace tavrin {

class TDSBase {
 public:
  // Takes the packet's bytes. Raises TDBXError (code InvalidInput, "Data packet refused
  // at byte N: ...") when they are not a packet of our layout or break any of its rules.
  explicit TDSBase(std::vector<std::uint8_t> Packet);

  // Cursors keep pointers into the base: it must neither move nor go while they are in use.
  TDSBase(const TDSBase&) = delete;
  TDSBase& operator=(const TDSBase&) = delete;

  // 1, or 3 when blobs may be left on the server (fetched on demand).
  std::uint16_t PacketVersion() const { return FPacketVersion; }
  // Column descriptors on all levels.
  std::uint32_t DescriptorCount() const { return FDescriptorCount; }
  // The top level: its columns and dataset attributes.
  const TPacketLevel& Level() const { return FLevel; }
  std::uint32_t RecordCount() const { return static_cast<std::uint32_t>(FRowOffsets.size() - 1); }
  std::span<const std::uint8_t> Bytes() const { return FPacket; }
  // Where each top-level row starts, then where the rows end.
  std::span<const std::uint32_t> RowOffsets() const { return FRowOffsets; }

 private:
  std::vector<std::uint8_t> FPacket;
  std::uint16_t FPacketVersion = 0;
  std::uint32_t FDescriptorCount = 0;
  TPacketLevel FLevel;
  std::vector<std::uint32_t> FRowOffsets;
};

}  // namespace tavrin
