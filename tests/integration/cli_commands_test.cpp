// tavrin-cli's commands against real servers on loopback ports: the test classes behind
// a real method registry (every argument conversion and printed form), the test server's
// own methods (a returned reader, a long text), and the product's server class over demo
// data (login, version, web module), run through the library and through the command line.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "app/tavrin_cli/command_line.h"
#include "app/tavrin_cli/commands.h"
#include "vocabulary/defaults.h"
#include "vocabulary/program_version.h"
#include "dbx_test_server.h"
#include "server/builtin/builtin_classes.h"
#include "server/methods/server_method_provider.h"
#include "server/methods/test_server_classes.h"
#include "vocabulary/unicode_text.h"
#include "engine/database_session.h"
#include "engine/sqlite_connection.h"
#include "engine/statement_runner.h"
#include "demo_data/demo_data.h"
#include "product/server_methods.h"
#include "support/temp_folder.h"
#include "transport/tcp_client_channel.h"

namespace tavrin {
namespace {

using namespace tavrin::testing;
using namespace tavrin::cli;

struct TRun {
  int Code = -1;
  std::string Out;
  std::string Err;
};

TRun Run(std::uint16_t Port, const TCliRequest& Request) {
  std::ostringstream Out, Err;
  TCliTarget Target;
  Target.Port = Port;
  TRun Result;
  Result.Code = RunRequest(Target, Request, Out, Err);
  Result.Out = Out.str();
  Result.Err = Err.str();
  return Result;
}

TRun RunCall(std::uint16_t Port, const std::string& Alias, std::vector<std::string> Arguments = {}) {
  return Run(Port, CallRequest(Alias, std::move(Arguments)));
}

// The program's command line, the program name first.
TRun RunLine(std::vector<std::string> Words) {
  Words.insert(Words.begin(), std::string(kProgramName));
  std::vector<const char*> Argv;
  for (const auto& Word : Words) Argv.push_back(Word.c_str());
  std::ostringstream Out, Err;
  TRun Result;
  Result.Code = RunCommandLine(static_cast<int>(Argv.size()), Argv.data(), Out, Err);
  Result.Out = Out.str();
  Result.Err = Err.str();
  return Result;
}

// The test classes and the built-in ones behind a real server. The server goes first,
// then the registry closes, then its components go.
struct TTypesRegistryServer {
  TTypesRegistryServer() {
    Registry.SetServerName("DSServer1");
    Registry.AddServerClass(*Types);
    Registry.Open();
  }
  std::unique_ptr<TDSServerClass> Types = ServerClassOf(TypesDeclaration());
  TDSServerMethodProvider Registry{
      std::vector<const TDSClassDeclaration*>{&DSAdminDeclaration(), &DSMetadataDeclaration()}};
  TDbxTestServer Server{Registry};

  std::uint16_t Port() const { return Server.Port(); }
};

// What a run writes last: its command closed, then the connection's goodbye.
constexpr char kGoodbye[] = R"({"method":"command_close","params":[0]}{"method":"disconnect","params":[0]})";

// A channel to a server that keeps every byte the client wrote.
class TRecordingChannel : public TDbxChannel {
 public:
  explicit TRecordingChannel(std::uint16_t Port) : FChannel("127.0.0.1", Port) {}
  std::int32_t Read(std::span<std::uint8_t> Buffer) override { return FChannel.Read(Buffer); }
  void Write(std::span<const std::uint8_t> Bytes) override {
    Written.append(Bytes.begin(), Bytes.end());
    FChannel.Write(Bytes);
  }
  bool ConnectionLost() const override { return FChannel.ConnectionLost(); }
  const TDBXChannelInfo& ChannelInfo() const override { return FChannel.ChannelInfo(); }

  std::string Written;

