#pragma once
// Choosing what a new command is from its command type and text. This server runs
// nothing but server methods: a command is one when its type says so, when its text
// (with or without the "call" keyword) names a registered method, or when it is one of
// the metadata requests that built-in methods answer. Anything else is refused.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "dbxstream/command_types.h"

namespace tavrin {

class IDSServerMethodProvider;
class TDBXSqlScanner;

namespace TDSCommandTypeErrors {
inline constexpr char kUnrecognized[] = "%s is an unrecognized command type";
}  // namespace TDSCommandTypeErrors

// The text after a leading "call" keyword (in any letter case, after any blanks, tabs,
// carriage returns and line feeds, followed by one of those, with more than five
// characters from its "c" on) and the one blank after it, as a part of Text; nullopt
// without the keyword.
std::optional<std::u16string_view> StripCallKeyword(std::u16string_view Text);

// The method name a text starts with: the first run of characters after leading blanks,
// tabs, carriage returns, line feeds and double quotes, up to the next such character
// or "(".
std::u16string LeadingMethodName(std::u16string_view Text);

// A metadata text rewritten as a call of the built-in method that answers it:
// "GetProcedures a.b, c" -> DSMetadata.GetProcedures("a.b", "c") (missing names are
// empty texts) and "GetProcedureParameters a.b" -> DSMetadata.GetProcedureParameters("a.b").
// nullopt for any other text. Double quotes inside a name are doubled.
std::optional<std::u16string> RewriteMetadataCommand(std::u16string_view Text, TDBXSqlScanner& Scanner);

// The text to run as a server method for a new command of CommandType with
// CommandText. Raises TDBXError code 30 "<CommandType> is an unrecognized command type"
// when the command is none. CommandText is taken over, so that a long text is never
// copied: the result is made in its room where it is that text or a part of it.
std::u16string ChooseServerMethodText(std::u16string_view CommandType, std::u16string CommandText,
                                      const IDSServerMethodProvider& Methods, TDBXSqlScanner& Scanner);

}  // namespace tavrin
