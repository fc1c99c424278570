#pragma once
// The command types and metadata command texts a client names in a prepare or execute.
// Both sides of the wire use them: the server chooses what a command is from them, and
// our client prepares server methods with kServerMethod.

namespace tavrin {

namespace TDSCommandTypes {
inline constexpr char16_t kServerMethod[] = u"Corvane.ServerMethod";
inline constexpr char16_t kStoredProcedure[] = u"Dbx.StoredProcedure";
inline constexpr char16_t kMetaData[] = u"Dbx.MetaData";
// Metadata command texts and the methods that answer them.
inline constexpr char16_t kGetDatabase[] = u"GetDatabase";
inline constexpr char16_t kGetDatabaseMethod[] = u"DSMetadata.GetDatabase";
inline constexpr char16_t kGetProcedures[] = u"GetProcedures";
inline constexpr char16_t kGetProceduresMethod[] = u"DSMetadata.GetProcedures";
inline constexpr char16_t kGetProcedureParameters[] = u"GetProcedureParameters";
inline constexpr char16_t kGetProcedureParametersMethod[] = u"DSMetadata.GetProcedureParameters";
// Keyword that may open any command text.
inline constexpr char16_t kCallKeyword[] = u"call";
}  // namespace TDSCommandTypes

}  // namespace tavrin
