#pragma once
// TDataPacketWriter: turns an open dataset into a data packet through the packet
// library's writer (TDSWriter): one column per field with its attributes, the dataset's
// attributes, then the rows from the current record on.
//
// The column list and the writer object are made with the first packet and kept: later
// packets only drop the rows and put new ones, unless the request asks for metadata
// (grMetaData) or the dataset's fields no longer match the list (a query that was
// closed and opened again has new field objects: the entries are bound to them; other
// fields make a new list). Every packet carries the columns and attributes, so each one
// reads on its own.
//
// Column attributes, in this order: FIELDNAME (the whole name, when it is 32 UTF-8
// bytes or longer), SERVER_CALC (computed fields), PROVFLAGS (provider flags other than
// the default), ORIGIN, WIDTH, DECIMALS (decimals with decimal places), MINVALUE and
// MAXVALUE (bounds that are not 0), SUBTYPE. The fields of this server carry no display
// properties, so with poIncFieldProps there is no FIELDPROPS to write. Dataset
// attributes: READONLY, DISABLE_EDITS, DISABLE_INSERTS, DISABLE_DELETES, NO_RESET_CALL
// (by the provider options), the constraints, DEFAULT_ORDER, PRIMARY_KEY and UNIQUE_KEY
// (by what the dataset reports), MD_SEMANTICS (cascades), then the custom attributes.
//
// What no dataset of this server has is refused when it is met, not before: a field of
// an object, array or nested dataset type (EDSWriter when the columns are built), and a
// constraint or default expression when constraints are written (EDSWriter "Preparation
// of ... failed"): the client-side expression compiler is not part of this server.
//
// Threading: one thread at a time (the provider's).

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "datapacket/writer.h"
#include "dataset/provider_support.h"
#include "provider/attribute_encoding.h"
#include "resolver/provider_options.h"
#include "provider/put_field_info.h"
#include "vocabulary/variant.h"

namespace tavrin {

class TFieldsDataSet;

// What a request for records asks for (the Options of GetRecords).
using TGetRecordOptions = std::int32_t;
namespace TGetRecordOption {
inline constexpr TGetRecordOptions grMetaData = 1;  // columns and attributes only
inline constexpr TGetRecordOptions grReset = 2;     // start the records over
inline constexpr TGetRecordOptions grXML = 4;       // the packet in XML, non-ASCII as references
inline constexpr TGetRecordOptions grXMLUTF8 = 8;   // the packet in XML, UTF-8
}  // namespace TGetRecordOption

namespace TPacketWriterErrors {
// Prefixed "<field>: " for a field's expressions; the inner text says why.
inline constexpr char kRecordConstraint[] = "Preparation of record constraint failed with error \"";
inline constexpr char kDefaultExpression[] = "Preparation of default expression failed with error \"";
inline constexpr char kFieldConstraint[] = "Preparation of field constraint failed with error \"";
inline constexpr char kNoCompiler[] = "expressions are not compiled by this server: ";
}  // namespace TPacketWriterErrors

class TCustomPacketWriter {
 public:
  TCustomPacketWriter() = default;
  TCustomPacketWriter(const TCustomPacketWriter&) = delete;
  TCustomPacketWriter& operator=(const TCustomPacketWriter&) = delete;
  virtual ~TCustomPacketWriter() = default;

 protected:
  // Raises EDSWriter with the writer's text when Status is not 0.
  void Check(std::uint16_t Status) const;

  std::unique_ptr<TDSWriter> FIDSWriter;
  // Scratch room for one value that needs converting; grown when a value needs more.
  std::vector<std::uint8_t> FBuffer = std::vector<std::uint8_t>(TAttributeLimits::kValueBufferSize);
};

class TDataPacketWriter : public TCustomPacketWriter {
 public:
  // Fills the custom dataset attributes of a packet.
  using TGetParamsEvent = std::function<void(std::vector<TDataSetAttribute>& Attributes)>;

  void SetConstraints(bool Value) { FConstraints = Value; }
  void SetOptions(TProviderOptions Value) { FOptions = Value; }
  void SetPacketOptions(TGetRecordOptions Value) { FPacketOptions = Value; }
  void SetOnGetParams(TGetParamsEvent Handler) { FOnGetParams = std::move(Handler); }

  // A packet of DataSet (open, on the record the rows start from) with at most RecsOut
  // rows (-1: all), the columns and attributes first; RecsOut becomes the number of rows
  // written. After a full packet the dataset stands on the last row written; otherwise
  // at its end. Support tells the dataset's keys, indexes and constraints. Raises
  // EDSWriter (see above and the writer's statuses) and the dataset's errors; the rows
  // written so far are dropped at the next packet.
  TDSVariant MakeDataPacket(TFieldsDataSet& DataSet, const IProviderSupport& Support, std::int32_t& RecsOut);

  // Closes the detail datasets the writer opened: no dataset of this server has any.
  void CloseOpenedDetails() {}

  // The column list of the last packet.
  const std::vector<TPutFieldInfo>& PutFieldInfo() const { return FPutFieldInfo; }

 private:
  void BuildColumns(TFieldsDataSet& DataSet);
  // Binds the entries to DataSet's current fields; false when they no longer match.
  bool BindColumns(TFieldsDataSet& DataSet);
  void WriteMetaData(const TFieldsDataSet& DataSet, const IProviderSupport& Support);
  void WriteColumnAttributes(const TPutFieldInfo& Info);
  void WriteConstraints(const TFieldsDataSet& DataSet, const IProviderSupport& Support);
  void WriteIndexes(const IProviderSupport& Support);
  std::int32_t WriteRows(TFieldsDataSet& DataSet, std::int32_t Limit);
  void PutAttribute(std::int32_t Area, std::string_view Name, const TAttributeValue& Value);
  // The column number of a field name, -1 when no column has it.
  std::int32_t LocalIndexOf(std::string_view FieldName) const;

  bool FConstraints = true;
  TProviderOptions FOptions = TProviderOption::Default;
  TGetRecordOptions FPacketOptions = 0;
  TGetParamsEvent FOnGetParams;
  std::vector<TPutFieldInfo> FPutFieldInfo;
};

}  // namespace tavrin
