#include "vocabulary/stream.h"

#include <algorithm>
#include <cstring>

namespace tavrin {

std::int64_t TBytesStream::Read(std::span<std::uint8_t> Buffer) {
  const std::size_t n = std::min(Buffer.size(), FBytes.size() - FPosition);
  if (n > 0) std::memcpy(Buffer.data(), FBytes.data() + FPosition, n);
  FPosition += n;
  return static_cast<std::int64_t>(n);
}

}  // namespace tavrin
