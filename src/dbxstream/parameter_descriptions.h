#pragma once
// Parameter descriptions as prepare and execute requests and replies carry them:
// [type,subtype,direction,precision,scale,name,childPosition,size,flags(,literal value)]
// inside a parameters object {"parameters":[count,...]}.

#include <memory>
#include <vector>

#include "vocabulary/value_type.h"

namespace tavrin {

class TDBXJSonStreamReader;
class TDBXJSonStreamWriter;

// The parameters of one command in ordinal order. Each parameter lives at a fixed
// address, so holders and rows may point at it while the list grows.
using TDBXParameterList = std::vector<std::unique_ptr<TDBXParameter>>;

// Reads one description, starting before its '['. The flags default to 0 when absent
// and always get the read-from-wire bit (0x80); a literal parameter's value text
// becomes its value as vocabulary/value_text.h reads it (an empty text, which is how a
// null literal travels, leaves a non-text kind null). A text or wide-string out, in/out
// or return parameter whose size is 0 takes its precision as size. Each parameter gets a
// fresh holder for its type. Raises TDBXError for malformed input, for a type code
// without a holder (code 3) and for a literal its holder refuses (code 2, "Invalid
// literal value for parameter <Name>").
std::unique_ptr<TDBXParameter> ReadParameter(TDBXJSonStreamReader& Reader);

// Reads the value of a parameters member, positioned after its '[': the count, then,
// when a comma follows, that many descriptions separated by commas. Leaves the reader
// inside the member's array. Nothing is reserved for the count a client claims.
std::unique_ptr<TDBXParameterList> ReadParameterList(TDBXJSonStreamReader& Reader);

// Writes {"parameters":[count,description,...]} for every parameter of the list; a
// literal parameter's value goes as its text (vocabulary/value_text.h), a null one as an
// empty text.
void WriteParameterList(TDBXJSonStreamWriter& Writer, const TDBXParameterList& Parameters);

}  // namespace tavrin
