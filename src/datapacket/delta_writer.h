#pragma once
// Writing packets that follow another packet's columns: a delta of a client's changes to
// the rows of a packet it fetched (TDeltaWriter), and the helpers a server uses to answer
// with rows of a packet it read (the error packet, refreshed rows): the columns and
// attributes copied, values copied as they came.
//
// Only flat levels: a column that is an object, array or nested table raises
// std::invalid_argument (no dataset of ours has one).
//
// Threading: one thread at a time per writer.

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "datapacket/base.h"
#include "datapacket/cursor.h"
#include "datapacket/row_codec.h"
#include "datapacket/writer.h"

namespace tavrin {

// Puts Level's columns with their attributes, then its dataset attributes. With
// DeltaOnly, only the attributes carried into deltas. Raises EDSWriter on a refused call,
// std::invalid_argument for a composite column.
void PutLevelColumns(TDSWriter& Writer, const TPacketLevel& Level, bool DeltaOnly);
// Puts Value of Column as it came (value, null, unchanged or a blob left on the server).
void PutPacketValue(TDSWriter& Writer, const TPacketValue& Value);
// Raises EDSWriter with the writer's text for a non-zero Status.
void CheckWriter(const TDSWriter& Writer, std::uint16_t Status);

// A new value for a delta: null, or bytes in the column's form (packet_values.h).
struct TDeltaValue {
  bool IsNull = false;
  std::vector<std::uint8_t> Bytes;
  static TDeltaValue Null() { return {true, {}}; }
  static TDeltaValue Of(std::span<const std::uint8_t> Data) { return {false, {Data.begin(), Data.end()}}; }
};
// New values by slot; the slots left out stay unchanged.
using TDeltaChanges = std::map<std::size_t, TDeltaValue>;

class TDeltaWriter {
 public:
  // A delta for rows of Source: its columns and the attributes carried into deltas.
  explicit TDeltaWriter(const TDSBase& Source);

  // The row of Source at Row's position, changed by Changes.
  void AddModified(const TDSCursor& Row, const TDeltaChanges& Changes);
  // A new row, one value per slot.
  void AddInserted(const std::vector<TDeltaValue>& Values);
  // The row of Source at Row's position, to be deleted.
  void AddDeleted(const TDSCursor& Row);
  // The delta packet.
  std::vector<std::uint8_t> Take();

 private:
  void PutStatus(TRowStatus Status);
  void PutDeltaValue(const TDeltaValue& Value);

  TDSWriter FWriter;
};

}  // namespace tavrin
