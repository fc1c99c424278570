#pragma once
// Server classes for the registry and dispatch tests, declared the way an application
// declares its own:
//   TTypes        a method per data type that swaps its arguments around (in, in/out,
//                 out and result all cross the conversions), conversion probes, value
//                 parameters, table arguments and results, literal-friendly methods, a
//                 method that fails on request;
//   TLifeSession, TLifeInvocation, TLifeServer
//                 the same counted class under three life cycles: Id returns the
//                 serial number of the instance it runs on;
//   TTestModule   a server module: its own Echo runs on the module, the provider
//                 methods on the adapter the server pairs with it.
// Counters are process-wide atomics: the server runs in the test's process and its
// connection threads bump them.

#include <algorithm>
#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "dataset/data_set.h"
#include "server/methods/class_declaration.h"
#include "server/methods/method_call.h"
#include "server/methods/provider_data_module.h"
#include "server/methods/server_class.h"
#include "dataset/params.h"
#include "vocabulary/value_holders.h"

namespace tavrin::testing {

// --- Declaring ----------------------------------------------------------------------------

inline TDeclaredType Type(const std::string& Name) { return TDeclaredType::Named(Name); }
inline TDeclaredType Class(const std::string& Name) { return TDeclaredType::OfClass(Name); }
inline TDeclaredType Const(TDeclaredType T) {
  T.IsConst = true;
  return T;
}
inline TDeclaredType Var(TDeclaredType T) {
  T.IsVar = true;
  return T;
}
inline TDeclaredType Out(TDeclaredType T) {
  T.IsOut = true;
  return T;
}

using TInvoke = std::function<void(TDSServerObject&, TDSMethodCall&)>;

inline TDSMethodDeclaration Method(std::string Name, std::vector<TDSParameterDeclaration> Parameters,
                                   std::optional<TDeclaredType> Result, TInvoke Invoke = {}) {
  TDSMethodDeclaration M;
  M.Name = std::move(Name);
  M.Parameters = std::move(Parameters);
  M.Result = std::move(Result);
  M.Invoke = std::move(Invoke);
  return M;
}

// --- A dataset in memory ------------------------------------------------------------------

// Rows of (ID: Int32 = row number from 1, NOME: wide string of NameLength letters).
class TTestDataSet : public TDataSet {
 public:
  static inline std::atomic<int> Live{0};

  TTestDataSet(int Rows, std::size_t NameLength) : FRows(Rows), FNameLength(NameLength) {
    ++Live;
    FDefs[0].SetName("ID");
    FDefs[0].SetDataType(TDBXDataTypes::Int32Type);
    FDefs[1].SetName("NOME");
    FDefs[1].SetDataType(TDBXDataTypes::WideStringType);
  }
  ~TTestDataSet() override { --Live; }

  static std::u16string NameOf(int Row, std::size_t Length) {
    return std::u16string(Length, static_cast<char16_t>(u'a' + Row % 26));
  }

  std::int32_t FieldCount() const override { return 2; }
  const TDBXValueType& FieldDef(std::int32_t Index) const override {
    if (Index < 0 || Index > 1) RaiseNoField(Index);
    return FDefs[static_cast<std::size_t>(Index)];
  }
  void First() override { FRow = 1; }
  void Next() override { ++FRow; }
  bool Eof() const override { return FRow > FRows; }
  const TDBXValue& FieldValue(std::int32_t Index) override {
    if (Index == 0) {
      FId.SetInt32(FRow);
      return FId;
    }
    FName.SetWideString(NameOf(FRow, FNameLength));
    return FName;
  }
  void Close() override { ++Closes; }

  int Closes = 0;

 private:
  int FRows;
  std::size_t FNameLength;
  int FRow = 1;
  TDBXValueType FDefs[2];
  TDBXInt32Value FId;
  TDBXWideStringValue FName;
};

// --- TTypes -------------------------------------------------------------------------------

class TTypesServer : public TDSServerObject {
 public:
  static inline std::atomic<int> Live{0};
  // TTestDataSet::Live when Rows last started: what the previous call left alive.
  static inline std::atomic<int> DataSetsAliveAtRows{-1};

  TTypesServer() { ++Live; }
  ~TTypesServer() override { --Live; }

