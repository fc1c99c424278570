#pragma once
// The settings vocabulary of providers: the option set (TProviderOptions, one bit per
// TProviderOption) and how updates find their rows (TUpdateMode). The bit values are
// the server's own; no packet or reply carries them.

#include <cstdint>

namespace tavrin {

using TProviderOptions = std::uint16_t;
namespace TProviderOption {
inline constexpr TProviderOptions poFetchBlobsOnDemand = 0x0001;       // packets leave blob values for later requests
inline constexpr TProviderOptions poFetchDetailsOnDemand = 0x0002;     // packets leave detail rows for later requests
inline constexpr TProviderOptions poIncFieldProps = 0x0004;            // packets carry the fields' display properties
inline constexpr TProviderOptions poCascadeDeletes = 0x0008;           // deleting a master deletes its details
inline constexpr TProviderOptions poCascadeUpdates = 0x0010;           // key changes of a master reach its details
inline constexpr TProviderOptions poReadOnly = 0x0020;                 // changes sent by clients are refused
inline constexpr TProviderOptions poAllowMultiRecordUpdates = 0x0040;  // one changed row may update several records
inline constexpr TProviderOptions poDisableInserts = 0x0080;           // inserted rows are refused
inline constexpr TProviderOptions poDisableEdits = 0x0100;             // modified rows are refused
inline constexpr TProviderOptions poDisableDeletes = 0x0200;           // deleted rows are refused
inline constexpr TProviderOptions poNoReset = 0x0400;                  // packets ask clients not to request resets
inline constexpr TProviderOptions poPropogateChanges = 0x0800;         // values changed while applying go back
inline constexpr TProviderOptions poAllowCommandText = 0x1000;         // clients may send their own command text
inline constexpr TProviderOptions poRetainServerOrder = 0x2000;        // packets carry no default order
inline constexpr TProviderOptions poUseQuoteChar = 0x4000;             // generated SQL quotes identifiers
inline constexpr TProviderOptions Default = poUseQuoteChar;
}  // namespace TProviderOption

// Which columns the where clause of a generated update or delete compares.
enum class TUpdateMode : std::uint8_t {
  upWhereAll,      // every column that takes part in where clauses
  upWhereChanged,  // the key columns and the changed ones
  upWhereKeyOnly,  // the key columns only
};

}  // namespace tavrin
