#include "app/tavrin_cli/commands.h"

#include <exception>
#include <memory>
#include <optional>
#include <utility>

#include "client/connection.h"
#include "client/tracing_channel.h"
#include "dbxstream/row_value_codec.h"
#include "vocabulary/data_types.h"
#include "vocabulary/dbx_error.h"
#include "dbxstream/command_types.h"
#include "vocabulary/unicode_text.h"
#include "vocabulary/value_text.h"
#include "transport/tcp_client_channel.h"
#include "transport/tcp_limits.h"

namespace tavrin::cli {

namespace {

// The product's answers that are not a user level or a yes.
constexpr std::int64_t kLoginRefusedAnswer = 0;
constexpr std::int64_t kNoAccessAnswer = -2;
constexpr std::int64_t kWebModuleInstalledAnswer = 1;
constexpr std::int64_t kWebModuleMissingAnswer = 0;

// What the named commands print after the answer.
constexpr std::string_view kLoginOk = " - login OK, user level ";
constexpr std::string_view kLoginRefused = " - login refused";
constexpr std::string_view kNoAccess = " - user without access";
constexpr std::string_view kWebModuleInstalled = " - web module installed";
constexpr std::string_view kWebModuleMissing = " - web module not installed";

// How call prints values and tables.
constexpr std::string_view kNameSeparator = " = ";
constexpr std::string_view kTableHeading = "table, ";
constexpr std::string_view kOneRow = " row";
constexpr std::string_view kRows = " rows";
constexpr std::string_view kUnnamedTable = "Table ";
constexpr std::string_view kResultName = "Result";  // for a return value the server left unnamed
constexpr char kCellSeparator = '\t';
constexpr char kLineEnd = '\n';

// Reasons for a failure (after the error prefix).
constexpr std::string_view kTakes = " takes ";
constexpr std::string_view kNoArguments = "no arguments";
constexpr std::string_view kOneArgument = "1 argument";
constexpr std::string_view kArguments = " arguments";
constexpr std::string_view kGiven = " given";
constexpr std::string_view kNoReturnValue = " gave no return value";
constexpr std::string_view kAnswered = " answered ";
constexpr std::string_view kNotWholeNumberSuffix = ", not a whole number";
constexpr std::string_view kNeitherYesNorNo = ", neither 1 nor 0";
constexpr std::string_view kNoValues = "the reply to %s carried no values";
constexpr std::string_view kNoSuchTable = "the reply has no table ";
constexpr std::string_view kForParameter = " for parameter ";
constexpr std::string_view kLongArgumentLost = "the value of parameter %s did not fit in the request";

std::string Replaced(std::string_view Pattern, const std::string& Value) {
  std::string Text(Pattern);
  Text.replace(Text.find("%s"), 2, Value);
  return Text;
}

[[noreturn]] void Fail(const std::string& Reason) { throw TDBXError(TDBXErrorCodes::Unspecified, Reason); }

bool IsOutward(const TDBXValueType& Type) {
  const std::int32_t Direction = Type.ParameterDirection();
  return Direction == TDBXParameterDirections::OutParameter || Direction == TDBXParameterDirections::InOutParameter ||
         Direction == TDBXParameterDirections::ReturnParameter;
}

// In and in/out parameters take an argument; so does one without a direction, which the
// server reads like an input. A connection parameter is the server's to fill in.
bool TakesArgument(const TDBXValueType& Type) {
  const std::int32_t Direction = Type.ParameterDirection();
  return Direction != TDBXParameterDirections::OutParameter &&
         Direction != TDBXParameterDirections::ReturnParameter &&
         Type.DataType() != TDBXDataTypes::ConnectionType;
}

bool IsTable(const TDBXValueType& Type) {
  return Type.DataType() == TDBXDataTypes::TableType || Type.DataType() == TDBXDataTypes::CursorType;
}

std::string NameOf(const TDBXValueType& Type) {
  if (Type.Name().empty() && Type.ParameterDirection() == TDBXParameterDirections::ReturnParameter) {
    return std::string(kResultName);
  }
  return Type.Name();
}

// Text on one line: backslash, tab, carriage return and line feed escaped.
std::string Escaped(const std::string& Text) {
  std::string Line;
  Line.reserve(Text.size());
  for (const char C : Text) {
    switch (C) {
      case '\\': Line += "\\\\"; break;
      case '\t': Line += "\\t"; break;
      case '\r': Line += "\\r"; break;
      case '\n': Line += "\\n"; break;
      default: Line += C;
    }
  }
  return Line;
}

void CheckArgumentCount(const TCliRequest& Request, const std::vector<TDBXValueType>& Parameters) {
  std::vector<std::string> Names;
  for (const TDBXValueType& Type : Parameters) {
    if (TakesArgument(Type)) Names.push_back(Type.Name());
  }
  if (Names.size() == Request.Arguments.size()) return;
  std::string Reason = Request.MethodAlias + std::string(kTakes);
  if (Names.empty()) {
    Reason += kNoArguments;
  } else {
    Reason += Names.size() == 1 ? std::string(kOneArgument) : std::to_string(Names.size()) + std::string(kArguments);
    Reason += " (";
    for (std::size_t i = 0; i < Names.size(); ++i) Reason += (i > 0 ? ", " : "") + Names[i];
    Reason += ")";
  }
  Fail(Reason + ", " + std::to_string(Request.Arguments.size()) + std::string(kGiven));
}

// The parameter row of the execute: each argument converted to its parameter's type, a
// null in every other slot.
void WriteArguments(TDBXClientConnection& Connection, const std::vector<TDBXValueType>& Parameters,
                    const std::vector<std::string>& Arguments) {
  TDBXRowBuffer& Row = Connection.BeginParameters();
  std::size_t Next = 0;
  for (std::size_t i = 0; i < Parameters.size(); ++i) {
    const TDBXValueType& Type = Parameters[i];
    if (!TakesArgument(Type)) {
      Row.WriteNull();
      continue;
    }
    const auto Value = ValueFromText(Type, Arguments[Next++]);
    const auto Ordinal = static_cast<std::int32_t>(i);
    // A text too long for the row goes inline in part; the connection serves the rest
    // when the server asks for it.
    if (const auto* Wide = dynamic_cast<const TDBXWideStringValue*>(Value.get())) {
      if (!Row.WriteString(Wide->GetWideString())) Connection.HoldLongParameter(Ordinal);
    } else if (const auto* Ansi = dynamic_cast<const TDBXAnsiStringValue*>(Value.get())) {
      if (!Row.WriteAnsiString(Ansi->GetAnsiString())) Connection.HoldLongParameter(Ordinal);
    } else if (const auto* Stream = dynamic_cast<const TDBXStreamValue*>(Value.get())) {
      // ValueFromText keeps bytes in a byte stream, which tells its size.
      Row.WriteBytes(dynamic_cast<const TBytesStream&>(*Stream->GetStream()).Bytes());
      if (!Row.LastWriteFitted()) Connection.HoldLongParameter(Ordinal);
    } else {
      try {
        if (WriteRowValue(Row, Type, *Value)) Fail(Replaced(kLongArgumentLost, Type.Name()));
      } catch (const TDBXError& Error) {
        // The row's own checks (a decimal with too many digits) name no parameter.
        throw TDBXError(Error.ErrorCode(), "parameter " + Type.Name() + ": " + Error.Message());
      }
    }
  }
}

std::unique_ptr<TDBXWritableValue> ReadValue(TDBXRowBuffer& Row, const TDBXValueType& Type, std::int32_t Ordinal) {
  TDBXValueType Described = Type;
  auto Value = CreateValueHolder(Described);
  Row.GoToField(Ordinal);
  ReadRowValue(Row, Type, *Value);
  return Value;
}

// "table, N rows", the column names and the rows, each line ended.
std::string TableText(TDBXClientTable& Table) {
  std::string Lines;
  for (std::int32_t i = 0; i < Table.ColumnCount(); ++i) {
    if (i > 0) Lines += kCellSeparator;
    Lines += Escaped(Table.Columns()[static_cast<std::size_t>(i)].Name());
  }
  Lines += kLineEnd;
  std::int64_t Rows = 0;
  while (Table.Next()) {
    ++Rows;
    for (std::int32_t i = 0; i < Table.ColumnCount(); ++i) {
      if (i > 0) Lines += kCellSeparator;
      const TDBXValueType& Column = Table.Columns()[static_cast<std::size_t>(i)];
      Lines += Escaped(ValueText(Column, *ReadValue(Table.Row(), Column, i)));
    }
    Lines += kLineEnd;
  }
  return std::string(kTableHeading) + std::to_string(Rows) + std::string(Rows == 1 ? kOneRow : kRows) + kLineEnd + Lines;
}

// Every outward value of the reply as "Name = value" lines, tables with their rows; then
// the tables no parameter named.
std::string ValuesText(TDBXClientConnection& Connection, const TCliRequest& Request,
                       const std::vector<TDBXValueType>& Parameters, TDBXExecuteReply& Reply) {
  std::string Text;
  std::vector<bool> Printed(Reply.Tables.size(), false);
  for (std::size_t i = 0; i < Parameters.size(); ++i) {
    const TDBXValueType& Type = Parameters[i];
    if (!IsOutward(Type)) continue;
    if (!Reply.HasParameterRow) Fail(Replaced(kNoValues, Request.MethodAlias));
    const auto Ordinal = static_cast<std::int32_t>(i);
    Text += Escaped(NameOf(Type)) + std::string(kNameSeparator);
    TDBXRowBuffer& Row = Connection.ParameterRow();
    Row.GoToField(Ordinal);
    if (IsTable(Type) && !Row.Null()) {
      // The slot holds the table's number among the reply's tables, from 1.
      const std::int32_t Number = Row.ReadTableHandle();
      if (Number < 1 || static_cast<std::size_t>(Number) > Reply.Tables.size() ||
          Printed[static_cast<std::size_t>(Number - 1)]) {
        Fail(std::string(kNoSuchTable) + std::to_string(Number) + std::string(kForParameter) + Type.Name());
      }
      Printed[static_cast<std::size_t>(Number - 1)] = true;
      Text += TableText(*Reply.Tables[static_cast<std::size_t>(Number - 1)]);
      continue;
    }
    Text += Escaped(ValueText(Type, *ReadValue(Row, Type, Ordinal))) + kLineEnd;
  }
  for (std::size_t i = 0; i < Reply.Tables.size(); ++i) {
    if (Printed[i]) continue;
    Text += std::string(kUnnamedTable) + std::to_string(i + 1) + std::string(kNameSeparator) +
            TableText(*Reply.Tables[i]);
  }
  return Text;
}

std::optional<std::int64_t> IntegerOf(const TDBXValue& Value) {
  if (Value.IsNull()) return std::nullopt;
  if (const auto* V = dynamic_cast<const TDBXInt32Value*>(&Value)) return V->GetInt32();
  if (const auto* V = dynamic_cast<const TDBXInt64Value*>(&Value)) return V->GetInt64();
  if (const auto* V = dynamic_cast<const TDBXInt16Value*>(&Value)) return V->GetInt16();
  if (const auto* V = dynamic_cast<const TDBXInt8Value*>(&Value)) return V->GetInt8();
  if (const auto* V = dynamic_cast<const TDBXUInt16Value*>(&Value)) return V->GetUInt16();
  if (const auto* V = dynamic_cast<const TDBXUInt8Value*>(&Value)) return V->GetUInt8();
  return std::nullopt;
}

// The method's return value, which must be a whole number.
std::int64_t ReturnedInteger(TDBXClientConnection& Connection, const TCliRequest& Request,
                             const std::vector<TDBXValueType>& Parameters, const TDBXExecuteReply& Reply) {
  for (std::size_t i = Parameters.size(); i-- > 0;) {
    const TDBXValueType& Type = Parameters[i];
    if (Type.ParameterDirection() != TDBXParameterDirections::ReturnParameter) continue;
    if (!Reply.HasParameterRow) break;
    const auto Value = ReadValue(Connection.ParameterRow(), Type, static_cast<std::int32_t>(i));
    if (const auto Number = IntegerOf(*Value)) return *Number;
    Fail(Request.MethodAlias + std::string(kAnswered) + ValueText(Type, *Value) + " (" +
         DataTypeName(Type.DataType()) + ")" + std::string(kNotWholeNumberSuffix));
  }
  Fail(Request.MethodAlias + std::string(kNoReturnValue));
}

std::string LoginText(std::int64_t Answer) {
  const std::string Number = std::to_string(Answer);
  if (Answer == kLoginRefusedAnswer) return Number + std::string(kLoginRefused) + kLineEnd;
  if (Answer == kNoAccessAnswer) return Number + std::string(kNoAccess) + kLineEnd;
  return Number + std::string(kLoginOk) + Number + kLineEnd;
}

std::string WebModuleText(const TCliRequest& Request, std::int64_t Answer) {
  const std::string Number = std::to_string(Answer);
  if (Answer == kWebModuleInstalledAnswer) return Number + std::string(kWebModuleInstalled) + kLineEnd;
  if (Answer == kWebModuleMissingAnswer) return Number + std::string(kWebModuleMissing) + kLineEnd;
  Fail(Request.MethodAlias + std::string(kAnswered) + Number + std::string(kNeitherYesNorNo));
}

// Prepares and executes the request's method on a connected connection and returns what
// the command prints. Handle is set as soon as the server gave the command one.
std::string CallAndDescribe(TDBXClientConnection& Connection, const TCliRequest& Request,
                            std::optional<std::int32_t>& Handle) {
  const TDBXPrepareReply Prepared =
      Connection.Prepare(TDSCommandTypes::kServerMethod, ToUtf16(Request.MethodAlias));
  Handle = Prepared.CommandHandle;
  CheckArgumentCount(Request, Prepared.Parameters);
  if (!Prepared.Parameters.empty()) WriteArguments(Connection, Prepared.Parameters, Request.Arguments);
  TDBXExecuteReply Reply = Connection.Execute(Prepared.CommandHandle);
  const std::vector<TDBXValueType>& Parameters = Reply.Parameters ? *Reply.Parameters : Prepared.Parameters;
  switch (Request.Answer) {
    case TCliAnswer::Values:
      return ValuesText(Connection, Request, Parameters, Reply);
    case TCliAnswer::Login:
      return LoginText(ReturnedInteger(Connection, Request, Parameters, Reply));
    case TCliAnswer::Version:
      return std::to_string(ReturnedInteger(Connection, Request, Parameters, Reply)) + kLineEnd;
    case TCliAnswer::WebModule:
      return WebModuleText(Request, ReturnedInteger(Connection, Request, Parameters, Reply));
  }
  return {};
}

// Closes the command and disconnects after a failure, as far as the connection allows.
void SayGoodbyeQuietly(TDBXClientConnection& Connection, std::optional<std::int32_t> Handle) noexcept {
  try {
    if (Handle) Connection.CommandClose(*Handle);
    Connection.Disconnect();
  } catch (...) {
    // The failure being reported is what the operator needs; after a lost connection
    // these writes fail as well, which adds nothing to it.
  }
}

}  // namespace

// Writes the failure as one line: line breaks inside the reason (a reader's message
// quoting what it found) become blanks.
int ReportFailure(std::ostream& Err, std::string_view Reason) {
  std::string Line(Reason);
  for (char& C : Line) {
    if (C == '\n' || C == '\r') C = ' ';
  }
  Err << kErrorPrefix << Line << kLineEnd;
  Err.flush();
  return kExitFailure;
}

TCliRequest CallRequest(std::string MethodAlias, std::vector<std::string> Arguments) {
  return {std::move(MethodAlias), std::move(Arguments), TCliAnswer::Values};
}

TCliRequest LoginRequest(std::string User, std::string Password) {
  return {std::string(kLoginMethod), {std::move(User), std::move(Password)}, TCliAnswer::Login};
}

TCliRequest VersionRequest() { return {std::string(kVersionMethod), {}, TCliAnswer::Version}; }

TCliRequest WebModuleRequest() { return {std::string(kWebModuleMethod), {}, TCliAnswer::WebModule}; }

int RunRequest(TDbxChannel& Channel, const TCliRequest& Request, std::ostream& Out, std::ostream& Err) {
  try {
    TDBXClientConnection Connection(Channel);
    Connection.Connect({});
    std::optional<std::int32_t> Handle;
    std::string Text;
    try {
      Text = CallAndDescribe(Connection, Request, Handle);
    } catch (...) {
      SayGoodbyeQuietly(Connection, Handle);
      throw;
    }
    Connection.CommandClose(*Handle);
    Connection.Disconnect();
    Out << Text;
    Out.flush();
    return kExitOk;
  } catch (const std::exception& Error) {
    return ReportFailure(Err, Error.what());
  } catch (...) {
    return ReportFailure(Err, kUnexpectedFailure);
  }
}

int RunRequest(const TCliTarget& Target, const TCliRequest& Request, std::ostream& Out, std::ostream& Err) {
  try {
    TDBXTcpClientChannel Channel(Target.Host, Target.Port, true, Target.ConnectTimeout);
    if (Target.Trace == nullptr) return RunRequest(Channel, Request, Out, Err);
    // The channel has checked the probe's answer byte for byte before it returns.
    WriteTraceLine(*Target.Trace, kTraceFromClient, tcp::kFilterProbe);
    WriteTraceLine(*Target.Trace, kTraceFromServer, tcp::kNoFiltersAnswer);
    TDBXTracingChannel Traced(Channel, *Target.Trace);
    return RunRequest(Traced, Request, Out, Err);
  } catch (const std::exception& Error) {
    return ReportFailure(Err, Error.what());
  } catch (...) {
    return ReportFailure(Err, kUnexpectedFailure);
  }
}

}  // namespace tavrin::cli
