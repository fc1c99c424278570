#pragma once
// TDataSetProvider: the provider that serves one dataset to clients in data packets,
// whole or in pages, with the settings that shape its packets and how changes sent back
// are applied.
//
// GetRecords (Count, RecsOut, Options): unless grReset comes with Count 0, a command text
// and parameters the client sent are handed to the dataset first. grReset starts over
// (below); with Count 0 that is all, the result null and RecsOut 0. A closed dataset is
// opened, and noted as opened here. Count 0 (or grMetaData) asks for the columns only;
// -1 for every row from the current one; n for at most n. RecsOut becomes the rows
// written. A packet with fewer rows than Count (the dataset ran out, or Count was -1)
// resets; after a full page the dataset moves past the last row sent, so the next
// request goes on from there. Any failure resets too, then travels on.
//
// Reset: the dataset closes when this provider opened it, or goes back to its first
// record; the records sent are counted from 0 again. Closing a query runs its close
// events, so a query opened for a client's list closes, with its log line, once the
// list has been sent.
//
// Between requests the dataset holds nothing of the database: when a request leaves it
// open (a page that was full), the dataset gives up its statement and read, keeping the
// rest of its records in memory (IProviderSupport::EndRequest). A phone that stops
// paging therefore blocks no writer. The open dataset, its position and the count of
// records sent belong to this provider, that is to the client's own instance of the
// server class; when the instance goes, an open dataset goes with it without its close
// events.
//
// GetParams: the dataset's parameters, packed. Execute: the command text and parameters,
// then the dataset runs its command; the output parameters come back in Params.
// DataRequest: OnDataRequest's answer, or null. Every operation but DataRequest raises
// "Missing DataSet property" without a dataset.
//
// ApplyUpdates (Delta, MaxErrors, ErrorCount): the resolver (TSQLResolver) writes the
// delta's rows to the dataset's table in one transaction the call starts (unless one is
// open): committed, durably and before the answer, when the errors stay within MaxErrors
// (-1: no limit; below -1 is refused), otherwise rolled back; any failure outside a row rolls back too and
// travels on. The answer is the error packet, or null. What the resolver needs of the
// dataset (its fields, table and keys) is read from the dataset itself before the write
// lock is taken: from its support without opening it (IProviderSupportNG::
// DescribeUpdateTarget), or else by opening it and closing it again; the delta is
// checked against it whole before any row is written. poReadOnly refuses with "Cannot
// apply updates to a ReadOnly provider". RowRequest (Row, RequestType): the rows of Row
// as the database holds them now (foRecord, foBlobs), as a packet. Both need a dataset
// whose support writes changes (IProviderSupportNG); another dataset's provider raises
// "<method> is not available on provider <name>".
//
// Threading: a provider is used by the thread that uses its owner.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dataset/fields_data_set.h"
#include "dataset/provider_support.h"
#include "provider/custom_provider.h"
#include "provider/data_packet_writer.h"
#include "resolver/custom_resolver.h"
#include "resolver/resolve_source.h"
#include "resolver/provider_options.h"
#include "server/methods/provider_data_module.h"

namespace tavrin {

class TDataSetProvider;

namespace TProviderErrors {
inline constexpr char kMissingDataSet[] = "Missing DataSet property";
inline constexpr char kNoCommandText[] = "CommandText changes are not allowed";
// "<method> is not available on provider <name>": its dataset cannot write changes back
inline constexpr char kNotAvailable[] = " is not available on provider ";
inline constexpr char kReadOnly[] = "Cannot apply updates to a ReadOnly provider";
inline constexpr char kNotPacket[] = "The changes sent are not a data packet";
inline constexpr char kBadMaxErrors[] = "MaxErrors must be -1 (no limit), 0 or more";
}  // namespace TProviderErrors

// The dataset attributes of a packet, as an array of arrays of three values each (name,
// value, include-in-delta); elements of another shape are skipped.
using TGetDataSetPropertiesEvent = std::function<TDSVariant(TDataSetProvider& Sender, TDataSet& DataSet)>;

class TDataSetProvider : public TCustomProvider {
 public:
  using TCustomProvider::TCustomProvider;

