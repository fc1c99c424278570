#pragma once
// Writes result tables: the table object (header and column descriptions) and then the
// rows in blocks of about one row buffer (30 KB by default), each a row-stream data
// object {"data":[n,bytes]} whose count is negative on the last block; {"data":[0]}
// for a table without rows. No more rows are read from a reader than a block needs.
//
// Threading: one streamer per connection, used by its thread only.

#include <cstdint>
#include <memory>

#include "dbxstream/active_table_list.h"

namespace tavrin {

class TDBXJSonStreamReader;
class TDBXJSonStreamWriter;

class TDBXTableStreamer {
 public:
  // Room below which the write buffer is flushed before a block starts.
  static constexpr std::int32_t kFlushBeforeBlockBytes = 128;

  // The codecs must outlive the streamer; Client is the connection's row buffer flag.
  TDBXTableStreamer(TDBXJSonStreamReader& Reader, TDBXJSonStreamWriter& Writer, bool Client)
      : FReader(Reader), FWriter(Writer), FClient(Client) {}

  // The item under RowHandle, created with a new row object of the command (BCD format
  // 0) when there is none.
  TDBXActiveTableReaderItem& GetActiveTableReaderItem(TDBXActiveTableReaderList& List,
                                                      std::int32_t CommandHandle,
                                                      std::int32_t RowHandle);

  // Writes the table object of Reader; the next block starts at the reader's next row.
  void WriteFirst(std::int32_t CommandHandle, std::int32_t RowHandle, std::int32_t BcdFormat,
                  TDBXReader& Reader, TDBXJSonRow& Row);

  // Writes the next block of the item's table (the first when First) and returns true
  // when it was the last. Long values that did not fit are kept in the item for
  // more-blob requests. A failing column copy empties the row buffer and raises
  // TDBXError code 30 with the failure's message, the failure nested inside it.
  bool WriteNext(std::int32_t CommandHandle, TDBXActiveTableReaderItem& Item, bool First);

  // For a reply: allocates a row handle in List, gets its item, gives it Reader and
  // writes the table object. The caller writes the first block later with WriteNext.
  TDBXActiveTableReaderItem& WriteTableObject(TDBXActiveTableReaderList& List,
                                              std::int32_t CommandHandle,
                                              std::shared_ptr<TDBXReader> Reader);

  // The table object and its first block at once; records the end flag in the item.
  void WriteDBXReader(std::int32_t CommandHandle, TDBXActiveTableReaderItem& Item);

 private:
  void CopyRow(TDBXReader& Reader, TDBXActiveTableReaderItem& Item);

  TDBXJSonStreamReader& FReader;
  TDBXJSonStreamWriter& FWriter;
  bool FClient;
};

}  // namespace tavrin
