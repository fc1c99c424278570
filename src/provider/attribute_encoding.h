#pragma once
// The optional parameters ("attributes") a packet carries for a column or a dataset, as
// the packet writer hands them to TDSWriter::PutAttribute: a name, a value's type word
// and bytes, and whether the attribute goes into delta packets too.
//
// A value given as a variant is encoded by its kind:
//   16-bit integer  type 1, 2 bytes      32-bit integer  type 1, 4 bytes
//   byte            type 1, 1 byte       single          type 4, 4 bytes
//   double          type 4, 8 bytes      date            type 4, 8 bytes (the date-time as a double)
//   currency        type 5, 8 bytes      Boolean         type 3, 2 bytes: 0 false, -1 true
//   text            type 9, varying with a 2-byte prefix: the length n + 1, n UTF-8 bytes, a NUL
//   a one-dimensional array of 16- or 32-bit integers or bytes: 0x00820000 plus the
//     element size, then a 32-bit element count and the elements;
//   such an array of any other fixed kind: 0x008B0000 plus the element size, the same way.
// Anything else (null, empty, other kinds, texts longer than kMaxAttributeText bytes,
// arrays of several dimensions or of kinds without a fixed size) raises EDSWriter
// "Value cannot be stored in an optional parameter" with error code 0.
//
// Pure functions; any thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "datapacket/packet_metadata.h"
#include "vocabulary/variant.h"

namespace tavrin {

// A dataset attribute handed to the writer: a name, a variant value, and whether it goes
// into delta packets too.
struct TDataSetAttribute {
  std::string Name;
  TDSVariant Value;
  bool IncludeInDelta = false;
};

namespace TAttributeLimits {
// The scratch buffer one attribute value is encoded in; its text form needs a 2-byte
// length and a NUL beside the text.
inline constexpr std::size_t kValueBufferSize = 8192;
inline constexpr std::size_t kMaxAttributeText = kValueBufferSize - 3;
}  // namespace TAttributeLimits

namespace TAttributeErrors {
inline constexpr char kNotStorable[] = "Value cannot be stored in an optional parameter";
}  // namespace TAttributeErrors

// Value's type word (with TTypeWord::InDelta when IncludeInDelta) and bytes.
TAttributeValue EncodeAttribute(const TDSVariant& Value, bool IncludeInDelta);

// A 16-bit integer array attribute (keys given as column numbers).
TAttributeValue Int16ArrayAttribute(const std::vector<std::int16_t>& Values);

}  // namespace tavrin