 private:
  TDBXTcpClientChannel FChannel;
};

// --- Arguments in, values out ---------------------------------------------------------

// TTypes.Swap_<Suffix>(const A; var B; out C): B and C come back as A, the result as B.
TEST(CliCall, ArgumentsConvertToEachParameterTypeAndEveryOutwardValuePrints) {
  const struct {
    const char* Suffix;
    std::string A, B;
    std::string PrintedA, PrintedB;  // empty: as given
  } Cases[] = {
      {"Integer", "-2147483648", "7", "", ""},
      {"SmallInt", "-32768", "123", "", ""},
      {"ShortInt", "-128", "5", "", ""},
      {"Byte", "255", "0", "", ""},
      {"Word", "65535", "1", "", ""},
      {"Int64", "-9223372036854775808", "9223372036854775807", "", ""},
      {"Boolean", "TRUE", "false", "true", "false"},
      {"Double", "0.1", "-1.5e300", "0.1", "-1.5e+300"},
      {"Single", "1.5", "-0.25", "", ""},
      {"Currency", "-922337203685477.5808", "0.0001", "", ""},
      {"String", "ol\u00e9 \U0001F600", "a\tb\\c\nd", "", "a\\tb\\\\c\\nd"},
      {"String", "", "", "", ""},
      {"Ansi", "hello", "", "", ""},
      {"Date", "2024-02-29", "1899-01-01", "", ""},
      {"Time", "23:59:59.999", "00:00", "", "00:00:00"},
      {"Time", "12:30:05.5", "01:02:03.04", "12:30:05.500", "01:02:03.040"},
      {"DateTime", "1899-12-29 06:00", "2031-12-31T23:59:59.999", "1899-12-29 06:00:00", "2031-12-31 23:59:59.999"},
      {"Json", R"({"a": [1, "b", null]})", R"("text")", R"({"a":[1,"b",null]})", ""},
      {"Stream", "00FF7f", "", "00ff7f", ""},
  };
  TTypesRegistryServer S;
  for (const auto& Case : Cases) {
    const std::string Alias = std::string("TTypes.Swap_") + Case.Suffix;
    SCOPED_TRACE(Alias + " " + Case.A + " " + Case.B);
    const std::string A = Case.PrintedA.empty() ? Case.A : Case.PrintedA;
    const std::string B = Case.PrintedB.empty() ? Case.B : Case.PrintedB;
    const TRun R = RunCall(S.Port(), Alias, {Case.A, Case.B});
    EXPECT_EQ(R.Code, kExitOk);
    EXPECT_EQ(R.Err, "");
    EXPECT_EQ(R.Out, "B = " + A + "\nC = " + A + "\nReturnParameter = " + B + "\n");
  }
}

TEST(CliCall, ArgumentsThatDoNotConvertAreRefusedBeforeTheCallNamingTheParameter) {
  const struct {
    const char* Alias;
    std::vector<std::string> Arguments;
    std::string Reason;  // after "tavrin-cli: "; a prefix when it ends with "..."
  } Cases[] = {
      {"TTypes.Swap_Integer", {"12abc", "1"}, R"(parameter A: "12abc" is not a whole number)"},
      {"TTypes.Swap_Integer", {" 1", "1"}, R"(parameter A: " 1" is not a whole number)"},
      {"TTypes.Swap_Integer", {"1", "2147483648"},
       R"(parameter B: "2147483648" is out of range (-2147483648 to 2147483647))"},
      {"TTypes.Swap_ShortInt", {"128", "0"}, R"(parameter A: "128" is out of range (-128 to 127))"},
      {"TTypes.Swap_Byte", {"-1", "0"}, R"(parameter A: "-1" is out of range (0 to 255))"},
      {"TTypes.Swap_Word", {"1", "65536"}, R"(parameter B: "65536" is out of range (0 to 65535))"},
      {"TTypes.Swap_Int64", {"99999999999999999999", "0"},
       R"(parameter A: "99999999999999999999" is out of range (-9223372036854775808 to 9223372036854775807))"},
      {"TTypes.Swap_Boolean", {"yes", "true"}, R"(parameter A: "yes" is neither true nor false)"},
      {"TTypes.Swap_Double", {"1,5", "0"}, R"(parameter A: "1,5" is not a number)"},
      {"TTypes.Swap_Single", {"0", "1e39"}, R"(parameter B: "1e39" is not a number a single-precision value can hold)"},
      {"TTypes.Swap_Currency", {"1.2.3", "0"}, R"(parameter A: "1.2.3" is not a decimal number ([-]digits[.digits]))"},
      {"TTypes.Swap_Date", {"2023-02-29", "2024-01-01"}, R"(parameter A: "2023-02-29" is not a date (YYYY-MM-DD))"},
      {"TTypes.Swap_Time", {"24:00", "00:00"}, R"(parameter A: "24:00" is not a time of day (HH:MM[:SS[.mmm]]))"},
      {"TTypes.Swap_DateTime", {"2024-01-01", "2024-01-01 00:00"},
       R"(parameter A: "2024-01-01" is not a timestamp (YYYY-MM-DD HH:MM[:SS[.mmm]]))"},
      {"TTypes.Swap_Json", {"{", "1"}, R"(parameter A: "{" is not JSON text: ...)"},
      {"TTypes.Swap_Stream", {"0", "00"}, R"(parameter A: "0" is not bytes in hexadecimal (two digits a byte))"},
      {"TTypes.Swap_Stream", {"00", "0x"}, R"(parameter B: "0x" is not bytes in hexadecimal (two digits a byte))"},
      {"TTypes.CountRows", {"1"}, "parameter Data: values of data type 23 cannot be given as text"},
      {"TTypes.Swap_Integer", {"1"}, "TTypes.Swap_Integer takes 2 arguments (A, B), 1 given"},
      {"TTypes.Bump", {}, "TTypes.Bump takes 1 argument (Counter), 0 given"},
      {"DSAdmin.GetPlatformName", {"x"}, "DSAdmin.GetPlatformName takes no arguments, 1 given"},
  };
  TTypesRegistryServer S;
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Reason);
    TRecordingChannel Channel(S.Port());
    std::ostringstream Out, Err;
    EXPECT_EQ(RunRequest(Channel, CallRequest(Case.Alias, Case.Arguments), Out, Err), kExitFailure);
    EXPECT_EQ(Out.str(), "");
    const std::string Expected = "tavrin-cli: " + Case.Reason + "\n";
    if (Case.Reason.ends_with("...")) {
      EXPECT_TRUE(Err.str().starts_with(Expected.substr(0, Expected.size() - 4))) << Err.str();
    } else {
      EXPECT_EQ(Err.str(), Expected);
    }
    EXPECT_EQ(Channel.Written.find("\"execute\""), std::string::npos) << "the method must not run";
    EXPECT_TRUE(Channel.Written.ends_with(kGoodbye)) << Channel.Written;
  }
}

TEST(CliCall, EachRunClosesItsCommandAndDisconnectsWhetherTheCallWorkedOrNot) {
  TTypesRegistryServer S;
  for (const char* Raise : {"false", "true"}) {
    SCOPED_TRACE(Raise);
    TRecordingChannel Channel(S.Port());
    std::ostringstream Out, Err;
    const int Code = RunRequest(Channel, CallRequest("TTypes.Fail", {Raise}), Out, Err);
    EXPECT_EQ(Code, std::string(Raise) == "true" ? kExitFailure : kExitOk);
    EXPECT_TRUE(Channel.Written.ends_with(kGoodbye)) << Channel.Written;
    EXPECT_LT(Channel.Written.find(R"({"method":"execute")"), Channel.Written.size() - std::strlen(kGoodbye));
  }
}

TEST(CliCall, AnErrorReplyFailsWithTheServersMessage) {
  const struct {
    const char* Alias;
    std::vector<std::string> Arguments;
    const char* Err;
  } Cases[] = {
      {"TTypes.Fail", {"true"}, "tavrin-cli: Remote error: asked to fail\n"},
      {"TTypes.Nope", {}, "tavrin-cli: Remote error: TTypes.Nope method not found in the server method list\n"},
  };
  TTypesRegistryServer S;
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Alias);
    const TRun R = RunCall(S.Port(), Case.Alias, Case.Arguments);
    EXPECT_EQ(R.Code, kExitFailure);
    EXPECT_EQ(R.Out, "");
    EXPECT_EQ(R.Err, Case.Err);
  }
}

