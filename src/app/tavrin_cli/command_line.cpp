#include "app/tavrin_cli/command_line.h"

#include <CLI/CLI.hpp>

#include <exception>
#include <string>
#include <vector>

#include "app/tavrin_cli/commands.h"
#include "app/tavrin_cli/products.h"
#include "app/tavrin_cli/set_price.h"
#include "vocabulary/program_version.h"

namespace tavrin::cli {

namespace {

constexpr char kDescription[] = "Asks a running TAVRIN server something, from this machine or another one.";
constexpr char kVersionFlag[] = "--version";
constexpr char kVersionHelp[] = "Print the program's version and exit";
constexpr char kTraceHelp[] =
    "Print every byte sent (C: ) and received (S: ) on standard error as it goes; bytes outside "
    "0x20..0x7E, and '|', in hexadecimal between two '|'";
constexpr int kMinPort = 1;
constexpr int kMaxPort = 65535;
// The most products one page may ask for (a request's count is a 32-bit integer).
constexpr int kMaxPageSize = 2147483647;

}  // namespace

int RunCommandLine(int Argc, const char* const* Argv, std::ostream& Out, std::ostream& Err) {
  try {
    CLI::App App(kDescription, std::string(kProgramName));
    // Subcommands copy this when they are added: set it first.
    App.failure_message([](const CLI::App* Failed, const CLI::Error& Error) {
      return std::string(kErrorPrefix) + CLI::FailureMessage::simple(Failed, Error);
    });
    App.set_version_flag(kVersionFlag, std::string(kProgramName) + " " + kProgramVersion, kVersionHelp);
    App.require_subcommand(1);
    // Options of the program may also follow the command's words.
    App.fallthrough();

    TCliTarget Target;
    App.add_option("--host", Target.Host, "Server name or address")->type_name("HOST")->capture_default_str();
    App.add_option("--port", Target.Port, "Server TCP port")
        ->type_name("PORT")
        ->capture_default_str()
        ->check(CLI::Range(kMinPort, kMaxPort));
    bool Trace = false;
    App.add_flag("--trace", Trace, kTraceHelp);

    TCliRequest Request;
    std::string User, Password, Alias;
    std::vector<std::string> Arguments;
    CLI::App* Login = App.add_subcommand("login", "Log a user in (" + std::string(kLoginMethod) + ")");
    Login->add_option("USER", User, "User name")->required();
    Login->add_option("PASSWORD", Password, "Password")->required();
    CLI::App* Version = App.add_subcommand("version", "Print the server's version (" + std::string(kVersionMethod) + ")");
    CLI::App* WebModule = App.add_subcommand(
        "zulweb", "Tell whether the web module is installed on the server's machine (" + std::string(kWebModuleMethod) + ")");
    CLI::App* Call = App.add_subcommand(
        "call", "Call any server method and print its out, in/out and return values as Name = value lines");
    Call->add_option("ALIAS", Alias, "Method alias, Class.Method (DSAdmin.GetPlatformName)")->required();
    Call->add_option("ARGS", Arguments, "One argument per in and in/out parameter; put \"--\" before any that starts with '-'");
    TProductsRequest Products;
    CLI::App* ProductList = App.add_subcommand(
        "products", "Print the product list (" + std::string(kProductClass) + ".AS_GetRecords of " +
                        std::string(kProductProvider) + ") as a table");
    ProductList->add_option("--page", Products.PageSize, "Fetch N products per request and print each page as it arrives")
        ->type_name("N")
        ->check(CLI::Range(1, kMaxPageSize));
    ProductList->add_flag("--xml", Products.Xml, "Print the server's XML form of the list instead");
    TSetPriceRequest Price;
    CLI::App* SetPrice = App.add_subcommand(
        "set-price", "Change a product's sale price: fetch the list, send the changed row back (" +
                         std::string(kProductClass) + ".AS_ApplyUpdates of " + std::string(kProductProvider) +
                         ") and print the server's answer");
    SetPrice->add_option("CODE", Price.Code, "Product code")->required();
    SetPrice->add_option("PRICE", Price.Price, "New sale price (a point before the decimals)")->required();

    try {
      App.parse(Argc, Argv);
    } catch (const CLI::ParseError& Error) {
      return App.exit(Error, Out, Err);
    }
    if (ProductList->parsed()) return RunProducts(Target, Products, Out, Err);
    if (SetPrice->parsed()) return RunSetPrice(Target, Price, Out, Err);

    if (Login->parsed()) {
      Request = LoginRequest(User, Password);
    } else if (Version->parsed()) {
      Request = VersionRequest();
    } else if (WebModule->parsed()) {
      Request = WebModuleRequest();
    } else if (Call->parsed()) {
      Request = CallRequest(Alias, Arguments);
    }
    if (Trace) Target.Trace = &Err;
    return RunRequest(Target, Request, Out, Err);
  } catch (const std::exception& Error) {
    Err << kErrorPrefix << Error.what() << '\n';
    return kExitFailure;
  } catch (...) {
    Err << kErrorPrefix << kUnexpectedFailure << '\n';
    return kExitFailure;
  }
}

}  // namespace tavrin::cli
