#include "engine/sha256.h"

#include <cstddef>

namespace tavrin {
namespace {

constexpr std::array<std::uint32_t, 64> kRoundConstants = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

constexpr std::array<std::uint32_t, 8> kInitialState = {
    0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19,
};

constexpr std::size_t kBlockSize = 64;

constexpr std::uint32_t RotateRight(std::uint32_t X, unsigned N) { return (X >> N) | (X << (32 - N)); }

void Compress(std::array<std::uint32_t, 8>& State, const std::uint8_t* Block) {
  std::array<std::uint32_t, 64> W{};
  for (std::size_t i = 0; i < 16; ++i) {
    W[i] = (std::uint32_t{Block[4 * i]} << 24) | (std::uint32_t{Block[4 * i + 1]} << 16) |
           (std::uint32_t{Block[4 * i + 2]} << 8) | std::uint32_t{Block[4 * i + 3]};
  }
  for (std::size_t i = 16; i < 64; ++i) {
    const std::uint32_t S0 = RotateRight(W[i - 15], 7) ^ RotateRight(W[i - 15], 18) ^ (W[i - 15] >> 3);
    const std::uint32_t S1 = RotateRight(W[i - 2], 17) ^ RotateRight(W[i - 2], 19) ^ (W[i - 2] >> 10);
    W[i] = W[i - 16] + S0 + W[i - 7] + S1;
  }
  std::uint32_t A = State[0], B = State[1], C = State[2], D = State[3];
  std::uint32_t E = State[4], F = State[5], G = State[6], H = State[7];
  for (std::size_t i = 0; i < 64; ++i) {
    const std::uint32_t S1 = RotateRight(E, 6) ^ RotateRight(E, 11) ^ RotateRight(E, 25);
    const std::uint32_t Choice = (E & F) ^ (~E & G);
    const std::uint32_t T1 = H + S1 + Choice + kRoundConstants[i] + W[i];
    const std::uint32_t S0 = RotateRight(A, 2) ^ RotateRight(A, 13) ^ RotateRight(A, 22);
    const std::uint32_t Majority = (A & B) ^ (A & C) ^ (B & C);
    const std::uint32_t T2 = S0 + Majority;
    H = G;
    G = F;
    F = E;
    E = D + T1;
    D = C;
    C = B;
    B = A;
    A = T1 + T2;
  }
  State[0] += A; State[1] += B; State[2] += C; State[3] += D;
  State[4] += E; State[5] += F; State[6] += G; State[7] += H;
}

}  // namespace

TSha256Digest Sha256(std::string_view Bytes) {
  std::array<std::uint32_t, 8> State = kInitialState;
  const auto* Data = reinterpret_cast<const std::uint8_t*>(Bytes.data());
  std::size_t Whole = Bytes.size() / kBlockSize * kBlockSize;
  for (std::size_t Offset = 0; Offset < Whole; Offset += kBlockSize) Compress(State, Data + Offset);

  // The tail, the 0x80 marker, zeros, and the length in bits as 64-bit big-endian: one
  // block, or two when fewer than 9 bytes are left after the tail.
  std::array<std::uint8_t, 2 * kBlockSize> Tail{};
  const std::size_t Rest = Bytes.size() - Whole;
  for (std::size_t i = 0; i < Rest; ++i) Tail[i] = Data[Whole + i];
  Tail[Rest] = 0x80;
  const std::size_t TailSize = Rest + 9 <= kBlockSize ? kBlockSize : 2 * kBlockSize;
  const std::uint64_t Bits = static_cast<std::uint64_t>(Bytes.size()) * 8;
  for (std::size_t i = 0; i < 8; ++i) Tail[TailSize - 1 - i] = static_cast<std::uint8_t>(Bits >> (8 * i));
  for (std::size_t Offset = 0; Offset < TailSize; Offset += kBlockSize) Compress(State, Tail.data() + Offset);

  TSha256Digest Digest{};
  for (std::size_t i = 0; i < 8; ++i) {
    for (std::size_t j = 0; j < 4; ++j) Digest[4 * i + j] = static_cast<std::uint8_t>(State[i] >> (24 - 8 * j));
  }
  return Digest;
}

std::string Sha256Hex(std::string_view Bytes) {
  static constexpr char kHexDigits[] = "0123456789abcdef";
  std::string Hex;
  for (const std::uint8_t Byte : Sha256(Bytes)) {
    Hex.push_back(kHexDigits[Byte >> 4]);
    Hex.push_back(kHexDigits[Byte & 0x0F]);
  }
  return Hex;
}

}  // namespace tavrin