TEST(CliCall, TablesPrintAsTabSeparatedRowsUnderTheirParameterAmongTheOtherValues) {
  TTypesRegistryServer S;
  const struct {
    const char* Alias;
    std::vector<std::string> Arguments;
    const char* Out;
  } Cases[] = {
      {"TTypes.OutRows", {"2"}, "Data = table, 2 rows\nID\tNOME\n1\tbb\n2\tcc\nReturnParameter = 2\n"},
      {"TTypes.Rows", {"1", "3"}, "ReturnParameter = table, 1 row\nID\tNOME\n1\tbbb\n"},
      {"TTypes.Rows", {"0", "3"}, "ReturnParameter = table, 0 rows\nID\tNOME\n"},
      {"TTypes.ParamsOut", {}, "ReturnParameter = table, 1 row\nA\tB\n7\tx\n"},
      {"DSAdmin.GetPlatformName", {}, "ReturnParameter = win32\n"},
      {"TTypes.Reverse", {"010203"}, "Data = 030201\n"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Alias);
    const TRun R = RunCall(S.Port(), Case.Alias, Case.Arguments);
    EXPECT_EQ(R.Err, "");
    EXPECT_EQ(R.Out, Case.Out);
  }
}

TEST(CliCall, AReturnedReaderPrintsAsANumberedTableAndALongTextArrivesWhole) {
  TDbxTestServer Server;  // TTestMethods
  TRun R = RunCall(Server.Port(), kRowsAlias);
  ASSERT_EQ(R.Err, "");
  std::string Expected = "Table 1 = table, " + std::to_string(kTableRows) + " rows\nID\tNOME\n";
  for (int Row = 1; Row <= kTableRows; ++Row) {
    Expected += std::to_string(Row) + "\t" + ToUtf8(TFakeReader::NameOf(Row, kTableNameLength)) + "\n";
  }
  // Whole texts of 150 KB: a failure shows where they part instead of both.
  const auto Parting = std::mismatch(R.Out.begin(), R.Out.end(), Expected.begin(), Expected.end());
  EXPECT_TRUE(R.Out == Expected) << "differs at " << (Parting.first - R.Out.begin());

  R = RunCall(Server.Port(), kLongAlias);
  EXPECT_EQ(R.Err, "");
  EXPECT_TRUE(R.Out == "ReturnParameter = " + std::string(kLongLength, 'x') + "\n") << R.Out.size();

  const std::string LongArgument(kLongLength, 'y');
  R = RunCall(Server.Port(), kEchoAlias, {LongArgument});
  EXPECT_EQ(R.Err, "");
  EXPECT_TRUE(R.Out == "ReturnParameter = " + LongArgument + "\n") << R.Out.size();
}

