#include "dbxstream/row_blob_stream_reader.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "dbxstream/json_stream_reader.h"
#include "dbxstream/json_stream_writer.h"
#include "dbxstream/stream_keywords.h"
#include "dbxstream/stream_tokens.h"
#include "vocabulary/dbx_error.h"
#include "vocabulary/dbx_limits.h"

namespace tavrin {
namespace {

constexpr char kCommandClosed[] = "Command closed or executed again";

}  // namespace

TDBXRowBlobStreamReader::TDBXRowBlobStreamReader(TDBXBlobOrigin Origin,
                                                 std::span<const std::uint8_t> InlineBytes,
                                                 bool MoreExpected)
    : FOrigin(std::move(Origin)),
      FHeld(InlineBytes.begin(), InlineBytes.end()),
      FMoreExpected(MoreExpected),
      FFetchedBytes(static_cast<std::int64_t>(InlineBytes.size())) {}

TDBXRowBlobStreamReader::TDBXRowBlobStreamReader(TDBXBlobOrigin Origin, std::int64_t KnownSize)
    : FOrigin(std::move(Origin)), FKnownSize(KnownSize), FMoreExpected(true) {}

std::size_t TDBXRowBlobStreamReader::TakeHeld(std::span<std::uint8_t> Buffer) {
  const std::size_t n = std::min(Buffer.size(), FHeld.size() - FHeldPosition);
  if (n > 0) std::memcpy(Buffer.data(), FHeld.data() + FHeldPosition, n);
  FHeldPosition += n;
  if (FHeldPosition == FHeld.size()) {
    FHeld.clear();
    FHeldPosition = 0;
  }
  return n;
}

std::int64_t TDBXRowBlobStreamReader::Read(std::span<std::uint8_t> Buffer) {
  if (FOrigin.Client && (!FOrigin.CommandHandle || *FOrigin.CommandHandle < 0)) {
    throw TDBXError(TDBXErrorCodes::CommandClosed, kCommandClosed);
  }
  std::size_t Copied = TakeHeld(Buffer);
  if (Copied == Buffer.size()) return static_cast<std::int64_t>(Copied);
  if (!FMoreExpected) {
    FEos = true;
    return static_cast<std::int64_t>(Copied);
  }
  Copied += FetchPiece(Buffer.subspan(Copied));
  return static_cast<std::int64_t>(Copied);
}

void TDBXRowBlobStreamReader::RequestPiece() {
  auto& Writer = *FOrigin.Writer;
  auto& Reader = *FOrigin.Reader;
  const std::int32_t CommandHandle = FOrigin.CommandHandle ? *FOrigin.CommandHandle : -1;
  if (FOrigin.Client) {
    Writer.WriteClientMoreBlobObject(CommandHandle, FOrigin.BlobId, FOrigin.Row,
                                     FOrigin.Ordinal, FOrigin.ParameterBuffer,
                                     FOrigin.RowHandle);
    Reader.NextResultObjectStart();
    Reader.Next(TDBXTokens::ArrayStart);
  } else {
    Writer.WriteServerMoreBlobObject(CommandHandle, FOrigin.BlobId, FOrigin.Row,
                                     FOrigin.Ordinal, FOrigin.RowHandle);
  }
}

std::size_t TDBXRowBlobStreamReader::FetchPiece(std::span<std::uint8_t> Buffer) {
  if (FOrigin.Reader == nullptr || FOrigin.Writer == nullptr) {
    throw TDBXError(TDBXErrorCodes::Unspecified, "No connection to fetch the rest of a blob from");
  }
  RequestPiece();
  auto& Reader = *FOrigin.Reader;
  // The stream data object: {"data":[count,bytes]} with the count padded by blanks.
  Reader.Next(TDBXTokens::ObjectStart);
  if (Reader.ReadStringCode() != TDBXStringCodes::Data) {
    throw TDBXError(TDBXErrorCodes::InvalidInput, "Expected a blob data object");
  }
  Reader.Next(TDBXTokens::NameSeparator);
  Reader.Next(TDBXTokens::ArrayStart);
  const std::int64_t Count = Reader.ReadInt();
  const std::int64_t Bytes = Count < 0 ? -Count : Count;
  // Refused before the piece's bytes are read: they follow in the stream.
  if (Bytes > limits::kMaxDataBlockBytes) {
    throw TDBXMidValueRefusal(TDBXErrorCodes::LimitExceeded,
                              "Blob piece of " + std::to_string(Bytes) + " bytes exceeds the limit");
  }
  if (FFetchedBytes + Bytes > limits::kMaxBlobBytes) {
    throw TDBXMidValueRefusal(TDBXErrorCodes::LimitExceeded,
                              "Blob value exceeds " + std::to_string(limits::kMaxBlobBytes) + " bytes");
  }
  std::size_t Placed = 0;
  if (Bytes > 0) {
    Reader.NextValueSeparator();
    Placed = std::min(Buffer.size(), static_cast<std::size_t>(Bytes));
    if (Placed > 0) Reader.ReadDataBytes(Buffer.first(Placed));
    // The rest is held as it arrives, never allocated whole ahead of its bytes.
    const std::size_t Rest = static_cast<std::size_t>(Bytes) - Placed;
    FHeld.clear();
    FHeldPosition = 0;
    while (FHeld.size() < Rest) {
      const std::size_t Old = FHeld.size();
      const std::size_t Step =
          std::max(static_cast<std::size_t>(limits::kBlockGrowBytes), Old);
      const std::size_t Grown = Old + std::min(Step, Rest - Old);
      RefuseMidValue(
          [&] { FHeldHold.Set(static_cast<std::int64_t>(std::max(Grown, FHeld.capacity())), "A long value"); });
      FHeld.resize(Grown);
      Reader.ReadDataBytes(std::span<std::uint8_t>(FHeld).subspan(Old));
    }
  }
  Reader.SkipToEndOfObject();                    // ]} of the data object
  if (FOrigin.Client) Reader.SkipToEndOfObject();  // ]} of the result
  FFetchedBytes += Bytes;
  FMoreExpected = Count > 0;
  return Placed;
}

}  // namespace tavrin
