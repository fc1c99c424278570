#pragma once
// The parameters of a query's statement: ":name" in the text, bound by name before the
// query runs (ParamByName("pNome").SetAsString(...)). Which names the statement has is
// SQLite's to say, and it says so only when it prepares the statement against the
// database: until the statement first runs the list holds the names bound so far, and
// from then on it is the statement's own list (Adopt).
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
  friend class TQueryParams;  // renames a bound parameter to the statement's spelling
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
  // Parameter Index: in the statement's order once known, else in the order bound.
  // Raises EDatabaseError kParamNotFound with the index outside the list.
  TQueryParam& operator[](std::int32_t Index);
  const TQueryParam& operator[](std::int32_t Index) const;
  // The parameter named Name, ignoring ASCII letter case; null when none.
  TQueryParam* FindParam(std::string_view Name);
  const TQueryParam* FindParam(std::string_view Name) const;
  // As FindParam. While the statement's names are not known yet, a name not in the list
  // joins it, unbound; once they are, raises EDatabaseError "Parameter not found: <Name>"
  // for a name the statement does not have.
  TQueryParam& ParamByName(std::string_view Name);

  // True once the list is the statement's own (Adopt), until Reset.
  bool Known() const { return FKnown; }
  // Empties the list for a new statement whose names are not known yet.
  void Reset();
  // Makes the list the statement's parameters, named Names (as SQLite reads them, without
  // the leading ':'; names differing only in ASCII letter case are one parameter), in
  // that order, each keeping the value bound under its name. Raises EDatabaseError
  // "Parameter not found: <Name>", leaving the list as it was, when a parameter was bound
  // under a name the statement does not have.
  void Adopt(const std::vector<std::string>& Names);

 private:
  std::vector<std::unique_ptr<TQueryParam>> FItems;
  bool FKnown = false;
};

}  // namespace tavrin
