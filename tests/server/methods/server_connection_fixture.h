#pragma once
// A connection's whole handler chain over memory with the server's connection handler
// as its middle link, and a tiny server class behind the method-dispatch seam:
//   TTestMethods.Echo(Value: wide string): wide string  -- returns its argument
//   TTestMethods.Fail                                    -- raises
//   TTestMethods.Rows                                    -- returns a table of long rows
//   TTestMethods.Long: wide string                       -- returns a text too long for
//                                                           one row buffer
// The test server counts prepares and calls and records the texts it was asked for.

#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "dbxstream/memory_channel.h"
#include "server/requests/server_chain_fixture.h"
#include "dbxstream/row_value_codec.h"
#include "server/requests/server_handler_chain.h"
#include "vocabulary/dbx_error.h"
#include "server/methods/command_type.h"
#include "server/methods/method_dispatcher.h"
#include "server/methods/server_connection_handler.h"
#include "server/methods/memory_connection.h"
#include "vocabulary/unicode_text.h"
#include "vocabulary/value_holders.h"

namespace tavrin::testing {

inline constexpr char kEchoAlias[] = "TTestMethods.Echo";
inline constexpr char kFailAlias[] = "TTestMethods.Fail";
inline constexpr char kRowsAlias[] = "TTestMethods.Rows";
inline constexpr char kLongAlias[] = "TTestMethods.Long";
inline constexpr char kFailure[] = "method failed";
// Rows of the Rows table and characters per name: several row blocks' worth.
inline constexpr int kTableRows = 300;
inline constexpr std::size_t kTableNameLength = 500;
// Characters of the Long result: more than one row buffer holds.
inline constexpr std::size_t kLongLength = 70000;

struct TTestCalls {
  int Prepares = 0;
  int Invocations = 0;
  int Releases = 0;
  std::vector<std::u16string> PreparedTexts;
};

class TTestMethod : public IDSPreparedServerMethod {
 public:
  TTestMethod(std::string Name, TTestCalls& Calls, std::string LifeCycle)
      : FAlias("TTestMethods." + Name), FName(std::move(Name)), FLifeCycle(std::move(LifeCycle)),
        FCalls(Calls) {
    if (FName == "Echo") Add("Value", TDBXParameterDirections::InParameter);
    if (FName == "Echo" || FName == "Long") Add("ReturnParameter", TDBXParameterDirections::ReturnParameter);
  }

  const std::string& MethodAlias() const override { return FAlias; }
  const std::string& ClassName() const override { return FClass; }
  const std::string& MethodName() const override { return FName; }
  const std::string& LifeCycle() const override { return FLifeCycle; }
  TDBXParameterList& Parameters() override { return FParameters; }
  bool HasLiteralParameters() const override { return false; }
  bool HasOutOrReturnParameters() const override { return FName == "Rows" || !FParameters.empty(); }
  bool HasTableParameters() const override { return FName == "Rows"; }

  void LoadArguments(TDBXRowBuffer& Row) override {
    for (auto& Parameter : FParameters) {
      if (Parameter->ParameterDirection() == TDBXParameterDirections::InParameter) {
        ReadRowValue(Row, *Parameter, *Parameter->Value());
      }
    }
  }
  void Invoke(std::vector<std::shared_ptr<TDBXReader>>&) override {
    ++FCalls.Invocations;
    if (FName == "Fail") throw std::runtime_error(kFailure);
    if (FName == "Echo") Text(1).SetWideString(Text(0).GetWideString());
    if (FName == "Long") Text(0).SetWideString(std::u16string(kLongLength, u'x'));
  }
  std::vector<TDSPendingLongValue> WriteResults(TDBXRowBuffer& Row) override {
    std::vector<TDSPendingLongValue> Pending;
    for (std::size_t i = 0; i < FParameters.size(); ++i) {
      TDBXParameter& Parameter = *FParameters[i];
      if (Parameter.ParameterDirection() == TDBXParameterDirections::InParameter) Parameter.Value()->SetNull();
      if (auto Rest = WriteRowValue(Row, Parameter, *Parameter.Value())) {
        Pending.push_back({static_cast<std::int32_t>(i), std::move(Rest)});
      }
    }
    return Pending;
  }
  std::shared_ptr<TDBXReader> ReturnReader() override {
    if (FName != "Rows") return nullptr;
    return std::make_shared<TFakeReader>(kTableRows, kTableNameLength);
  }
  void ReleaseInstance() override { ++FCalls.Releases; }
  void RenewInstance() override {}

 private:
  void Add(const char* Name, std::int32_t Direction) {
    auto Parameter = std::make_unique<TDBXParameter>();
    Parameter->SetName(Name);
    Parameter->SetDataType(TDBXDataTypes::WideStringType);
    Parameter->SetParameterDirection(Direction);
    Parameter->SetValue(std::make_unique<TDBXWideStringValue>());
    FParameters.push_back(std::move(Parameter));
  }
  TDBXWideStringValue& Text(std::size_t Ordinal) {
    return dynamic_cast<TDBXWideStringValue&>(*FParameters[Ordinal]->Value());
  }

