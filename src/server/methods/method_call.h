#pragma once
// The argument cells of one call of a server method, as the method's entry point sees
// them. The dispatcher fills one cell per declared parameter (the result cell starts
// empty), calls the entry point, then reads back the out and in/out cells and the
// result. A by-reference parameter (var or out) is simply a cell the method writes
// into; a value parameter's cell holds the parameter's own value holder.
//
// Objects in cells (streams, readers, datasets, JSON values ...) are shared pointers:
// what the dispatcher made for a call lives until the cells are cleared at the start of
// the next call of the same command or at its close, unless the method kept a copy.
//
// Threading: a call's cells belong to the connection thread running the call.

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "vocabulary/dbx_error.h"
#include "vocabulary/json_text.h"
#include "vocabulary/variant.h"

namespace tavrin {

class TStream;
class TDBXReader;
class TDBXConnection;
class TDBXCallback;
class TDBXWritableValue;
class TDataSet;
class TParams;

// What one cell can hold. monostate is "nothing" (a null object, or no result).
using TDSArgument =
    std::variant<std::monostate, std::string, std::u16string, bool, std::int8_t, std::uint8_t,
                 std::int16_t, std::uint16_t, std::int32_t, std::int64_t, float, double,
                 TDSCurrency, TDSDateTime, TDSVariant, std::shared_ptr<TStream>,
                 std::shared_ptr<TDBXReader>, std::shared_ptr<TDataSet>, std::shared_ptr<TParams>,
                 std::shared_ptr<TJSONValue>, std::shared_ptr<TDBXConnection>,
                 std::shared_ptr<TDBXCallback>, TDBXWritableValue*>;

class TDSMethodCall {
 public:
  explicit TDSMethodCall(std::size_t ArgumentCount) : FArguments(ArgumentCount) {}

  std::size_t Count() const { return FArguments.size(); }
  // Cell Index (0-based, in declaration order), to read or write.
  TDSArgument& Argument(std::size_t Index) {
    if (Index >= FArguments.size()) RaiseNoArgument(Index);
    return FArguments[Index];
  }
  // The cell's content as T. Raises TDBXError code 3 when the cell holds another kind,
  // so a method declared with one type and registered with another fails loudly.
  template <typename T>
  T& As(std::size_t Index) {
    TDSArgument& Cell = Argument(Index);
    if (auto* Value = std::get_if<T>(&Cell)) return *Value;
    throw TDBXError(TDBXErrorCodes::UnexpectedDataType,
                    "Argument " + std::to_string(Index) + " has another type");
  }
  // The result cell; monostate until the method sets it.
  TDSArgument& Result() { return FResult; }
  template <typename T>
  void SetResult(T Value) { FResult = std::move(Value); }

  // Empties every cell and the result (frees what they held).
  void Clear() {
    for (auto& Cell : FArguments) Cell = std::monostate{};
    FResult = std::monostate{};
  }

 private:
  [[noreturn]] static void RaiseNoArgument(std::size_t Index) {
    throw TDBXError(TDBXErrorCodes::InvalidInput, "No argument " + std::to_string(Index));
  }

  std::vector<TDSArgument> FArguments;
  TDSArgument FResult;
};

}  // namespace tavrin
