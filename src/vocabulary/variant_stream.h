#pragma once
// Variants (data types 35 and 33 of the provider methods) as they travel: inside a
// byte-stream value. A null variant is a null stream, and a null (or empty) stream reads
// as null. Otherwise the first byte tells the form:
//   3  an array of bytes (a data packet): a signed 64-bit little-endian length L, then
//      L bytes; L of 0 or less reads back as null (so an empty byte array is written
//      in the streamed form instead);
//   2  any other variant in the streamed form below;
//   any other first byte reads as an empty (unassigned) variant.
//
// The streamed form, every integer little-endian:
//   a 32-bit type word (TVarType): 0 empty and 1 null alone; 8 text as a 32-bit count of
//   UTF-16 code units and the units; the fixed kinds as their bytes (2, 4, 4, 8, 8, 8
//   bytes for kinds 2 to 7, 4 for 10, 2 for 11 (0 false, -1 true), 1 for 16 and 17, 2
//   for 18, 4 for 19). A kind with varByRef is read like the plain kind. The word
//   varByRef alone (or with kind 12) is followed by the referenced variant's own form.
//   An array: the type word with varArray, a 32-bit dimension count d, d lower bounds, d
//   upper bounds (32-bit signed); for element kinds 2 to 7, 11 and 16 to 19 a 32-bit
//   byte count and the raw elements; for kinds 8, 10 and 12 each element in its own
//   streamed form (a variant array's elements with their own type words, the others
//   with the array's kind), the last index running fastest.
//   Kinds 9 and 13, 12 without reference, and any kind not listed raise
//   "Unsupported variant type: XXXX" (the type word in four hexadecimal digits).
//
// The bytes come from clients: every count and bound is checked against the bytes that
// remain and against TVariantStreamLimits before anything is allocated for it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "vocabulary/dbx_error.h"
#include "vocabulary/stream.h"
#include "vocabulary/variant.h"

namespace tavrin {

namespace TVariantStreamErrors {
inline constexpr char kUnsupported[] = "Unsupported variant type: ";
inline constexpr char kTruncated[] = "Truncated variant stream";
inline constexpr char kBadArray[] = "Malformed variant array: ";
inline constexpr char kTooDeep[] = "Variant nested too deeply";
}  // namespace TVariantStreamErrors

namespace TVariantStreamLimits {
// Dimensions of one array (an automation array has at most 64).
inline constexpr std::uint32_t kMaxDimensions = 64;
// Elements of all arrays of one variant together, arrays of bytes left out: parameter
// lists are short, and each element costs far more in memory than its bytes on the wire.
inline constexpr std::uint64_t kMaxArrayElements = 65536;
// Variants inside arrays and references inside one another.
inline constexpr int kMaxNesting = 16;
}  // namespace TVariantStreamLimits

// Tag bytes of the stream form.
namespace TVariantTag {
inline constexpr std::uint8_t Streamed = 2;
inline constexpr std::uint8_t ByteArray = 3;
}  // namespace TVariantTag

// The bytes of Value's stream form; empty for a null variant. Raises TDBXError
// (kBadArray) for an array whose elements are not of its element kind.
std::vector<std::uint8_t> VariantStreamBytes(const TDSVariant& Value);
// Value's stream; null for a null variant. A byte array is moved into the stream, not
// copied. Raises as VariantStreamBytes.
std::shared_ptr<TStream> EncodeVariantStream(TDSVariant Value);

// The variant that stream bytes hold (empty bytes: null). Raises TDBXError for an
// unsupported kind (TDBXErrorCodes::UnsupportedVariantType), for bytes that end early or break the rules
// above (TDBXErrorCodes::InvalidInput). Bytes after the variant are ignored.
TDSVariant DecodeVariantBytes(std::span<const std::uint8_t> Bytes);
// The same; a data packet is moved out of Bytes rather than copied.
TDSVariant DecodeVariantBytes(std::vector<std::uint8_t>&& Bytes);
// The variant a stream holds, read from its start (a bytes stream is rewound first; any
// other stream is read from where it stands). A null stream reads as null. Raises as
// DecodeVariantBytes and what the stream raises.
TDSVariant DecodeVariantStream(TStream* Stream);
// The same for a stream read from where it stands, to its end; StreamBytes tells how
// many bytes it held. A data packet is read straight into its own buffer, sized by its
// length (at most limits::kMaxBlobBytes is reserved ahead), rather than through a copy
// of the whole stream.
TDSVariant DecodeVariantStream(TStream& Stream, std::size_t& StreamBytes);

// The streamed form alone (no tag): appends Value's form to Out; reads one variant from
// Bytes at Position and moves Position past it. Raise as above.
void WriteVariant(std::vector<std::uint8_t>& Out, const TDSVariant& Value);
TDSVariant ReadVariant(std::span<const std::uint8_t> Bytes, std::size_t& Position);

}  // namespace tavrin
