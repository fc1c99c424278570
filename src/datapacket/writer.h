#pragma once
// TDSWriter: builds one data packet at a time from what the packet writer hands it,
// in this order:
//   SetOutputMode(0 | 5 | 13)           binary, XML, XML UTF-8 (packet_xml.h); kept across packets
//   BeginPacket(1 | 3, N)               N column descriptors on all levels
//   PutColumnDescriptor(record)         each column (column_descriptor.h), each followed by
//     PutAttribute(0, name, ...)        its attributes
//   PutAttribute(1, name, ...)          attributes of the dataset level being described
//   then the rows, value by value, with PutValue:
//     the row status: PutValue(0, 1, &status) (TRowStatus: 0 for a plain packet)
//     then one value per column in column order: (0, length, bytes) a value in the form
//     packet_values.h gives for the column's type (a varying column: just its bytes,
//     without a length prefix); (1, 0, nullptr) null; (2, 0, nullptr) unchanged, in a
//     modified row of a delta
//   TakePacket(out)                     the packet so far (metadata and the rows since the
//                                       last ResetRows); may be taken again later
//   ResetRows()                         drops the rows (and their memory), keeps columns and
//                                       attributes
//
// Composite columns (type_word.h): an object's or array's descriptor is followed by
// its members' (an array has one member, its element, whose values repeat once per
// element in each row); a nested table's descriptor by the descriptors of its level,
// then that level's dataset attributes, then PutAttribute(1, std::nullopt, 0, 0,
// nullptr), which closes the level. In rows an object or array takes a value of
// length 0 (status 0 or 1), then its members' values; a nested table takes null, the
// 4 bytes TPutValue::TableOnDemand, or TPutValue::TableRowsFollow followed by the
// nested rows and EndNestedRows(). A blob left on the server is PutValue(0,
// TPutValue::BlobOnDemandLength, 4 bytes of its size).
//
// Every operation returns a 16-bit status (packet_status.h), 0 for success; a call that
// fails changes nothing, so the packet stays readable. Check() turns a status into
// EDSWriter. Whatever the writer accepts, TDSBase reads back.
//
// Threading: one thread at a time per writer.

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "datapacket/column_descriptor.h"
#include "datapacket/packet_layout.h"
#include "datapacket/packet_metadata.h"
#include "datapacket/packet_status.h"

namespace tavrin {

// Raised for a non-zero writer status (ErrorCode() is the status), and with ErrorCode()
// 0 by callers for faults they find themselves.
class EDSWriter : public std::runtime_error {
 public:
  EDSWriter(const std::string& Message, std::int32_t ErrorCode)
      : std::runtime_error(Message), FErrorCode(ErrorCode) {}
  std::int32_t ErrorCode() const noexcept { return FErrorCode; }

 private:
  std::int32_t FErrorCode;
};

namespace TOutputMode {
inline constexpr std::int32_t Binary = 0;
inline constexpr std::int32_t Xml = 5;      // XML with every non-ASCII character as a reference
inline constexpr std::int32_t XmlUtf8 = 13;
}  // namespace TOutputMode

// GetStatusText fills at most this many bytes, the NUL included.
inline constexpr std::size_t kStatusTextBufferSize = 2049;

// Dataset area of PutAttribute; 0 is the last column put.
namespace TAttributeArea {
inline constexpr std::int32_t Column = 0;
inline constexpr std::int32_t DataSet = 1;
}  // namespace TAttributeArea

class TDSWriter {
 public:
  TDSWriter();
  ~TDSWriter();
  TDSWriter(const TDSWriter&) = delete;
  TDSWriter& operator=(const TDSWriter&) = delete;

