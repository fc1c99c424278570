#include "dbxstream/latin1_runs.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define TAVRIN_HAVE_AVX2_PATH 1
#endif

namespace tavrin {
namespace {

constexpr char16_t kFirstPlain = 0x20;
constexpr char16_t kLastPlain = 0xFF;

bool IsPlain(char16_t Unit) {
  return Unit >= kFirstPlain && Unit <= kLastPlain && Unit != kQuote && Unit != kBackslash;
}

#if defined(TAVRIN_HAVE_AVX2_PATH)
// 32 characters a step where the processor has AVX2 (asked once, at first use).
bool HasAvx2() {
  static const bool Has = __builtin_cpu_supports("avx2");
  return Has;
}

// Packs 32 units to bytes when all travel as themselves; false otherwise.
__attribute__((target("avx2"))) inline bool NarrowBlockAvx2(const char16_t* Text, __m256i& Bytes) {
  const __m256i HighBytes = _mm256_set1_epi16(static_cast<short>(0xFF00));
  const __m256i Blank = _mm256_set1_epi8(static_cast<char>(kFirstPlain));
  const __m256i Quote = _mm256_set1_epi8(static_cast<char>(kQuote));
  const __m256i Backslash = _mm256_set1_epi8(static_cast<char>(kBackslash));
  const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Text));
  const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Text + 16));
  if (!_mm256_testz_si256(_mm256_or_si256(a, b), HighBytes)) return false;  // above U+00FF
  // packus works per 128-bit lane; the permute puts the bytes back in order.
  Bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(a, b), 0xD8);
  const __m256i Low = _mm256_cmpeq_epi8(_mm256_max_epu8(Bytes, Blank), Bytes);  // >= U+0020
  const __m256i Special =
      _mm256_or_si256(_mm256_cmpeq_epi8(Bytes, Quote), _mm256_cmpeq_epi8(Bytes, Backslash));
  return static_cast<unsigned>(_mm256_movemask_epi8(_mm256_andnot_si256(Special, Low))) ==
         0xFFFFFFFFu;
}

__attribute__((target("avx2"))) std::size_t NarrowPlainUnitsAvx2(const char16_t* Text,
                                                                  std::size_t Count,
                                                                  std::uint8_t* Out) {
  std::size_t i = 0;
  __m256i Bytes = _mm256_setzero_si256();
  __m256i More = _mm256_setzero_si256();
  for (; i + 64 <= Count; i += 64) {
    // Both halves are tested before either is stored, so a failed half stores nothing.
    const bool First = NarrowBlockAvx2(Text + i, Bytes);
    const bool Second = NarrowBlockAvx2(Text + i + 32, More);
    if (!(First && Second)) break;
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(Out + i), Bytes);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(Out + i + 32), More);
  }
  for (; i + 32 <= Count && NarrowBlockAvx2(Text + i, Bytes); i += 32) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(Out + i), Bytes);
  }
  return i;
}

// Marks the double quotes and backslashes among 32 bytes.
__attribute__((target("avx2"))) inline __m256i Special(const std::uint8_t* Bytes) {
  const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(Bytes));
  return _mm256_or_si256(_mm256_cmpeq_epi8(v, _mm256_set1_epi8(static_cast<char>(kQuote))),
                         _mm256_cmpeq_epi8(v, _mm256_set1_epi8(static_cast<char>(kBackslash))));
}

