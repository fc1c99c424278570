#pragma once
// A small registry for the built-in classes to list, and a connection for their
// instances to serve. The registry holds DSAdmin and DSMetadata (their real
// declarations) and a fake server class:
//   TFakeMethods.Count(const Filter: string; Limit: int): Integer     -- a function
//   TFakeMethods.Reset                                                 -- a procedure
//   TFakeMethods.Exchange(var Counter: Integer; out Note: string;
//                         Data: TDBXStreamValue; Rows: TDataSet)       -- var, out, value
//                                                                         holder, class type
// Opening a command on the connection prepares a fake method that counts how often its
// call objects were freed.

#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "dbxstream/memory_channel.h"
#include "server/requests/server_handler_chain.h"
#include "server/builtin/builtin_classes.h"
#include "server/methods/custom_admin.h"
#include "server/methods/declaration_builder.h"
#include "server/methods/method_dispatcher.h"
#include "server/methods/server_connection_handler.h"
#include "server/methods/memory_connection.h"
#include "vocabulary/unicode_text.h"
#include "vocabulary/value_holders.h"

namespace tavrin::testing {

inline constexpr char kFakeClass[] = "TFakeMethods";

inline const TDSClassDeclaration& FakeMethodsDeclaration() {
  static const TDSClassDeclaration Declaration = [] {
    using namespace declare;
    const auto Nothing = [](TDSServerObject&, TDSMethodCall&) {};
    TDSClassDeclaration Class;
    Class.ClassName = kFakeClass;
    Class.UnitName = "FakeUnit";
    Class.Methods = {
        {"Count", {ConstText("Filter"), {"Limit", Named("int")}}, Named("Integer"), false, false, Nothing},
        {"Reset", {}, std::nullopt, false, false, Nothing},
        {"Exchange",
         {{"Counter", Var(Named("Integer"))},
          {"Note", Out(Named("string"))},
          {"Data", OfClass("TDBXStreamValue")},
          {"Rows", OfClass("TDataSet")}},
         std::nullopt, false, false, Nothing},
    };
    return Class;
  }();
  return Declaration;
}

inline std::string UpperAscii(std::string Text) {
  for (char& C : Text) C = static_cast<char>(std::toupper(static_cast<unsigned char>(C)));
  return Text;
}

// A prepared method of the connection's commands; counts the frees of its call objects.
class TFreeCountingMethod : public IDSPreparedServerMethod {
 public:
  TFreeCountingMethod(int& Frees, bool FreeFails) : FFrees(Frees), FFreeFails(FreeFails) {}
  const std::string& MethodAlias() const override { return FName; }
  const std::string& ClassName() const override { return FName; }
  const std::string& MethodName() const override { return FName; }
  const std::string& LifeCycle() const override { return FLifeCycle; }
  TDBXParameterList& Parameters() override { return FParameters; }
  bool HasLiteralParameters() const override { return false; }
  bool HasOutOrReturnParameters() const override { return false; }
  bool HasTableParameters() const override { return false; }
  void LoadArguments(TDBXRowBuffer&) override {}
  void Invoke(std::vector<std::shared_ptr<TDBXReader>>&) override {}
  std::vector<TDSPendingLongValue> WriteResults(TDBXRowBuffer&) override { return {}; }
  std::shared_ptr<TDBXReader> ReturnReader() override { return nullptr; }
  void ReleaseInstance() override {}
  void RenewInstance() override {}
  bool ClearCallObjects() override {
    ++FFrees;
    return !FFreeFails;
  }

 private:
  int& FFrees;
  bool FFreeFails;
  std::string FName = "TFakeMethods.Reset";
  std::string FLifeCycle = TDSLifeCycles::kSession;
  TDBXParameterList FParameters;
};

class TFakeRegistry : public IDSServerMethodProvider {
 public:
  TFakeRegistry() {
    AddClass(DSAdminDeclaration(), TDSLifeCycles::kSession, "", true);
    AddClass(DSMetadataDeclaration(), TDSLifeCycles::kSession, "", true);
    AddClass(FakeMethodsDeclaration(), TDSLifeCycles::kInvocation, "reader", false);
  }

  bool HasMethod(std::u16string_view Alias) const override { return FindMethod(ToUtf8(Alias)) != nullptr; }
  std::unique_ptr<IDSPreparedServerMethod> Prepare(std::u16string_view, TDSServerConnectionHandler&,
                                                   bool) override {
    // The second command's objects cannot be freed.
    return std::make_unique<TFreeCountingMethod>(Frees, ++Prepares == 2);
  }

  const std::vector<const TDSClassInfo*>& ClassList() const override { return FClassList; }
  const std::vector<const TDSMethodInfo*>& MethodList() const override { return FMethodList; }
  const TDSClassInfo* FindClass(std::string_view Name) const override {
    for (const TDSClassInfo* Class : FClassList) {
      if (UpperAscii(Class->ClassName) == UpperAscii(std::string(Name))) return Class;
    }
    return nullptr;
  }
  const TDSMethodInfo* FindMethod(std::string_view Alias) const override {
    for (const TDSMethodInfo* Method : FMethodList) {
      if (Method->SearchName == UpperAscii(std::string(Alias))) return Method;
    }
    return nullptr;
  }

  int Prepares = 0;
  int Frees = 0;

