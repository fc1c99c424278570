#pragma once
// Golden bytes for the row buffer tests, written as readable hex ("62 3F F0").

#include <cstdint>
#include <cstring>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "dbxstream/row_buffer.h"

namespace tavrin::testing {

inline std::vector<std::uint8_t> Hex(std::string_view Text) {
  std::vector<std::uint8_t> Bytes;
  int High = -1;
  for (char c : Text) {
    int Nibble = -1;
    if (c >= '0' && c <= '9') Nibble = c - '0';
    if (c >= 'A' && c <= 'F') Nibble = c - 'A' + 10;
    if (c >= 'a' && c <= 'f') Nibble = c - 'a' + 10;
    if (Nibble < 0) continue;
    if (High < 0) {
      High = Nibble;
    } else {
      Bytes.push_back(static_cast<std::uint8_t>(High * 16 + Nibble));
      High = -1;
    }
  }
  if (High >= 0) throw std::invalid_argument("odd number of hex digits");
  return Bytes;
}

inline std::string ToHex(std::span<const std::uint8_t> Bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string Text;
  for (auto b : Bytes) {
    if (!Text.empty()) Text += ' ';
    Text += kDigits[b >> 4];
    Text += kDigits[b & 0xF];
  }
  return Text;
}

inline std::vector<std::uint8_t> Concat(std::vector<std::uint8_t> A,
                                        std::span<const std::uint8_t> B) {
  A.insert(A.end(), B.begin(), B.end());
  return A;
}

// Makes Bytes exactly the row buffer's block to read.
inline void LoadRowBlock(TDBXRowBuffer& Buffer, const std::vector<std::uint8_t>& Bytes) {
  Buffer.MinBufferSize(static_cast<std::int32_t>(Bytes.size()));
  if (!Bytes.empty()) std::memcpy(Buffer.MutableBuffer().data(), Bytes.data(), Bytes.size());
  Buffer.ReadSize(static_cast<std::int32_t>(Bytes.size()));
}

}  // namespace tavrin::testing
