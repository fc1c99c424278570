#include "vocabulary/variant_stream.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>

#include "vocabulary/dbx_limits.h"

namespace tavrin {

namespace {

namespace V = TVarType;
namespace E = TVariantStreamErrors;

constexpr std::size_t kTypeWordBytes = 4;
constexpr std::size_t kPacketLengthBytes = 8;
// How much is read from a stream at a time.
constexpr std::size_t kReadChunk = 64 * 1024;

[[noreturn]] void RaiseUnsupported(std::uint32_t TypeWord) {
  char Hex[16];
  std::snprintf(Hex, sizeof Hex, "%04X", static_cast<unsigned>(TypeWord & 0xFFFF));
  throw TDBXError(TDBXErrorCodes::UnsupportedVariantType, std::string(E::kUnsupported) + Hex);
}

[[noreturn]] void RaiseBadArray(const char* Why) { throw TDBXError(TDBXErrorCodes::InvalidInput, std::string(E::kBadArray) + Why); }

// Bytes of one value of a fixed kind; 0 for the kinds that are not fixed.
std::size_t FixedSize(std::uint32_t Kind) {
  switch (Kind) {
    case V::varShortInt:
    case V::varByte: return 1;
    case V::varSmallint:
    case V::varBoolean:
    case V::varWord: return 2;
    case V::varInteger:
    case V::varSingle:
    case V::varError:
    case V::varLongWord: return 4;
    case V::varDouble:
    case V::varCurrency:
    case V::varDate: return 8;
    default: return 0;
  }
}

// Array elements of these kinds travel as one block of raw bytes.
bool IsRawElementKind(std::uint32_t Kind) { return Kind != V::varError && FixedSize(Kind) > 0; }

void PutLE(std::vector<std::uint8_t>& Out, std::uint64_t Value, std::size_t Bytes) {
  for (std::size_t i = 0; i < Bytes; ++i) Out.push_back(static_cast<std::uint8_t>(Value >> (8 * i)));
}

template <typename T>
std::uint64_t BitsOf(T Value) {
  if constexpr (std::is_same_v<T, float>) {
    std::uint32_t Bits;
    std::memcpy(&Bits, &Value, sizeof Bits);
    return Bits;
  } else if constexpr (std::is_same_v<T, double>) {
    std::uint64_t Bits;
    std::memcpy(&Bits, &Value, sizeof Bits);
    return Bits;
  } else {
    return static_cast<std::uint64_t>(Value);
  }
}

// --- Writing -------------------------------------------------------------------------

// The bytes of a fixed or text value, without a type word. False for an array, empty or
// null.
bool PutScalar(std::vector<std::uint8_t>& Out, const TDSVariant::TValue& Value) {
  return std::visit(
      [&Out](const auto& X) {
        using T = std::decay_t<decltype(X)>;
        if constexpr (std::is_same_v<T, std::u16string>) {
          PutLE(Out, X.size(), 4);
          for (const char16_t Unit : X) PutLE(Out, Unit, 2);
        } else if constexpr (std::is_same_v<T, bool>) {
          PutLE(Out, X ? 0xFFFF : 0, 2);
        } else if constexpr (std::is_same_v<T, TDSCurrency>) {
          PutLE(Out, static_cast<std::uint64_t>(X.Scaled), 8);
        } else if constexpr (std::is_same_v<T, TDSDateTime>) {
          PutLE(Out, BitsOf(X.Value), 8);
        } else if constexpr (std::is_same_v<T, TVariantError>) {
          PutLE(Out, static_cast<std::uint32_t>(X.Code), 4);
        } else if constexpr (std::is_arithmetic_v<T>) {
          PutLE(Out, BitsOf(X), sizeof(T));
        } else {
          return false;
        }
        return true;
      },
      Value);
}

void PutArrayHeader(std::vector<std::uint8_t>& Out, std::uint32_t ElementType,
                    const std::vector<TVariantBounds>& Bounds) {
  PutLE(Out, ElementType | V::varArray, 4);
  PutLE(Out, Bounds.size(), 4);
  for (const auto& B : Bounds) PutLE(Out, static_cast<std::uint32_t>(B.Low), 4);
  for (const auto& B : Bounds) PutLE(Out, static_cast<std::uint32_t>(B.High), 4);
}

void PutArray(std::vector<std::uint8_t>& Out, const TVariantArray& Array) {
  PutArrayHeader(Out, Array.ElementType, Array.Bounds);
  if (IsRawElementKind(Array.ElementType)) {
    PutLE(Out, Array.Elements.size() * FixedSize(Array.ElementType), 4);
    for (const TDSVariant& Element : Array.Elements) {
      if (ScalarVarType(Element.Value) != Array.ElementType || Element.IsArray()) RaiseBadArray("element of another kind");
      PutScalar(Out, Element.Value);
    }
    return;
  }
  for (const TDSVariant& Element : Array.Elements) {
    if (Array.ElementType != V::varVariant && Element.VarType() != Array.ElementType) {
      RaiseBadArray("element of another kind");
    }
    WriteVariant(Out, Element);
  }
}

// --- Reading -------------------------------------------------------------------------

class TVariantReader {
 public:
  TVariantReader(std::span<const std::uint8_t> Bytes, std::size_t Position) : FBytes(Bytes), FPos(Position) {}

