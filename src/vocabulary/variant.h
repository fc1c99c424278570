#pragma once
// TDSVariant: an automation variant as the provider methods exchange it. It is empty
// (unassigned), null, a scalar of one of the kinds below, an array of bytes (a data
// packet), or an array of any other kind with its bounds. A variant travels inside a
// stream value (variant_stream.h).
//
// Threading: a value; copies are independent.

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace tavrin {

// Currency: the value times 10,000, as a 64-bit integer.
struct TDSCurrency {
  std::int64_t Scaled = 0;
  friend bool operator==(const TDSCurrency&, const TDSCurrency&) = default;
};

// Date-time: days since 1899-12-30 with the time of day as the fraction.
struct TDSDateTime {
  double Value = 0;
  friend bool operator==(const TDSDateTime&, const TDSDateTime&) = default;
};

// The type words of the kinds: the low 12 bits name the kind; varArray marks an array of
// that kind, varByRef a value held by reference (only on the way in: a read value never
// keeps it).
namespace TVarType {
inline constexpr std::uint32_t varEmpty = 0;
inline constexpr std::uint32_t varNull = 1;
inline constexpr std::uint32_t varSmallint = 2;   // 16-bit signed
inline constexpr std::uint32_t varInteger = 3;    // 32-bit signed
inline constexpr std::uint32_t varSingle = 4;
inline constexpr std::uint32_t varDouble = 5;
inline constexpr std::uint32_t varCurrency = 6;
inline constexpr std::uint32_t varDate = 7;
inline constexpr std::uint32_t varOleStr = 8;     // UTF-16 text
inline constexpr std::uint32_t varDispatch = 9;
inline constexpr std::uint32_t varError = 10;     // a 32-bit error code
inline constexpr std::uint32_t varBoolean = 11;
inline constexpr std::uint32_t varVariant = 12;   // array elements that are variants themselves
inline constexpr std::uint32_t varUnknown = 13;
inline constexpr std::uint32_t varShortInt = 16;  // 8-bit signed
inline constexpr std::uint32_t varByte = 17;      // 8-bit unsigned
inline constexpr std::uint32_t varWord = 18;      // 16-bit unsigned
inline constexpr std::uint32_t varLongWord = 19;  // 32-bit unsigned
inline constexpr std::uint32_t varArray = 0x2000;
inline constexpr std::uint32_t varByRef = 0x4000;
inline constexpr std::uint32_t varTypeMask = 0x0FFF;
}  // namespace TVarType

struct TVariantNull {
  friend bool operator==(const TVariantNull&, const TVariantNull&) = default;
};

struct TVariantError {
  std::int32_t Code = 0;
  friend bool operator==(const TVariantError&, const TVariantError&) = default;
};

struct TVariantBounds {
  std::int32_t Low = 0;
  std::int32_t High = -1;  // Low - 1 for a dimension without elements
  friend bool operator==(const TVariantBounds&, const TVariantBounds&) = default;
};

struct TDSVariant;

// An array of any kind but the canonical byte array: the kind of its elements, its
// bounds per dimension, and the elements with the last index running fastest. Every
// element holds a value of ElementType, or for varVariant any variant.
struct TVariantArray {
  std::uint32_t ElementType = TVarType::varVariant;
  std::vector<TVariantBounds> Bounds;
  std::vector<TDSVariant> Elements;
  friend bool operator==(const TVariantArray&, const TVariantArray&);
};

struct TDSVariant {
  // monostate is the empty (unassigned) variant. A vector of bytes is an array of bytes
  // with bounds 0 to size - 1.
  using TValue = std::variant<std::monostate, std::vector<std::uint8_t>, std::u16string, std::int32_t,
                              TVariantNull, std::int16_t, float, double, TDSCurrency, TDSDateTime,
                              TVariantError, bool, std::int8_t, std::uint8_t, std::uint16_t, std::uint32_t,
                              TVariantArray>;
  TValue Value;

  TDSVariant() = default;
  template <typename T>
    requires std::is_constructible_v<TValue, T&&> && (!std::is_same_v<std::remove_cvref_t<T>, TDSVariant>)
  TDSVariant(T&& V) : Value(std::forward<T>(V)) {}  // NOLINT: a variant converts from its kinds

  static TDSVariant Null() { return TDSVariant(TVariantNull{}); }
  // A one-dimensional array of ElementType, bounds 0 to Elements.size() - 1.
  static TDSVariant Array(std::uint32_t ElementType, std::vector<TDSVariant> Elements);

  bool IsEmpty() const { return std::holds_alternative<std::monostate>(Value); }
  bool IsNull() const { return std::holds_alternative<TVariantNull>(Value); }
  bool IsArray() const {
    return std::holds_alternative<std::vector<std::uint8_t>>(Value) || std::holds_alternative<TVariantArray>(Value);
  }
  // The type word of the value: the kind, with varArray for arrays.
  std::uint32_t VarType() const;

  friend bool operator==(const TDSVariant&, const TDSVariant&) = default;
};

inline bool operator==(const TVariantArray& A, const TVariantArray& B) {
  return A.ElementType == B.ElementType && A.Bounds == B.Bounds && A.Elements == B.Elements;
}

// The type word of a scalar kind's value (TDSVariant::Value's alternative), without
// varArray.
std::uint32_t ScalarVarType(const TDSVariant::TValue& Value);

}  // namespace tavrin