  int FailCalls = 0;
};

namespace types_detail {

template <typename T>
T Same(const T& Value) {
  return Value;
}

// A stream cannot sit in two holders: each would read it to its end for the reply.
inline std::shared_ptr<TStream> CopyStream(const std::shared_ptr<TStream>& Stream) {
  if (!Stream) return nullptr;
  auto* Bytes = dynamic_cast<TBytesStream*>(Stream.get());
  if (Bytes == nullptr) throw std::logic_error("the test expects byte streams");
  return std::make_shared<TBytesStream>(Bytes->Bytes());
}

// Swap_<Suffix>(const A; var B; out C): result = B as it came, B = A, C = A.
template <typename T>
TDSMethodDeclaration Swap(const std::string& Suffix, const TDeclaredType& Declared, T (*Copy)(const T&) = &Same<T>) {
  return Method("Swap_" + Suffix, {{"A", Const(Declared)}, {"B", Var(Declared)}, {"C", Out(Declared)}}, Declared,
                [Copy](TDSServerObject&, TDSMethodCall& Call) {
                  const T A = Call.As<T>(0);
                  T& B = Call.As<T>(1);
                  Call.SetResult(B);
                  B = A;
                  Call.As<T>(2) = Copy(A);
                });
}

inline TDSClassDeclaration BuildTypes() {
  TDSClassDeclaration C;
  C.ClassName = "TTypes";
  C.UnitName = "TypesUnit";
  C.ParentClassName = "TObject";
  C.Create = [] { return std::make_unique<TTypesServer>(); };
  auto& M = C.Methods;
  M.push_back(Swap<std::string>("Ansi", Type("AnsiString")));
  M.push_back(Swap<std::int32_t>("Date", Type("TDBXDate")));
  M.push_back(Swap<bool>("Boolean", Type("Boolean")));
  M.push_back(Swap<std::int16_t>("SmallInt", Type("SmallInt")));
  M.push_back(Swap<std::int32_t>("Integer", Type("Integer")));
  M.push_back(Swap<double>("Double", Type("Double")));
  M.push_back(Swap<std::int32_t>("Time", Type("TDBXTime")));
  M.push_back(Swap<TDSDateTime>("DateTime", Type("TDateTime")));
  M.push_back(Swap<std::uint16_t>("Word", Type("Word")));
  M.push_back(Swap<std::int64_t>("Int64", Type("Int64")));
  M.push_back(Swap<TDSCurrency>("Currency", Type("Currency")));
  M.push_back(Swap<std::u16string>("String", Type("string")));
  M.push_back(Swap<float>("Single", Type("Single")));
  M.push_back(Swap<std::int8_t>("ShortInt", Type("ShortInt")));
  M.push_back(Swap<std::uint8_t>("Byte", Type("Byte")));
  M.push_back(Swap<TDSVariant>("Variant", Type("OleVariant")));
  M.push_back(Swap<std::shared_ptr<TJSONValue>>("Json", Class("TJSONValue")));
  M.push_back(Swap<std::shared_ptr<TStream>>("Stream", Class("TStream"), &CopyStream));

  M.push_back(Method("DaySerial", {{"Value", Type("TDateTime")}}, Type("Double"), [](TDSServerObject&, TDSMethodCall& Call) {
    Call.SetResult(Call.As<TDSDateTime>(0).Value);
  }));
  M.push_back(Method("CurrencyScaled", {{"Value", Type("Currency")}}, Type("Int64"),
                     [](TDSServerObject&, TDSMethodCall& Call) { Call.SetResult(Call.As<TDSCurrency>(0).Scaled); }));
  M.push_back(Method("Concat", {{"A", Const(Type("string"))}, {"B", Const(Type("string"))}}, Type("string"),
                     [](TDSServerObject&, TDSMethodCall& Call) {
                       Call.SetResult(Call.As<std::u16string>(0) + Call.As<std::u16string>(1));
                     }));
  M.push_back(Method("Add", {{"A", Type("Integer")}, {"B", Type("Integer")}}, Type("Integer"),
                     [](TDSServerObject&, TDSMethodCall& Call) {
                       Call.SetResult(Call.As<std::int32_t>(0) + Call.As<std::int32_t>(1));
                     }));
  M.push_back(Method("Nothing", {}, Type("Integer"), [](TDSServerObject&, TDSMethodCall& Call) {
    Call.SetResult(std::int32_t{0});
  }));
  M.push_back(Method("Fail", {{"Raise", Type("Boolean")}}, Type("Integer"), [](TDSServerObject& Self, TDSMethodCall& Call) {
    auto& Types = dynamic_cast<TTypesServer&>(Self);
    ++Types.FailCalls;
    if (Call.As<bool>(0)) throw std::runtime_error("asked to fail");
    Call.SetResult(std::int32_t{Types.FailCalls});
  }));
  M.push_back(Method("Bump", {{"Counter", Class("TDBXInt32Value")}}, std::nullopt, [](TDSServerObject&, TDSMethodCall& Call) {
    auto& Counter = dynamic_cast<TDBXInt32Value&>(*Call.As<TDBXWritableValue*>(0));
    Counter.SetInt32(Counter.GetInt32() + 1);
  }));
  M.push_back(Method("Reverse", {{"Data", Class("TDBXStreamValue")}}, std::nullopt, [](TDSServerObject&, TDSMethodCall& Call) {
    auto& Data = dynamic_cast<TDBXStreamValue&>(*Call.As<TDBXWritableValue*>(0));
    std::vector<std::uint8_t> Bytes = dynamic_cast<TBytesStream&>(*Data.GetStream()).Bytes();
    std::reverse(Bytes.begin(), Bytes.end());
    Data.SetBytes(std::move(Bytes));
  }));
  M.push_back(Method("Rows", {{"Count", Type("Integer")}, {"NameLength", Type("Integer")}}, Class("TDataSet"),
                     [](TDSServerObject&, TDSMethodCall& Call) {
                       TTypesServer::DataSetsAliveAtRows = TTestDataSet::Live.load();
                       Call.SetResult(std::shared_ptr<TDataSet>(std::make_shared<TTestDataSet>(
                           Call.As<std::int32_t>(0), static_cast<std::size_t>(Call.As<std::int32_t>(1)))));
                     }));
  M.push_back(Method("RowsReader", {{"Count", Type("Integer")}}, Class("TDBXReader"), [](TDSServerObject&, TDSMethodCall& Call) {
    auto DataSet = std::make_shared<TTestDataSet>(Call.As<std::int32_t>(0), 3);
    Call.SetResult(std::shared_ptr<TDBXReader>(std::make_shared<TDataSetReader>(DataSet)));
  }));
  M.push_back(Method("OutRows", {{"Count", Type("Integer")}, {"Data", Out(Class("TDataSet"))}}, Type("Integer"),
                     [](TDSServerObject&, TDSMethodCall& Call) {
                       const std::int32_t Count = Call.As<std::int32_t>(0);
                       Call.As<std::shared_ptr<TDataSet>>(1) = std::make_shared<TTestDataSet>(Count, 2);
                       Call.SetResult(Count);
                     }));
  M.push_back(Method("ParamsOut", {}, Class("TParams"), [](TDSServerObject&, TDSMethodCall& Call) {
    auto Params = std::make_shared<TParams>();
    dynamic_cast<TDBXInt32Value&>(*Params->Add("A", TDBXDataTypes::Int32Type).Value()).SetInt32(7);
    dynamic_cast<TDBXWideStringValue&>(*Params->Add("B", TDBXDataTypes::WideStringType).Value()).SetWideString(u"x");
    Call.SetResult(Params);
  }));
  // Table arguments: each reports what it saw as IDs summed plus 1000 per row.
  M.push_back(Method("CountRows", {{"Data", Class("TDataSet")}}, Type("Integer"), [](TDSServerObject&, TDSMethodCall& Call) {
    std::int32_t Seen = 0;
    if (const auto& Data = Call.As<std::shared_ptr<TDataSet>>(0)) {
      const std::int32_t Id = Data->FindField("id");
      for (Data->First(); !Data->Eof(); Data->Next()) {
        Seen += 1000 + dynamic_cast<const TDBXInt32Value&>(Data->FieldValue(Id)).GetInt32();
      }
    }
    Call.SetResult(Seen);
  }));
  M.push_back(Method("SumParams", {{"Values", Class("TParams")}}, Type("Integer"), [](TDSServerObject&, TDSMethodCall& Call) {
    std::int32_t Sum = 0;
    const auto& Values = Call.As<std::shared_ptr<TParams>>(0);
    for (std::int32_t i = 0; Values && i < Values->Count(); ++i) {
      if (const auto* Int = dynamic_cast<const TDBXInt32Value*>((*Values)[i].Value())) Sum += Int->GetInt32();
    }
    Call.SetResult(Sum);
  }));
  M.push_back(Method("ReaderRows", {{"Reader", Class("TDBXReader")}}, Type("Integer"), [](TDSServerObject&, TDSMethodCall& Call) {
    std::int32_t Seen = 0;
    if (const auto& Reader = Call.As<std::shared_ptr<TDBXReader>>(0)) {
      while (Reader->Next()) Seen += 1000 + dynamic_cast<const TDBXInt32Value&>(Reader->Value(0)).GetInt32();
    }
    Call.SetResult(Seen);
  }));
  M.push_back(Method("HasConnection", {{"Connection", Class("TDBXConnection")}}, Type("Boolean"),
                     [](TDSServerObject&, TDSMethodCall& Call) {
                       Call.SetResult(Call.As<std::shared_ptr<TDBXConnection>>(0) != nullptr);
                     }));
  return C;
}

}  // namespace types_detail

inline const TDSClassDeclaration& TypesDeclaration() {
  static const TDSClassDeclaration Declaration = types_detail::BuildTypes();
  return Declaration;
}

// --- Counted classes for the life cycles --------------------------------------------------

struct TLifeCounters {
  std::atomic<int> Created{0};
  std::atomic<int> Destroyed{0};
  int Live() const { return Created - Destroyed; }
};

class TCountedServer : public TDSServerObject {
 public:
  explicit TCountedServer(TLifeCounters& Counters) : FCounters(Counters), FId(++NextId) { ++FCounters.Created; }
  ~TCountedServer() override { ++FCounters.Destroyed; }
  std::int32_t Id() const { return FId; }