 private:
  void AddClass(const TDSClassDeclaration& Declaration, const char* LifeCycle, const char* Role, bool Admin) {
    auto& Class = *FClasses.emplace_back(std::make_unique<TDSClassInfo>());
    Class.ClassName = Declaration.ClassName;
    Class.UnitName = Declaration.UnitName;
    Class.RoleName = Role;
    Class.LifeCycle = LifeCycle;
    Class.AdminClass = Admin;
    Class.Declaration = &Declaration;
    FClassList.push_back(&Class);
    for (const TDSMethodDeclaration& Declared : Declaration.Methods) {
      auto& Method = *FMethods.emplace_back(std::make_unique<TDSMethodInfo>());
      Method.MethodAlias = Declaration.ClassName + "." + Declared.Name;
      Method.MethodName = Declared.Name;
      Method.RoleName = Role;
      Method.SearchName = UpperAscii(Method.MethodAlias);
      Method.ClassInfo = &Class;
      Method.Declaration = &Declared;
      FMethodList.push_back(&Method);
    }
  }

  std::vector<std::unique_ptr<TDSClassInfo>> FClasses;
  std::vector<std::unique_ptr<TDSMethodInfo>> FMethods;
  std::vector<const TDSClassInfo*> FClassList;
  std::vector<const TDSMethodInfo*> FMethodList;
};

// What TAdminConnection serves, made before its connection.
struct TFakeRegistryOfConnection {
  TFakeRegistry Methods;
};

// One connection over memory whose server side serves the fake registry, and instances
// of the built-in classes bound to it.
struct TAdminConnection : TFakeRegistryOfConnection, TMemoryConnection {
  TAdminConnection() : TMemoryConnection(Methods) {}

  // Calls Class.Method on a new instance bound to this connection, with Arguments in its
  // cells; returns the call with its result. What the method raises propagates.
  TDSMethodCall Call(const TDSClassDeclaration& Class, const std::string& Method,
                     std::vector<TDSArgument> Arguments = {}) {
    const TDSMethodDeclaration* Declared = nullptr;
    for (const auto& Candidate : Class.Methods) {
      if (Candidate.Name == Method) Declared = &Candidate;
    }
    if (Declared == nullptr) throw std::logic_error("no method " + Method);
    std::unique_ptr<TDSServerObject> Instance = Class.Create();
    dynamic_cast<TDSCustomAdmin&>(*Instance).SetConnectionHandler(Server);
    TDSMethodCall Call(Arguments.size());
    for (std::size_t i = 0; i < Arguments.size(); ++i) Call.Argument(i) = std::move(Arguments[i]);
    Declared->Invoke(*Instance, Call);
    return Call;
  }
};

// A value of a table as text: "null", the text, the number, "true"/"false".
inline std::string ValueText(const TDBXValue& Value) {
  if (Value.IsNull()) return "null";
  if (auto* Text = dynamic_cast<const TDBXWideStringValue*>(&Value)) return ToUtf8(Text->GetWideString());
  if (auto* Int32 = dynamic_cast<const TDBXInt32Value*>(&Value)) return std::to_string(Int32->GetInt32());
  if (auto* Int64 = dynamic_cast<const TDBXInt64Value*>(&Value)) return std::to_string(Int64->GetInt64());
  if (auto* Boolean = dynamic_cast<const TDBXBooleanValue*>(&Value)) return Boolean->GetBoolean() ? "true" : "false";
  ADD_FAILURE() << "unexpected holder for data type " << Value.DataType();
  return "?";
}

// The rows of Reader, each as its values' texts joined with "|".
inline std::vector<std::string> RowsOf(TDBXReader& Reader) {
  std::vector<std::string> Rows;
  while (Reader.Next()) {
    std::string Row;
    for (std::int32_t i = 0; i < Reader.ColumnCount(); ++i) Row += (i ? "|" : "") + ValueText(Reader.Value(i));
    Rows.push_back(Row);
  }
  return Rows;
}

// The columns of Reader as "Name:type:size:flags", with "[Display Name]" after the name
// when the display name differs.
inline std::vector<std::string> ColumnsOf(const TDBXReader& Reader) {
  std::vector<std::string> Columns;
  for (std::int32_t i = 0; i < Reader.ColumnCount(); ++i) {
    const TDBXValueType& Column = Reader.ValueType(i);
    std::string Text = Column.Name();
    if (Column.DisplayName() != Column.Name()) Text += "[" + Column.DisplayName() + "]";
    Text += ":" + std::to_string(Column.DataType()) + ":" + std::to_string(Column.Size()) + ":" +
            std::to_string(Column.ValueTypeFlags());
    Columns.push_back(Text);
  }
  return Columns;
}

// The reader in a result cell.
inline TDBXReader& ResultTable(TDSMethodCall& Call) {
  auto* Reader = std::get_if<std::shared_ptr<TDBXReader>>(&Call.Result());
  if (Reader == nullptr || *Reader == nullptr) throw std::logic_error("the result is not a table");
  return **Reader;
}

// The rows of Reader whose text starts with Prefix.
inline std::vector<std::string> RowsStartingWith(TDBXReader& Reader, const std::string& Prefix) {
  std::vector<std::string> Selected;
  for (const std::string& Row : RowsOf(Reader)) {
    if (Row.starts_with(Prefix)) Selected.push_back(Row);
  }
  return Selected;
}

}  // namespace tavrin::testing
