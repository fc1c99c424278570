#pragma once
// A packet's rows as bytes: each row is its status byte, then one value per slot of its
// level (TPacketLevel::Slots), each a marker byte and the bytes the marker and the
// column call for. Decoding checks every length against the bytes that remain and the
// rules of deltas: an unchanged value only in a modified row, a modified row only right
// after its original.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "datapacket/packet_layout.h"
#include "datapacket/packet_metadata.h"

namespace tavrin {

class TPacketBytes;

enum class TValueState : std::uint8_t {
  Value,      // Data holds it
  Null,
  Unchanged,  // in a modified row: the value of the original row stands
  OnDemand,   // a blob (BlobSize) or nested table the server keeps for a later request
};

struct TPacketValue {
  TValueState State = TValueState::Null;
  // With Value: a fixed column's Size bytes, a varying column's bytes, nothing for an
  // object or array (their members are values of their own), the rows of a nested table.
  // The bytes stay in the packet.
  std::span<const std::uint8_t> Data;
  std::size_t DataOffset = 0;    // where Data starts in the packet
  std::uint32_t NestedRows = 0;  // a nested table's row count
  std::uint32_t BlobSize = 0;    // a blob on demand: its size as the server reported it
};

struct TPacketRow {
  TRowStatus Status = TRowStatus::Unmodified;
  std::vector<TPacketValue> Values;  // one per slot of the level
};

// Decodes the row of Level at In's position into Row and moves In past it. With
// CheckNested the rows of nested tables are checked as well (ScanRows); without, they
// are only measured. Refuses the packet (packet_bytes.h) on any fault.
void DecodeRow(const TPacketLevel& Level, TPacketBytes& In, TPacketRow& Row, bool CheckNested);

// Checks that Packet[Start, End) holds exactly Count rows of Level, every value and
// every nested row included, and that each modified row follows its original. Offsets,
// when given, receives each row's start and then End. Refuses the packet on any fault;
// EndFault names the fault when bytes remain after the last row.
void ScanRows(const TPacketLevel& Level, std::span<const std::uint8_t> Packet, std::size_t Start,
              std::size_t End, std::uint32_t Count, std::vector<std::uint32_t>* Offsets,
              const char* EndFault);

}  // namespace tavrin
