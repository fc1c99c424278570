#pragma once
// TDSCursor: walks the rows of one level of a loaded packet (TDSBase), the top level or
// the rows of a nested table value, and gives each row's status and values.
//
// Deltas: a modified row travels right after its original (an unmodified row). On the
// modified row, Value() gives the new value, which is Unchanged where the client left
// the original's value standing, and OldValue() gives the original's value. On any other
// row OldValue() is the row's own value. So a resolver reads, per row:
//   Unmodified  nothing to apply by itself; when IsOriginal() it only carries the old
//               values of the next row
//   Modified    OldValue() for the where clause, Value() (unless Unchanged) to write
//   Inserted    Value() to write
//   Deleted     Value() (the row as the client had it) for the where clause
//
// A cursor holds pointers into its base (and its nested values): the base must outlive
// it and stay where it is. Threading: one thread per cursor.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "datapacket/base.h"
#include "datapacket/row_codec.h"

namespace tavrin {

class TDSCursor {
 public:
  // The top-level rows of Base, positioned on the first (Eof() when there is none).
  explicit TDSCursor(const TDSBase& Base);

  // The rows of a nested table value: Column is a table column of this cursor's level
  // and Value one of the current row's values for it. A null, unchanged or on-demand
  // value gives a cursor without rows. Raises std::invalid_argument when Column is not
  // a table column.
  TDSCursor Nested(const TPacketColumn& Column, const TPacketValue& Value) const;

  const TPacketLevel& Level() const { return *FLevel; }
  std::uint32_t RecordCount() const { return static_cast<std::uint32_t>(FOffsets.size() - 1); }

  // The current row's number from 1; RecordCount() + 1 once past the last row.
  std::uint32_t RecNo() const { return FIndex + 1; }
  bool Eof() const { return FIndex >= RecordCount(); }
  void First() { MoveTo(1); }
  void Next() { MoveTo(RecNo() + 1); }
  // Positions on row RecNo (from 1); past the end gives Eof().
  void MoveTo(std::uint32_t RecordNumber);

  // The current row; each raises std::out_of_range at Eof().
  TRowStatus Status() const;
  // An unmodified row whose modified row comes next.
  bool IsOriginal() const;
  const TPacketValue& Value(const TPacketColumn& Column) const { return Value(Column.Slot); }
  const TPacketValue& Value(std::size_t Slot) const;
  const TPacketValue& OldValue(const TPacketColumn& Column) const { return OldValue(Column.Slot); }
  const TPacketValue& OldValue(std::size_t Slot) const;
  // All of the current row's values, one per slot of the level.
  const std::vector<TPacketValue>& Values() const;

 private:
  TDSCursor(std::span<const std::uint8_t> Packet, const TPacketLevel& Level,
            std::shared_ptr<const std::vector<std::uint32_t>> Offsets);
  void Decode(std::uint32_t Index, TPacketRow& Row) const;
  void CheckRow() const;

  std::span<const std::uint8_t> FPacket;
  const TPacketLevel* FLevel;
  // The rows' starts and the end; owned here for nested rows, shared by copies.
  std::shared_ptr<const std::vector<std::uint32_t>> FOwnedOffsets;
  std::span<const std::uint32_t> FOffsets;
  std::uint32_t FIndex = 0;
  TPacketRow FRow;
  TPacketRow FOriginal;  // the row before, when the current row is modified
};

}  // namespace tavrin
