#pragma once
// The commands of tavrin-cli, the operator's client: each connects to a server, calls
// one server method with arguments given as text, prints the answer, closes the command
// and says goodbye (a disconnect request, so the server logs the client leaving).
//
// What a command prints on its standard output:
//   call     every out, in/out and return value in ordinal order, one per line, as
//            "Name = value" (texts as vocabulary/value_text.h describes, with backslash, tab,
//            carriage return and line feed written \\ \t \r \n). A table prints as
//            "Name = table, N rows", then a line of its column names and a line per
//            row, values separated by tabs and escaped the same way. A table that no
//            parameter names (a method's returned reader) follows as "Table N = ...".
//   login    "<answer> - login OK, user level <answer>", "0 - login refused" or
//            "-2 - user without access".
//   version  the server's version number.
//   zulweb   "1 - web module installed" or "0 - web module not installed".
// On any failure (no connection, an error reply, a wrong number of arguments, an argument
// that does not convert, an answer of an unexpected type) nothing goes to the standard
// output: one line "tavrin-cli: <reason>" goes to the error stream and the exit code is
// kExitFailure.
//
// Threading: each call uses its own connection; calls on different threads are
// independent.

#include <chrono>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "dbxstream/channel.h"
#include "vocabulary/defaults.h"

namespace tavrin::cli {

inline constexpr std::string_view kProgramName = "tavrin-cli";
// Starts every line the program writes to its error stream.
inline constexpr std::string_view kErrorPrefix = "tavrin-cli: ";
// What an error that is not the server's or the network's reports.
inline constexpr std::string_view kUnexpectedFailure = "unexpected failure";

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;

// --- The product's methods behind the named commands --------------------------------------
inline constexpr std::string_view kLoginMethod = "TvxServerMethods8765.FazerLogin";
inline constexpr std::string_view kVersionMethod = "TvxServerMethods8765.VersaoServidor";
inline constexpr std::string_view kWebModuleMethod = "TvxServerMethods8765.ZULWEB";

// How the reply of a request is printed.
enum class TCliAnswer {
  Values,     // every out, in/out and return value (call)
  Login,      // the return value read as a login outcome
  Version,    // the return value as a number
  WebModule,  // the return value read as the web module check
};

struct TCliRequest {
  std::string MethodAlias;             // "Class.Method"
  std::vector<std::string> Arguments;  // one text per in and in/out parameter, in order
  TCliAnswer Answer = TCliAnswer::Values;
};

TCliRequest CallRequest(std::string MethodAlias, std::vector<std::string> Arguments);
TCliRequest LoginRequest(std::string User, std::string Password);
TCliRequest VersionRequest();
TCliRequest WebModuleRequest();

// Where a command goes; the defaults are vocabulary/defaults.h's, which --help shows.
struct TCliTarget {
  std::string Host = std::string(defaults::kHost);
  std::uint16_t Port = static_cast<std::uint16_t>(defaults::kPort);
  // Bound on connecting and on the server's answer to the opening probe.
  std::chrono::milliseconds ConnectTimeout = defaults::kConnectTimeout;
  // When set, every byte each way is written there as it goes, one line per write and
  // per read (client/tracing_channel.h), the opening probe and its answer first.
  std::ostream* Trace = nullptr;
};

// Runs Request over a new TCP connection to Target (with the opening probe) and closes
// it. Returns kExitOk after printing the answer to Out, or kExitFailure after writing
// the reason to Err. Raises nothing.
int RunRequest(const TCliTarget& Target, const TCliRequest& Request, std::ostream& Out, std::ostream& Err);

// The same over a channel that is already open (and stays open: closing it is the
// caller's).
int RunRequest(TDbxChannel& Channel, const TCliRequest& Request, std::ostream& Out, std::ostream& Err);

// Writes Reason to Err as the one failure line ("tavrin-cli: " and the reason, its line
// breaks made blanks) and returns kExitFailure.
int ReportFailure(std::ostream& Err, std::string_view Reason);

}  // namespace tavrin::cli
