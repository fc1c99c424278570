#pragma once
// TCustomResolver: applies a client's delta row by row through the dataset's provider
// support, and answers row requests. The walk, the error limit and the error packet are
// here; how one row reaches the database is the derived resolver's (TSQLResolver).
//
// Apply: each inserted, modified or deleted row is applied on its own; a row that fails is logged as an error row and the walk goes on
// while the errors stay within MaxErrors (-1: no limit). The error packet holds the
// failed rows: six error columns first (ERROR_RECORDNO, the delta's record number from
// 1; ERROR_RESPONSE, the response + 1; ERROR_MESSAGE; ERROR_CONTEXT, empty;
// ERROR_CATEGORY, 1; ERROR_CODE), then the delta's columns with the row's values (a
// modified row's new values over its old ones). The transaction around the walk is the
// caller's.
//
// Threading: the provider's (one request at a time).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dataset/provider_support.h"
#include "vocabulary/dbx_error.h"
#include "resolver/update_tree.h"

namespace tavrin {

enum class TResolverResponse : std::uint8_t { rrSkip, rrAbort, rrMerge, rrApply, rrIgnore };
enum class TUpdateKind : std::uint8_t { ukModify, ukInsert, ukDelete };

// Row request options.
namespace TFetchOption {
inline constexpr std::int32_t foRecord = 1;
inline constexpr std::int32_t foBlobs = 2;
inline constexpr std::int32_t foDetails = 4;
}  // namespace TFetchOption

namespace TResolverErrors {
inline constexpr char kNoKey[] = "Unable to find record.  No key specified";
inline constexpr char kNotFound[] = "Record not found or changed by another user";
inline constexpr char kTooMany[] = "Update affected more than 1 record.";
inline constexpr char kNoTable[] = "Unable to resolve records.  Table name not found.";
inline constexpr char kNoEdits[] = "Modifications are not allowed";
inline constexpr char kNoInserts[] = "Inserts are not allowed";
inline constexpr char kNoDeletes[] = "Deletes are not allowed";
inline constexpr char kTransactionLost[] = "The database ended the transaction: ";  // + why
}  // namespace TResolverErrors

// The error packet's own columns, before the delta's.
namespace TErrorColumns {
inline constexpr char kRecordNo[] = "ERROR_RECORDNO";
inline constexpr char kResponse[] = "ERROR_RESPONSE";
inline constexpr char kMessage[] = "ERROR_MESSAGE";
inline constexpr char kContext[] = "ERROR_CONTEXT";
inline constexpr char kCategory[] = "ERROR_CATEGORY";
inline constexpr char kCode[] = "ERROR_CODE";
inline constexpr std::size_t kCount = 6;
}  // namespace TErrorColumns

// A failure after which the apply cannot go on row by row (a row changed what it cannot
// undo alone): it travels to the caller, which rolls the whole apply back.
class EResolverAbort : public TDBXError {
 public:
  using TDBXError::TDBXError;
};

class TCustomResolver {
 public:
  TCustomResolver() = default;
  virtual ~TCustomResolver() = default;
  TCustomResolver(const TCustomResolver&) = delete;
  TCustomResolver& operator=(const TCustomResolver&) = delete;

  // Loads and checks Delta against Source (TUpdateTree::Load), ready for ApplyUpdates.
  // Support must outlive the apply.
  void LoadDelta(std::vector<std::uint8_t> Delta, const TResolveSource& Source, IProviderSupportNG& Support);
  // Applies the loaded delta; ErrorCount becomes the number of rows that failed. Returns
  // the error packet, or nullopt when no row failed. A failure outside a row (the
  // database ending the transaction, say) raises; the caller then rolls back.
  std::optional<std::vector<std::uint8_t>> ApplyUpdates(std::int32_t MaxErrors, std::int32_t& ErrorCount);

  // The rows of the Row packet with their values as the database holds them now
  // (foRecord: every field, by the key; foBlobs: blob fields that came null), as a
  // packet of the same columns. Raises TDBXError for a refused packet, and kNoKey or
  // kNotFound for a row it cannot find.
  std::vector<std::uint8_t> RowRequest(std::vector<std::uint8_t> Row, std::int32_t RequestType,
                                       const TResolveSource& Source, IProviderSupportNG& Support);

 protected:
  // Applies the current row of the tree's cursor; raises on failure.
  virtual void DoUpdate(TUpdateTree& Tree) = 0;
  virtual void DoInsert(TUpdateTree& Tree) = 0;
  virtual void DoDelete(TUpdateTree& Tree) = 0;
  // The current values of the row at the cursor: one per field of Fields (indexes into
  // the tree's fields), found by the key.
  virtual std::vector<TFieldValue> FetchRow(TUpdateTree& Tree, const std::vector<std::size_t>& Fields) = 0;

  IProviderSupportNG& Support() const { return *FSupport; }
  TUpdateTree FUpdateTree;

 private:
  struct TErrorRow {
    std::uint32_t RecNo = 0;
    TResolverResponse Response = TResolverResponse::rrSkip;
    std::string Message;
    std::int32_t Code = 0;
    std::vector<TPacketValue> Values;
  };

  void ApplyRow(TUpdateKind Kind);
  void HandleError(const std::string& Message, std::int32_t Code);
  std::vector<std::uint8_t> ErrorPacket() const;

  IProviderSupportNG* FSupport = nullptr;
  TResolverResponse FPrevResponse = TResolverResponse::rrSkip;
  std::int32_t FErrorCount = 0;
  std::int32_t FMaxErrors = 0;
  bool FInTransaction = false;  // a transaction was open when the apply began
  std::vector<TErrorRow> FErrors;
};

}  // namespace tavrin
