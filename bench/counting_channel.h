#pragma once
// A client channel over another that counts the bytes each way: the size of the
// request an echo baseline then has to carry.

#include <cstddef>
#include <cstdint>
#include <span>

#include "dbxstream/channel.h"

namespace tavrin::bench {

class TCountingChannel : public TDbxChannel {
 public:
  explicit TCountingChannel(TDbxChannel& Inner) : FInner(Inner) {}
  std::int32_t Read(std::span<std::uint8_t> Buffer) override {
    const std::int32_t Count = FInner.Read(Buffer);
    ReadBytes += static_cast<std::size_t>(Count);
    return Count;
  }
  void Write(std::span<const std::uint8_t> Bytes) override {
    FInner.Write(Bytes);
    WrittenBytes += Bytes.size();
  }
  bool ConnectionLost() const override { return FInner.ConnectionLost(); }
  const TDBXChannelInfo& ChannelInfo() const override { return FInner.ChannelInfo(); }

  std::size_t ReadBytes = 0;
  std::size_t WrittenBytes = 0;

 private:
  TDbxChannel& FInner;
};

}  // namespace tavrin::bench
