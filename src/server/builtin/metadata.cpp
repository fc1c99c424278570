#include "server/builtin/metadata.h"

#include <cstdint>
#include <limits>
#include <string_view>

#include "server/builtin/builtin_classes.h"
#include "server/methods/declaration_builder.h"
#include "server/builtin/memory_table.h"
#include "server/builtin/method_parameters.h"
#include "server/methods/server_connection_handler.h"
#include "vocabulary/unicode_text.h"

namespace tavrin {
namespace {

namespace T = TDBXDataTypes;
namespace D = TDBXParameterDirections;

constexpr std::int64_t kInt64Size = 8;
constexpr std::int64_t kBooleanSize = 1;
constexpr bool kNullable = true;
constexpr bool kHidden = true;

constexpr char kProceduresTable[] = "ProceduresTable";
constexpr TDSColumnLayout kProcedureColumns[] = {
    {"CatalogName", T::WideStringType, kTextColumnSize, "Catalog Name", kNullable},
    {"SchemaName", T::WideStringType, kTextColumnSize, "Schema Name", kNullable},
    {"ProcedureName", T::WideStringType, kTextColumnSize, "Procedure Name", kNullable},
    {"ProcedureType", T::WideStringType, kTextColumnSize, "Procedure Type", kNullable},
};
namespace ProcedureColumn {
enum : std::int32_t { CatalogName, SchemaName, ProcedureName, ProcedureType };
}

constexpr char kProcedureParametersTable[] = "ProcedureParameters";
constexpr TDSColumnLayout kProcedureParameterColumns[] = {
    {"CatalogName", T::WideStringType, kTextColumnSize, "Catalog Name", kNullable},
    {"SchemaName", T::WideStringType, kTextColumnSize, "Schema Name", kNullable},
    {"ProcedureName", T::WideStringType, kTextColumnSize, "Procedure Name", kNullable},
    {"ParameterName", T::WideStringType, kTextColumnSize, "Parameter Name", kNullable},
    {"ParameterMode", T::WideStringType, kTextColumnSize, "Parameter Mode", kNullable},
    {"TypeName", T::WideStringType, kTextColumnSize, "Type Name", kNullable},
    {"Precision", T::Int64Type, kInt64Size, "Precision", kNullable},
    {"Scale", T::Int32Type, kInt32ColumnSize, "Scale", kNullable},
    {"Ordinal", T::Int32Type, kInt32ColumnSize, "Ordinal", kNullable},
    {"IsNullable", T::BooleanType, kBooleanSize, "Nullable", kNullable},
    {"DbxDataType", T::Int32Type, kInt32ColumnSize, "DbxType", false, kHidden},
    {"IsFixedLength", T::BooleanType, kBooleanSize, "Fixed Length", false, kHidden},
    {"IsUnicode", T::BooleanType, kBooleanSize, "Unicode", false, kHidden},
    {"IsLong", T::BooleanType, kBooleanSize, "Long", false, kHidden},
    {"IsUnsigned", T::BooleanType, kBooleanSize, "Unsigned", false, kHidden},
};
// The first three columns are those of the procedures table.
namespace ParameterColumn {
enum : std::int32_t {
  ParameterName = 3,
  ParameterMode,
  TypeName,
  Precision,
  Scale,
  Ordinal,
  IsNullable,
  DbxDataType,
  IsFixedLength,
  IsUnicode,
  IsLong,
  IsUnsigned,
};
}

// Precision and scale are not given for a method's parameters.
constexpr std::int32_t kNotGiven = -1;
constexpr char kReturnValueName[] = "ReturnValue";
constexpr char kProcedure[] = "PROCEDURE";
constexpr char kFunction[] = "FUNCTION";
constexpr char16_t kAnyName[] = u"%";

// The database description: a quote character, the command limit, version and name.
constexpr std::int64_t kQuoteSize = 16;
constexpr std::int64_t kProductTextSize = 128;
constexpr char kQuote[] = "\"";
constexpr char kProductVersion[] = "2008";
constexpr TDSColumnLayout kDatabaseColumns[] = {
    {"QuoteChar", T::WideStringType, kQuoteSize},
    {"ProcedureQuoteChar", T::WideStringType, kQuoteSize},
    {"MaxCommands", T::Int32Type},
    {"SupportsTransactions", T::BooleanType},
    {"SupportsNestedTransactions", T::BooleanType},
    {"SupportsRowSetSize", T::BooleanType},
    {"ProductVersion", T::WideStringType, kProductTextSize},
    {"ProductName", T::WideStringType, kProductTextSize},
    {"QuotePrefix", T::WideStringType, kQuoteSize},
    {"QuoteSuffix", T::WideStringType, kQuoteSize},
    {"SupportsLowerCaseIdentifiers", T::BooleanType},
    {"SupportsUpperCaseIdentifiers", T::BooleanType},
    {"SupportsSPReturnCode", T::BooleanType},
    {"SupportsParameterMetadata", T::BooleanType},
    // The same name three times, as clients expect it.
    {"SupportsCatalogFunctions", T::BooleanType},
    {"SupportsCatalogFunctions", T::BooleanType},
    {"SupportsCatalogFunctions", T::BooleanType},
};
namespace DatabaseColumn {
enum : std::int32_t {
  QuoteChar,
  ProcedureQuoteChar,
  MaxCommands,
  ProductVersion = 6,
  ProductName,
  QuotePrefix,
  QuoteSuffix,
};
}

void AppendProcedureColumns(TDSMemoryTable& Table, const TDSMethodInfo& Method) {
  Table.AppendRow();
  Table.SetText(ProcedureColumn::CatalogName, {});
  Table.SetText(ProcedureColumn::SchemaName, Method.RoleName);
  Table.SetText(ProcedureColumn::ProcedureName, Method.MethodAlias);
}

TDSClassDeclaration BuildMetadataDeclaration() {
  using namespace declare;
  const TDeclaredType Reader = OfClass("TDBXReader");
  TDSClassDeclaration Class;
  Class.ClassName = DSMetadata::kClassName;
  Class.UnitName = kBuiltInUnitName;
  Class.ParentClassName = kCustomAdminClassName;
  Class.Create = [] { return std::make_unique<DSMetadata>(); };
  Class.Methods = {
      {"GetProcedures", {ConstText("ProcedureNamePattern"), ConstText("ProcedureType")}, Reader, false, false,
       BindMethod(&DSMetadata::GetProcedures)},
      {"GetProcedureParameters", {ConstText("ProcedureNamePattern")}, Reader, false, false,
       BindMethod(&DSMetadata::GetProcedureParameters)},
      {"GetDatabase", {}, Reader, false, false, BindMethod(&DSMetadata::GetDatabase)},
  };
  for (TDSMethodDeclaration& Inherited : CustomAdminMethodDeclarations()) Class.Methods.push_back(std::move(Inherited));
  return Class;
}

}  // namespace

const TDSClassDeclaration& DSMetadataDeclaration() {
  static const TDSClassDeclaration Declaration = BuildMetadataDeclaration();
  return Declaration;
}

std::shared_ptr<TDBXReader> DSMetadata::GetProcedures(const std::u16string& ProcedureNamePattern,
                                                      const std::u16string& ProcedureType) const {
  const bool AnyName = ProcedureNamePattern.empty() || ProcedureNamePattern == kAnyName;
  const std::string Pattern = ToUtf8(ProcedureNamePattern);
  const std::string Type = ToUtf8(ProcedureType);
  auto Table = std::make_shared<TDSMemoryTable>(kProceduresTable, kProcedureColumns);
  for (const TDSMethodInfo* Method : Methods().MethodList()) {
    const bool IsFunction = Method->Declaration->Result.has_value();
    if (!AnyName && Method->MethodAlias.find(Pattern) == std::string::npos) continue;
    if ((Type == kProcedure && IsFunction) || (Type == kFunction && !IsFunction)) continue;
    AppendProcedureColumns(*Table, *Method);
    Table->SetText(ProcedureColumn::ProcedureType, IsFunction ? kFunction : kProcedure);
  }
  return Table;
}

std::shared_ptr<TDBXReader> DSMetadata::GetProcedureParameters(const std::u16string& ProcedureNamePattern) const {
  const std::string Pattern = ToUtf8(ProcedureNamePattern);
  auto Table = std::make_shared<TDSMemoryTable>(kProcedureParametersTable, kProcedureParameterColumns);
  for (const TDSMethodInfo* Method : Methods().MethodList()) {
    if (Method->MethodAlias.find(Pattern) == std::string::npos) continue;
    std::int32_t Ordinal = 0;
    for (const TDSParameterDescription& Parameter : DescribeParameters(*Method->Declaration)) {
      const bool IsResult = Parameter.Direction == D::ReturnParameter;
      AppendProcedureColumns(*Table, *Method);
      Table->SetText(ParameterColumn::ParameterName, IsResult ? std::string(kReturnValueName) : Parameter.Name);
      Table->SetText(ParameterColumn::ParameterMode, DirectionMetadataText(Parameter.Direction));
      Table->SetText(ParameterColumn::TypeName, DataTypeName(Parameter.DataType));
      Table->SetInt64(ParameterColumn::Precision, kNotGiven);
      Table->SetInt32(ParameterColumn::Scale, kNotGiven);
      // The result row follows the parameters, so it takes their count.
      Table->SetInt32(ParameterColumn::Ordinal, Ordinal++);
      Table->SetBoolean(ParameterColumn::IsNullable, Parameter.ValueParameter);
      Table->SetInt32(ParameterColumn::DbxDataType, Parameter.DataType);
      Table->SetBoolean(ParameterColumn::IsFixedLength, false);
      Table->SetBoolean(ParameterColumn::IsUnicode, Parameter.DataType == T::WideStringType);
      Table->SetBoolean(ParameterColumn::IsLong, Parameter.DataType == T::BinaryBlobType);
      Table->SetBoolean(ParameterColumn::IsUnsigned, false);
    }
  }
  return Table;
}

std::shared_ptr<TDBXReader> DSMetadata::GetDatabase() const {
  auto Table = std::make_shared<TDSMemoryTable>(std::string(), kDatabaseColumns);
  Table->AppendRow();
  for (std::int32_t Column = 0; Column < Table->ColumnCount(); ++Column) {
    if (Table->ValueType(Column).DataType() == T::BooleanType) Table->SetBoolean(Column, false);
  }
  for (const std::int32_t Column : {DatabaseColumn::QuoteChar, DatabaseColumn::ProcedureQuoteChar, DatabaseColumn::QuotePrefix,
                                    DatabaseColumn::QuoteSuffix}) {
    Table->SetText(Column, kQuote);
  }
  Table->SetInt32(DatabaseColumn::MaxCommands, std::numeric_limits<std::int32_t>::max());
  Table->SetText(DatabaseColumn::ProductVersion, kProductVersion);
  Table->SetText(DatabaseColumn::ProductName, ToUtf8(TDSDatabaseConnectionHandler::kProductName));
  return Table;
}

}  // namespace tavrin