  // The dataset served and what it answers a provider beyond its records (the defaults
  // of IProviderSupport when Support is null); neither is owned, and both must outlive
  // their use here. The provider forgets what it knew of the dataset before.
  void SetDataSet(TFieldsDataSet* DataSet, IProviderSupport* Support = nullptr);
  TFieldsDataSet* DataSet() const { return FDataSet; }

  // Default: poUseQuoteChar only.
  TProviderOptions Options() const { return FOptions; }
  void SetOptions(TProviderOptions Value) { FOptions = Value; }
  // Default: upWhereAll.
  TUpdateMode UpdateMode() const { return FUpdateMode; }
  void SetUpdateMode(TUpdateMode Value) { FUpdateMode = Value; }
  // Whether changes are applied through the dataset rather than generated SQL statements.
  // Default: false.
  bool ResolveToDataSet() const { return FResolveToDataSet; }
  void SetResolveToDataSet(bool Value) { FResolveToDataSet = Value; }
  // Whether packets carry the dataset's constraints. Default: true.
  bool Constraints() const { return FConstraints; }
  void SetConstraints(bool Value) { FConstraints = Value; }

  TGetDataSetPropertiesEvent OnGetDataSetProperties;

  // Rows sent since the last reset; whether this provider opened its dataset.
  std::int32_t RecordsSent() const { return FRecordsSent; }
  bool DataSetOpened() const { return FDataSetOpened; }
  // The parameters last received from a client.
  const std::vector<TProviderParam>& Params() const { return FParams; }

  TDSVariant ApplyUpdates(const TDSVariant& Delta, std::int32_t MaxErrors, std::int32_t& ErrorCount,
                          TDSVariant& OwnerData) override;
  TDSVariant GetRecords(std::int32_t Count, std::int32_t& RecsOut, std::int32_t Options,
                        const std::u16string& CommandText, TDSVariant& Params, TDSVariant& OwnerData) override;
  TDSVariant GetParams(TDSVariant& OwnerData) override;
  TDSVariant RowRequest(const TDSVariant& Row, std::int32_t RequestType, TDSVariant& OwnerData) override;
  void Execute(const std::u16string& CommandText, TDSVariant& Params, TDSVariant& OwnerData) override;

 private:
  TFieldsDataSet& CheckedDataSet() const;
  IProviderSupport& Support() const;
  void Reset();
  void SetCommandTextAndParams(const std::u16string& CommandText, const TDSVariant& Params);
  // Reads the dataset into a packet (steps after the reset of GetRecords).
  TDSVariant ReadRecords(std::int32_t Count, std::int32_t& RecsOut, std::int32_t Options);
  void AddDataSetProperties(std::vector<TDataSetAttribute>& Attributes);
  [[noreturn]] void RaiseNotAvailable(const char* Method) const;
  IProviderSupportNG& WritingSupport(const char* Method) const;
  // The dataset's fields, table and keys: described by its support when closed, or with
  // the dataset opened for the purpose (and closed again).
  TResolveSource DescribeForResolver(IProviderSupportNG& Support);
  TCustomResolver& Resolver();

  TFieldsDataSet* FDataSet = nullptr;
  IProviderSupport* FSupport = nullptr;
  TProviderOptions FOptions = TProviderOption::Default;
  TUpdateMode FUpdateMode = TUpdateMode::upWhereAll;
  bool FResolveToDataSet = false;
  bool FConstraints = true;
  bool FDataSetOpened = false;
  std::int32_t FRecordsSent = 0;
  std::vector<TProviderParam> FParams;
  std::unique_ptr<TDataPacketWriter> FDSWriter;  // made with the first packet
  std::unique_ptr<TCustomResolver> FResolver;    // made at the first need
  bool FTransactionStarted = false;              // the apply running started the transaction
};

}  // namespace tavrin
