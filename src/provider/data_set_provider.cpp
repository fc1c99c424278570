#include "provider/data_set_provider.h"

#include <string>
#include <utility>

#include "provider/provider_params.h"
#include "resolver/sql_resolver.h"
#include "vocabulary/dbx_error.h"
#include "vocabulary/unicode_text.h"

namespace tavrin {

namespace {

namespace G = TGetRecordOption;
using PT = TParamType;

// The names clients call the operations by, for the error texts.
constexpr char kApplyUpdatesMethod[] = "AS_ApplyUpdates";
constexpr char kRowRequestMethod[] = "AS_RowRequest";

// A dataset attribute element: an array of a name, a value and an include-in-delta flag.
constexpr std::size_t kAttributeParts = 3;

// The defaults, for a dataset that was given no support of its own.
IProviderSupport& DefaultSupport() {
  static IProviderSupport Support;
  return Support;
}

}  // namespace

void TDataSetProvider::SetDataSet(TFieldsDataSet* DataSet, IProviderSupport* Support) {
  FDataSet = DataSet;
  FSupport = Support;
  FDataSetOpened = false;
  FRecordsSent = 0;
  FDSWriter.reset();
}

TFieldsDataSet& TDataSetProvider::CheckedDataSet() const {
  if (FDataSet == nullptr) throw TDBXError(TDBXErrorCodes::ProviderFailure, TProviderErrors::kMissingDataSet);
  return *FDataSet;
}

IProviderSupport& TDataSetProvider::Support() const { return FSupport != nullptr ? *FSupport : DefaultSupport(); }

void TDataSetProvider::RaiseNotAvailable(const char* Method) const {
  CheckedDataSet();
  throw TDBXError(TDBXErrorCodes::ProviderFailure, Method + std::string(TProviderErrors::kNotAvailable) + Name());
}

void TDataSetProvider::Reset() {
  TFieldsDataSet& DataSet = CheckedDataSet();
  if (FDSWriter) FDSWriter->CloseOpenedDetails();
  if (FDataSetOpened) {
    FDataSetOpened = false;
    DataSet.Close();
  }
  Support().Reset();
  if (DataSet.Active()) DataSet.First();
  FRecordsSent = 0;
}

void TDataSetProvider::SetCommandTextAndParams(const std::u16string& CommandText, const TDSVariant& Params) {
  if (!CommandText.empty()) {
    if ((FOptions & TProviderOption::poAllowCommandText) == 0) {
      throw TDBXError(TDBXErrorCodes::ProviderFailure, TProviderErrors::kNoCommandText);
    }
    Support().SetCommandText(ToUtf8(CommandText));
  }
  if (Params.IsEmpty()) return;
  FParams = UnpackProviderParams(Params);
  // A dataset without parameters that receives none has nothing to take.
  if (Support().Params() != FParams) Support().SetParams(FParams);
}

TDSVariant TDataSetProvider::GetRecords(std::int32_t Count, std::int32_t& RecsOut, std::int32_t Options,
                                        const std::u16string& CommandText, TDSVariant& Params,
                                        TDSVariant& OwnerData) {
  CheckedDataSet();
  const bool ParamsIsArray = Params.IsArray();
  const bool Resetting = (Options & G::grReset) != 0;
  if (!(Resetting && Count == 0)) SetCommandTextAndParams(CommandText, Params);
  Fire(BeforeGetRecords, OwnerData);
  TDSVariant Result = TDSVariant::Null();
  try {
    if (Resetting) {
      Reset();
      if (Count == 0) {
        RecsOut = 0;
        return Result;
      }
    }
    Result = ReadRecords(Count, RecsOut, Options);
  } catch (...) {
    try {
      Reset();
    } catch (...) {
      // The first failure is the one the client is told of; a reset that fails too
      // has left the dataset as closed as it could.
    }
    throw;
  }
  Fire(AfterGetRecords, OwnerData);
  if (ParamsIsArray) {
    Params = Count > 0 ? PackProviderParams(Support().Params(), {PT::ptInput, PT::ptOutput, PT::ptInputOutput, PT::ptResult})
                       : PackProviderParams(Support().Params(), {PT::ptOutput, PT::ptInputOutput});
  }
  return Result;
}

TDSVariant TDataSetProvider::ReadRecords(std::int32_t Count, std::int32_t& RecsOut, std::int32_t Options) {
  TFieldsDataSet& DataSet = CheckedDataSet();
  if (!DataSet.Active()) {
    DataSet.Open();
    FDataSetOpened = true;
  }
  if (Count == 0 || (Options & G::grMetaData) != 0) FRecordsSent = 0;
  if (!FDSWriter) FDSWriter = std::make_unique<TDataPacketWriter>();
  FDSWriter->SetConstraints(FConstraints);
  FDSWriter->SetOptions(FOptions);
  FDSWriter->SetPacketOptions(Options | (Count == 0 ? G::grMetaData : 0));
  FDSWriter->SetOnGetParams([this](std::vector<TDataSetAttribute>& Attributes) { AddDataSetProperties(Attributes); });
  RecsOut = Count;
  TDSVariant Packet = FDSWriter->MakeDataPacket(DataSet, Support(), RecsOut);
  FRecordsSent += RecsOut;
  // A short packet (the rows ran out, or all were asked for) ends the list.
  if (RecsOut != Count) Reset();
  if (DataSet.Active()) {
    if (Count != 0 && RecsOut == Count) DataSet.Next();
    Support().EndRequest();
  }
  return Packet;
}

void TDataSetProvider::AddDataSetProperties(std::vector<TDataSetAttribute>& Attributes) {
  if (!OnGetDataSetProperties) return;
  const TDSVariant Properties = OnGetDataSetProperties(*this, CheckedDataSet());
  const auto* Array = std::get_if<TVariantArray>(&Properties.Value);
  if (Array == nullptr) return;
  for (const TDSVariant& Element : Array->Elements) {
    const auto* Parts = std::get_if<TVariantArray>(&Element.Value);
    if (Parts == nullptr || Parts->Elements.size() != kAttributeParts) continue;
    const auto* Name = std::get_if<std::u16string>(&Parts->Elements[0].Value);
    if (Name == nullptr) continue;
    const auto* InDelta = std::get_if<bool>(&Parts->Elements[2].Value);
    Attributes.push_back({ToUtf8(*Name), Parts->Elements[1], InDelta != nullptr && *InDelta});
  }
}

TDSVariant TDataSetProvider::GetParams(TDSVariant& OwnerData) {
  CheckedDataSet();
  Fire(BeforeGetParams, OwnerData);
  TDSVariant Result =
      PackProviderParams(Support().Params(), {PT::ptUnknown, PT::ptInput, PT::ptOutput, PT::ptInputOutput, PT::ptResult});
  Fire(AfterGetParams, OwnerData);
  return Result;
}

void TDataSetProvider::Execute(const std::u16string& CommandText, TDSVariant& Params, TDSVariant& OwnerData) {
  CheckedDataSet();
  SetCommandTextAndParams(CommandText, Params);
  Fire(BeforeExecute, OwnerData);
  Support().Execute();
  Fire(AfterExecute, OwnerData);
  Params = PackProviderParams(Support().Params(), {PT::ptOutput, PT::ptInputOutput});
}

IProviderSupportNG& TDataSetProvider::WritingSupport(const char* Method) const {
  CheckedDataSet();
  auto* Writing = dynamic_cast<IProviderSupportNG*>(&Support());
  if (Writing == nullptr) RaiseNotAvailable(Method);
  return *Writing;
}

TCustomResolver& TDataSetProvider::Resolver() {
  if (!FResolver) FResolver = std::make_unique<TSQLResolver>();
  return *FResolver;
}

TResolveSource TDataSetProvider::DescribeForResolver(IProviderSupportNG& Writing) {
  TFieldsDataSet& DataSet = CheckedDataSet();
  TResolveSource Source;
  Source.UpdateMode = FUpdateMode;
  Source.Options = FOptions;
  const auto Add = [&Source](const std::string& Name, TFieldType Type, std::int32_t Size, TProviderFlags Flags,
                             const std::string& Origin, bool ReadOnly, TFieldKind Kind) {
    Source.Fields.push_back({Name, Type, Size, Flags, Origin, ReadOnly, Kind});
  };
  if (!DataSet.Active()) {
    // Described without reading a row, when the dataset can.
    if (std::optional<TUpdateTarget> Target = Writing.DescribeUpdateTarget()) {
      for (const TFieldDefinition& Field : Target->Fields) {
        Add(Field.Name, Field.DataType, Field.Size, Field.ProviderFlags, Field.Origin, Field.ReadOnly, Field.FieldKind);
      }
      Source.TableName = std::move(Target->TableName);
      Source.KeyFields = std::move(Target->KeyFields);
      return Source;
    }
  }
  const bool Opened = !DataSet.Active();
  if (Opened) DataSet.Open();
  try {
    for (std::int32_t i = 0; i < DataSet.FieldCount(); ++i) {
      const TField& Field = DataSet.Fields(i);
      Add(Field.FieldName(), Field.DataType(), Field.Size(), Field.ProviderFlags(), Field.Origin(), Field.ReadOnly(),
          Field.FieldKind());
    }
    Source.TableName = Writing.TableName();
    Source.KeyFields = Writing.KeyFields();
    // Nothing of the database stays held: the write lock comes next on this thread.
    if (!Opened) Writing.EndRequest();
  } catch (...) {
    if (Opened) DataSet.Close();
    throw;
  }
  if (Opened) DataSet.Close();
  return Source;
}

namespace {

std::vector<std::uint8_t> PacketBytes(const TDSVariant& Packet) {
  const auto* Bytes = std::get_if<std::vector<std::uint8_t>>(&Packet.Value);
  if (Bytes == nullptr) throw TDBXError(TDBXErrorCodes::InvalidInput, TProviderErrors::kNotPacket);
  return *Bytes;
}

}  // namespace

TDSVariant TDataSetProvider::RowRequest(const TDSVariant& Row, std::int32_t RequestType, TDSVariant& OwnerData) {
  IProviderSupportNG& Writing = WritingSupport(kRowRequestMethod);
  Fire(BeforeRowRequest, OwnerData);
  std::vector<std::uint8_t> Request = PacketBytes(Row);
  const TResolveSource Source = DescribeForResolver(Writing);
  TDSVariant Result(Resolver().RowRequest(std::move(Request), RequestType, Source, Writing));
  Fire(AfterRowRequest, OwnerData);
  return Result;
}

TDSVariant TDataSetProvider::ApplyUpdates(const TDSVariant& Delta, std::int32_t MaxErrors, std::int32_t& ErrorCount,
                                          TDSVariant& OwnerData) {
  IProviderSupportNG& Writing = WritingSupport(kApplyUpdatesMethod);
  Fire(BeforeApplyUpdates, OwnerData);
  if ((FOptions & TProviderOption::poReadOnly) != 0) {
    throw TDBXError(TDBXErrorCodes::ProviderFailure, TProviderErrors::kReadOnly);
  }
  // Below -1 the walk would apply nothing and still answer that nothing failed.
  if (MaxErrors < -1) throw TDBXError(TDBXErrorCodes::InvalidInput, TProviderErrors::kBadMaxErrors);
  ErrorCount = 0;
  std::vector<std::uint8_t> Bytes = PacketBytes(Delta);
  const TResolveSource Source = DescribeForResolver(Writing);
  TCustomResolver& Resolver = this->Resolver();
  // Checked whole before the write lock is taken: a refused delta writes nothing.
  Resolver.LoadDelta(std::move(Bytes), Source, Writing);
  std::optional<std::vector<std::uint8_t>> Errors;
  FTransactionStarted = false;
  try {
    if (!Writing.InTransaction()) {
      Writing.StartTransaction();
      FTransactionStarted = true;
    }
    Errors = Resolver.ApplyUpdates(MaxErrors, ErrorCount);
    if (FTransactionStarted) {
      FTransactionStarted = false;
      Writing.EndTransaction(MaxErrors == -1 || ErrorCount <= MaxErrors);
    }
  } catch (...) {
    if (FTransactionStarted) {
      FTransactionStarted = false;
      try {
        Writing.EndTransaction(false);
      } catch (...) {
        // The first failure is the one the client hears of; a failed rollback leaves the
        // transaction to the database, which ends it with the connection.
      }
    }
    throw;
  }
  Fire(AfterApplyUpdates, OwnerData);
  return Errors ? TDSVariant(std::move(*Errors)) : TDSVariant::Null();
}

}  // namespace tavrin