  std::size_t Position() const { return FPos; }
  std::size_t Left() const { return FBytes.size() - FPos; }

  std::uint64_t Read(std::size_t Count) {
    Need(Count);
    std::uint64_t Value = 0;
    for (std::size_t i = 0; i < Count; ++i) Value |= static_cast<std::uint64_t>(FBytes[FPos++]) << (8 * i);
    return Value;
  }
  std::span<const std::uint8_t> Take(std::size_t Count) {
    Need(Count);
    const auto Taken = FBytes.subspan(FPos, Count);
    FPos += Count;
    return Taken;
  }

  TDSVariant ReadAny(int Depth) {
    if (Depth > TVariantStreamLimits::kMaxNesting) throw TDBXError(TDBXErrorCodes::InvalidInput, E::kTooDeep);
    const auto TypeWord = static_cast<std::uint32_t>(Read(kTypeWordBytes));
    const std::uint32_t Kind = TypeWord & V::varTypeMask;
    const bool ByRef = (TypeWord & V::varByRef) != 0;
    const bool IsArray = (TypeWord & V::varArray) != 0;
    if ((TypeWord & ~(V::varTypeMask | V::varByRef | V::varArray)) != 0) RaiseUnsupported(TypeWord);
    if (ByRef && !IsArray && (Kind == V::varEmpty || Kind == V::varVariant)) return ReadAny(Depth + 1);
    if (IsArray) return ReadArray(TypeWord, Kind, Depth);
    switch (Kind) {
      case V::varEmpty: return {};
      case V::varNull: return TDSVariant::Null();
      case V::varOleStr: return ReadText();
      default: break;
    }
    if (FixedSize(Kind) == 0) RaiseUnsupported(TypeWord);
    return ReadFixed(Kind);
  }

 private:
  void Need(std::size_t Count) const {
    if (Left() < Count) throw TDBXError(TDBXErrorCodes::InvalidInput, E::kTruncated);
  }
  // Elements of arrays other than byte arrays count against one budget for the whole
  // value, so arrays nested in arrays cannot multiply it.
  void TakeElements(std::uint64_t Count) {
    if (Count > FElementsLeft) RaiseBadArray("too many elements");
    FElementsLeft -= Count;
  }

  TDSVariant ReadText() {
    const std::uint64_t Count = Read(4);
    if (Count > Left() / 2) throw TDBXError(TDBXErrorCodes::InvalidInput, E::kTruncated);
    const auto Units = Take(Count * 2);
    std::u16string Text(Count, u'\0');
    for (std::size_t i = 0; i < Text.size(); ++i) {
      Text[i] = static_cast<char16_t>(Units[2 * i] | (Units[2 * i + 1] << 8));
    }
    return Text;
  }

