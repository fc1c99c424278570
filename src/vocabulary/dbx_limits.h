#pragma once
// Every cap and fixed size of the wire layers, in one place. Sizes that a client
// sends are checked against these before anything is allocated for them.

#include <cstddef>
#include <cstdint>

namespace tavrin::limits {

// Largest raw data block (row buffer, blob piece, metadata text) accepted from a peer.
inline constexpr std::int32_t kMaxDataBlockBytes = 64 * 1024 * 1024;
// Longest string token accepted from a peer, in 16-bit code units.
inline constexpr std::int32_t kMaxStringUnits = 32 * 1024 * 1024;
// Longest number token accepted from a peer (an int64 needs 20 characters).
inline constexpr std::int32_t kMaxNumberBytes = 64;
// Largest value assembled from blob pieces (a long string or byte value).
inline constexpr std::int64_t kMaxBlobBytes = 64 * 1024 * 1024;
// A block announced by a peer is held in steps of at least this many bytes as they
// arrive, never allocated whole before its bytes are there.
inline constexpr std::int32_t kBlockGrowBytes = 64 * 1024;
// Deepest nesting accepted in JSON text that comes from a peer.
inline constexpr int kMaxJsonDepth = 64;

// What one connection may hold open at once: commands (prepared or executed, not yet
// closed) and result tables not yet closed. A request past either is refused with an
// error reply and the connection goes on.
inline constexpr std::int32_t kMaxOpenCommands = 256;
inline constexpr std::int32_t kMaxOpenTables = 64;
// What a connect request may carry: properties, and characters of names and values
// together. A connect past either is read whole, refused with an error reply, and the
// connection goes on.
inline constexpr std::size_t kMaxConnectProperties = 256;
inline constexpr std::size_t kMaxConnectPropertyUnits = 64 * 1024;
// Bytes one connection may hold at once in requests being read and replies not yet sent
// (row buffers, strings, long values); a request past it is refused with an error reply.
// A refusal in the middle of a value leaves the rest of the request unread, which then
// reads as no request, so that connection ends.
inline constexpr std::int64_t kMaxConnectionInFlightBytes = 64 * 1024 * 1024;

// Characters of a client's text that an error reply or a log line quotes; "..." follows
// when there were more.
inline constexpr std::int32_t kMaxQuotedClientChars = 256;

// Codec buffer sizes.
inline constexpr std::int32_t kDefaultStreamBufferSize = 8192;  // when opened with size 0
inline constexpr std::int32_t kCharBufferInitialUnits = 128;
inline constexpr std::int32_t kCharBufferGrowUnits = 128;
// A string buffer larger than this is given back between requests.
inline constexpr std::size_t kKeptStringUnits = 64 * 1024;
// A long value read from a client grows in pieces of this many bytes and is joined once
// at its end, so it never sits in two growing copies (the old room and the doubled one).
inline constexpr std::size_t kLongValuePieceBytes = 1024 * 1024;
inline constexpr std::int32_t kByteBufferInitialBytes = 64;
inline constexpr std::int32_t kByteBufferGrowBytes = 128;
inline constexpr std::int32_t kDecimalBufferBytes = 20;
// Room kept free in a write buffer around one row data object.
inline constexpr std::int32_t kRowBufferReserve = 2048;
// Room a stream data object keeps for its header and tail: {"data":[ + count + ,]}.
inline constexpr std::int32_t kStreamDataObjectReserve = 13;
// Width the count of a stream data object is padded to.
inline constexpr std::int32_t kStreamDataCountWidth = 9;
// Largest piece of a stream data object: its count, with a minus sign, fits that width.
inline constexpr std::int32_t kMaxStreamDataPieceBytes = 99'999'999;
// Smallest write buffer: a stream data object with at least one data byte fits in it.
inline constexpr std::int32_t kMinWriteBufferSize = 32;

// Row buffer sizes.
inline constexpr std::int32_t kMaxInline = 1024;           // bytes of a long value kept inline
inline constexpr std::int32_t kMaxInlineCeiling = 65535;   // a 16-bit length form holds no more
inline constexpr std::int32_t kRowOffsetsGrow = 16;        // row start table: initial size and growth
inline constexpr std::int32_t kBigDecimalBufferBytes = 32;
inline constexpr std::int32_t kOverflowReadChunk = 8196;   // overflow bytes are read this much at a time
inline constexpr std::int32_t kBlobStringBufferBytes = 256;
inline constexpr std::int32_t kWideBlobStringBufferBytes = 32768;

}  // namespace tavrin::limits
