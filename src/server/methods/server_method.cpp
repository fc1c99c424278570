#include "server/methods/server_method.h"

#include <utility>

#include "dbxstream/row_value_codec.h"
#include "vocabulary/dbx_error.h"
#include "vocabulary/declared_type.h"
#include "server/methods/provider_data_module_adapter.h"
#include "server/methods/server_class.h"
#include "server/methods/server_connection_handler.h"
#include "server/methods/server_method_provider.h"
#include "vocabulary/unicode_text.h"
#include "vocabulary/value_holders.h"
#include "vocabulary/value_text.h"

namespace tavrin {

namespace {

constexpr char kReturnParameterName[] = "ReturnParameter";

bool IsOutward(std::int32_t Direction) {
  return Direction == TDBXParameterDirections::OutParameter ||
         Direction == TDBXParameterDirections::InOutParameter ||
         Direction == TDBXParameterDirections::ReturnParameter;
}

void SetLiteralValue(TDBXParameter& Parameter, std::u16string_view Text) {
  SetLiteralFromText(Parameter, *Parameter.Value(), Text);
}

std::unique_ptr<TDBXParameter> MakeParameter(const std::string& Name, const TDeclaredTypeMapping& Mapping,
                                             std::int32_t Ordinal) {
  auto Parameter = std::make_unique<TDBXParameter>();
  Parameter->SetName(Name);
  Parameter->SetOrdinal(Ordinal);
  Parameter->SetDataType(Mapping.DataType);
  Parameter->SetSubType(Mapping.SubType);
  Parameter->SetParameterDirection(Mapping.Direction);
  Parameter->SetTypeName(Mapping.ParameterTypeName);
  Parameter->SetValueParameter(Mapping.ValueParameter);
  Parameter->SetValue(CreateValueHolder(*Parameter));
  return Parameter;
}

}  // namespace

TDSServerMethod::TDSServerMethod(TDSServerMethodProvider& Registry, const TDSMethodInfo& Method,
                                 TDSServerConnectionHandler& Connection, bool ServerSide)
    : FRegistry(Registry), FMethod(Method), FServerConnection(Connection), FLifeCycle(Method.ClassInfo->LifeCycle) {
  FMethodValues.SetServerSideCommand(ServerSide);
}

TDSServerMethod::~TDSServerMethod() {
  FMethodValues.Clear();
  try {
    ReleaseInstance();
  } catch (...) {
    // The command is going away (closed, prepared again or its connection ended); the
    // instance is freed regardless and a destroy hook's failure has no request to fail.
  }
}

// --- Instance -------------------------------------------------------------------------------

void TDSServerMethod::ObtainInstance() {
  TDSObtainedInstance Obtained = FRegistry.GetServerMethodInstance(FServerConnection, *FMethod.ClassInfo);
  FOwnedInstance = std::move(Obtained.Owned);
  FAdapterInstance = Obtained.Instance;
  FMethodInstance = FAdapterInstance;
  if (FMethod.OfWrappedClass) {
    // The class's own methods run on the module the adapter wraps.
    if (auto* Adapter = dynamic_cast<TDSProviderDataModuleAdapter*>(FAdapterInstance)) {
      FMethodInstance = Adapter->Module();
    }
  }
}

void TDSServerMethod::ReleaseInstance() {
  FMethodInstance = nullptr;
  FAdapterInstance = nullptr;
  if (FOwnedInstance) FServerConnection.DestroyInstance(*FMethod.ClassInfo, std::move(FOwnedInstance));
}

void TDSServerMethod::RenewInstance() {
  if (FLifeCycle != TDSLifeCycles::kInvocation) return;
  ReleaseInstance();
  ObtainInstance();
}

void TDSServerMethod::FirePrepareEvents() {
  const TDSServerClass* Component = FMethod.ClassInfo->ServerClass;
  FServerConnection.PrepareServerMethod(FMethod.MethodAlias, FMethod.ClassInfo->ClassName, FMethodInstance,
                                        Component != nullptr ? &Component->OnPrepare : nullptr);
}

// --- Parameters -----------------------------------------------------------------------------

void TDSServerMethod::BuildParameters() {
  const TDSMethodDeclaration& Declaration = *FMethod.Declaration;
  FParameters.clear();
  FDbxParameters.clear();
  FReturnParameter = nullptr;
  for (const TDSParameterDeclaration& Declared : Declaration.Parameters) {
    const TDeclaredTypeMapping Mapping = MapDeclaredParameterType(Declared.Type, TTypeMappingMode::Strict);
    FParameters.push_back(MakeParameter(Declared.Name, Mapping, static_cast<std::int32_t>(FParameters.size())));
    FDbxParameters.push_back(FParameters.back().get());
  }
  if (Declaration.Result) {
    const TDeclaredTypeMapping Mapping = MapDeclaredResultType(*Declaration.Result, TTypeMappingMode::Strict);
    FParameters.push_back(MakeParameter(kReturnParameterName, Mapping, static_cast<std::int32_t>(FParameters.size())));
    FReturnParameter = FParameters.back().get();
  }
  FHasOutOrReturnParameters = false;
  FHasTableParameters = false;
  for (const auto& Parameter : FParameters) {
    if (!IsOutward(Parameter->ParameterDirection())) continue;
    FHasOutOrReturnParameters = true;
    if (Parameter->DataType() == TDBXDataTypes::TableType) FHasTableParameters = true;
  }
  FLiterals.assign(FDbxParameters.size(), std::nullopt);
  FHasLiterals = false;
}

void TDSServerMethod::SetLiteral(std::size_t Ordinal, const std::u16string& Text) {
  if (Ordinal >= FDbxParameters.size()) {
    throw TDBXError(TDBXErrorCodes::InvalidOrdinal,
                    TDSServerMethodErrors::kInvalidOrdinal + std::to_string(Ordinal));
  }
  TDBXParameter& Parameter = *FDbxParameters[Ordinal];
  SetLiteralValue(Parameter, Text);
  Parameter.SetLiteral(true);
  FLiterals[Ordinal] = Text;
  FHasLiterals = true;
}

void TDSServerMethod::ApplyLiterals() {
  for (std::size_t i = 0; i < FLiterals.size(); ++i) {
    if (FLiterals[i]) SetLiteralValue(*FDbxParameters[i], *FLiterals[i]);
  }
}

void TDSServerMethod::LoadArguments(TDBXRowBuffer& Row) {
  for (std::size_t i = 0; i < FParameters.size(); ++i) {
    if (Row.Offset() >= Row.ReadSizeBytes()) return;  // the client sent no more slots
    TDBXParameter& Parameter = *FParameters[i];
    if (Parameter.Literal()) continue;
    Row.GoToField(static_cast<std::int32_t>(i));
    const std::int32_t Type = Parameter.DataType();
    if (Type == TDBXDataTypes::TableType || Type == TDBXDataTypes::ConnectionType) {
      // The row carries a table's handle (the table itself follows the row) and never a
      // connection; the value is only null or not here.
      if (Row.Null()) {
        Row.ReadNull();
        Parameter.Value()->SetNull();
      } else if (Type == TDBXDataTypes::TableType) {
        static_cast<void>(Row.ReadTableHandle());
        // Stands for the sent table until Invoke hands the real one over.
        static_cast<TDBXReaderValue*>(Parameter.Value())->SetReader(std::make_shared<TDBXReader>());
      } else {
        throw TDBXError(TDBXErrorCodes::UnexpectedDataType,
                        std::string(TDSMethodValueErrors::kUnexpectedDataType) + std::to_string(Type));
      }
      continue;
    }
    ReadRowValue(Row, Parameter, *Parameter.Value());
  }
}

// --- Calling --------------------------------------------------------------------------------

void TDSServerMethod::TakeTables(std::vector<std::shared_ptr<TDBXReader>>& Tables) {
  std::size_t Next = 0;
  for (TDBXParameter* Parameter : FDbxParameters) {
    const std::int32_t Direction = Parameter->ParameterDirection();
    if (Parameter->DataType() == TDBXDataTypes::TableType &&
        (Direction == TDBXParameterDirections::InParameter || Direction == TDBXParameterDirections::InOutParameter) &&
        !Parameter->Value()->IsNull()) {
      if (Next >= Tables.size()) {
        throw TDBXError(TDBXErrorCodes::InvalidInput, TDSServerMethodErrors::kMissingTable + Parameter->Name());
      }
      static_cast<TDBXReaderValue*>(Parameter->Value())->SetReader(Tables[Next++]);
    }
  }
}

void TDSServerMethod::FinishCall(std::vector<std::shared_ptr<TDBXReader>>& Tables) {
  for (TDBXParameter* Parameter : FDbxParameters) {
    if (!IsOutward(Parameter->ParameterDirection())) Parameter->Value()->SetNull();
  }
  for (const auto& Table : Tables) {
    if (Table) Table->Close();
  }
}

void TDSServerMethod::Invoke(std::vector<std::shared_ptr<TDBXReader>>& Tables) {
  try {
    ApplyLiterals();
    // What the previous call returned is done with: the reply carried it already.
    for (TDBXParameter* Parameter : FDbxParameters) {
      if (Parameter->ParameterDirection() == TDBXParameterDirections::OutParameter) Parameter->Value()->SetNull();
      // No method of this server supplies a database connection to pass on.
      if (Parameter->DataType() == TDBXDataTypes::ConnectionType) Parameter->Value()->SetNull();
    }
    if (FReturnParameter != nullptr) FReturnParameter->Value()->SetNull();
    TakeTables(Tables);
    if (FMethodInstance == nullptr) ObtainInstance();
    const TDSMethodDeclaration& Declaration = *FMethod.Declaration;
    if (!Declaration.Invoke) {
      throw TDBXError(TDBXErrorCodes::UnexpectedDataType, FMethod.MethodAlias + TDSServerMethodErrors::kNoEntryPoint);
    }
    TDSMethodCall& Call = FMethodValues.BuildArguments(FDbxParameters);
    Declaration.Invoke(*FMethodInstance, Call);
    FMethodValues.ReadResults(FDbxParameters, FReturnParameter);
  } catch (...) {
    try {
      FinishCall(Tables);
    } catch (...) {
      // The call's own failure is what the client must hear about; a sent table that
      // cannot be closed any more goes with the message's tables regardless.
    }
    throw;
  }
  FinishCall(Tables);
}

bool TDSServerMethod::ClearCallObjects() {
  if (FMethodValues.ServerSideCommand()) return true;
  FMethodValues.Clear();
  for (const auto& Parameter : FParameters) {
    const std::int32_t Direction = Parameter->ParameterDirection();
    if (Direction == TDBXParameterDirections::OutParameter || Direction == TDBXParameterDirections::ReturnParameter) {
      Parameter->Value()->SetNull();
    }
  }
  return true;
}

std::vector<TDSPendingLongValue> TDSServerMethod::WriteResults(TDBXRowBuffer& Row) {
  std::vector<TDSPendingLongValue> Pending;
  std::int32_t TableHandle = 0;
  for (std::size_t i = 0; i < FParameters.size(); ++i) {
    TDBXParameter& Parameter = *FParameters[i];
    const TDBXWritableValue& Value = *Parameter.Value();
    switch (Parameter.DataType()) {
      case TDBXDataTypes::TableType:
        // The reply writes its tables after the row, numbering them from 1 in order.
        if (IsOutward(Parameter.ParameterDirection()) && !Value.IsNull()) {
          Row.WriteTableHandle(++TableHandle);
        } else {
          Row.WriteNull();
        }
        break;
      case TDBXDataTypes::ConnectionType:
        Row.WriteNull();  // a connection has no row form; none travels here
        break;
      default:
        if (auto Rest = WriteRowValue(Row, Parameter, Value)) {
          Pending.push_back({static_cast<std::int32_t>(i), std::move(Rest)});
        }
    }
  }
  return Pending;
}

}  // namespace tavrin