  TDSVariant ReadFixed(std::uint32_t Kind) {
    const std::uint64_t Bits = Read(FixedSize(Kind));
    switch (Kind) {
      case V::varSmallint: return static_cast<std::int16_t>(Bits);
      case V::varInteger: return static_cast<std::int32_t>(Bits);
      case V::varSingle: {
        const auto Raw = static_cast<std::uint32_t>(Bits);
        float Value;
        std::memcpy(&Value, &Raw, sizeof Value);
        return Value;
      }
      case V::varDouble:
      case V::varDate: {
        double Value;
        std::memcpy(&Value, &Bits, sizeof Value);
        if (Kind == V::varDate) return TDSDateTime{Value};
        return Value;
      }
      case V::varCurrency: return TDSCurrency{static_cast<std::int64_t>(Bits)};
      case V::varError: return TVariantError{static_cast<std::int32_t>(Bits)};
      case V::varBoolean: return Bits != 0;
      case V::varShortInt: return static_cast<std::int8_t>(Bits);
      case V::varByte: return static_cast<std::uint8_t>(Bits);
      case V::varWord: return static_cast<std::uint16_t>(Bits);
      default: return static_cast<std::uint32_t>(Bits);  // varLongWord
    }
  }

  TDSVariant ReadArray(std::uint32_t TypeWord, std::uint32_t Kind, int Depth) {
    const bool Raw = IsRawElementKind(Kind);
    if (!Raw && Kind != V::varOleStr && Kind != V::varError && Kind != V::varVariant) RaiseUnsupported(TypeWord);
    const std::uint64_t Dimensions = Read(4);
    if (Dimensions == 0 || Dimensions > TVariantStreamLimits::kMaxDimensions) RaiseBadArray("dimension count");
    Need(Dimensions * 8);
    std::vector<TVariantBounds> Bounds(Dimensions);
    for (auto& B : Bounds) B.Low = static_cast<std::int32_t>(Read(4));
    // The element count grows dimension by dimension, held at a cap far above any
    // count that could pass the checks below, so it never overflows.
    constexpr std::uint64_t kCountCap = UINT64_C(1) << 40;
    std::uint64_t Count = 1;
    for (auto& B : Bounds) {
      B.High = static_cast<std::int32_t>(Read(4));
      const std::int64_t Length = std::int64_t{B.High} - B.Low + 1;
      if (Length < 0) RaiseBadArray("upper bound below lower bound");
      const auto Size = static_cast<std::uint64_t>(Length);
      Count = (Size == 0 || Count == 0) ? 0 : (Count > kCountCap / Size ? kCountCap : Count * Size);
    }
    const bool Bytes = Kind == V::varByte;
    if (!Bytes) TakeElements(Count);
    if (Raw) {
      const std::uint64_t ByteCount = Read(4);
      if (ByteCount != Count * FixedSize(Kind)) RaiseBadArray("byte count does not match the bounds");
      Need(ByteCount);
      if (Bytes && Bounds.size() == 1 && Bounds[0].Low == 0) {
        const auto Data = Take(ByteCount);
        return std::vector<std::uint8_t>(Data.begin(), Data.end());
      }
      TakeElements(Count);
    } else if (Count > Left() / kTypeWordBytes) {
      // Every element takes at least its type word.
      throw TDBXError(TDBXErrorCodes::InvalidInput, E::kTruncated);
    }
    TVariantArray Array;
    Array.ElementType = Kind;
    Array.Bounds = std::move(Bounds);
    Array.Elements.reserve(Count);
    for (std::uint64_t i = 0; i < Count; ++i) {
      if (Raw) {
        Array.Elements.push_back(ReadFixed(Kind));
        continue;
      }
      TDSVariant Element = ReadAny(Depth + 1);
      if (Kind != V::varVariant && Element.VarType() != Kind) RaiseBadArray("element of another kind");
      Array.Elements.push_back(std::move(Element));
    }
    return Array;
  }

  std::span<const std::uint8_t> FBytes;
  std::size_t FPos;
  std::uint64_t FElementsLeft = TVariantStreamLimits::kMaxArrayElements;
};

// A packet's stream: its tag and length, then the packet, which it holds without copying.
class TPacketStream : public TStream {
 public:
  explicit TPacketStream(std::vector<std::uint8_t> Packet) : FPacket(std::move(Packet)) {
    FHeader[0] = TVariantTag::ByteArray;
    for (std::size_t i = 0; i < kPacketLengthBytes; ++i) {
      FHeader[1 + i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(FPacket.size()) >> (8 * i));
    }
  }

