#include "dbxstream/memory_channel.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace tavrin {

void TDBXMemoryChannel::Feed(std::span<const std::uint8_t> Bytes) {
  if (!Bytes.empty()) FPieces.emplace_back(Bytes.begin(), Bytes.end());
}

void TDBXMemoryChannel::Feed(std::string_view Bytes) {
  Feed(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(Bytes.data()),
                                     Bytes.size()));
}

std::int32_t TDBXMemoryChannel::Read(std::span<std::uint8_t> Buffer) {
  if (FPieces.empty() || Buffer.empty()) return 0;
  const auto& Piece = FPieces.front();
  std::size_t n = std::min(Buffer.size(), Piece.size() - FPieceOffset);
  if (FMaxReadChunk > 0) n = std::min(n, static_cast<std::size_t>(FMaxReadChunk));
  std::memcpy(Buffer.data(), Piece.data() + FPieceOffset, n);
  FPieceOffset += n;
  if (FPieceOffset == Piece.size()) {
    FPieces.pop_front();
    FPieceOffset = 0;
  }
  return static_cast<std::int32_t>(n);
}

void TDBXMemoryChannel::Write(std::span<const std::uint8_t> Bytes) {
  FWritten.insert(FWritten.end(), Bytes.begin(), Bytes.end());
  ++FWriteCalls;
}

std::size_t TDBXMemoryChannel::PendingBytes() const {
  std::size_t n = 0;
  for (const auto& p : FPieces) n += p.size();
  return n - FPieceOffset;
}

}  // namespace tavrin
