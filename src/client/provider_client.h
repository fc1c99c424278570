#pragma once
// TDBXProviderClient: a client's calls of a server class's provider methods over a
// connected connection: the names of its providers, records of a provider as a data
// packet, whole or a page at a time, changes sent back as a delta packet, and rows
// asked for again. Each method is prepared at its first call and
// its command kept for the next ones, until Close.
//
// Threading: the connection's (one thread at a time).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "client/connection.h"
#include "vocabulary/variant.h"

namespace tavrin {

struct TDBXRecordsReply {
  // Rows in the packet, as the server reported them.
  std::int32_t RecsOut = 0;
  // The packet (a byte array), or null.
  TDSVariant Data;
};

class TDBXProviderClient {
 public:
  // ClassName is the server class whose provider methods are called; the connection must
  // be connected and outlive this object.
  TDBXProviderClient(TDBXClientConnection& Connection, std::u16string ClassName);

  // AS_GetProviderNames: the exported providers' names, joined by commas.
  std::u16string GetProviderNames();
  // AS_GetRecords with no command text, parameters or owner data. Count -1 asks for every
  // row, 0 for the columns only, n for the next n; Options are the request's option bits.
  // Raises TDBXError for an error reply (the connection stays usable) and for a result
  // that is not a variant stream.
  TDBXRecordsReply GetRecords(std::u16string_view ProviderName, std::int32_t Count, std::int32_t Options);
  // AS_ApplyUpdates: Delta (a delta packet) applied by provider ProviderName with at most
  // MaxErrors failed rows (-1: no limit). ErrorCount receives the rows that failed; the
  // result is the error packet, or null when none failed. Raises as GetRecords.
  TDSVariant ApplyUpdates(std::u16string_view ProviderName, std::vector<std::uint8_t> Delta, std::int32_t MaxErrors,
                          std::int32_t& ErrorCount);
  // AS_RowRequest: the rows of Row (a packet) as the server holds them now, by the
  // request's option bits (1 the record, 2 its blobs).
  TDSVariant RowRequest(std::u16string_view ProviderName, std::vector<std::uint8_t> Row, std::int32_t RequestType);
  // The bytes of the last GetRecords result as they came (the variant's stream form).
  std::size_t LastResultBytes() const { return FLastResultBytes; }

  // Closes the commands prepared so far (no reply is read).
  void Close();

 private:
  std::int32_t Prepared(std::optional<std::int32_t>& Handle, std::u16string_view Method);

  TDBXClientConnection& FConnection;
  std::u16string FClassName;
  std::optional<std::int32_t> FNamesHandle;
  std::optional<std::int32_t> FRecordsHandle;
  std::optional<std::int32_t> FApplyHandle;
  std::optional<std::int32_t> FRowHandle;
  std::size_t FLastResultBytes = 0;
};

}  // namespace tavrin