  std::int64_t Read(std::span<std::uint8_t> Buffer) override {
    std::size_t Placed = 0;
    while (Placed < Buffer.size() && FPosition < Total()) {
      const bool InHeader = FPosition < FHeader.size();
      const std::uint8_t* From = InHeader ? FHeader.data() + FPosition : FPacket.data() + (FPosition - FHeader.size());
      const std::size_t Available = InHeader ? FHeader.size() - FPosition : Total() - FPosition;
      const std::size_t Count = std::min(Available, Buffer.size() - Placed);
      std::memcpy(Buffer.data() + Placed, From, Count);
      Placed += Count;
      FPosition += Count;
    }
    return static_cast<std::int64_t>(Placed);
  }
  std::int64_t Size() const override { return static_cast<std::int64_t>(Total()); }
  bool AtEnd() const override { return FPosition == Total(); }
  // The packet is its own and never changes.
  bool KeepsItsRest() const override { return true; }

 private:
  std::size_t Total() const { return FHeader.size() + FPacket.size(); }

  std::array<std::uint8_t, 1 + kPacketLengthBytes> FHeader{};
  std::vector<std::uint8_t> FPacket;
  std::size_t FPosition = 0;
};

std::vector<std::uint8_t> ReadAll(TStream& Stream) {
  if (auto* Bytes = dynamic_cast<TBytesStream*>(&Stream)) {
    Bytes->Rewind();
    return Bytes->Bytes();
  }
  std::vector<std::uint8_t> All;
  std::vector<std::uint8_t> Chunk(kReadChunk);
  for (;;) {
    const std::int64_t Got = Stream.Read(Chunk);
    if (Got <= 0) break;
    All.insert(All.end(), Chunk.begin(), Chunk.begin() + Got);
  }
  return All;
}

// Where the packet of a tag-3 stream lies in Bytes; nothing for a null packet.
std::span<const std::uint8_t> PacketSpan(std::span<const std::uint8_t> Bytes, std::size_t& Offset) {
  TVariantReader In(Bytes, 1);
  const auto Length = static_cast<std::int64_t>(In.Read(kPacketLengthBytes));
  Offset = In.Position();
  if (Length <= 0) return {};
  return In.Take(static_cast<std::uint64_t>(Length));
}

}  // namespace

void WriteVariant(std::vector<std::uint8_t>& Out, const TDSVariant& Value) {
  if (const auto* Array = std::get_if<TVariantArray>(&Value.Value)) {
    PutArray(Out, *Array);
    return;
  }
  if (const auto* Bytes = std::get_if<std::vector<std::uint8_t>>(&Value.Value)) {
    PutArrayHeader(Out, V::varByte, {{0, static_cast<std::int32_t>(Bytes->size()) - 1}});
    PutLE(Out, Bytes->size(), 4);
    Out.insert(Out.end(), Bytes->begin(), Bytes->end());
    return;
  }
  PutLE(Out, ScalarVarType(Value.Value), kTypeWordBytes);
  PutScalar(Out, Value.Value);
}

TDSVariant ReadVariant(std::span<const std::uint8_t> Bytes, std::size_t& Position) {
  TVariantReader In(Bytes, Position);
  TDSVariant Value = In.ReadAny(0);
  Position = In.Position();
  return Value;
}

std::vector<std::uint8_t> VariantStreamBytes(const TDSVariant& Value) {
  std::vector<std::uint8_t> Out;
  if (Value.IsNull()) return Out;
  const auto* Bytes = std::get_if<std::vector<std::uint8_t>>(&Value.Value);
  // An empty byte array takes the streamed form: as a packet it would read back as null.
  if (Bytes != nullptr && !Bytes->empty()) {
    Out.reserve(1 + kPacketLengthBytes + Bytes->size());
    Out.push_back(TVariantTag::ByteArray);
    PutLE(Out, Bytes->size(), kPacketLengthBytes);
    Out.insert(Out.end(), Bytes->begin(), Bytes->end());
    return Out;
  }
  Out.push_back(TVariantTag::Streamed);
  WriteVariant(Out, Value);
  return Out;
}

std::shared_ptr<TStream> EncodeVariantStream(TDSVariant Value) {
  if (Value.IsNull()) return nullptr;
  if (auto* Bytes = std::get_if<std::vector<std::uint8_t>>(&Value.Value); Bytes != nullptr && !Bytes->empty()) {
    return std::make_shared<TPacketStream>(std::move(*Bytes));
  }
  return std::make_shared<TBytesStream>(VariantStreamBytes(Value));
}

TDSVariant DecodeVariantBytes(std::span<const std::uint8_t> Bytes) {
  if (Bytes.empty()) return TDSVariant::Null();
  switch (Bytes[0]) {
    case TVariantTag::ByteArray: {
      std::size_t Offset = 0;
      const auto Packet = PacketSpan(Bytes, Offset);
      if (Packet.empty()) return TDSVariant::Null();
      return std::vector<std::uint8_t>(Packet.begin(), Packet.end());
    }
    case TVariantTag::Streamed: {
      std::size_t Position = 1;
      return ReadVariant(Bytes, Position);
    }
    default:
      return {};
  }
}

TDSVariant DecodeVariantBytes(std::vector<std::uint8_t>&& Bytes) {
  if (Bytes.empty() || Bytes[0] != TVariantTag::ByteArray) return DecodeVariantBytes(std::span<const std::uint8_t>(Bytes));
  std::size_t Offset = 0;
  const std::size_t Length = PacketSpan(Bytes, Offset).size();
  if (Length == 0) return TDSVariant::Null();
  std::vector<std::uint8_t> Packet = std::move(Bytes);
  Packet.erase(Packet.begin(), Packet.begin() + static_cast<std::ptrdiff_t>(Offset));
  Packet.resize(Length);
  return Packet;
}

TDSVariant DecodeVariantStream(TStream* Stream) {
  if (Stream == nullptr) return TDSVariant::Null();
  return DecodeVariantBytes(ReadAll(*Stream));
}

TDSVariant DecodeVariantStream(TStream& Stream, std::size_t& StreamBytes) {
  // Reads Into's room from Stream until it is full or the stream ends; the bytes placed.
  const auto Fill = [&Stream](std::span<std::uint8_t> Into) {
    std::size_t Placed = 0;
    while (Placed < Into.size()) {
      const std::int64_t Got = Stream.Read(Into.subspan(Placed));
      if (Got <= 0) break;
      Placed += static_cast<std::size_t>(Got);
    }
    return Placed;
  };
  // What is left after the variant is read and ignored, as DecodeVariantBytes ignores it.
  const auto Rest = [&Stream] {
    std::vector<std::uint8_t> Chunk(kReadChunk);
    std::size_t Skipped = 0;
    for (std::int64_t Got; (Got = Stream.Read(Chunk)) > 0;) Skipped += static_cast<std::size_t>(Got);
    return Skipped;
  };
  std::array<std::uint8_t, 1 + kPacketLengthBytes> Head{};
  const std::size_t HeadBytes = Fill(Head);
  std::uint64_t Word = 0;
  if (HeadBytes == Head.size() && Head[0] == TVariantTag::ByteArray) {
    for (std::size_t i = 0; i < kPacketLengthBytes; ++i) Word |= static_cast<std::uint64_t>(Head[1 + i]) << (8 * i);
  }
  const auto Length = static_cast<std::int64_t>(Word);
  if (Length <= 0) {
    // Not a packet, or a null one: the whole stream, decoded as bytes.
    std::vector<std::uint8_t> All(Head.begin(), Head.begin() + static_cast<std::ptrdiff_t>(HeadBytes));
    std::vector<std::uint8_t> Chunk(kReadChunk);
    for (std::int64_t Got; (Got = Stream.Read(Chunk)) > 0;) All.insert(All.end(), Chunk.begin(), Chunk.begin() + Got);
    StreamBytes = All.size();
    return DecodeVariantBytes(std::move(All));
  }
  const auto Size = static_cast<std::uint64_t>(Length);
  std::vector<std::uint8_t> Packet;
  // A length the stream does not back reserves no more than a value may ever take.
  Packet.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(Size, limits::kMaxBlobBytes)));
  // One read at a time, each with room for a whole piece of a stream fetched piece by
  // piece: the piece lands in its place without being held and copied again.
  while (Packet.size() < Size) {
    const std::size_t Old = Packet.size();
    Packet.resize(Old + static_cast<std::size_t>(std::min<std::uint64_t>(Size - Old, kReadChunk)));
    const std::int64_t Got = Stream.Read(std::span<std::uint8_t>(Packet).subspan(Old));
    if (Got <= 0) throw TDBXError(TDBXErrorCodes::InvalidInput, E::kTruncated);
    Packet.resize(Old + static_cast<std::size_t>(Got));
  }
  StreamBytes = Head.size() + Packet.size() + Rest();
  return TDSVariant(std::move(Packet));
}

}  // namespace tavrin
