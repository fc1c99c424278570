#include "server/builtin/admin.h"

#include <string_view>
#include <utility>

#include "vocabulary/client_text.h"
#include "vocabulary/dbx_error.h"
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


constexpr char kClassTable[] = "ClassTable";
constexpr TDSColumnLayout kClassColumns[] = {
    {"PackageName", T::WideStringType, kTextColumnSize},
    {"ClassName", T::WideStringType, kTextColumnSize},
    {"RoleName", T::WideStringType, kTextColumnSize},
    {"LifeCycle", T::WideStringType, kTextColumnSize},
};
namespace ClassColumn {
enum : std::int32_t { PackageName, ClassName, RoleName, LifeCycle };
}

constexpr char kMethodTable[] = "MethodTable";
constexpr TDSColumnLayout kMethodColumns[] = {
    {"MethodAlias", T::WideStringType, kTextColumnSize},
    {"ServerClassName", T::WideStringType, kTextColumnSize},
    {"MethodName", T::WideStringType, kTextColumnSize},
    {"RoleName", T::WideStringType, kTextColumnSize},
};
namespace MethodColumn {
enum : std::int32_t { MethodAlias, ServerClassName, MethodName, RoleName };
}

constexpr char kMethodParametersTable[] = "MethodParametersTable";
constexpr TDSColumnLayout kMethodParameterColumns[] = {
    {"MethodAlias", T::WideStringType, kTextColumnSize},
    {"ServerClassName", T::WideStringType, kTextColumnSize},
    {"MethodName", T::WideStringType, kTextColumnSize},
    {"Name", T::WideStringType, kTextColumnSize},
    {"ParameterTypeName", T::WideStringType, kTextColumnSize},
    {"ParameterTypeUnit", T::WideStringType, kTextColumnSize},
    {"ParameterDirection", T::Int32Type, kInt32ColumnSize},
    {"DBXType", T::Int32Type, kInt32ColumnSize},
    {"DBXParameterDirection", T::Int32Type, kInt32ColumnSize},
};
// The first three columns are those of the method table.
namespace ParameterColumn {
enum : std::int32_t {
  Name = 3,
  ParameterTypeName,
  ParameterTypeUnit,
  ParameterDirection,
  DBXType,
  DBXParameterDirection,
};
}

constexpr char kPackageTable[] = "PackageTable";
constexpr TDSColumnLayout kPackageColumns[] = {
    {"PackageName", T::WideStringType, kTextColumnSize},
};

constexpr char kConnectionTable[] = "ConnectionTable";
constexpr TDSColumnLayout kConnectionColumns[] = {
    {"ConnectionName", T::WideStringType, kTextColumnSize},
    {"ConnectionProperties", T::WideStringType, kTextColumnSize},
    {"DriverName", T::WideStringType, kTextColumnSize},
    {"DriverProperties", T::WideStringType, kTextColumnSize},
};

// JSON member names and texts of the descriptions.
constexpr char kLifeCycleMember[] = "LifeCycle";
constexpr char kMethodsMember[] = "methods";
constexpr char kDirectionMember[] = "direction";
constexpr char kTypeMember[] = "type";
constexpr char kResultMember[] = "Result";

void AppendMethodRow(TDSMemoryTable& Table, const TDSMethodInfo& Method) {
  Table.AppendRow();
  Table.SetText(MethodColumn::MethodAlias, Method.MethodAlias);
  Table.SetText(MethodColumn::ServerClassName, Method.ClassInfo->ClassName);
  Table.SetText(MethodColumn::MethodName, Method.MethodName);
}

[[noreturn]] void RefuseRegistryChange(TDSServerObject&, TDSMethodCall&) {
  throw TDBXError(TDBXErrorCodes::UnsupportedAdminRequest, TDSAdminErrors::kRegistryFixed);
}

