#include "dataset/field.h"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

#include "dataset/database_error.h"
#include "dataset/fields_data_set.h"
#include "vocabulary/unicode_text.h"

namespace tavrin {
namespace {

constexpr std::array<std::string_view, 52> kFieldTypeNames = {
    "ftUnknown",     "ftString",      "ftSmallint",     "ftInteger",         "ftWord",
    "ftBoolean",     "ftFloat",       "ftCurrency",     "ftBCD",             "ftDate",
    "ftTime",        "ftDateTime",    "ftBytes",        "ftVarBytes",        "ftAutoInc",
    "ftBlob",        "ftMemo",        "ftGraphic",      "ftFmtMemo",         "ftParadoxOle",
    "ftDBaseOle",    "ftTypedBinary", "ftCursor",       "ftFixedChar",       "ftWideString",
    "ftLargeint",    "ftADT",         "ftArray",        "ftReference",       "ftDataSet",
    "ftOraBlob",     "ftOraClob",     "ftVariant",      "ftInterface",       "ftIDispatch",
    "ftGuid",        "ftTimeStamp",   "ftFMTBcd",       "ftFixedWideChar",   "ftWideMemo",
    "ftOraTimeStamp", "ftOraInterval", "ftLongWord",    "ftShortint",        "ftByte",
    "ftExtended",    "ftConnection",  "ftParams",       "ftStream",          "ftTimeStampOffset",
    "ftObject",      "ftSingle",
};
static_assert(static_cast<std::size_t>(TFieldType::ftSingle) + 1 == kFieldTypeNames.size());

std::string_view Trimmed(std::string_view Text) {
  const auto IsBlank = [](char C) { return C == ' ' || C == '\t' || C == '\r' || C == '\n'; };
  while (!Text.empty() && IsBlank(Text.front())) Text.remove_prefix(1);
  while (!Text.empty() && IsBlank(Text.back())) Text.remove_suffix(1);
  return Text;
}

std::string FloatText(double Value) {
  std::array<char, 32> Buffer{};
  const auto Result = std::to_chars(Buffer.data(), Buffer.data() + Buffer.size(), Value);
  return std::string(Buffer.data(), Result.ptr);
}

// Reads exactly Count digits at Text[Pos...] into Out; false when they are not digits.
bool ReadDigits(std::string_view Text, std::size_t& Pos, std::size_t Count, unsigned& Out) {
  if (Pos + Count > Text.size()) return false;
  Out = 0;
  for (std::size_t i = 0; i < Count; ++i) {
    const char C = Text[Pos + i];
    if (C < '0' || C > '9') return false;
    Out = Out * 10 + static_cast<unsigned>(C - '0');
  }
  Pos += Count;
  return true;
}

bool Expect(std::string_view Text, std::size_t& Pos, char C) {
  if (Pos >= Text.size() || Text[Pos] != C) return false;
  ++Pos;
  return true;
}

// "HH:MM[:SS[.fff...]]" from Pos to the end.
bool ParseTime(std::string_view Text, std::size_t Pos, TSQLTimeStamp& Out) {
  unsigned Hour = 0, Minute = 0, Second = 0, Millis = 0;
  if (!ReadDigits(Text, Pos, 2, Hour) || !Expect(Text, Pos, ':') || !ReadDigits(Text, Pos, 2, Minute)) {
    return false;
  }
  if (Expect(Text, Pos, ':')) {
    if (!ReadDigits(Text, Pos, 2, Second)) return false;
    if (Expect(Text, Pos, '.')) {
      std::size_t Digits = 0;
      for (; Pos < Text.size() && Text[Pos] >= '0' && Text[Pos] <= '9'; ++Pos, ++Digits) {
        if (Digits < 3) Millis = Millis * 10 + static_cast<unsigned>(Text[Pos] - '0');
      }
      if (Digits == 0) return false;
      for (; Digits < 3; ++Digits) Millis *= 10;
    }
  }
  if (Pos != Text.size() || Hour > 23 || Minute > 59 || Second > 59) return false;
  Out.Hour = static_cast<std::uint16_t>(Hour);
  Out.Minute = static_cast<std::uint16_t>(Minute);
  Out.Second = static_cast<std::uint16_t>(Second);
  Out.Fractions = Millis;
  return true;
}

bool ParseTimeStamp(std::string_view Text, TSQLTimeStamp& Out) {
  Out = {};
  std::size_t Pos = 0;
  unsigned Year = 0, Month = 0, Day = 0;
  if (Text.size() >= 3 && Text[2] == ':') return ParseTime(Text, 0, Out);
  if (!ReadDigits(Text, Pos, 4, Year) || !Expect(Text, Pos, '-') || !ReadDigits(Text, Pos, 2, Month) ||
      !Expect(Text, Pos, '-') || !ReadDigits(Text, Pos, 2, Day)) {
    return false;
  }
  if (Month < 1 || Month > 12 || Day < 1 || Day > 31) return false;
  Out.Year = static_cast<std::int16_t>(Year);
  Out.Month = static_cast<std::uint16_t>(Month);
  Out.Day = static_cast<std::uint16_t>(Day);
  if (Pos == Text.size()) return true;
  if (Text[Pos] != ' ' && Text[Pos] != 'T') return false;
  return ParseTime(Text, Pos + 1, Out);
}

}  // namespace

bool SameName(std::string_view A, std::string_view B) {
  const auto Lower = [](char C) { return (C >= 'A' && C <= 'Z') ? static_cast<char>(C - 'A' + 'a') : C; };
  if (A.size() != B.size()) return false;
  for (std::size_t i = 0; i < A.size(); ++i) {
    if (Lower(A[i]) != Lower(B[i])) return false;
  }
  return true;
}

std::string_view FieldTypeName(TFieldType Type) {
  const auto Index = static_cast<std::size_t>(Type);
  return Index < kFieldTypeNames.size() ? kFieldTypeNames[Index] : kFieldTypeNames[0];
}

TField::TField(TFieldsDataSet& DataSet, TFieldDefinition Definition, std::int32_t Index)
    : FDataSet(&DataSet), FDefinition(std::move(Definition)), FIndex(Index) {}

const TFieldValue& TField::Value() const {
  return FDataSet->CurrentValue(FIndex);
}

bool TField::IsNull() const { return std::holds_alternative<std::monostate>(Value()); }

void TField::RaiseConversion(std::string_view What, std::string_view Problem) const {
  throw EDatabaseError("'" + std::string(What) + "' " + std::string(Problem) + " '" + FieldName() + "'");
}

void TField::RaiseBytes(std::string_view As) const {
  throw EDatabaseError("Field '" + FieldName() + "' " + TFieldErrors::kBytesNotNumber + " " + std::string(As));
}

std::int64_t TField::ToWhole(std::int64_t Low, std::int64_t High) const {
  const TFieldValue& V = Value();
  std::int64_t Whole = 0;
  if (const auto* I = std::get_if<std::int64_t>(&V)) {
    Whole = *I;
  } else if (const auto* F = std::get_if<double>(&V)) {
    // Beyond ±2^63 llround is undefined; such values are out of every range anyway.
    if (!std::isfinite(*F) || std::fabs(*F) >= 9.2e18) RaiseConversion(FloatText(*F), TFieldErrors::kOutOfRange);
    Whole = std::llround(*F);
  } else if (const auto* S = std::get_if<std::string>(&V)) {
    const std::string_view Text = Trimmed(*S);
    const auto Result = std::from_chars(Text.data(), Text.data() + Text.size(), Whole);
    if (Text.empty() || Result.ec == std::errc::invalid_argument || Result.ptr != Text.data() + Text.size()) {
      RaiseConversion(*S, TFieldErrors::kNotInteger);
    }
    if (Result.ec == std::errc::result_out_of_range) RaiseConversion(*S, TFieldErrors::kOutOfRange);
  } else if (std::holds_alternative<TFieldBytes>(V)) {
    RaiseBytes("a number");
  }
  if (Whole < Low || Whole > High) RaiseConversion(std::to_string(Whole), TFieldErrors::kOutOfRange);
  return Whole;
}

std::int32_t TField::AsInteger() const {
  return static_cast<std::int32_t>(
      ToWhole(std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::int64_t TField::AsLargeInt() const {
  return ToWhole(std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max());
}

bool TField::AsBoolean() const {
  const TFieldValue& V = Value();
  if (const auto* I = std::get_if<std::int64_t>(&V)) return *I != 0;
  if (const auto* F = std::get_if<double>(&V)) return *F != 0.0;
  if (const auto* S = std::get_if<std::string>(&V)) {
    const std::string_view Text = Trimmed(*S);
    if (SameName(Text, "true") || Text == "1") return true;
    if (SameName(Text, "false") || Text == "0") return false;
    RaiseConversion(*S, TFieldErrors::kNotBoolean);
  }
  if (std::holds_alternative<TFieldBytes>(V)) {
    RaiseBytes("a Boolean");
  }
  return false;
}

double TField::AsFloat() const {
  const TFieldValue& V = Value();
  if (const auto* I = std::get_if<std::int64_t>(&V)) return static_cast<double>(*I);
  if (const auto* F = std::get_if<double>(&V)) return *F;
  if (const auto* S = std::get_if<std::string>(&V)) {
    const std::string_view Text = Trimmed(*S);
    double Number = 0;
    const auto Result = std::from_chars(Text.data(), Text.data() + Text.size(), Number);
    if (Text.empty() || Result.ec != std::errc() || Result.ptr != Text.data() + Text.size()) {
      RaiseConversion(*S, TFieldErrors::kNotFloat);
    }
    return Number;
  }
  if (std::holds_alternative<TFieldBytes>(V)) {
    RaiseBytes("a number");
  }
  return 0.0;
}

std::string TField::AsString() const {
  const TFieldValue& V = Value();
  if (const auto* I = std::get_if<std::int64_t>(&V)) {
    if (DataType() == TFieldType::ftBoolean) return *I != 0 ? "True" : "False";
    return std::to_string(*I);
  }
  if (const auto* F = std::get_if<double>(&V)) return FloatText(*F);
  if (const auto* S = std::get_if<std::string>(&V)) return *S;
  if (const auto* B = std::get_if<TFieldBytes>(&V)) return std::string(B->begin(), B->end());
  return {};
}

std::u16string TField::AsWideString() const { return ToUtf16(AsString()); }

TFieldBytes TField::AsBytes() const {
  if (const auto* B = std::get_if<TFieldBytes>(&Value())) return *B;
  const std::string Text = AsString();
  return TFieldBytes(Text.begin(), Text.end());
}

TSQLTimeStamp TField::AsSQLTimeStamp() const {
  TSQLTimeStamp Result;
  if (IsNull()) return Result;
  const std::string Text = AsString();
  if (!std::holds_alternative<std::string>(Value()) || !ParseTimeStamp(Trimmed(Text), Result)) {
    RaiseConversion(Text, TFieldErrors::kNotDateTime);
  }
  return Result;
}

}  // namespace tavrin
