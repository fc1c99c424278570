#pragma once
// Values as the command-line client reads them from its arguments and prints them: one
// text per value, converted by the kind of holder the value's descriptor asks for.
//
//   kind                         argument text                     printed as
//   wide, 8-bit and memo text    any text (UTF-8)                  the text
//   8- to 64-bit integers        decimal, in the width's range     decimal
//   boolean                      true / false, any letter case     true / false
//   double, single               decimal or exponent notation      shortest exact form
//   decimal (BCD, currency)      [-]digits[.digits]                as the server sent it
//   date                         YYYY-MM-DD                        YYYY-MM-DD
//   time of day                  HH:MM[:SS[.mmm]]                  HH:MM:SS[.mmm]
//   timestamp                    date, a blank or T, time          YYYY-MM-DD HH:MM:SS[.mmm]
//   JSON                         JSON text                         compact JSON text
//   timestamp with offset        (not accepted)                    timestamp +HH:MM
//   bytes, variants, streams     hexadecimal, two digits a byte    lower-case hexadecimal
//   tables, cursors, callbacks   (not accepted)                    (not printed here)
// A null prints as "null".

#include <memory>
#include <string>
#include <string_view>

#include "vocabulary/value_holders.h"
#include "vocabulary/value_type.h"

namespace tavrin::cli {

// What a null value prints as.
inline constexpr std::string_view kNullText = "null";

// A new holder for Type's data type holding the value Text stands for. Raises TDBXError
// (code 2) with a message naming the parameter (Type.Name()) and saying what was wrong
// when the text does not convert, or when values of the type cannot be given as text.
// The caller owns the holder.
std::unique_ptr<TDBXWritableValue> ParseArgument(const TDBXValueType& Type, std::string_view Text);

// The text of Value (whose kind Type describes), as the table above shows. A stream
// value is read to its end. Raises TDBXError (code 3) for a holder without a text form
// (tables, cursors, connections, callbacks) that is not null.
std::string FormatValue(const TDBXValueType& Type, const TDBXValue& Value);

}  // namespace tavrin::cli