TDSClassDeclaration BuildAdminDeclaration() {
  using namespace declare;
  const TDeclaredType Reader = OfClass("TDBXReader");
  const TDeclaredType JsonArray = OfClass("TJSONArray");
  const TDeclaredType JsonObject = OfClass("TJSONObject");
  const TDSParameterDeclaration ClassReader{"ClassReader", Const(Reader)};
  const TDSParameterDeclaration MethodReader{"MethodReader", Const(Reader)};

  TDSClassDeclaration Class;
  Class.ClassName = DSAdmin::kClassName;
  Class.UnitName = kBuiltInUnitName;
  Class.ParentClassName = kCustomAdminClassName;
  Class.Create = [] { return std::make_unique<DSAdmin>(); };
  Class.Methods = {
      {"GetPlatformName", {}, Named("string"), false, false, BindMethod(&DSAdmin::GetPlatformName)},
      {"ClearResources", {}, Named("Boolean"), false, false, BindMethod(&DSAdmin::ClearResources)},
      {"FindPackages", {}, Reader, false, false, BindMethod(&DSAdmin::FindPackages)},
      {"FindClasses", {ConstText("PackageName"), ConstText("ClassPattern")}, Reader, false, false,
       BindMethod(&DSAdmin::FindClasses)},
      {"FindMethods", {ConstText("PackageName"), ConstText("ClassPattern"), ConstText("MethodPattern")}, Reader,
       false, false, BindMethod(&DSAdmin::FindMethods)},
      {"CreateServerClasses", {ClassReader}, std::nullopt, false, false, RefuseRegistryChange},
      {"DropServerClasses", {ClassReader}, std::nullopt, false, false, RefuseRegistryChange},
      {"CreateServerMethods", {MethodReader}, std::nullopt, false, false, RefuseRegistryChange},
      {"DropServerMethods", {MethodReader}, std::nullopt, false, false, RefuseRegistryChange},
      {"GetServerClasses", {}, Reader, false, false, BindMethod(&DSAdmin::GetServerClasses)},
      {"ListClasses", {}, JsonArray, false, false, BindMethod(&DSAdmin::ListClasses)},
      {"DescribeClass", {ConstText("ClassName")}, JsonObject, false, false, BindMethod(&DSAdmin::DescribeClass)},
      {"ListMethods", {ConstText("ClassName")}, JsonArray, false, false, BindMethod(&DSAdmin::ListMethods)},
      {"DescribeMethod", {ConstText("ServerMethodName")}, JsonObject, false, false,
       BindMethod(&DSAdmin::DescribeMethod)},
      {"GetServerMethods", {}, Reader, false, false, BindMethod(&DSAdmin::GetServerMethods)},
      {"GetServerMethodParameters", {}, Reader, false, false, BindMethod(&DSAdmin::GetServerMethodParameters)},
      {"GetConnection", {ConstText("NewConName")}, OfClass("TDBXConnection"), false, false,
       BindMethod(&DSAdmin::GetConnection)},
      {"GetDatabaseConnectionProperties", {}, Reader, false, false,
       BindMethod(&DSAdmin::GetDatabaseConnectionProperties)},
  };
  for (TDSMethodDeclaration& Inherited : CustomAdminMethodDeclarations()) Class.Methods.push_back(std::move(Inherited));
  return Class;
}

}  // namespace

const TDSClassDeclaration& DSAdminDeclaration() {
  static const TDSClassDeclaration Declaration = BuildAdminDeclaration();
  return Declaration;
}

bool DSAdmin::ClearResources() {
  bool Freed = true;
  Connection().CommandTable().ForEach([&Freed](TDSServerMethodCommandHandler& Command) {
    if (IDSPreparedServerMethod* Method = Command.ServerMethod()) Freed = Method->ClearCallObjects() && Freed;
  });
  return Freed;
}

std::shared_ptr<TDBXReader> DSAdmin::FindPackages() const {
  return std::make_shared<TDSMemoryTable>(kPackageTable, kPackageColumns);
}

std::shared_ptr<TDBXReader> DSAdmin::FindClasses(const std::u16string&, const std::u16string&) const {
  return std::make_shared<TDSMemoryTable>(kClassTable, kClassColumns);
}

std::shared_ptr<TDBXReader> DSAdmin::FindMethods(const std::u16string&, const std::u16string&,
                                                 const std::u16string&) const {
  return std::make_shared<TDSMemoryTable>(kMethodTable, kMethodColumns);
}

std::shared_ptr<TDBXReader> DSAdmin::GetServerClasses() const {
  auto Table = std::make_shared<TDSMemoryTable>(kClassTable, kClassColumns);
  for (const TDSClassInfo* Class : Methods().ClassList()) {
    Table->AppendRow();
    Table->SetText(ClassColumn::PackageName, Class->PackageName);
    Table->SetText(ClassColumn::ClassName, Class->ClassName);
    Table->SetText(ClassColumn::RoleName, Class->RoleName);
    Table->SetText(ClassColumn::LifeCycle, Class->LifeCycle);
  }
  return Table;
}

