#include "server/methods/variant_stream.h"

#include <array>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace tavrin {

namespace {

constexpr std::uint8_t kStreamedTag = 2;
constexpr std::uint8_t kByteArrayTag = 3;

// Type words of the streamed form.
constexpr std::uint32_t kEmpty = 0;
constexpr std::uint32_t kNull = 1;
constexpr std::uint32_t kSmallInt = 2;
constexpr std::uint32_t kInteger = 3;
constexpr std::uint32_t kString = 8;
constexpr std::uint32_t kShortInt = 16;
constexpr std::uint32_t kByte = 17;
constexpr std::uint32_t kWord = 18;

// How much is read from a stream at a time.
constexpr std::size_t kReadChunk = 4096;

void PutLittleEndian(std::vector<std::uint8_t>& Out, std::uint64_t Value, int Bytes) {
  for (int i = 0; i < Bytes; ++i) Out.push_back(static_cast<std::uint8_t>(Value >> (8 * i)));
}

std::vector<std::uint8_t> ReadAll(TStream& Stream) {
  if (auto* Bytes = dynamic_cast<TBytesStream*>(&Stream)) {
    Bytes->Rewind();
    return Bytes->Bytes();
  }
  std::vector<std::uint8_t> All;
  std::array<std::uint8_t, kReadChunk> Chunk{};
  for (;;) {
    const std::int64_t Got = Stream.Read(Chunk);
    if (Got <= 0) break;
    All.insert(All.end(), Chunk.begin(), Chunk.begin() + Got);
  }
  return All;
}

// Reads little-endian values from the bytes of a stream; running short raises.
class TLittleEndianReader {
 public:
  explicit TLittleEndianReader(std::span<const std::uint8_t> Bytes) : FBytes(Bytes) {}

  std::uint64_t Read(int Count) {
    Need(static_cast<std::size_t>(Count));
    std::uint64_t Value = 0;
    for (int i = 0; i < Count; ++i) Value |= static_cast<std::uint64_t>(FBytes[FPos++]) << (8 * i);
    return Value;
  }
  std::span<const std::uint8_t> Take(std::size_t Count) {
    Need(Count);
    const auto Taken = FBytes.subspan(FPos, Count);
    FPos += Count;
    return Taken;
  }

 private:
  void Need(std::size_t Count) const {
    if (FBytes.size() - FPos < Count) {
      throw TDBXError(TDBXErrorCodes::InvalidInput, TDSVariantStreamErrors::kTruncated);
    }
  }

  std::span<const std::uint8_t> FBytes;
  std::size_t FPos = 0;
};

[[noreturn]] void RaiseUnsupported(std::uint32_t TypeWord) {
  char Hex[16];
  std::snprintf(Hex, sizeof Hex, "%04X", static_cast<unsigned>(TypeWord & 0xFFFF));
  throw TDBXError(TDBXErrorCodes::UnsupportedVariantType, std::string(TDSVariantStreamErrors::kUnsupported) + Hex);
}

TDSVariant ReadStreamed(TLittleEndianReader& In) {
  const auto TypeWord = static_cast<std::uint32_t>(In.Read(4));
  TDSVariant Result;
  switch (TypeWord) {
    case kEmpty:
    case kNull:
      break;
    case kSmallInt:
      Result.Value = static_cast<std::int32_t>(static_cast<std::int16_t>(In.Read(2)));
      break;
    case kInteger:
      Result.Value = static_cast<std::int32_t>(static_cast<std::uint32_t>(In.Read(4)));
      break;
    case kShortInt:
      Result.Value = static_cast<std::int32_t>(static_cast<std::int8_t>(In.Read(1)));
      break;
    case kByte:
      Result.Value = static_cast<std::int32_t>(In.Read(1));
      break;
    case kWord:
      Result.Value = static_cast<std::int32_t>(In.Read(2));
      break;
    case kString: {
      const auto Count = static_cast<std::int32_t>(static_cast<std::uint32_t>(In.Read(4)));
      if (Count < 0) throw TDBXError(TDBXErrorCodes::InvalidInput, TDSVariantStreamErrors::kTruncated);
      const auto Units = In.Take(static_cast<std::size_t>(Count) * 2);
      std::u16string Text(static_cast<std::size_t>(Count), u'\0');
      for (std::size_t i = 0; i < Text.size(); ++i) {
        Text[i] = static_cast<char16_t>(Units[2 * i] | (Units[2 * i + 1] << 8));
      }
      Result.Value = std::move(Text);
      break;
    }
    default:
      RaiseUnsupported(TypeWord);
  }
  return Result;
}

}  // namespace

std::shared_ptr<TStream> EncodeVariantStream(const TDSVariant& Value) {
  std::vector<std::uint8_t> Out;
  if (const auto* Bytes = std::get_if<std::vector<std::uint8_t>>(&Value.Value)) {
    Out.push_back(kByteArrayTag);
    PutLittleEndian(Out, Bytes->size(), 8);
    Out.insert(Out.end(), Bytes->begin(), Bytes->end());
  } else if (const auto* Text = std::get_if<std::u16string>(&Value.Value)) {
    Out.push_back(kStreamedTag);
    PutLittleEndian(Out, kString, 4);
    PutLittleEndian(Out, Text->size(), 4);
    for (const char16_t Unit : *Text) PutLittleEndian(Out, Unit, 2);
  } else if (const auto* Integer = std::get_if<std::int32_t>(&Value.Value)) {
    Out.push_back(kStreamedTag);
    PutLittleEndian(Out, kInteger, 4);
    PutLittleEndian(Out, static_cast<std::uint32_t>(*Integer), 4);
  } else {
    return nullptr;
  }
  return std::make_shared<TBytesStream>(std::move(Out));
}

TDSVariant DecodeVariantStream(TStream* Stream) {
  if (Stream == nullptr) return {};
  const std::vector<std::uint8_t> Bytes = ReadAll(*Stream);
  if (Bytes.empty()) return {};
  TLittleEndianReader In(std::span<const std::uint8_t>(Bytes).subspan(1));
  switch (Bytes[0]) {
    case kByteArrayTag: {
      const auto Length = static_cast<std::int64_t>(In.Read(8));
      if (Length <= 0) return {};
      const auto Packet = In.Take(static_cast<std::size_t>(Length));
      TDSVariant Result;
      Result.Value = std::vector<std::uint8_t>(Packet.begin(), Packet.end());
      return Result;
    }
    case kStreamedTag:
      return ReadStreamed(In);
    default:
      return {};
  }
}

}  // namespace tavrin
