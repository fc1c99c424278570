#include "datapacket/writer.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "datapacket/base.h"
#include "datapacket/packet_status.h"
#include "datapacket/packet_xml.h"
#include "datapacket/type_word.h"

namespace tavrin {
namespace {

namespace S = TDSStatus;

constexpr std::size_t kAwaitingStatus = std::numeric_limits<std::size_t>::max();
// What each part takes in the metadata section (packet_metadata.h).
constexpr std::size_t kLevelBytes = 2 + 2;              // column count, attribute count
constexpr std::size_t kColumnBytes = 1 + 4 + 2 + 2;     // name length, type word, bits, attribute count
constexpr std::size_t kAttributeBytes = 1 + 4 + 4;      // name length, type word, value length
constexpr std::size_t kNestedCountBytes = 4 + 4;        // a nested table value's row count and length
constexpr std::size_t kMaxVarLengthBytes = 5;
// The least the rows grow by when they need room.
constexpr std::size_t kMinRowsGrowth = 64 * 1024;
// Shapes of a top-level value slot (FTopSlotShapes) other than a fixed size.
constexpr std::uint32_t kVaryingSlot = 0xFFFFFFFF;
constexpr std::uint32_t kOtherSlot = 0xFFFFFFFE;

// Descriptors a column's type word says follow beneath it.
std::uint32_t Beneath(std::uint32_t TypeWord) {
  if ((TypeWord & TTypeWord::Composite) == 0) return 0;
  return BaseTypeOf(TypeWord) == TPacketType::ArrayOf ? 1 : SizeOf(TypeWord);
}

}  // namespace

TDSWriter::TDSWriter() = default;
TDSWriter::~TDSWriter() = default;

std::uint16_t TDSWriter::BeginPacket(std::int32_t Version, std::int32_t DescriptorCount) {
  if (Version != 1 && Version != 3) return S::BadPacketVersion;
  if (DescriptorCount < 1 || static_cast<std::uint32_t>(DescriptorCount) > TPacketLimits::kMaxDescriptors)
    return S::BadDescriptorCount;
  FBegun = true;
  FVersion = static_cast<std::uint16_t>(Version);
  FDescriptorCount = static_cast<std::uint32_t>(DescriptorCount);
  FDescriptorsPut = 0;
  FMetadataBytes = kLevelBytes;
  FTop = TPacketLevel{};
  FMeta.assign(1, TMetaFrame{&FTop, nullptr, FDescriptorCount});
  FLastColumn = nullptr;
  FLaidOut = false;
  FRows.clear();
  FHeadRoom = 0;
  FRowFrames.clear();
  return S::Ok;
}

void TDSWriter::PopCompleteMembers() {
  while (FMeta.size() > 1 && FMeta.back().Level == nullptr && FMeta.back().Left == 0) FMeta.pop_back();
}

std::uint16_t TDSWriter::PutColumnDescriptor(std::span<const std::uint8_t, kColumnDescriptorSize> Descriptor) {
  if (!FBegun) return S::NoPacket;
  TColumnDescriptorParts Parts = ReadColumnDescriptor(Descriptor);
  if (Parts.Name.empty()) return S::BadColumnName;
  if (const auto Status = CheckColumnType(Parts.TypeWord); Status != S::Ok) return Status;
  if ((Parts.AttributeBits & ~TColumnBits::All) != 0) return S::BadColumnBits;
  if (FDescriptorsPut == FDescriptorCount || FLaidOut) return S::TooManyDescriptors;
  PopCompleteMembers();
  const std::uint32_t Below = Beneath(Parts.TypeWord);
  for (const auto& f : FMeta) {
    if (f.Level == nullptr) continue;
    if (f.Left == 0) return S::NestedNotClosed;
    // What the column claims beneath it must fit every level around it.
    if (f.Left - 1 < Below) return S::TooManyDescriptors;
  }
  const bool IsComposite = (Parts.TypeWord & TTypeWord::Composite) != 0;
  if (IsComposite && FMeta.size() > static_cast<std::size_t>(TPacketLimits::kMaxNesting)) return S::NestedTooDeep;
  const bool IsTable = IsComposite && BaseTypeOf(Parts.TypeWord) == TPacketType::Table;
  const std::size_t Bytes = kColumnBytes + Parts.Name.size() + (IsTable ? kLevelBytes : 0);
  if (FMetadataBytes + Bytes > TPacketLimits::kMaxMetadataBytes) return S::MetadataTooLarge;

  TPacketColumn Column;
  Column.Name = std::move(Parts.Name);
  Column.TypeWord = Parts.TypeWord;
  Column.AttributeBits = Parts.AttributeBits;
  TMetaFrame& Container = FMeta.back();
  std::vector<TPacketColumn>& Into = Container.Level != nullptr ? Container.Level->Columns : Container.Column->Children;
  Into.push_back(std::move(Column));
  FLastColumn = &Into.back();
  if (Container.Level == nullptr) --Container.Left;
  for (auto& f : FMeta)
    if (f.Level != nullptr) --f.Left;
  ++FDescriptorsPut;
  FMetadataBytes += Bytes;
  if (IsTable) {
    FLastColumn->Nested = std::make_unique<TPacketLevel>();
    FMeta.push_back(TMetaFrame{FLastColumn->Nested.get(), FLastColumn, Below});
  } else if (IsComposite) {
    FMeta.push_back(TMetaFrame{nullptr, FLastColumn, Below});
  }
  return S::Ok;
}

std::uint16_t TDSWriter::PutAttribute(std::int32_t Area, std::optional<std::string_view> Name,
                                      std::uint32_t TypeWord, std::uint32_t Length, const void* Value) {
  if (!FBegun) return S::NoPacket;
  if (Area != TAttributeArea::Column && Area != TAttributeArea::DataSet) return S::BadAttributeArea;
  if (!Name) {
    if (Area != TAttributeArea::DataSet) return S::BadAttributeName;
    PopCompleteMembers();
    const TMetaFrame& Innermost = FMeta.back();
    if (Innermost.Level == nullptr) return S::ChildrenMissing;
    if (FMeta.size() == 1) return S::NoNestedToClose;
    if (Innermost.Left > 0) return S::DescriptorsMissing;
    FMeta.pop_back();
    return S::Ok;
  }
  if (Name->empty() || Name->size() > TPacketLimits::kMaxAttributeName) return S::BadAttributeName;
  if (Length > TPacketLimits::kMaxAttributeBytes) return S::ValueTooLong;
  if (Length > 0 && Value == nullptr) return S::InvalidArgument;
  const std::span<const std::uint8_t> Bytes(static_cast<const std::uint8_t*>(Value), Length);
  if (const auto Status = CheckAttributeValue(TypeWord, Bytes); Status != S::Ok) return Status;
  std::vector<TPacketAttribute>* Into = nullptr;
  if (Area == TAttributeArea::Column) {
    if (FLastColumn == nullptr) return S::AttributeBeforeColumn;
    Into = &FLastColumn->Attributes;
  } else {
    const auto Level = std::find_if(FMeta.rbegin(), FMeta.rend(), [](const TMetaFrame& f) { return f.Level != nullptr; });
    Into = &Level->Level->Attributes;
  }
  if (Into->size() >= TPacketLimits::kMaxAttributes) return S::TooManyAttributes;
  const std::size_t Size = kAttributeBytes + Name->size() + Length;
  if (FMetadataBytes + Size > TPacketLimits::kMaxMetadataBytes) return S::MetadataTooLarge;
  Into->push_back(TPacketAttribute{std::string(*Name), TypeWord, {Bytes.begin(), Bytes.end()}});
  FMetadataBytes += Size;
  return S::Ok;
}

std::uint16_t TDSWriter::MetadataStatus() {
  PopCompleteMembers();
  if (FMeta.size() == 1 && FDescriptorsPut == FDescriptorCount) return S::Ok;
  const TMetaFrame& Innermost = FMeta.back();
  if (Innermost.Level == nullptr) return S::ChildrenMissing;
  if (FMeta.size() > 1 && Innermost.Left == 0) return S::NestedNotClosed;
  return S::DescriptorsMissing;
}

std::uint16_t TDSWriter::StartRows() {
  if (FLaidOut) return S::Ok;
  if (const auto Status = MetadataStatus(); Status != S::Ok) return Status;
  if (const auto Status = LayOutRows(FTop); Status != S::Ok) return Status;
  FLaidOut = true;
  FRowFrames.assign(1, TRowFrame{&FTop, kAwaitingStatus});
  FHeadRoom = PacketHead(0).size();
  FRows.assign(FHeadRoom, 0);
  FTopSlotShapes.clear();
  for (const TPacketColumn* Column : FTop.Slots) {
    const bool Plain = !Column->IsComposite() && !Column->IsBlob();
    FTopSlotShapes.push_back(!Plain ? kOtherSlot : Column->IsVarying() ? kVaryingSlot : Column->Size());
  }
  return S::Ok;
}

std::uint16_t TDSWriter::Grow(std::size_t Bytes) {
  const std::size_t Used = TPacketHeader::Size + FMetadataBytes + (FRows.size() - FHeadRoom);
  if (Bytes > TPacketLimits::kMaxPacketBytes - Used) return S::PacketTooLarge;
  // The rows double: each growth copies what is there, and growing by less copied a
  // large packet several times over. Room reserved and not yet written is not resident.
  if (FRows.size() + Bytes > FRows.capacity()) {
    FRows.reserve(std::max(FRows.size() + Bytes, 2 * FRows.size() + kMinRowsGrowth));
  }
  return S::Ok;
}

std::uint16_t TDSWriter::PutColumnValue(const TRowFrame& Frame, const TPacketColumn& Column, std::uint16_t Status,
                                        std::uint32_t Length, const std::uint8_t* Data, bool& NestedRowsFollow) {
  switch (Status) {
    case TPutValue::Null:
    case TPutValue::Unchanged:
      if (Status == TPutValue::Unchanged && Frame.Status != TRowStatus::Modified) return S::UnchangedOutsideModified;
      if (Grow(1) != S::Ok) return S::PacketTooLarge;
      FRows.push_back(Status == TPutValue::Null ? TValueMarker::Null : TValueMarker::Unchanged);
      return S::Ok;
    case TPutValue::Value:
      break;
    default:
      return S::BadValueStatus;
  }
  if (Length > 0 && Data == nullptr) return S::InvalidArgument;
  if (Column.IsTable()) {
    if (Length != 4) return S::BadTableValue;
    const auto Word = static_cast<std::uint32_t>(LoadLE(Data, 4));
    if (Word != TPutValue::TableOnDemand && Word != TPutValue::TableRowsFollow) return S::BadTableValue;
    if (Grow(1 + kNestedCountBytes) != S::Ok) return S::PacketTooLarge;
    if (Word == TPutValue::TableOnDemand) {
      FRows.push_back(TValueMarker::OnDemand);
      return S::Ok;
    }
    FRows.push_back(TValueMarker::Value);
    AppendLE(FRows, 0, kNestedCountBytes);  // filled in by EndNestedRows
    NestedRowsFollow = true;
    return S::Ok;
  }
  if (Column.IsComposite()) {
    if (Length != 0) return S::BadValueSize;
    if (Grow(1) != S::Ok) return S::PacketTooLarge;
    FRows.push_back(TValueMarker::Value);
    return S::Ok;
  }
  if (Column.IsBlob() && Length == TPutValue::BlobOnDemandLength) {
    if (Grow(1 + 4) != S::Ok) return S::PacketTooLarge;
    FRows.push_back(TValueMarker::OnDemand);
    FRows.insert(FRows.end(), Data, Data + 4);
    return S::Ok;
  }
  if (Column.IsVarying()) {
    if (Length > TPacketLimits::kMaxValueBytes) return S::ValueTooLong;
    if (Grow(1 + kMaxVarLengthBytes + Length) != S::Ok) return S::PacketTooLarge;
    FRows.push_back(TValueMarker::Value);
    AppendVarLength(FRows, Length);
  } else {
    if (Length != Column.Size()) return S::BadValueSize;
    if (Grow(1 + Length) != S::Ok) return S::PacketTooLarge;
    FRows.push_back(TValueMarker::Value);
  }
  if (Length > 0) FRows.insert(FRows.end(), Data, Data + Length);
  return S::Ok;
}

std::uint16_t TDSWriter::PutValue(std::uint16_t Status, std::uint32_t Length, const void* Data) {
  // A plain value of a top-level row, most of what a large packet is made of: checked
  // as PutColumnValue checks it, written in one step.
  if (FLaidOut && FRowFrames.size() == 1 && Status == TPutValue::Value && (Data != nullptr || Length == 0)) {
    TRowFrame& Frame = FRowFrames.front();
    const std::uint32_t Shape = Frame.Slot == kAwaitingStatus ? kOtherSlot : FTopSlotShapes[Frame.Slot];
    const bool Varying = Shape == kVaryingSlot;
    const bool Fits = Varying ? Length <= TPacketLimits::kMaxValueBytes : Shape != kOtherSlot && Shape == Length;
    if (Fits) {
      if (Grow(1 + (Varying ? kMaxVarLengthBytes : 0) + std::size_t{Length}) != S::Ok) return S::PacketTooLarge;
      // A short value is put together here and appended in one step (within the capacity
      // Grow made: no reallocation).
      constexpr std::uint32_t kShort = 250;
      std::uint8_t Value[1 + kMaxVarLengthBytes + kShort];
      std::size_t HeadBytes = 1;
      Value[0] = TValueMarker::Value;
      if (Varying) {
        std::uint32_t Rest = Length;
        for (; Rest >= 0x80; Rest >>= 7) Value[HeadBytes++] = static_cast<std::uint8_t>(Rest | 0x80);
        Value[HeadBytes++] = static_cast<std::uint8_t>(Rest);
      }
      const auto* Bytes = static_cast<const std::uint8_t*>(Data);
      if (Length <= kShort) {
        if (Length > 0) std::memcpy(Value + HeadBytes, Bytes, Length);
        FRows.insert(FRows.end(), Value, Value + HeadBytes + Length);
      } else {
        FRows.insert(FRows.end(), Value, Value + HeadBytes);
        FRows.insert(FRows.end(), Bytes, Bytes + Length);
      }
      if (++Frame.Slot == FTopSlotShapes.size()) {
        Frame.Slot = kAwaitingStatus;
        ++Frame.Rows;
        Frame.AfterOriginal = Frame.Status == TRowStatus::Unmodified;
      }
      return S::Ok;
    }
  }
  if (!FBegun) return S::NoPacket;
  if (const auto Started = StartRows(); Started != S::Ok) return Started;
  const auto* Bytes = static_cast<const std::uint8_t*>(Data);
  TRowFrame& Frame = FRowFrames.back();
  if (Frame.Slot == kAwaitingStatus) {
    if (Status != TPutValue::Value || Length != 1 || Bytes == nullptr || Bytes[0] > kLastRowStatus)
      return S::BadRowStatus;
    const auto RowStatus = static_cast<TRowStatus>(Bytes[0]);
    if (RowStatus == TRowStatus::Modified && !Frame.AfterOriginal) return S::ModifiedWithoutOriginal;
    if (Grow(1) != S::Ok) return S::PacketTooLarge;
    FRows.push_back(Bytes[0]);
    Frame.Status = RowStatus;
    Frame.Slot = 0;
    return S::Ok;
  }
  const TPacketColumn& Column = *Frame.Level->Slots[Frame.Slot];
  bool NestedRowsFollow = false;
  if (const auto Put = PutColumnValue(Frame, Column, Status, Length, Bytes, NestedRowsFollow); Put != S::Ok)
    return Put;
  if (++Frame.Slot == Frame.Level->Slots.size()) {
    Frame.Slot = kAwaitingStatus;
    ++Frame.Rows;
    Frame.AfterOriginal = Frame.Status == TRowStatus::Unmodified;
  }
  if (NestedRowsFollow) {
    TRowFrame Nested;
    Nested.Level = Column.Nested.get();
    Nested.Slot = kAwaitingStatus;
    Nested.CountAt = FRows.size() - kNestedCountBytes;
    FRowFrames.push_back(Nested);
  }
  return S::Ok;
}

std::uint16_t TDSWriter::EndNestedRows() {
  if (!FBegun) return S::NoPacket;
  if (FRowFrames.size() < 2) return S::NoNestedRows;
  const TRowFrame& Frame = FRowFrames.back();
  if (Frame.Slot != kAwaitingStatus) return S::RowIncomplete;
  const std::size_t RowsStart = Frame.CountAt + kNestedCountBytes;
  StoreLE(FRows.data() + Frame.CountAt, Frame.Rows, 4);
  StoreLE(FRows.data() + Frame.CountAt + 4, FRows.size() - RowsStart, 4);
  FRowFrames.pop_back();
  return S::Ok;
}

std::uint16_t TDSWriter::ResetRows() {
  if (!FBegun) return S::NoPacket;
  // Their memory goes too: a large packet's rows are not kept after it was taken.
  std::vector<std::uint8_t>().swap(FRows);
  if (FLaidOut) {
    FRowFrames.assign(1, TRowFrame{&FTop, kAwaitingStatus});
    FHeadRoom = PacketHead(0).size();
    FRows.assign(FHeadRoom, 0);
  }
  return S::Ok;
}

std::vector<std::uint8_t> TDSWriter::PacketHead(std::size_t Room) const {
  std::vector<std::uint8_t> Out;
  Out.reserve(TPacketHeader::Size + FMetadataBytes + Room);
  Out.insert(Out.end(), std::begin(TPacketHeader::Magic), std::end(TPacketHeader::Magic));
  Out.push_back(TPacketHeader::LayoutVersion);
  Out.push_back(0);
  AppendLE(Out, FVersion, 2);
  AppendLE(Out, FDescriptorCount, 4);
  AppendLE(Out, 0, 4);  // the metadata's length, known once it is written
  AppendLE(Out, FRowFrames.front().Rows, 4);
  AppendLevel(Out, FTop);
  StoreLE(Out.data() + TPacketHeader::MetadataLengthOffset, Out.size() - TPacketHeader::Size, 4);
  return Out;
}

std::uint16_t TDSWriter::CheckTakeable() {
  if (!FBegun) return S::NoPacket;
  if (const auto Status = StartRows(); Status != S::Ok) return Status;
  if (FRowFrames.size() != 1 || FRowFrames.front().Slot != kAwaitingStatus) return S::RowIncomplete;
  return S::Ok;
}

std::uint16_t TDSWriter::TakePacket(std::vector<std::uint8_t>& Packet) {
  if (const auto Status = CheckTakeable(); Status != S::Ok) return Status;
  const auto Rows = FRows.begin() + static_cast<std::ptrdiff_t>(FHeadRoom);
  std::vector<std::uint8_t> Out = PacketHead(FRows.size() - FHeadRoom);
  Out.insert(Out.end(), Rows, FRows.end());
  if (FOutputMode == TOutputMode::Binary) {
    Packet = std::move(Out);
    return S::Ok;
  }
  const TDSBase Base(std::move(Out));
  const std::string Xml =
      PacketXml(Base, FOutputMode == TOutputMode::Xml ? TXmlCharacters::Ascii : TXmlCharacters::Utf8);
  Packet.assign(Xml.begin(), Xml.end());
  return S::Ok;
}

std::uint16_t TDSWriter::TakePacketAndResetRows(std::vector<std::uint8_t>& Packet) {
  if (const auto Status = CheckTakeable(); Status != S::Ok) return Status;
  if (FOutputMode != TOutputMode::Binary) {
    const auto Status = TakePacket(Packet);
    return Status != S::Ok ? Status : ResetRows();
  }
  const std::vector<std::uint8_t> Head = PacketHead(0);
  // The rows become the packet: the head goes into the room kept in front of them, so a
  // large packet is neither copied, moved nor held twice. (A dataset attribute put after
  // the rows began makes the head longer than that room: then it is copied.)
  if (Head.size() == FHeadRoom) {
    std::copy(Head.begin(), Head.end(), FRows.begin());
    Packet = std::move(FRows);
  } else {
    const auto Rows = FRows.begin() + static_cast<std::ptrdiff_t>(FHeadRoom);
    Packet.reserve(Head.size() + FRows.size() - FHeadRoom);
    Packet.assign(Head.begin(), Head.end());
    Packet.insert(Packet.end(), Rows, FRows.end());
  }
  return ResetRows();
}

std::uint16_t TDSWriter::SetOutputMode(std::int32_t Mode) {
  if (Mode != TOutputMode::Binary && Mode != TOutputMode::Xml && Mode != TOutputMode::XmlUtf8) return S::BadOutputMode;
  FOutputMode = Mode;
  return S::Ok;
}

std::uint16_t TDSWriter::GetStatusText(std::uint16_t Status, std::span<char> Buffer) const {
  if (Buffer.empty()) return S::InvalidArgument;
  const std::string Text = DSStatusText(Status);
  const std::size_t Length = std::min(Text.size(), Buffer.size() - 1);
  std::copy_n(Text.begin(), Length, Buffer.begin());
  Buffer[Length] = '\0';
  return S::Ok;
}

void TDSWriter::Check(std::uint16_t Status) const {
  if (Status != S::Ok) throw EDSWriter(DSStatusText(Status), Status);
}

}  // namespace tavrin
