// Arbitrary bytes as the stream of a variant parameter, as a client may send one: only
// TDBXError may leave the decoding, and whatever decodes must encode again to a stream
// that decodes to the same variant.

#include <cstdlib>
#include <span>
#include <vector>

#include "vocabulary/dbx_error.h"
#include "vocabulary/variant_stream.h"

using namespace tavrin;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  TDSVariant Value;
  try {
    Value = DecodeVariantBytes(std::span<const std::uint8_t>(Data, Size));
  } catch (const TDBXError&) {
    return 0;
  }
  // A NaN never equals itself; compare the bytes of the second encoding instead.
  const std::vector<std::uint8_t> Again = VariantStreamBytes(Value);
  const std::vector<std::uint8_t> Twice = VariantStreamBytes(DecodeVariantBytes(std::span<const std::uint8_t>(Again)));
  if (Again != Twice) std::abort();
  return 0;
}
