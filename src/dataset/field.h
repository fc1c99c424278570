#pragma once
// TField: one column of a dataset that keeps its columns as objects (TFieldsDataSet):
// its name, field type with size and precision, the flags the provider and resolver
// read (required, read-only, provider flags, origin), and typed reads of its value in
// the dataset's current record.
//
// Threading: a field belongs to its dataset and to the thread using that dataset.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "vocabulary/sql_timestamp.h"

namespace tavrin {

class TFieldsDataSet;

// The kinds of column a dataset can hold. The data packet groups them into its base
// type codes; a database engine picks one per column of a result.
enum class TFieldType : std::uint8_t {
  ftUnknown,
  ftString,          // 8-bit text, Size characters
  ftSmallint,        // 16-bit signed
  ftInteger,         // 32-bit signed
  ftWord,            // 16-bit unsigned
  ftBoolean,
  ftFloat,           // double
  ftCurrency,        // money, kept as a double
  ftBCD,             // decimal: Precision digits, Size decimal places
  ftDate,
  ftTime,
  ftDateTime,
  ftBytes,           // fixed-length bytes, Size of them
  ftVarBytes,        // up to Size bytes
  ftAutoInc,         // 32-bit signed, numbered by the database
  ftBlob,            // bytes of any length
  ftMemo,            // 8-bit text of any length
  ftGraphic,
  ftFmtMemo,
  ftParadoxOle,
  ftDBaseOle,
  ftTypedBinary,
  ftCursor,
  ftFixedChar,       // 8-bit text, exactly Size characters
  ftWideString,      // UTF-16 text, up to Size characters
  ftLargeint,        // 64-bit signed
  ftADT,
  ftArray,
  ftReference,
  ftDataSet,
  ftOraBlob,
  ftOraClob,
  ftVariant,
  ftInterface,
  ftIDispatch,
  ftGuid,            // a GUID as 38 characters of text
  ftTimeStamp,
  ftFMTBcd,          // decimal: Precision digits, Size decimal places
  ftFixedWideChar,   // UTF-16 text, exactly Size characters
  ftWideMemo,        // UTF-16 text of any length
  ftOraTimeStamp,
  ftOraInterval,
  ftLongWord,        // 32-bit unsigned
  ftShortint,        // 8-bit signed
  ftByte,            // 8-bit unsigned
  ftExtended,
  ftConnection,
  ftParams,
  ftStream,
  ftTimeStampOffset,
  ftObject,
  ftSingle,          // float
};

// The type's name as written in code ("ftWideString"); "ftUnknown" for a value outside
// the list.
std::string_view FieldTypeName(TFieldType Type);

// How a field takes part when a client's changes are applied. The bit values travel in
// data packets, so they never change.
using TProviderFlags = std::uint8_t;
namespace TProviderFlag {
inline constexpr TProviderFlags pfInUpdate = 0x01;  // written by update statements
inline constexpr TProviderFlags pfInWhere = 0x02;   // compared in where clauses
inline constexpr TProviderFlags pfInKey = 0x04;     // part of the key
inline constexpr TProviderFlags pfHidden = 0x08;    // sent to clients but not shown
inline constexpr TProviderFlags Default = pfInUpdate | pfInWhere;
}  // namespace TProviderFlag

// Where a field's value comes from. Every field of a query result is fkData.
enum class TFieldKind : std::uint8_t { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };

// A value as a dataset keeps it: null, a whole number, a floating-point number, text
// (UTF-8) or bytes. Booleans are kept as 0 and 1.
using TFieldBytes = std::vector<std::uint8_t>;
using TFieldValue = std::variant<std::monostate, std::int64_t, double, std::string, TFieldBytes>;

// Everything that describes a field before its dataset creates it.
struct TFieldDefinition {
  std::string Name;
  TFieldType DataType = TFieldType::ftUnknown;
  // Characters of a text type, bytes of a fixed or varying bytes type, decimal places of
  // a decimal type; 0 for the other types.
  std::int32_t Size = 0;
  std::int32_t Precision = 0;  // digits of a decimal type; 0 for the other types
  bool Required = false;       // the column takes no null
  bool ReadOnly = false;
  TProviderFlags ProviderFlags = TProviderFlag::Default;
  std::string Origin;          // "table.column" the value comes from; empty when none
  TFieldKind FieldKind = TFieldKind::fkData;
  // Rules a client keeps for the column, as expressions of the client-side expression
  // language (no engine of ours sets them): the value a new record starts with, the
  // constraints the database imposes and the ones the application adds, and the message
  // shown when a constraint is broken.
  std::string DefaultExpression;
  std::string ImportedConstraint;
  std::string CustomConstraint;
  std::string ConstraintErrorMessage;
  // The bounds a client keeps the value within; both 0 for none.
  double MinValue = 0;
  double MaxValue = 0;
};

// Texts of the failures of the typed reads: "'<value>' <text> '<field>'", or for bytes
// "Field '<field>' <text> <what was asked>".
namespace TFieldErrors {
inline constexpr char kNotInteger[] = "is not a valid integer value for field";
inline constexpr char kNotFloat[] = "is not a valid floating-point value for field";
inline constexpr char kNotBoolean[] = "is not a valid boolean value for field";
inline constexpr char kNotDateTime[] = "is not a valid date and time value for field";
inline constexpr char kOutOfRange[] = "is out of range for field";
inline constexpr char kBytesNotNumber[] = "holds bytes, which cannot be read as";
}  // namespace TFieldErrors

// True when the two names are equal ignoring ASCII letter case: field, parameter and
// table names compare this way.
bool SameName(std::string_view A, std::string_view B);

class TField {
 public:
  // Made by its dataset (TFieldsDataSet::AddField), which owns it; Index is its
  // position there from 0.
  TField(TFieldsDataSet& DataSet, TFieldDefinition Definition, std::int32_t Index);
  TField(const TField&) = delete;
  TField& operator=(const TField&) = delete;

