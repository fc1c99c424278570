#pragma once
// The parameters of a query's statement: ":name" in the text, bound by name before the
// query runs (ParamByName("pNome").SetAsString(...)).
//
// Threading: parameters belong to their query and to the thread using it.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dataset/field.h"

namespace tavrin {

class TQueryParam {
 public:
  explicit TQueryParam(std::string Name) : FName(std::move(Name)) {}

  const std::string& Name() const { return FName; }
  // True once a value (or null, with Clear) has been given; a statement runs only with
  // every parameter bound.
  bool Bound() const { return FBound; }
  bool IsNull() const { return std::holds_alternative<std::monostate>(FValue); }
  const TFieldValue& Value() const { return FValue; }

  // Binds null.
  void Clear() { Assign(std::monostate{}); }
  // Text is UTF-8 and goes to the database as it is.
  void SetAsString(std::string Text) { Assign(std::move(Text)); }
  void SetAsInteger(std::int32_t Number) { Assign(std::int64_t{Number}); }
  void SetAsLargeInt(std::int64_t Number) { Assign(Number); }
  void SetAsFloat(double Number) { Assign(Number); }
  // Bound as 1 or 0.
  void SetAsBoolean(bool Flag) { Assign(std::int64_t{Flag ? 1 : 0}); }
  void SetAsBytes(TFieldBytes Bytes) { Assign(std::move(Bytes)); }

  // The text given with SetAsString; a number in decimal (a floating-point one in the
  // shortest form that reads back the same); empty for null or bytes.
  std::string AsString() const;

 private:
  void Assign(TFieldValue Value) {
    FValue = std::move(Value);
    FBound = true;
  }

  std::string FName;
  TFieldValue FValue;
  bool FBound = false;
};

class TQueryParams {
 public:
  static constexpr char kParamNotFound[] = "Parameter not found: ";

  std::int32_t Count() const { return static_cast<std::int32_t>(FItems.size()); }
  // Parameter Index, in order of first appearance in the statement. Raises
  // EDatabaseError kParamNotFound with the index outside the list.
  TQueryParam& operator[](std::int32_t Index);
  const TQueryParam& operator[](std::int32_t Index) const;
  // The parameter named Name, ignoring ASCII letter case; null when none.
  TQueryParam* FindParam(std::string_view Name);
  const TQueryParam* FindParam(std::string_view Name) const;
  // As FindParam; raises EDatabaseError "Parameter not found: <Name>" when none.
  TQueryParam& ParamByName(std::string_view Name);

  // Makes the list the parameters named Names, in that order, each unbound.
  void Rebuild(const std::vector<std::string>& Names);

 private:
  std::vector<std::unique_ptr<TQueryParam>> FItems;
};

// The names of the ":name" parameters of Sql, each once, in order of first appearance.
// A name is a letter or "_" followed by letters, digits and "_". Colons inside quoted
// text ('...', "...", [...], `...`) and comments (-- to the end of the line, /* ... */)
// are not parameters.
std::vector<std::string> ParamNamesOf(std::string_view Sql);

}  // namespace tavrin