TJSONValue DSAdmin::ListClasses() const {
  TJSONValue Names = TJSONValue::array();
  for (const TDSClassInfo* Class : Methods().ClassList()) Names.push_back(Class->ClassName);
  return Names;
}

TJSONValue DSAdmin::DescribeClass(const std::u16string& ClassName) const {
  const std::string Name = ToUtf8(ClassName);
  TJSONValue Description = TJSONValue::object();
  const TDSClassInfo* Class = Methods().FindClass(Name);
  if (Class == nullptr) {
    Description[Name] = nullptr;
    return Description;
  }
  TJSONValue& Members = Description[Name];
  Members[kLifeCycleMember] = Class->LifeCycle;
  Members[kMethodsMember] = ListMethods(ClassName);
  return Description;
}

TJSONValue DSAdmin::ListMethods(const std::u16string& ClassName) const {
  const std::string Prefix = ClassName.empty() ? std::string() : UpperAscii(ToUtf8(ClassName)) + ".";
  TJSONValue Aliases = TJSONValue::array();
  for (const TDSMethodInfo* Method : Methods().MethodList()) {
    if (Method->SearchName.starts_with(Prefix)) Aliases.push_back(Method->MethodAlias);
  }
  return Aliases;
}

TJSONValue DSAdmin::DescribeMethod(const std::u16string& ServerMethodName) const {
  const std::string Name = ToUtf8(ServerMethodName);
  TJSONValue Description = TJSONValue::object();
  const TDSMethodInfo* Method = Methods().FindMethod(Name);
  if (Method == nullptr) {
    Description[Name] = nullptr;
    return Description;
  }
  TJSONValue& Members = Description[Name] = TJSONValue::object();
  for (const TDSParameterDescription& Parameter : DescribeParameters(*Method->Declaration)) {
    const bool IsResult = Parameter.Direction == D::ReturnParameter;
    Members[IsResult ? std::string(kResultMember) : Parameter.Name] = {
        {kDirectionMember, std::string(DirectionDescriptionText(Parameter.Direction))},
        {kTypeMember, Parameter.TypeName},
    };
  }
  return Description;
}

std::shared_ptr<TDBXReader> DSAdmin::GetServerMethods() const {
  auto Table = std::make_shared<TDSMemoryTable>(kMethodTable, kMethodColumns);
  for (const TDSMethodInfo* Method : Methods().MethodList()) {
    AppendMethodRow(*Table, *Method);
    Table->SetText(MethodColumn::RoleName, Method->RoleName);
  }
  return Table;
}

std::shared_ptr<TDBXReader> DSAdmin::GetServerMethodParameters() const {
  auto Table = std::make_shared<TDSMemoryTable>(kMethodParametersTable, kMethodParameterColumns);
  for (const TDSMethodInfo* Method : Methods().MethodList()) {
    // The result comes last, in a row without a name.
    for (const TDSParameterDescription& Parameter : DescribeParameters(*Method->Declaration)) {
      AppendMethodRow(*Table, *Method);
      if (Parameter.Direction != D::ReturnParameter) Table->SetText(ParameterColumn::Name, Parameter.Name);
      Table->SetText(ParameterColumn::ParameterTypeName, Parameter.TypeName);
      // Parameter types carry no unit in their declarations.
      Table->SetText(ParameterColumn::ParameterTypeUnit, {});
      // A value holder is passed in, and the method writes into it.
      Table->SetInt32(ParameterColumn::ParameterDirection, Parameter.ValueParameter ? D::InParameter : Parameter.Direction);
      Table->SetInt32(ParameterColumn::DBXType, Parameter.DataType);
      Table->SetInt32(ParameterColumn::DBXParameterDirection, Parameter.Direction);
    }
    if (!Method->Declaration->Result) {
      AppendMethodRow(*Table, *Method);
      Table->SetInt32(ParameterColumn::ParameterDirection, D::ReturnParameter);
      Table->SetInt32(ParameterColumn::DBXParameterDirection, D::ReturnParameter);
    }
  }
  return Table;
}

std::shared_ptr<TDBXConnection> DSAdmin::GetConnection(const std::u16string& NewConName) {
  throw TDBXError(TDBXErrorCodes::UnsupportedAdminRequest, TDSAdminErrors::kNoDatabaseConnection + QuotedClientText(ToUtf8(NewConName)));
}

std::shared_ptr<TDBXReader> DSAdmin::GetDatabaseConnectionProperties() const {
  return std::make_shared<TDSMemoryTable>(kConnectionTable, kConnectionColumns);
}

}  // namespace tavrin