  static inline std::atomic<std::int32_t> NextId{0};

 private:
  TLifeCounters& FCounters;
  std::int32_t FId;
};

// A counted class named ClassName: Id returns the serial number of its instance.
inline TDSClassDeclaration CountedDeclaration(const std::string& ClassName, TLifeCounters& Counters) {
  TDSClassDeclaration C;
  C.ClassName = ClassName;
  C.UnitName = "LifeUnit";
  C.ParentClassName = "TObject";
  C.Create = [&Counters] { return std::make_unique<TCountedServer>(Counters); };
  C.Methods.push_back(Method("Id", {}, Type("Integer"), [](TDSServerObject& Self, TDSMethodCall& Call) {
    Call.SetResult(dynamic_cast<TCountedServer&>(Self).Id());
  }));
  return C;
}

// --- A server module ----------------------------------------------------------------------

class TTestModule : public TDSServerModule {
 public:
  static inline std::atomic<int> Live{0};
  TTestModule() { ++Live; }
  ~TTestModule() override { --Live; }
};

inline const TDSClassDeclaration& TestModuleDeclaration() {
  static const TDSClassDeclaration Declaration = [] {
    TDSClassDeclaration C;
    C.ClassName = "TTestModule";
    C.UnitName = "ModuleUnit";
    C.ParentClassName = "TDSServerModule";
    C.Create = [] { return std::make_unique<TTestModule>(); };
    // Runs only on the module: on anything else the cast fails the call.
    C.Methods.push_back(Method("Echo", {{"Text", Const(Type("string"))}}, Type("string"),
                               [](TDSServerObject& Self, TDSMethodCall& Call) {
                                 static_cast<void>(dynamic_cast<TTestModule&>(Self));
                                 Call.SetResult(Call.As<std::u16string>(0));
                               }));
    return C;
  }();
  return Declaration;
}

// A component handing out Declaration under LifeCycle.
inline std::unique_ptr<TDSServerClass> ServerClassOf(const TDSClassDeclaration& Declaration,
                                                     std::string LifeCycle = TDSLifeCycles::kSession) {
  auto Component = std::make_unique<TDSServerClass>();
  Component->OnGetClass = [&Declaration] { return &Declaration; };
  Component->LifeCycle = std::move(LifeCycle);
  return Component;
}

}  // namespace tavrin::testing