TEST(CliCall, LongByteArgumentsGoInPiecesAndComeBackWhole) {
  std::string Hex;
  for (std::size_t i = 0; i < kLongLength; ++i) Hex += "0123456789abcdef"[i % 16];
  TTypesRegistryServer S;
  const TRun R = RunCall(S.Port(), "TTypes.Swap_Stream", {Hex, "ff"});
  EXPECT_EQ(R.Err, "");
  EXPECT_TRUE(R.Out == "B = " + Hex + "\nC = " + Hex + "\nReturnParameter = ff\n") << R.Out.substr(0, 100);
}

TEST(CliCall, NoServerOnThePortFailsWithTheReason) {
  std::uint16_t Port = 0;
  {
    TDbxTestServer Gone;
    Port = Gone.Port();
  }
  const TRun R = RunCall(Port, "DSAdmin.GetPlatformName");
  EXPECT_EQ(R.Code, kExitFailure);
  EXPECT_EQ(R.Out, "");
  EXPECT_TRUE(R.Err.starts_with("tavrin-cli: Could not connect to 127.0.0.1:" + std::to_string(Port) + ": "))
      << R.Err;
  EXPECT_TRUE(R.Err.ends_with("\n"));
}

// --- The product's commands -----------------------------------------------------------

class TNoLog : public IActivityLogWriter {
 public:
  void Append(std::string_view) noexcept override {}
};

// The product's server class over a demo data folder, with the built-in classes.
struct TProductServer {
  TProductServer() {
    CreateDemoData(Folder.Path().string());
    Registry.AddServerClass(*Component);
    Registry.Open();
  }
  TTempFolder Folder;
  TSession Session;
  TNoLog Log;
  std::atomic<bool> WebModuleInstalled{false};
  TServerMethodsServices Services{Log, [this] { return Folder.Path().string(); }, Session,
                                  [this](const std::string&) { return WebModuleInstalled.load(); }};
  const TDSClassDeclaration Declaration = ServerMethodsDeclaration(Services);
  std::unique_ptr<TDSServerClass> Component = ServerClassOf(Declaration);
  TDSServerMethodProvider Registry{
      std::vector<const TDSClassDeclaration*>{&DSAdminDeclaration(), &DSMetadataDeclaration()}};
  TDbxTestServer Server{Registry};

  std::string Port() const { return std::to_string(Server.Port()); }
};

