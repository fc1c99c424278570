#pragma once
// A channel over memory: reads come from bytes queued with Feed, writes are collected.
// Used by tests, fuzz targets and benchmarks, and wherever a codec must run without a
// socket.

#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "dbxstream/channel.h"

namespace tavrin {

class TDBXMemoryChannel : public TDbxChannel {
 public:
  // MaxReadChunk > 0 caps how many bytes one Read delivers, to exercise refills.
  explicit TDBXMemoryChannel(std::int32_t MaxReadChunk = 0) : FMaxReadChunk(MaxReadChunk) {}

  // Queues bytes for later reads. Reads deliver at most one fed piece at a time, so a
  // test can decide exactly where each read ends.
  void Feed(std::span<const std::uint8_t> Bytes);
  void Feed(std::string_view Bytes);

  std::int32_t Read(std::span<std::uint8_t> Buffer) override;
  void Write(std::span<const std::uint8_t> Bytes) override;
  bool ConnectionLost() const override { return FConnectionLost; }
  const TDBXChannelInfo& ChannelInfo() const override { return FInfo; }

  void SetConnectionLost(bool Lost) { FConnectionLost = Lost; }
  TDBXChannelInfo& Info() { return FInfo; }

  // Everything written so far, and how many Write calls delivered it.
  const std::vector<std::uint8_t>& Written() const { return FWritten; }
  std::string WrittenText() const { return {FWritten.begin(), FWritten.end()}; }
  int WriteCalls() const { return FWriteCalls; }
  void ClearWritten() { FWritten.clear(); FWriteCalls = 0; }

  std::size_t PendingBytes() const;

 private:
  std::deque<std::vector<std::uint8_t>> FPieces;
  std::size_t FPieceOffset = 0;
  std::int32_t FMaxReadChunk;
  std::vector<std::uint8_t> FWritten;
  int FWriteCalls = 0;
  bool FConnectionLost = false;
  TDBXChannelInfo FInfo;
};

}  // namespace tavrin
