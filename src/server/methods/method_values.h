#pragma once
// TDSMethodValues: the argument cells of one prepared server method. Before each call it
// turns the parameters into cells by data type (value parameters pass their holder,
// out and in/out parameters a cell the method writes into, the others a converted
// copy); after the call it reads the out, in/out and result cells back into their
// parameters.
//
// What a call needs made (a dataset over a table the client sent, a parameter list, a
// stream, a JSON value, a reader over a returned dataset) is held by shared pointers in
// the cells and the parameters' holders: the cells are emptied at the start of the
// next call of the same command and when the command closes, and whatever nobody else
// holds goes with them. Objects a caller keeps a pointer to stay alive for it, so a
// server-side command (whose caller takes over what a call produced) needs nothing
// different here; the flag is kept for the caller to ask.
//
// Threading: used only by the thread of the command's connection.

#include <memory>
#include <string>
#include <vector>

#include "server/methods/method_call.h"
#include "vocabulary/sql_timestamp.h"
#include "vocabulary/value_type.h"

namespace tavrin {

namespace TDSMethodValueErrors {
inline constexpr char kWrongCell[] = " received a value of another type from the method";
inline constexpr char kWrongHolder[] = " holds no value of its data type";
inline constexpr char kUnexpectedDataType[] = "Unexpected data type ";
inline constexpr char kCurrencyRange[] = "Currency value out of range: ";
}  // namespace TDSMethodValueErrors

class TDSMethodValues {
 public:
  TDSMethodValues() = default;
  TDSMethodValues(const TDSMethodValues&) = delete;
  TDSMethodValues& operator=(const TDSMethodValues&) = delete;

  void SetServerSideCommand(bool Value) { FServerSideCommand = Value; }
  bool ServerSideCommand() const { return FServerSideCommand; }

  // Empties the previous call's cells, then makes one cell per parameter of
  // Parameters (the method's parameters in order, its result excluded). The cells live
  // until the next BuildArguments or Clear. Raises TDBXError code 3 for a data type that
  // has no argument form, and what building a table argument raises.
  TDSMethodCall& BuildArguments(const std::vector<TDBXParameter*>& Parameters);

  // Reads the cells of the out and in/out parameters that are not value parameters, and
  // the result cell into Return when there is one. A cell left empty makes its
  // parameter null; a cell of another kind than the data type asks raises TDBXError
  // code 3 naming the parameter.
  void ReadResults(const std::vector<TDBXParameter*>& Parameters, TDBXParameter* Return);

  // Empties every cell in place (the cells themselves stay, so this is safe while the
  // method they were built for is still running).
  void Clear();

  // The cells of the last call; null before the first.
  TDSMethodCall* Call() const { return FCall.get(); }

 private:
  std::unique_ptr<TDSMethodCall> FCall;
  bool FServerSideCommand = false;
};

// --- Conversions the cells use ------------------------------------------------------------

// Currency from decimal text ("-12.5"), rounded half away from zero to four decimals;
// raises TDBXError code 2 for malformed text or a value beyond the currency range.
TDSCurrency CurrencyFromDecimalText(std::string_view Text);
// The shortest decimal text of a currency value ("-12.5", "3").
std::string DecimalTextFromCurrency(TDSCurrency Value);

// Date-time (days since 1899-12-30, the time of day as the fraction; before that day the
// fraction still counts forward from midnight) to and from a timestamp, to the
// millisecond.
TDSDateTime DateTimeFromTimeStamp(const TSQLTimeStamp& Value);
TSQLTimeStamp TimeStampFromDateTime(TDSDateTime Value);

}  // namespace tavrin
