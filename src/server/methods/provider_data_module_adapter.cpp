#include "server/methods/provider_data_module_adapter.h"

#include <string>
#include <utility>
#include <vector>

#include "vocabulary/dbx_error.h"
#include "vocabulary/value_holders.h"

namespace tavrin {

namespace {

constexpr char kAdapterUnitName[] = "DSProviderDataModuleAdapter";
constexpr char kNoModule[] = "The adapter holds no provider data module";

TDeclaredType ConstWideString() {
  TDeclaredType Type = TDeclaredType::Named("WideString");
  Type.IsConst = true;
  return Type;
}
TDeclaredType ConstVariant() {
  TDeclaredType Type = TDeclaredType::Named("OleVariant");
  Type.IsConst = true;
  return Type;
}
TDeclaredType Variant() { return TDeclaredType::Named("OleVariant"); }
TDeclaredType Integer() { return TDeclaredType::Named("Integer"); }
TDeclaredType OutInteger() {
  TDeclaredType Type = Integer();
  Type.IsOut = true;
  return Type;
}
TDeclaredType StreamValue() { return TDeclaredType::OfClass(std::string(TDBXStreamValue::ClassName)); }

TProviderDataModule& ModuleOf(TDSServerObject& Instance) {
  TProviderDataModule* Module = dynamic_cast<TDSProviderDataModuleAdapter&>(Instance).Module();
  if (Module == nullptr) throw TDBXError(TDBXErrorCodes::NotAProviderModule, kNoModule);
  return *Module;
}

// The holder of a value parameter's cell, as the stream value it is declared as.
TDBXStreamValue& StreamArgument(TDSMethodCall& Call, std::size_t Index) {
  return dynamic_cast<TDBXStreamValue&>(*Call.As<TDBXWritableValue*>(Index));
}

TDSMethodDeclaration Method(std::string Name, std::vector<TDSParameterDeclaration> Parameters,
                            std::optional<TDeclaredType> Result,
                            std::function<void(TDSServerObject&, TDSMethodCall&)> Invoke) {
  TDSMethodDeclaration Declaration;
  Declaration.Name = std::move(Name);
  Declaration.Parameters = std::move(Parameters);
  Declaration.Result = std::move(Result);
  Declaration.Invoke = std::move(Invoke);
  return Declaration;
}

TDSClassDeclaration BuildDeclaration() {
  TDSClassDeclaration Class;
  Class.ClassName = TDSProviderDataModuleAdapter::kClassName;
  Class.UnitName = kAdapterUnitName;
  Class.ParentClassName = "TObject";
  // An adapter is only ever made around an instance of the class it wraps.
  Class.Create = nullptr;
  Class.Methods.push_back(Method(
      "AS_ApplyUpdates",
      {{"ProviderName", ConstWideString()}, {"DeltaStream", ConstVariant()}, {"MaxErrors", Integer()},
       {"ErrorCount", OutInteger()}, {"OwnerDataStream", StreamValue()}},
      Variant(), [](TDSServerObject& Instance, TDSMethodCall& Call) {
        Call.SetResult(ModuleOf(Instance).AS_ApplyUpdates(
            Call.As<std::u16string>(0), Call.As<TDSVariant>(1), Call.As<std::int32_t>(2),
            Call.As<std::int32_t>(3), StreamArgument(Call, 4)));
      }));
  Class.Methods.push_back(Method(
      "AS_GetRecords",
      {{"ProviderName", ConstWideString()}, {"Count", Integer()}, {"RecsOut", OutInteger()},
       {"Options", Integer()}, {"CommandText", ConstWideString()}, {"ParamReader", StreamValue()},
       {"OwnerDataStream", StreamValue()}},
      Variant(), [](TDSServerObject& Instance, TDSMethodCall& Call) {
        Call.SetResult(ModuleOf(Instance).AS_GetRecords(
            Call.As<std::u16string>(0), Call.As<std::int32_t>(1), Call.As<std::int32_t>(2),
            Call.As<std::int32_t>(3), Call.As<std::u16string>(4), StreamArgument(Call, 5),
            StreamArgument(Call, 6)));
      }));
  Class.Methods.push_back(Method(
      "AS_DataRequest", {{"ProviderName", ConstWideString()}, {"DataStream", Variant()}}, Variant(),
      [](TDSServerObject& Instance, TDSMethodCall& Call) {
        Call.SetResult(ModuleOf(Instance).AS_DataRequest(Call.As<std::u16string>(0), Call.As<TDSVariant>(1)));
      }));
  Class.Methods.push_back(Method("AS_GetProviderNames", {}, TDeclaredType::Named("string"),
                                 [](TDSServerObject& Instance, TDSMethodCall& Call) {
                                   Call.SetResult(ModuleOf(Instance).AS_GetProviderNames());
                                 }));
  Class.Methods.push_back(Method(
      "AS_GetParams", {{"ProviderName", ConstWideString()}, {"OwnerDataStream", StreamValue()}}, Variant(),
      [](TDSServerObject& Instance, TDSMethodCall& Call) {
        Call.SetResult(ModuleOf(Instance).AS_GetParams(Call.As<std::u16string>(0), StreamArgument(Call, 1)));
      }));
  Class.Methods.push_back(Method(
      "AS_RowRequest",
      {{"ProviderName", ConstWideString()}, {"RowStream", Variant()}, {"RequestType", Integer()},
       {"OwnerDataStream", StreamValue()}},
      Variant(), [](TDSServerObject& Instance, TDSMethodCall& Call) {
        Call.SetResult(ModuleOf(Instance).AS_RowRequest(Call.As<std::u16string>(0), Call.As<TDSVariant>(1),
                                                        Call.As<std::int32_t>(2), StreamArgument(Call, 3)));
      }));
  Class.Methods.push_back(Method(
      "AS_Execute",
      {{"ProviderName", ConstWideString()}, {"CommandText", ConstWideString()},
       {"ParamReader", StreamValue()}, {"OwnerDataStream", StreamValue()}},
      std::nullopt, [](TDSServerObject& Instance, TDSMethodCall& Call) {
        ModuleOf(Instance).AS_Execute(Call.As<std::u16string>(0), Call.As<std::u16string>(1),
                                      StreamArgument(Call, 2), StreamArgument(Call, 3));
      }));
  return Class;
}

}  // namespace

TDSProviderDataModuleAdapter::TDSProviderDataModuleAdapter(std::unique_ptr<TDSServerObject> Module) {
  auto* ProviderModule = dynamic_cast<TProviderDataModule*>(Module.get());
  if (ProviderModule == nullptr) throw TDBXError(TDBXErrorCodes::NotAProviderModule, TDSAdapterErrors::kNotAModule);
  static_cast<void>(Module.release());  // now owned through its derived pointer
  FProviderDataModule.reset(ProviderModule);
}

TDSProviderDataModuleAdapter::~TDSProviderDataModuleAdapter() = default;

const TDSClassDeclaration& TDSProviderDataModuleAdapter::Declaration() {
  static const TDSClassDeclaration Class = BuildDeclaration();
  return Class;
}

}  // namespace tavrin