  // Starts a new, empty packet (whatever was begun before is dropped). Version is 1, or
  // 3 when blobs may be left on the server; DescriptorCount counts the columns on all
  // levels, 1 to 65535.
  std::uint16_t BeginPacket(std::int32_t Version, std::int32_t DescriptorCount);
  std::uint16_t PutColumnDescriptor(std::span<const std::uint8_t, kColumnDescriptorSize> Descriptor);
  // Area 0: an attribute of the last column put; 1: of the dataset level being
  // described (the innermost open one), or with no name the end of a nested table's
  // metadata. The value is Length bytes in the form its type word gives (type_word.h),
  // the word holding TTypeWord::InDelta when the attribute goes into deltas too.
  std::uint16_t PutAttribute(std::int32_t Area, std::optional<std::string_view> Name, std::uint32_t TypeWord,
                             std::uint32_t Length, const void* Value);
  std::uint16_t PutValue(std::uint16_t Status, std::uint32_t Length, const void* Data);
  std::uint16_t EndNestedRows();
  std::uint16_t ResetRows();
  // The packet in the output mode: binary, or an XML document (UTF-8 bytes). Faults
  // with RowIncomplete while a row or nested rows are open, and with the metadata's
  // status while columns are missing.
  std::uint16_t TakePacket(std::vector<std::uint8_t>& Packet);
  // TakePacket, then ResetRows; the rows are handed over rather than copied.
  std::uint16_t TakePacketAndResetRows(std::vector<std::uint8_t>& Packet);
  std::uint16_t SetOutputMode(std::int32_t Mode);
  // The status's text, NUL-terminated, cut to fit Buffer (kStatusTextBufferSize holds
  // every text); InvalidArgument for an empty buffer.
  std::uint16_t GetStatusText(std::uint16_t Status, std::span<char> Buffer) const;

  // Raises EDSWriter with the status's text when Status is not 0.
  void Check(std::uint16_t Status) const;

 private:
  // A container being described: a dataset level (the top or a nested table's), whose
  // Left counts the descriptors it still expects on all levels beneath, or an object or
  // array, whose Left counts the members it still expects.
  struct TMetaFrame {
    TPacketLevel* Level = nullptr;
    TPacketColumn* Column = nullptr;
    std::uint32_t Left = 0;
  };
  // A level whose rows are being written.
  struct TRowFrame {
    const TPacketLevel* Level = nullptr;
    std::size_t Slot = 0;            // the next value's slot; kAwaitingStatus before a row
    TRowStatus Status = TRowStatus::Unmodified;
    bool AfterOriginal = false;      // the last row was unmodified: a modified row may follow
    std::uint32_t Rows = 0;
    std::size_t CountAt = 0;         // nested rows: where their count and length go
  };

  void PopCompleteMembers();
  std::uint16_t MetadataStatus();
  std::uint16_t StartRows();
  // Ok when a packet can be taken now (no row or nested rows open, the columns complete).
  std::uint16_t CheckTakeable();
  // The header and the metadata section, with room for Room bytes more.
  std::vector<std::uint8_t> PacketHead(std::size_t Room) const;
  // PacketTooLarge when Bytes more would pass the packet's cap; otherwise makes room for them.
  std::uint16_t Grow(std::size_t Bytes);
  // Appends one value of Column; NestedRowsFollow tells that a nested table's rows come next.
  std::uint16_t PutColumnValue(const TRowFrame& Frame, const TPacketColumn& Column, std::uint16_t Status,
                               std::uint32_t Length, const std::uint8_t* Data, bool& NestedRowsFollow);

  bool FBegun = false;
  std::int32_t FOutputMode = TOutputMode::Binary;
  std::uint16_t FVersion = 0;
  std::uint32_t FDescriptorCount = 0;
  std::uint32_t FDescriptorsPut = 0;
  std::size_t FMetadataBytes = 0;
  TPacketLevel FTop;
  std::vector<TMetaFrame> FMeta;
  TPacketColumn* FLastColumn = nullptr;
  bool FLaidOut = false;
  // Per value slot of the top level: the size of a plain fixed-size column's value,
  // kVaryingSlot for a plain varying one (not a blob), kOtherSlot for the rest. A row of
  // plain values is written without the general checks of PutColumnValue.
  std::vector<std::uint32_t> FTopSlotShapes;
  // The rows, after FHeadRoom bytes kept in front of them for the packet's header and
  // metadata: a packet taken with its rows gets its head written there instead of the
  // rows being moved behind it.
  std::vector<std::uint8_t> FRows;
  std::size_t FHeadRoom = 0;
  std::vector<TRowFrame> FRowFrames;
};

}  // namespace tavrin