  TFieldsDataSet& DataSet() const { return *FDataSet; }
  std::int32_t Index() const { return FIndex; }
  std::int32_t FieldNo() const { return FIndex + 1; }  // from 1, in column order

  const std::string& FieldName() const { return FDefinition.Name; }
  TFieldType DataType() const { return FDefinition.DataType; }
  std::int32_t Size() const { return FDefinition.Size; }
  std::int32_t Precision() const { return FDefinition.Precision; }
  TFieldKind FieldKind() const { return FDefinition.FieldKind; }

  bool Required() const { return FDefinition.Required; }
  void SetRequired(bool Value) { FDefinition.Required = Value; }
  bool ReadOnly() const { return FDefinition.ReadOnly; }
  void SetReadOnly(bool Value) { FDefinition.ReadOnly = Value; }
  TProviderFlags ProviderFlags() const { return FDefinition.ProviderFlags; }
  void SetProviderFlags(TProviderFlags Value) { FDefinition.ProviderFlags = Value; }
  const std::string& Origin() const { return FDefinition.Origin; }
  void SetOrigin(std::string Value) { FDefinition.Origin = std::move(Value); }
  const std::string& DefaultExpression() const { return FDefinition.DefaultExpression; }
  double MinValue() const { return FDefinition.MinValue; }
  double MaxValue() const { return FDefinition.MaxValue; }
  const std::string& ImportedConstraint() const { return FDefinition.ImportedConstraint; }
  const std::string& CustomConstraint() const { return FDefinition.CustomConstraint; }
  const std::string& ConstraintErrorMessage() const { return FDefinition.ConstraintErrorMessage; }

  // --- The value in the dataset's current record ------------------------------------
  // With no current record (an empty or closed dataset) the value is null. A null reads
  // as false, 0, 0.0, empty text and no bytes. The reads below convert the value as
  // stated and raise EDatabaseError for a value they cannot convert, with the value and
  // the field's name in the message ("'abc' is not a valid integer value for field
  // 'nivel'", "Field 'foto' holds bytes, which cannot be read as a number").
  const TFieldValue& Value() const;
  bool IsNull() const;
  // A number: not 0. Text: "true" or "1" / "false" or "0", ignoring case.
  bool AsBoolean() const;
  // A whole number within the 32-bit range; a floating-point number rounded half away
  // from zero; text holding a whole number (blanks around it allowed).
  std::int32_t AsInteger() const;
  // As AsInteger, for the 64-bit range.
  std::int64_t AsLargeInt() const;
  // A number; text holding a number in the C form ("12.5", "-3e2").
  double AsFloat() const;
  // Text as it is; a whole number in decimal; a floating-point number in the shortest
  // form that reads back the same; bytes as they are. A ftBoolean field reads "True" or
  // "False".
  std::string AsString() const;
  // AsString as UTF-16; bytes that are not UTF-8 become U+FFFD.
  std::u16string AsWideString() const;
  // Bytes as they are; text as its UTF-8 bytes; a number as the bytes of AsString.
  TFieldBytes AsBytes() const;
  // Text "YYYY-MM-DD", "YYYY-MM-DD HH:MM[:SS[.fff]]" (or with "T" between the two),
  // or "HH:MM[:SS[.fff]]" (date left 0); fractions beyond milliseconds are dropped.
  TSQLTimeStamp AsSQLTimeStamp() const;

 private:
  [[noreturn]] void RaiseConversion(std::string_view What, std::string_view Problem) const;
  [[noreturn]] void RaiseBytes(std::string_view As) const;
  std::int64_t ToWhole(std::int64_t Low, std::int64_t High) const;

  TFieldsDataSet* FDataSet;
  TFieldDefinition FDefinition;
  std::int32_t FIndex;
};

}  // namespace tavrin
