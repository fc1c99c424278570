#pragma once
// Splits a fuzz input into the choices a target makes and the bytes it feeds on.

#include <cstddef>
#include <cstdint>
#include <span>

namespace tavrin::fuzz {

class TFuzzInput {
 public:
  TFuzzInput(const std::uint8_t* Data, std::size_t Size) : FBytes(Data, Size) {}

  // The next byte as a choice; 0 once the input is used up.
  std::uint8_t Choice() {
    if (FBytes.empty()) return 0;
    const std::uint8_t b = FBytes.front();
    FBytes = FBytes.subspan(1);
    return b;
  }

  // Up to Count of the remaining bytes.
  std::span<const std::uint8_t> Take(std::size_t Count) {
    const std::span<const std::uint8_t> Part = FBytes.first(Count < FBytes.size() ? Count : FBytes.size());
    FBytes = FBytes.subspan(Part.size());
    return Part;
  }

  std::span<const std::uint8_t> Rest() const { return FBytes; }

 private:
  std::span<const std::uint8_t> FBytes;
};

}  // namespace tavrin::fuzz