  std::string FAlias;
  std::string FClass = "TTestMethods";
  std::string FName;
  std::string FLifeCycle;
  TTestCalls& FCalls;
  TDBXParameterList FParameters;
};

class TTestMethods : public IDSServerMethodProvider {
 public:
  static constexpr std::int32_t kNotFoundCode = 105;

  bool HasMethod(std::u16string_view Alias) const override { return !Find(Alias).empty(); }

  std::unique_ptr<IDSPreparedServerMethod> Prepare(std::u16string_view CommandText,
                                                   TDSServerConnectionHandler& Connection,
                                                   bool) override {
    ++Calls.Prepares;
    Calls.PreparedTexts.emplace_back(CommandText);
    const std::string Name = Find(LeadingMethodName(CommandText));
    if (Name.empty()) {
      throw TDBXError(kNotFoundCode, ToUtf8(CommandText) + " method not found in the server method list");
    }
    Connection.PrepareServerMethod("TTestMethods." + Name, "TTestMethods");
    return std::make_unique<TTestMethod>(Name, Calls, LifeCycle);
  }

  TTestCalls Calls;
  std::string LifeCycle = TDSLifeCycles::kSession;

 private:
  // The method name of an alias of this class, ignoring case; empty when none.
  static std::string Find(std::u16string_view Alias) {
    std::string Upper = ToUtf8(Alias);
    for (char& C : Upper) C = static_cast<char>(std::toupper(static_cast<unsigned char>(C)));
    if (Upper == "TTESTMETHODS.ECHO") return "Echo";
    if (Upper == "TTESTMETHODS.FAIL") return "Fail";
    if (Upper == "TTESTMETHODS.ROWS") return "Rows";
    if (Upper == "TTESTMETHODS.LONG") return "Long";
    return {};
  }
};

// What TConnectionChain serves and counts, made before its connection.
struct TTestMethodsOfChain {
  TTestMethods Methods;
  int Removals = 0;
};

// The chain of one connection as the transport builds it, over a memory channel, serving
// the test methods and counting its removals from the connection list.
struct TConnectionChain : TTestMethodsOfChain, TMemoryConnection {
  TConnectionChain() : TMemoryConnection(Methods, [this] { ++Removals; }) {}
};

inline std::string Prepare(const std::string& Type, const std::string& Text, int Handle = -1) {
  return R"({"method":"prepare","params":[)" + std::to_string(Handle) + R"(,false,")" + Type +
         R"(",")" + Text + R"("]})";
}
inline std::string PrepareReply(int Handle) {
  return R"({"result":[{"handle":[)" + std::to_string(Handle) + R"(]},{"fields":[0,false]},)"
         R"({"parameters":[2,[26,0,1,0,0,"Value",0,0,0],[26,0,4,0,0,"ReturnParameter",0,0,0]]}]})";
}
// The row of one Echo call: the argument, and the client's null in the result's slot.
inline std::string EchoRow(const std::string& Ascii) {
  return std::string(1, static_cast<char>(0x20 + Ascii.size())) + Ascii + "\xC0";
}
inline std::string Execute(int Handle, const std::string& Row) {
  return R"({"method":"execute","params":[{"handle":[)" + std::to_string(Handle) + R"(]},{"data":[)" +
         std::to_string(Row.size()) + "," + Row + "]}]}";
}
// An execute without prepare: handle -1 with the command's type and text.
inline std::string ExecuteNew(const std::string& Type, const std::string& Text, const std::string& Row) {
  return R"({"method":"execute","params":[{"fields":[-1,false,")" + Type + R"(",")" + Text +
         R"("]},{"data":[)" + std::to_string(Row.size()) + "," + Row + "]}]}";
}
// The reply of an Echo call: the argument's slot null, the result the argument.
inline std::string EchoReply(const std::string& Ascii) {
  const std::string Row = "\xC0" + EchoRow(Ascii).substr(0, Ascii.size() + 1);
  return R"({"result":[{"data":[)" + std::to_string(Row.size()) + "," + Row + "]}]}";
}
inline std::string ErrorReply(std::int32_t Code, const std::string& Message,
                              const std::string& Name = "TDBXError") {
  return R"({"error":{"name":")" + Name + R"(","code":)" + std::to_string(Code) +
         R"(,"message":"Remote error: )" + Message + R"("})";
}
inline std::string CommandClose(int Handle) {
  return R"({"method":"command_close","params":[)" + std::to_string(Handle) + "]}";
}

inline constexpr char kConnectReply[] = R"({"result":[0,"Corvane",2]})";
inline constexpr char kDisconnect[] = R"({"method":"disconnect","params":[]})";

}  // namespace tavrin::testing
