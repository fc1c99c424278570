#pragma once
// Byte streams: the sources and sinks of long values (blobs, stream parameters).

#include <cstdint>
#include <span>
#include <vector>

namespace tavrin {

class TStream {
 public:
  virtual ~TStream() = default;

  // Places up to Buffer.size() bytes and returns how many it placed; 0 at the end.
  // Raises TDBXError when the bytes cannot be had.
  virtual std::int64_t Read(std::span<std::uint8_t> Buffer) = 0;

  // Total size in bytes, or -1 when the stream cannot tell it in advance.
  virtual std::int64_t Size() const { return -1; }

  // True once the stream knows that no byte is left. A stream that cannot tell
  // answers false until a Read returns 0.
  virtual bool AtEnd() const { return false; }

  // True when the bytes not read yet stay in the stream as they are for as long as it
  // lives (nobody else reads or changes them): the rest of a long value may then be
  // served from the stream itself instead of a copy of it.
  virtual bool KeepsItsRest() const { return false; }
};

// A stream over bytes it owns; reads from the start.
class TBytesStream : public TStream {
 public:
  TBytesStream() = default;
  explicit TBytesStream(std::vector<std::uint8_t> Bytes) : FBytes(std::move(Bytes)) {}

  std::int64_t Read(std::span<std::uint8_t> Buffer) override;
  std::int64_t Size() const override { return static_cast<std::int64_t>(FBytes.size()); }
  bool AtEnd() const override { return FPosition == FBytes.size(); }

  std::int64_t Position() const { return static_cast<std::int64_t>(FPosition); }
  void Rewind() { FPosition = 0; }
  const std::vector<std::uint8_t>& Bytes() const { return FBytes; }

 private:
  std::vector<std::uint8_t> FBytes;
  std::size_t FPosition = 0;
};

}  // namespace tavrin
