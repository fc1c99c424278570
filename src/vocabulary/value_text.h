#pragma once
// Values as text: the one conversion between a holder's value and a text, for every
// data type. Literal parameters in a command text, the literal values of parameter
// descriptions and the command-line client's arguments and output all go through it, so
// a text means the same value wherever it is written.
//
//   kind (data type codes)            text read                          text written
//   wide, 8-bit and memo text         any text (UTF-8)                   the text
//     (1, 26, BLOB-like with a text subtype)
//   8- to 64-bit integers             decimal, in the width's range      decimal
//     (5, 6, 12, 18, 28, 29)
//   boolean (4)                       true / false, any letter case      true / false
//   double, single (7, 27)            decimal or exponent notation       shortest exact form
//   decimal (8 BCD, 25 currency)      [-]digits[.digits]                 as held
//   date (2)                          YYYY-MM-DD                         YYYY-MM-DD
//   time of day (10)                  HH:MM[:SS[.mmm]]                   HH:MM:SS[.mmm]
//   timestamp (11, 24)                date, a blank or T, time           YYYY-MM-DD HH:MM:SS[.mmm]
//   timestamp with offset (36)        timestamp+HH:MM or timestamp-HH:MM timestamp+HH:MM (no blank)
//   JSON (37)                         JSON text                          compact JSON text
//   bytes, variants, streams          hexadecimal, two digits a byte     lower-case hexadecimal
//     (33, 35, BLOB-like otherwise)
//   tables, cursors, connections,     (refused)                          (refused)
//     callbacks (17, 23, 34, 38)
//   codes without a holder            (refused)                          -
//     (0, 13, 14, 16, 19, 22, 30 to 32, unknown)
// A null is written as "null"; reading a text never gives a null.

#include <memory>
#include <string>
#include <string_view>

#include "vocabulary/dbx_error.h"
#include "vocabulary/value_holders.h"
#include "vocabulary/value_type.h"

namespace tavrin {

// What a null value is written as.
inline constexpr std::string_view kNullValueText = "null";

// A text refused for a value, always with code 2 (InvalidInput). The message names the
// parameter and says what was wrong: parameter A: "12abc" is not a whole number, or
// parameter Data: values of data type 23 cannot be given as text.
class EValueTextRefused : public TDBXError {
 public:
  explicit EValueTextRefused(const std::string& Message) : TDBXError(TDBXErrorCodes::InvalidInput, Message) {}
};

// Gives Value, a holder made for Type (CreateValueHolder), the value Text (UTF-8) stands
// for, as the table above reads it. Raises EValueTextRefused when the text does not
// convert or the holder's kind has no text form; Value is then left as it was.
void SetValueFromText(const TDBXValueType& Type, TDBXWritableValue& Value, std::string_view Text);
// The same for a text in UTF-16; a wide text holder takes it unchanged.
void SetValueFromText(const TDBXValueType& Type, TDBXWritableValue& Value, std::u16string_view Text);

// A literal value, written inside a command text or a parameter description: as
// SetValueFromText, but a refused text raises TDBXError code 2 "Invalid literal value
// for parameter <Name>", the text clients know for it.
inline constexpr std::string_view kInvalidLiteral = "Invalid literal value for parameter ";
void SetLiteralFromText(const TDBXValueType& Type, TDBXWritableValue& Value, std::u16string_view Text);

// A new holder for Type holding the value Text stands for; the caller owns it. Raises
// EValueTextRefused as SetValueFromText, also for a code without a holder.
std::unique_ptr<TDBXWritableValue> ValueFromText(const TDBXValueType& Type, std::string_view Text);

// The text of Value (whose kind Type describes), as the table above writes it; "null"
// for a null. A stream value is read to its end. Raises TDBXError code 3 for a holder
// without a text form (tables, cursors, connections, callbacks) that is not null.
std::string ValueText(const TDBXValueType& Type, const TDBXValue& Value);

}  // namespace tavrin
