#include "provider/data_packet_writer.h"

#include <array>
#include <cmath>
#include <limits>
#include <string>

#include "datapacket/column_descriptor.h"
#include "datapacket/packet_layout.h"
#include "dataset/fields_data_set.h"
#include "vocabulary/unicode_text.h"

namespace tavrin {

namespace {

using FT = TFieldType;
namespace O = TProviderOption;
namespace G = TGetRecordOption;

// Packet versions: blobs in the packet, or left on the server for later requests.
constexpr std::int32_t kPacketVersion = 1;
constexpr std::int32_t kPacketVersionBlobsOnDemand = 3;
// Column names of this many UTF-8 bytes or more travel whole in FIELDNAME.
constexpr std::size_t kLongNameBytes = 32;
// Flags of DEFAULT_ORDER and PRIMARY_KEY entries.
constexpr std::int32_t kCaseInsensitiveFlag = 0x4000;
constexpr std::int32_t kDescendingFlag = 0x8000;
// MD_SEMANTICS bits.
constexpr std::int32_t kCascadeDeletesBit = 1;
constexpr std::int32_t kCascadeUpdatesBit = 2;
// The status byte of each row of a plain packet.
constexpr std::uint8_t kUnmodifiedRow = 0;

namespace AttributeNames {
constexpr char FieldName[] = "FIELDNAME";
constexpr char ServerCalc[] = "SERVER_CALC";
constexpr char ProvFlags[] = "PROVFLAGS";
constexpr char Origin[] = "ORIGIN";
constexpr char Width[] = "WIDTH";
constexpr char Decimals[] = "DECIMALS";
constexpr char MinValue[] = "MINVALUE";
constexpr char MaxValue[] = "MAXVALUE";
constexpr char SubType[] = "SUBTYPE";
constexpr char ReadOnly[] = "READONLY";
constexpr char DisableEdits[] = "DISABLE_EDITS";
constexpr char DisableInserts[] = "DISABLE_INSERTS";
constexpr char DisableDeletes[] = "DISABLE_DELETES";
constexpr char NoResetCall[] = "NO_RESET_CALL";
constexpr char DefaultOrder[] = "DEFAULT_ORDER";
constexpr char PrimaryKey[] = "PRIMARY_KEY";
constexpr char UniqueKey[] = "UNIQUE_KEY";
constexpr char Semantics[] = "MD_SEMANTICS";
}  // namespace AttributeNames

bool Contains(const std::vector<std::string>& Names, const std::string& Name) {
  for (const std::string& Each : Names) {
    if (SameName(Each, Name)) return true;
  }
  return false;
}

std::vector<std::string> SplitKeyFields(const std::string& Joined) {
  std::vector<std::string> Names;
  std::size_t Start = 0;
  while (Start <= Joined.size()) {
    const std::size_t End = std::min(Joined.find(';', Start), Joined.size());
    if (End > Start) Names.push_back(Joined.substr(Start, End - Start));
    Start = End + 1;
  }
  return Names;
}

// The index's fields begin with (or are) Keys.
bool IndexStartsWith(const TIndexDefinition& Index, const std::vector<std::string>& Keys) {
  if (Index.Fields.size() < Keys.size()) return false;
  for (std::size_t i = 0; i < Keys.size(); ++i) {
    if (!SameName(Index.Fields[i], Keys[i])) return false;
  }
  return true;
}

TAttributeValue BoundAttribute(FT Type, double Bound) {
  switch (Type) {
    case FT::ftSmallint:
    case FT::ftInteger:
    case FT::ftShortint:
    case FT::ftByte:
      return EncodeAttribute(TDSVariant(static_cast<std::int32_t>(Bound)), false);
    case FT::ftBCD:
    case FT::ftFMTBcd:
      return EncodeAttribute(TDSVariant(TDSCurrency{std::llround(Bound * 10000.0)}), false);
    default:
      return EncodeAttribute(TDSVariant(Bound), false);
  }
}

bool HasBounds(FT Type) {
  switch (Type) {
    case FT::ftSmallint: case FT::ftInteger: case FT::ftShortint: case FT::ftByte:
    case FT::ftFloat: case FT::ftCurrency: case FT::ftSingle: case FT::ftBCD: case FT::ftFMTBcd:
      return true;
    default:
      return false;
  }
}

[[noreturn]] void RaiseExpression(const std::string& Prefix, const char* What, const std::string& Expression) {
  throw EDSWriter(Prefix + What + TPacketWriterErrors::kNoCompiler + Expression + "\"", 0);
}

}  // namespace

void TCustomPacketWriter::Check(std::uint16_t Status) const {
  if (Status != 0) FIDSWriter->Check(Status);
}

TDSVariant TDataPacketWriter::MakeDataPacket(TFieldsDataSet& DataSet, const IProviderSupport& Support,
                                             std::int32_t& RecsOut) {
  const bool MetaDataOnly = (FPacketOptions & G::grMetaData) != 0;
  const std::int32_t Mode = (FPacketOptions & G::grXMLUTF8) != 0 ? TOutputMode::XmlUtf8
                            : (FPacketOptions & G::grXML) != 0  ? TOutputMode::Xml
                                                                : TOutputMode::Binary;
  if (FPutFieldInfo.empty() || MetaDataOnly || !BindColumns(DataSet)) {
    FIDSWriter = std::make_unique<TDSWriter>();
    FPutFieldInfo.clear();
    BuildColumns(DataSet);
    Check(FIDSWriter->SetOutputMode(Mode));
    const bool BlobsOnDemand = (FOptions & O::poFetchBlobsOnDemand) != 0;
    Check(FIDSWriter->BeginPacket(BlobsOnDemand ? kPacketVersionBlobsOnDemand : kPacketVersion,
                                  static_cast<std::int32_t>(FPutFieldInfo.size())));
    WriteMetaData(DataSet, Support);
    if (!MetaDataOnly) {
      std::vector<std::uint8_t> Discarded;
      Check(FIDSWriter->TakePacket(Discarded));
    }
  }
  // The mode of each packet is the one its request asks for, also when the writer
  // object is kept from an earlier request that asked for another.
  Check(FIDSWriter->SetOutputMode(Mode));
  if (!MetaDataOnly) Check(FIDSWriter->ResetRows());
  RecsOut = WriteRows(DataSet, RecsOut);
  // The rows go into the packet (the next packet would drop them anyway).
  std::vector<std::uint8_t> Packet;
  Check(FIDSWriter->TakePacketAndResetRows(Packet));
  if (Packet.empty()) return TDSVariant::Null();
  return TDSVariant(std::move(Packet));
}

void TDataPacketWriter::BuildColumns(TFieldsDataSet& DataSet) {
  for (std::int32_t i = 0; i < DataSet.FieldCount(); ++i) {
    TPutFieldInfo Info = DescribeField(DataSet.Fields(i));
    Info.LocalFieldIndex = i + 1;
    FPutFieldInfo.push_back(std::move(Info));
  }
}

bool TDataPacketWriter::BindColumns(TFieldsDataSet& DataSet) {
  if (DataSet.FieldCount() != static_cast<std::int32_t>(FPutFieldInfo.size())) return false;
  for (TPutFieldInfo& Info : FPutFieldInfo) {
    TField& Field = DataSet.Fields(Info.FieldNo - 1);
    if (Field.FieldName() != Info.FieldName || Field.DataType() != Info.DataType) return false;
    Info.Field = &Field;
    Info.DataSet = &DataSet;
  }
  return true;
}

void TDataPacketWriter::PutAttribute(std::int32_t Area, std::string_view Name, const TAttributeValue& Value) {
  Check(FIDSWriter->PutAttribute(Area, Name, Value.TypeWord, static_cast<std::uint32_t>(Value.Bytes.size()),
                                 Value.Bytes.data()));
}

void TDataPacketWriter::WriteMetaData(const TFieldsDataSet& DataSet, const IProviderSupport& Support) {
  namespace A = AttributeNames;
  for (const TPutFieldInfo& Info : FPutFieldInfo) {
    const TColumnDescriptorRecord Descriptor =
        MakeColumnDescriptor(Info.FieldName, Info.TypeWord, ColumnBits(*Info.Field));
    Check(FIDSWriter->PutColumnDescriptor(Descriptor));
    WriteColumnAttributes(Info);
  }
  const auto Flag = [this](TProviderOptions Option, const char* Name) {
    if ((FOptions & Option) != 0) PutAttribute(TAttributeArea::DataSet, Name, EncodeAttribute(TDSVariant(true), false));
  };
  Flag(O::poReadOnly, A::ReadOnly);
  Flag(O::poDisableEdits, A::DisableEdits);
  Flag(O::poDisableInserts, A::DisableInserts);
  Flag(O::poDisableDeletes, A::DisableDeletes);
  Flag(O::poNoReset, A::NoResetCall);
  if (FConstraints) WriteConstraints(DataSet, Support);
  WriteIndexes(Support);
  const std::int32_t Semantics = ((FOptions & O::poCascadeDeletes) != 0 ? kCascadeDeletesBit : 0) |
                                 ((FOptions & O::poCascadeUpdates) != 0 ? kCascadeUpdatesBit : 0);
  if (Semantics != 0) PutAttribute(TAttributeArea::DataSet, A::Semantics, EncodeAttribute(TDSVariant(Semantics), true));
  if (FOnGetParams) {
    std::vector<TDataSetAttribute> Custom;
    FOnGetParams(Custom);
    for (const TDataSetAttribute& Attribute : Custom) {
      PutAttribute(TAttributeArea::DataSet, Attribute.Name, EncodeAttribute(Attribute.Value, Attribute.IncludeInDelta));
    }
  }
}

void TDataPacketWriter::WriteColumnAttributes(const TPutFieldInfo& Info) {
  namespace A = AttributeNames;
  const TField& Field = *Info.Field;
  const auto Text = [](const std::string& Value) { return TDSVariant(ToUtf16(Value)); };
  constexpr auto Column = TAttributeArea::Column;
  if (Info.FieldName.size() >= kLongNameBytes) PutAttribute(Column, A::FieldName, EncodeAttribute(Text(Info.FieldName), true));
  if (Field.FieldKind() != TFieldKind::fkData) PutAttribute(Column, A::ServerCalc, EncodeAttribute(TDSVariant(true), true));
  if (Field.ProviderFlags() != TProviderFlag::Default) {
    PutAttribute(Column, A::ProvFlags, EncodeAttribute(TDSVariant(std::int32_t{Field.ProviderFlags()}), true));
  }
  if (!Field.Origin().empty()) PutAttribute(Column, A::Origin, EncodeAttribute(Text(Field.Origin()), true));
  if (Info.Width > 0) PutAttribute(Column, A::Width, EncodeAttribute(TDSVariant(Info.Width), false));
  if ((Info.DataType == FT::ftBCD || Info.DataType == FT::ftFMTBcd) && Field.Size() != 0) {
    PutAttribute(Column, A::Decimals, EncodeAttribute(TDSVariant(Field.Size()), false));
  }
  if (HasBounds(Info.DataType) && (Field.MinValue() != 0 || Field.MaxValue() != 0)) {
    PutAttribute(Column, A::MinValue, BoundAttribute(Info.DataType, Field.MinValue()));
    PutAttribute(Column, A::MaxValue, BoundAttribute(Info.DataType, Field.MaxValue()));
  }
  if (const std::string_view SubType = SubTypeOf(Info.DataType); !SubType.empty()) {
    PutAttribute(Column, A::SubType, EncodeAttribute(Text(std::string(SubType)), false));
  }
}

void TDataPacketWriter::WriteConstraints(const TFieldsDataSet& DataSet, const IProviderSupport& Support) {
  namespace E = TPacketWriterErrors;
  for (const TRecordConstraint& Constraint : Support.RecordConstraints()) {
    for (const std::string* Expression : {&Constraint.ImportedConstraint, &Constraint.CustomConstraint}) {
      if (!Expression->empty()) RaiseExpression({}, E::kRecordConstraint, *Expression);
    }
  }
  for (std::int32_t i = 0; i < DataSet.FieldCount(); ++i) {
    const TField& Field = DataSet.Fields(i);
    const std::string Prefix = Field.FieldName() + ": ";
    if (!Field.DefaultExpression().empty()) RaiseExpression(Prefix, E::kDefaultExpression, Field.DefaultExpression());
    for (const std::string* Expression : {&Field.ImportedConstraint(), &Field.CustomConstraint()}) {
      if (!Expression->empty()) RaiseExpression(Prefix, E::kFieldConstraint, *Expression);
    }
  }
}

std::int32_t TDataPacketWriter::LocalIndexOf(std::string_view FieldName) const {
  for (const TPutFieldInfo& Info : FPutFieldInfo) {
    if (SameName(Info.FieldName, FieldName)) return Info.LocalFieldIndex;
  }
  return -1;
}

void TDataPacketWriter::WriteIndexes(const IProviderSupport& Support) {
  namespace A = AttributeNames;
  const std::vector<TIndexDefinition> Indexes = Support.Indexes();
  const auto Entries = [this](const TIndexDefinition& Index) {
    std::vector<TDSVariant> Values;
    const bool Single = Index.Fields.size() == 1;
    for (const std::string& Name : Index.Fields) {
      std::int32_t Value = LocalIndexOf(Name);
      if (Value != -1) {
        if (Contains(Index.CaseInsensitiveFields, Name) || (Index.CaseInsensitive && Single)) Value += kCaseInsensitiveFlag;
        if (Contains(Index.DescendingFields, Name) || (Index.Descending && Single)) Value += kDescendingFlag;
      }
      Values.emplace_back(Value);
    }
    return EncodeAttribute(TDSVariant::Array(TVarType::varInteger, std::move(Values)), false);
  };
  if ((FOptions & O::poRetainServerOrder) == 0) {
    for (const TIndexDefinition& Index : Indexes) {
      if (!Index.DefaultOrder) continue;
      PutAttribute(TAttributeArea::DataSet, A::DefaultOrder, Entries(Index));
      break;
    }
  }
  const std::vector<std::string> Keys = SplitKeyFields(Support.KeyFields());
  if (!Keys.empty()) {
    const TIndexDefinition* KeyIndex = nullptr;
    for (const TIndexDefinition& Index : Indexes) {
      if (Index.Unique && IndexStartsWith(Index, Keys)) {
        KeyIndex = &Index;
        break;
      }
    }
    if (KeyIndex != nullptr) {
      PutAttribute(TAttributeArea::DataSet, A::PrimaryKey, Entries(*KeyIndex));
    } else {
      std::vector<std::int16_t> Columns;
      for (const std::string& Key : Keys) Columns.push_back(static_cast<std::int16_t>(LocalIndexOf(Key)));
      PutAttribute(TAttributeArea::DataSet, A::PrimaryKey, Int16ArrayAttribute(Columns));
    }
  }
  for (const TIndexDefinition& Index : Indexes) {
    if (Index.Unique) PutAttribute(TAttributeArea::DataSet, A::UniqueKey, Entries(Index));
  }
}

std::int32_t TDataPacketWriter::WriteRows(TFieldsDataSet& DataSet, std::int32_t Limit) {
  const std::int32_t Wanted = Limit == -1 ? std::numeric_limits<std::int32_t>::max() : Limit;
  const bool BlobsOnDemand = (FOptions & O::poFetchBlobsOnDemand) != 0;
  std::int32_t Written = 0;
  while (!DataSet.Eof() && Written < Wanted) {
    Check(FIDSWriter->PutValue(TPutValue::Value, 1, &kUnmodifiedRow));
    // The record's values at once when the dataset keeps them side by side.
    if (const TFieldValue* Row = DataSet.CurrentRow()) {
      for (const TPutFieldInfo& Info : FPutFieldInfo) {
        PutFieldValue(*FIDSWriter, Info, Row[Info.FieldNo - 1], BlobsOnDemand, FBuffer);
      }
    } else {
      for (const TPutFieldInfo& Info : FPutFieldInfo) {
        PutFieldValue(*FIDSWriter, Info, Info.Field->Value(), BlobsOnDemand, FBuffer);
      }
    }
    ++Written;
    // After a full packet the dataset stays on the last row written.
    if (Written < Wanted) DataSet.Next();
  }
  return Written;
}

}  // namespace tavrin
