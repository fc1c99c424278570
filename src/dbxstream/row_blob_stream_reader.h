#pragma once
// TDBXRowBlobStreamReader: the rest of a long string or byte value, fetched from the
// peer piece by piece by more-blob exchanges. A row buffer value too long to travel
// inline (header 0x50), or announced by its size alone (a blob header), is read through
// one of these: first the bytes the row buffer held, then the pieces the peer sends.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "vocabulary/client_memory.h"
#include "vocabulary/stream.h"

namespace tavrin {

class TDBXJSonStreamReader;
class TDBXJSonStreamWriter;

// Where the value lives, so that the peer can find the rest of it, and the codecs of the
// connection that carries the exchange.
struct TDBXBlobOrigin {
  std::int64_t Row = 0;           // row of the value, counted across blocks
  std::int32_t Ordinal = 0;       // column or parameter ordinal
  std::int32_t BlobId = 0;        // blob handle handed out by the row buffer
  bool ParameterBuffer = false;   // sent as the is-out-parameter flag by a client
  std::int32_t RowHandle = -1;
  // The owning command's handle, shared with the row buffer; -1 once the command is
  // closed or executed again.
  std::shared_ptr<const std::int32_t> CommandHandle;
  TDBXJSonStreamReader* Reader = nullptr;  // not owned; outlives the blob reader
  TDBXJSonStreamWriter* Writer = nullptr;  // not owned; outlives the blob reader
  bool Client = false;                     // true on a client's side of the connection
};

class TDBXRowBlobStreamReader : public TStream {
 public:
  // A value that came with inline bytes; MoreExpected when the peer holds more of it.
  TDBXRowBlobStreamReader(TDBXBlobOrigin Origin, std::span<const std::uint8_t> InlineBytes,
                          bool MoreExpected);
  // A value announced by a blob header: KnownSize bytes, none held yet. The size is
  // reported by Size() only; nothing is allocated for it.
  TDBXRowBlobStreamReader(TDBXBlobOrigin Origin, std::int64_t KnownSize);

  // Places up to Buffer.size() bytes: the held ones first; when they do not satisfy the
  // request and more are expected, one more-blob exchange with the peer, whose bytes
  // beyond the request are held for later calls. Returns the number placed (0 once the
  // value is exhausted). Raises TDBXError: "Command closed or executed again" (code 4)
  // on a client whose command handle is negative; a piece above
  // limits::kMaxDataBlockBytes or a value above limits::kMaxBlobBytes (code 2); any
  // error of the codecs or of an error reply from the peer.
  // Only the connection's thread may call it, between requests of its own.
  std::int64_t Read(std::span<std::uint8_t> Buffer) override;

  // The announced size of a blob-header value, else -1.
  std::int64_t Size() const override { return FKnownSize; }
  // True only after a read found nothing more to fetch.
  bool AtEnd() const override { return FEos; }
  bool Eos() const { return FEos; }

  const TDBXBlobOrigin& Origin() const { return FOrigin; }

 private:
  std::size_t TakeHeld(std::span<std::uint8_t> Buffer);
  // One more-blob exchange. Places up to Buffer.size() bytes of the piece in Buffer and
  // holds the rest; returns the number placed.
  std::size_t FetchPiece(std::span<std::uint8_t> Buffer);
  void RequestPiece();

  TDBXBlobOrigin FOrigin;
  std::int64_t FKnownSize = -1;
  std::vector<std::uint8_t> FHeld;
  TClientMemoryHold FHeldHold;  // FHeld's bytes, against the connection served
  std::size_t FHeldPosition = 0;
  bool FMoreExpected = false;
  bool FEos = false;
  std::int64_t FFetchedBytes = 0;  // bytes of the value seen so far, against the cap
};

}  // namespace tavrin
