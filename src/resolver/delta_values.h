#pragma once
// From a value of a client's packet to the value bound to a statement, by the field it
// is written to, and back from a value the database returned to the bytes of a packet
// column. Text goes as UTF-8, numbers as the double or whole number they are (a float
// bound is the very double the packet carried, so it compares equal to what the
// database stored), booleans as 0 and 1, dates as the ISO text the engine stores.
//
// Pure functions; any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "datapacket/packet_metadata.h"
#include "dataset/field.h"

namespace tavrin {

struct TPacketColumn;
struct TPacketValue;

// Whether a packet column of BaseType may carry values of a field of Type.
bool ColumnFitsField(std::uint32_t BaseType, TFieldType Type);

// The value to bind for Value (state Value or Null) of Column, written to a field of
// Type. A memo travels as bytes and is bound as text: a wide memo's bytes are UTF-16, the
// other memos' the text's own. Raises TDBXError (InvalidInput) naming the column when the
// bytes do not read as the column's type.
TFieldValue BoundValue(const TPacketColumn& Column, const TPacketValue& Value, TFieldType Type);

// The packet bytes of Value for a column of TypeWord holding a field of Type (a wide
// memo's text as UTF-16); nullopt for null. Raises TDBXError when the value does not fit
// the column.
std::optional<std::vector<std::uint8_t>> ColumnBytes(std::uint32_t TypeWord, const TFieldValue& Value, TFieldType Type);

}  // namespace tavrin
