#pragma once
// Moves single values between value holders and a row buffer, in the row form of the
// holder's kind. Tables use it to copy a reader's columns into row blocks and to read a
// client's rows back into holders; the parameter row can use it the same way.

#include <memory>

#include "dbxstream/row_buffer.h"
#include "vocabulary/stream.h"
#include "vocabulary/value_holders.h"
#include "vocabulary/value_type.h"

namespace tavrin {

// Appends Value at Row.Offset() (a null holder as a null). Type supplies the subtype
// that picks the float width of a double. Returns the rest of a long string or byte
// value that did not fit inline, to be served by more-blob exchanges; null when the
// whole value is in the row. Raises TDBXError code 3 for holders that have no row form
// (tables, cursors, connections) and whatever the row buffer or a byte source raises.
std::shared_ptr<TStream> WriteRowValue(TDBXRowBuffer& Row, const TDBXValueType& Type,
                                       const TDBXValue& Value);

// Reads the value at Row.Offset() into Value (a null as SetNull). Long values are
// fetched whole through the row buffer's codecs. Raises TDBXError for a value of the
// wrong form, a cut-short value, or a holder without a row form (code 3).
void ReadRowValue(TDBXRowBuffer& Row, const TDBXValueType& Type, TDBXWritableValue& Value);

}  // namespace tavrin
