#pragma once
// The codes of TDBXError, every one that is raised anywhere. They travel to clients in
// error replies, so their values never change. Several meanings share a code; each
// meaning has a name of its own, so a raise says which one it means.
// docs/wire-protocol.md ("Error codes") lists them for client writers.

#include <cstdint>

namespace tavrin::TDBXErrorCodes {

// A failure without a code of its own: a lost connection, an unreadable header, the
// client's own failures.
inline constexpr std::int32_t Unspecified = 0;
// An authentication manager refused the connect's user and password.
inline constexpr std::int32_t AuthenticationRejected = 0;
// A server class's LifeCycle is none of the known texts.
inline constexpr std::int32_t UnknownLifeCycle = 0;

// The channel delivered nothing.
inline constexpr std::int32_t ReadError = 1;

// Malformed input: tokens, numbers, a text a value cannot take, a missing argument or table.
inline constexpr std::int32_t InvalidInput = 2;
// A client-sent size above our caps, or a connection holding as much as it may.
inline constexpr std::int32_t LimitExceeded = 2;

// A data type code without a holder, or a value of another type than its parameter's.
inline constexpr std::int32_t UnexpectedDataType = 3;
// A variant of a kind the stream form cannot carry.
inline constexpr std::int32_t UnsupportedVariantType = 3;
// An adapter given an instance that is not a provider data module.
inline constexpr std::int32_t NotAProviderModule = 3;
// A server class that offers no way to create an instance.
inline constexpr std::int32_t NoInstanceFactory = 3;

// A command closed or executed again: a negative handle, a blob read after it closed.
inline constexpr std::int32_t CommandClosed = 4;

// Any exception that is not a TDBXError.
inline constexpr std::int32_t NonDbxException = 5;
// A provider operation failed (provider not exported, no dataset); reported as any
// failing method is.
inline constexpr std::int32_t ProviderFailure = 5;

// More literal parameters than the method declares.
inline constexpr std::int32_t InvalidOrdinal = 8;

// A frozen descriptor's type, flags or nullability set.
inline constexpr std::int32_t ReadOnlyType = 9;

// A decimal too large for its row form.
inline constexpr std::int32_t BcdTooBig = 14;

// A command handle beyond the table or at an empty slot.
inline constexpr std::int32_t InvalidCommandHandle = 29;
// A row handle with no open table, no further rows or no pending long value.
inline constexpr std::int32_t NoOpenTable = 29;
// A server class component that supplied no class.
inline constexpr std::int32_t NoServerClass = 29;

// An operation the handler link it reached does not offer.
inline constexpr std::int32_t UnsupportedOperation = 30;
// An administration request this server refuses (callback channels, changes to the
// method list, named database connections).
inline constexpr std::int32_t UnsupportedAdminRequest = 30;
// The server connection changed while commands are open.
inline constexpr std::int32_t CommandsStillOpen = 30;
// A prepare or execute of a command type the server does not know.
inline constexpr std::int32_t UnrecognizedCommandType = 30;
// A table row whose values could not be copied into the reply.
inline constexpr std::int32_t RowCopyFailed = 30;
// A request whose method could not be read; the connection ends.
inline constexpr std::int32_t MethodUnreadable = 30;

// A server class registered twice.
inline constexpr std::int32_t DuplicateClass = 102;
// A method alias registered twice.
inline constexpr std::int32_t DuplicateMethod = 103;
// A command text naming no registered method.
inline constexpr std::int32_t MethodNotFound = 105;
// The session's user may not call the method.
inline constexpr std::int32_t NotAuthorized = 113;

}  // namespace tavrin::TDBXErrorCodes
