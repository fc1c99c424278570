#pragma once
// Variants (data type 35) as they travel: inside a byte-stream value. A null stream is
// an empty variant. Otherwise the first byte tells the form:
//   3  an array of bytes (a data packet): a signed 64-bit little-endian length L, then
//      L bytes; L of 0 or less reads back as empty;
//   2  a streamed scalar: a 32-bit little-endian type word, then the value: type 0
//      (empty) and 1 (null) alone, 3 a 32-bit integer, 8 a text as a 32-bit count of
//      UTF-16 code units and the units, 2 / 16 / 17 / 18 the narrower integers (read
//      into the 32-bit integer, since they fit);
//   any other first byte reads as an empty variant.
// Only the kinds a TDSVariant holds are carried; a streamed kind beyond them raises
// TDBXError "Unsupported variant type: XXXX" (the type word in four hexadecimal digits).

#include <memory>

#include "server/methods/method_call.h"
#include "vocabulary/stream.h"

namespace tavrin {

namespace TDSVariantStreamErrors {
inline constexpr char kUnsupported[] = "Unsupported variant type: ";
inline constexpr char kTruncated[] = "Truncated variant stream";
}  // namespace TDSVariantStreamErrors

// The stream form of Value; null for an empty variant. Never raises.
std::shared_ptr<TStream> EncodeVariantStream(const TDSVariant& Value);

// The variant a stream holds, read from its start (a bytes stream is rewound first;
// any other stream is read from where it stands). Null reads as empty. Raises
// TDBXError for a streamed kind a TDSVariant cannot hold and for bytes that end early.
TDSVariant DecodeVariantStream(TStream* Stream);

}  // namespace tavrin