// Finds the run first, 64 bytes a step, then widens it without tests: two light passes
// run faster than one that tests and widens every block.
__attribute__((target("avx2"))) std::size_t WidenUntilQuoteOrBackslashAvx2(
    const std::uint8_t* Bytes, std::size_t Count, char16_t* Out) {
  std::size_t Run = 0;
  for (; Run + 64 <= Count; Run += 64) {
    const __m256i s0 = Special(Bytes + Run);
    const __m256i s1 = Special(Bytes + Run + 32);
    if (!_mm256_testz_si256(_mm256_or_si256(s0, s1), _mm256_or_si256(s0, s1))) {
      const auto m0 = static_cast<unsigned>(_mm256_movemask_epi8(s0));
      const auto m1 = static_cast<unsigned>(_mm256_movemask_epi8(s1));
      Run += m0 != 0 ? static_cast<std::size_t>(__builtin_ctz(m0))
                     : 32 + static_cast<std::size_t>(__builtin_ctz(m1));
      break;
    }
  }
  std::size_t i = 0;
  const auto Widen16 = [Bytes, Out](std::size_t At) __attribute__((target("avx2"))) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Bytes + At));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(Out + At), _mm256_cvtepu8_epi16(v));
  };
  for (; i + 64 <= Run; i += 64) {
    Widen16(i);
    Widen16(i + 16);
    Widen16(i + 32);
    Widen16(i + 48);
  }
  for (; i + 16 <= Run; i += 16) Widen16(i);
  for (; i < Run; ++i) Out[i] = Bytes[i];
  // Without a find, the caller goes on from Run with the shorter steps.
  return Run;
}
#endif

}  // namespace

// The SSE2 paths take 16 characters a step (and pick up where the AVX2 paths stop); SSE2 is part of every x86-64 processor.
// Unaligned loads and stores only. Other targets use the plain loops.

std::size_t NarrowPlainUnits(const char16_t* Text, std::size_t Count, std::uint8_t* Out) {
  std::size_t i = 0;
#if defined(TAVRIN_HAVE_AVX2_PATH)
  if (HasAvx2()) i = NarrowPlainUnitsAvx2(Text, Count, Out);
#endif
#if defined(__SSE2__)
  const __m128i Zero = _mm_setzero_si128();
  const __m128i Blank = _mm_set1_epi8(static_cast<char>(kFirstPlain));
  const __m128i Quote = _mm_set1_epi8(static_cast<char>(kQuote));
  const __m128i Backslash = _mm_set1_epi8(static_cast<char>(kBackslash));
  for (; i + 16 <= Count; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Text + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Text + i + 8));
    // Every unit below U+0100: its high byte is zero.
    const __m128i High = _mm_or_si128(_mm_srli_epi16(a, 8), _mm_srli_epi16(b, 8));
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(High, Zero)) != 0xFFFF) break;
    const __m128i Bytes = _mm_packus_epi16(a, b);
    const __m128i Low = _mm_cmpeq_epi8(_mm_max_epu8(Bytes, Blank), Bytes);  // >= U+0020
    const __m128i Special = _mm_or_si128(_mm_cmpeq_epi8(Bytes, Quote), _mm_cmpeq_epi8(Bytes, Backslash));
    if (_mm_movemask_epi8(_mm_andnot_si128(Special, Low)) != 0xFFFF) break;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + i), Bytes);
  }
#endif
  for (; i < Count && IsPlain(Text[i]); ++i) Out[i] = static_cast<std::uint8_t>(Text[i]);
  return i;
}

std::size_t WidenUntilQuoteOrBackslash(const std::uint8_t* Bytes, std::size_t Count,
                                       char16_t* Out) {
  std::size_t i = 0;
#if defined(TAVRIN_HAVE_AVX2_PATH)
  if (HasAvx2()) {
    i = WidenUntilQuoteOrBackslashAvx2(Bytes, Count, Out);
    if (i + 64 <= Count) return i;  // stopped at a quote or backslash
  }
#endif
#if defined(__SSE2__)
  const __m128i Zero = _mm_setzero_si128();
  const __m128i Quote = _mm_set1_epi8(static_cast<char>(kQuote));
  const __m128i Backslash = _mm_set1_epi8(static_cast<char>(kBackslash));
  for (; i + 16 <= Count; i += 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Bytes + i));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + i), _mm_unpacklo_epi8(v, Zero));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + i + 8), _mm_unpackhi_epi8(v, Zero));
    const int Mask = _mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi8(v, Quote), _mm_cmpeq_epi8(v, Backslash)));
    if (Mask != 0) return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(Mask)));
  }
#endif
  for (; i < Count; ++i) {
    if (Bytes[i] == kQuote || Bytes[i] == kBackslash) return i;
    Out[i] = Bytes[i];
  }
  return Count;
}

}  // namespace tavrin