TEST(CliProductCommands, LoginVersionAndWebModulePrintTheirAnswers) {
  TProductServer S;
  const struct {
    std::vector<std::string> Words;
    const char* Out;
  } Cases[] = {
      {{"login", "admin", "ZUL123"}, "9 - login OK, user level 9\n"},
      {{"login", "carlos", "carlos1"}, "-2 - user without access\n"},
      {{"login", "maria", "wrong"}, "0 - login refused\n"},
      {{"version"}, "2\n"},
      {{"zulweb"}, "0 - web module not installed\n"},
      // The options may also follow the command.
      {{"call", "TvxServerMethods8765.FazerLogin", "Maria", "maria2024", "--host", "localhost"},
       "ReturnParameter = 3\n"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Words[0] + " " + (Case.Words.size() > 1 ? Case.Words[1] : ""));
    std::vector<std::string> Words = Case.Words;
    Words.insert(Words.begin(), {"--port", S.Port()});
    const TRun R = RunLine(Words);
    EXPECT_EQ(R.Code, kExitOk);
    EXPECT_EQ(R.Err, "");
    EXPECT_EQ(R.Out, Case.Out);
  }
  S.WebModuleInstalled = true;
  EXPECT_EQ(RunLine({"--port", S.Port(), "zulweb"}).Out, "1 - web module installed\n");
}

TEST(CliProductCommands, ProductsPrintTheListWholeInPagesOrInXml) {
  TProductServer S;
  TSqliteConnection((S.Folder.Path() / TDatabaseFiles::kDatabaseFileName).string(),
                    TSqliteConnection::TOpenMode::ExistingFile)
      .Execute(
          "delete from tabest1;"
          "insert into tabest1 (codigo, produto, precocusto, precovenda, quantidade, inativo) values"
          " (10, 'Sab\u00e3o em p\u00f3', 7.5, 11.9, 12, null), (11, 'Vassoura', 9, 15, 3, 1),"
          " (12, 'Arroz 5kg', 18.25, 24.9, 40.5, 0), (13, 'Caf\u00e9 500g', 12.5, 18.9, 0, 0)");
  const std::string Heading = "Code  Description   Cost  Sale price  Quantity\n";
  const std::string Arroz = "  12  Arroz 5kg    18.25       24.90      40.5\n";
  const std::string Cafe = "  13  Caf\u00e9 500g    12.50       18.90         0\n";
  TRun R = RunLine({"--port", S.Port(), "products"});
  EXPECT_EQ(R.Code, kExitOk);
  EXPECT_EQ(R.Err, "");
  EXPECT_EQ(R.Out, Heading + Arroz + Cafe + "  10  Sab\u00e3o em p\u00f3   7.50       11.90        12\n3 products\n");

  // Each page is a table of its own; a full last page ends the list with the empty one after it.
  R = RunLine({"--port", S.Port(), "products", "--page", "2"});
  EXPECT_EQ(R.Err, "");
  EXPECT_EQ(R.Out, "Page 1, 2 products\n" + Heading + Arroz + Cafe + "Page 2, 1 product\n" +
                       "Code  Description  Cost  Sale price  Quantity\n" +
                       "  10  Sab\u00e3o em p\u00f3  7.50       11.90        12\n3 products\n");
  R = RunLine({"--port", S.Port(), "products", "--page", "3"});
  EXPECT_EQ(R.Out.find("Page 2"), std::string::npos) << R.Out;
  EXPECT_TRUE(R.Out.ends_with("3 products\n"));

  R = RunLine({"--port", S.Port(), "products", "--xml"});
  EXPECT_EQ(R.Err, "");
  EXPECT_TRUE(R.Out.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<packet")) << R.Out;
  EXPECT_NE(R.Out.find("<rows count=\"3\">"), std::string::npos);
  EXPECT_NE(R.Out.find("<value column=\"produto\">Caf\u00e9 500g</value>"), std::string::npos);
}

TEST(CliProductCommands, ProductsFromAServerWithoutTheListFail) {
  TTypesRegistryServer S;
  const TRun R = RunLine({"--port", std::to_string(S.Port()), "products"});
  EXPECT_EQ(R.Code, kExitFailure);
  EXPECT_EQ(R.Out, "");
  EXPECT_EQ(R.Err,
            "tavrin-cli: Remote error: TvxServerMethods8765.AS_GetRecords method not found in the server method list\n");
}

// --- The command line -----------------------------------------------------------------

TEST(CliCommandLine, NegativeNumbersAndWordsAfterDoubleDashAreArguments) {
  TTypesRegistryServer S;
  const std::string Port = std::to_string(S.Port());
  TRun R = RunLine({"--port", Port, "call", "TTypes.Swap_Integer", "-5", "7"});
  EXPECT_EQ(R.Err, "");
  EXPECT_EQ(R.Out, "B = -5\nC = -5\nReturnParameter = 7\n");
  R = RunLine({"--port", Port, "call", "TTypes.Concat", "--", "-x", "--port"});
  EXPECT_EQ(R.Err, "");
  EXPECT_EQ(R.Out, "ReturnParameter = -x--port\n");
}

TEST(CliProductCommands, SetPriceSendsTheChangedRowBackAndPrintsWhatTheServerAnswered) {
  TProductServer S;
  TSqliteConnection Database((S.Folder.Path() / TDatabaseFiles::kDatabaseFileName).string(),
                             TSqliteConnection::TOpenMode::ExistingFile);
  Database.Execute(
      "delete from tabest1;"
      "insert into tabest1 (codigo, produto, precocusto, precovenda, quantidade, inativo) values"
      " (12, 'Arroz 5kg', 18.25, 24.9, 40.5, 0), (13, 'Caf\u00e9 500g', 12.5, 18.9, 0, 0)");
  TRun R = RunLine({"--port", S.Port(), "set-price", "12", "26.5"});
  EXPECT_EQ(R.Err, "");
  EXPECT_EQ(R.Out, "Product 12 Arroz 5kg: sale price 24.90 -> 26.50, applied\n");
  EXPECT_EQ(R.Code, kExitOk);
  EXPECT_NE(RunLine({"--port", S.Port(), "products"}).Out.find("  12  Arroz 5kg    18.25       26.50"), std::string::npos);

  // The database refuses the row: the error row is printed and the price stays.
  Database.Execute("create trigger travado before update on tabest1 begin select raise(abort, 'tabela travada'); end");
  R = RunLine({"--port", S.Port(), "set-price", "13", "20"});
  EXPECT_EQ(R.Code, kExitFailure);
  EXPECT_TRUE(R.Out.starts_with("Not applied (record 2): ")) << R.Out;
  EXPECT_NE(R.Out.find("tabela travada"), std::string::npos) << R.Out;
  EXPECT_NE(RunLine({"--port", S.Port(), "products"}).Out.find("18.90"), std::string::npos);

  R = RunLine({"--port", S.Port(), "set-price", "99", "1"});
  EXPECT_EQ(R.Code, kExitFailure);
  EXPECT_EQ(R.Err, "tavrin-cli: no active product with code 99\n");
}

TEST(CliCommandLine, VersionHelpAndUsageErrors) {
  TRun R = RunLine({"--version"});
  EXPECT_EQ(R.Code, 0);
  EXPECT_EQ(R.Out, "tavrin-cli " + std::string(kProgramVersion) + "\n");

  R = RunLine({"--help"});
  EXPECT_EQ(R.Code, 0);
  for (const char* Word : {"--host", "--port", "login", "version", "zulweb", "call", "products", "set-price"}) {
    EXPECT_NE(R.Out.find(Word), std::string::npos) << Word;
  }
  // The defaults shown are the settings table's.
  for (const std::string& Default : {std::string(defaults::kHost), std::to_string(defaults::kPort)}) {
    EXPECT_NE(R.Out.find("=" + Default), std::string::npos) << Default;
  }

  const std::vector<std::string> Usages[] = {
      {},
      {"login", "admin"},
      {"version", "extra"},
      {"--port", "0", "version"},
      {"--port", "65536", "version"},
      {"--port", "x", "version"},
      {"call"},
      {"call", "TTypes.Concat", "-x"},
      {"products", "--page", "0"},
      {"products", "extra"},
      {"nope"},
  };
  for (const auto& Words : Usages) {
    std::string Line;
    for (const auto& Word : Words) Line += Word + " ";
    SCOPED_TRACE(Line);
    R = RunLine(Words);
    EXPECT_NE(R.Code, 0);
    EXPECT_NE(R.Code, kExitFailure) << "a usage error has the parser's code";
    EXPECT_EQ(R.Out, "");
    EXPECT_TRUE(R.Err.starts_with("tavrin-cli: ")) << R.Err;
  }
}

}  // namespace
}  // namespace tavrin
