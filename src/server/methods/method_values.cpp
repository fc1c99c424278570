#include "server/methods/method_values.h"

#include <cmath>
#include <limits>
#include <utility>

#include "vocabulary/client_text.h"
#include "dataset/data_set.h"
#include "vocabulary/dbx_error.h"
#include "dataset/params.h"
#include "vocabulary/value_holders.h"
#include "vocabulary/variant_stream.h"

namespace tavrin {

namespace {

namespace T = TDBXDataTypes;

// Parameter type names of table parameters.
constexpr std::string_view kDataSetTypeName = TDataSet::ClassName;
constexpr std::string_view kParamsTypeName = TParams::ClassName;

constexpr std::int64_t kCurrencyScale = 10000;
constexpr int kCurrencyDecimals = 4;
constexpr std::int64_t kMillisPerDay = 86'400'000;

[[noreturn]] void RaiseWrongHolder(const TDBXParameter& Parameter) {
  throw TDBXError(TDBXErrorCodes::UnexpectedDataType, Parameter.Name() + TDSMethodValueErrors::kWrongHolder);
}

[[noreturn]] void RaiseNoArgumentForm(const TDBXParameter& Parameter) {
  throw TDBXError(TDBXErrorCodes::UnexpectedDataType,
                  TDSMethodValueErrors::kUnexpectedDataType + std::to_string(Parameter.DataType()));
}

template <typename THolder>
THolder& HolderOf(TDBXParameter& Parameter) {
  auto* Holder = dynamic_cast<THolder*>(Parameter.Value());
  if (Holder == nullptr) RaiseWrongHolder(Parameter);
  return *Holder;
}

template <typename T>
const T& CellAs(const TDSArgument& Cell, const TDBXParameter& Parameter) {
  const T* Value = std::get_if<T>(&Cell);
  if (Value == nullptr) throw TDBXError(TDBXErrorCodes::UnexpectedDataType, Parameter.Name() + TDSMethodValueErrors::kWrongCell);
  return *Value;
}

// --- Parameter to cell --------------------------------------------------------------------

TDSArgument TableArgument(TDBXParameter& Parameter) {
  const std::shared_ptr<TDBXReader> Reader = HolderOf<TDBXReaderValue>(Parameter).GetReader();
  const std::string& TypeName = Parameter.TypeName();
  if (TypeName == kDataSetTypeName) {
    return Reader ? std::make_shared<TReaderDataSet>(Reader) : std::shared_ptr<TDataSet>();
  }
  if (TypeName == kParamsTypeName) {
    return Reader ? TParams::FromReader(*Reader) : std::shared_ptr<TParams>();
  }
  return Reader;
}

std::shared_ptr<TStream> StreamArgument(TDBXParameter& Parameter) {
  std::shared_ptr<TStream> Stream = HolderOf<TDBXStreamValue>(Parameter).GetStream();
  // A stream an earlier call read to its end is offered from its start again.
  if (auto* Bytes = dynamic_cast<TBytesStream*>(Stream.get())) Bytes->Rewind();
  return Stream;
}

TDSArgument ArgumentOf(TDBXParameter& Parameter) {
  switch (Parameter.DataType()) {
    case T::AnsiStringType: return HolderOf<TDBXAnsiStringValue>(Parameter).GetAnsiString();
    case T::DateType: return HolderOf<TDBXDateValue>(Parameter).GetDate();
    case T::BooleanType: return HolderOf<TDBXBooleanValue>(Parameter).GetBoolean();
    case T::Int16Type: return HolderOf<TDBXInt16Value>(Parameter).GetInt16();
    case T::Int32Type: return HolderOf<TDBXInt32Value>(Parameter).GetInt32();
    case T::DoubleType: return HolderOf<TDBXDoubleValue>(Parameter).GetDouble();
    case T::TimeType: return HolderOf<TDBXTimeOfDayValue>(Parameter).GetTime();
    case T::DateTimeType: {
      const auto& Holder = HolderOf<TDBXTimeStampValue>(Parameter);
      return Holder.IsNull() ? TDSDateTime{} : DateTimeFromTimeStamp(Holder.GetTimeStamp());
    }
    case T::UInt16Type: return HolderOf<TDBXUInt16Value>(Parameter).GetUInt16();
    case T::Int64Type: return HolderOf<TDBXInt64Value>(Parameter).GetInt64();
    case T::TableType: return TableArgument(Parameter);
    case T::CurrencyType: {
      const auto& Holder = HolderOf<TDBXBcdValue>(Parameter);
      return Holder.IsNull() ? TDSCurrency{} : CurrencyFromDecimalText(Holder.GetBcd());
    }
    case T::WideStringType: return HolderOf<TDBXWideStringValue>(Parameter).GetWideString();
    case T::SingleType: return HolderOf<TDBXSingleValue>(Parameter).GetSingle();
    case T::Int8Type: return HolderOf<TDBXInt8Value>(Parameter).GetInt8();
    case T::UInt8Type: return HolderOf<TDBXUInt8Value>(Parameter).GetUInt8();
    case T::BinaryBlobType: return StreamArgument(Parameter);
    case T::ConnectionType: return HolderOf<TDBXConnectionValue>(Parameter).GetConnection();
    case T::VariantType: return DecodeVariantStream(HolderOf<TDBXStreamValue>(Parameter).GetStream().get());
    case T::JsonValueType: {
      // A user object (subtype 40) arrives as its JSON value too: converting it into
      // the method's own class is the method's part. A JSON null is no object.
      const auto& Holder = HolderOf<TDBXJSONValue>(Parameter);
      const bool NoObject = Holder.IsNull() || (Parameter.SubType() == TDBXSubDataTypes::UserObjectSubType &&
                                                Holder.GetJSONValue().is_null());
      return NoObject ? std::shared_ptr<TJSONValue>() : std::make_shared<TJSONValue>(Holder.GetJSONValue());
    }
    case T::CallbackType: return HolderOf<TDBXCallbackValue>(Parameter).GetCallback();
    default: RaiseNoArgumentForm(Parameter);
  }
}

// --- Cell to parameter --------------------------------------------------------------------

void StoreTable(const TDSArgument& Cell, TDBXParameter& Parameter) {
  auto& Holder = HolderOf<TDBXReaderValue>(Parameter);
  const std::string& TypeName = Parameter.TypeName();
  std::shared_ptr<TDBXReader> Reader;
  if (TypeName == kDataSetTypeName) {
    if (const auto& DataSet = CellAs<std::shared_ptr<TDataSet>>(Cell, Parameter)) {
      Reader = std::make_shared<TDataSetReader>(DataSet);
    }
  } else if (TypeName == kParamsTypeName) {
    if (const auto& Params = CellAs<std::shared_ptr<TParams>>(Cell, Parameter)) {
      Reader = std::make_shared<TParamsReader>(Params);
    }
  } else {
    Reader = CellAs<std::shared_ptr<TDBXReader>>(Cell, Parameter);
  }
  Holder.SetReader(std::move(Reader));
}

// A variant is moved out of its cell: a data packet can be large, and the cell is
// emptied at the next call anyway.
void StoreCell(TDSArgument& Cell, TDBXParameter& Parameter) {
  if (std::holds_alternative<std::monostate>(Cell)) {
    if (Parameter.Value() == nullptr) RaiseWrongHolder(Parameter);
    Parameter.Value()->SetNull();
    return;
  }
  const auto& P = Parameter;
  switch (Parameter.DataType()) {
    case T::AnsiStringType: HolderOf<TDBXAnsiStringValue>(Parameter).SetAnsiString(CellAs<std::string>(Cell, P)); break;
    case T::WideStringType: HolderOf<TDBXWideStringValue>(Parameter).SetWideString(CellAs<std::u16string>(Cell, P)); break;
    case T::DateType: HolderOf<TDBXDateValue>(Parameter).SetDate(CellAs<std::int32_t>(Cell, P)); break;
    case T::Int16Type: HolderOf<TDBXInt16Value>(Parameter).SetInt16(CellAs<std::int16_t>(Cell, P)); break;
    case T::Int32Type: HolderOf<TDBXInt32Value>(Parameter).SetInt32(CellAs<std::int32_t>(Cell, P)); break;
    case T::TimeType: HolderOf<TDBXTimeOfDayValue>(Parameter).SetTime(CellAs<std::int32_t>(Cell, P)); break;
    case T::UInt16Type: HolderOf<TDBXUInt16Value>(Parameter).SetUInt16(CellAs<std::uint16_t>(Cell, P)); break;
    case T::Int8Type: HolderOf<TDBXInt8Value>(Parameter).SetInt8(CellAs<std::int8_t>(Cell, P)); break;
    case T::UInt8Type: HolderOf<TDBXUInt8Value>(Parameter).SetUInt8(CellAs<std::uint8_t>(Cell, P)); break;
    case T::BooleanType: HolderOf<TDBXBooleanValue>(Parameter).SetBoolean(CellAs<bool>(Cell, P)); break;
    case T::DoubleType: HolderOf<TDBXDoubleValue>(Parameter).SetDouble(CellAs<double>(Cell, P)); break;
    case T::SingleType: HolderOf<TDBXSingleValue>(Parameter).SetSingle(CellAs<float>(Cell, P)); break;
    case T::DateTimeType:
      HolderOf<TDBXTimeStampValue>(Parameter).SetTimeStamp(TimeStampFromDateTime(CellAs<TDSDateTime>(Cell, P)));
      break;
    case T::Int64Type: HolderOf<TDBXInt64Value>(Parameter).SetInt64(CellAs<std::int64_t>(Cell, P)); break;
    case T::CurrencyType:
      HolderOf<TDBXBcdValue>(Parameter).SetBcd(DecimalTextFromCurrency(CellAs<TDSCurrency>(Cell, P)));
      break;
    case T::VariantType: {
      auto* Variant = std::get_if<TDSVariant>(&Cell);
      if (Variant == nullptr) static_cast<void>(CellAs<TDSVariant>(Cell, P));  // raises
      HolderOf<TDBXStreamValue>(Parameter).SetStream(EncodeVariantStream(std::move(*Variant)));
      break;
    }
    case T::BinaryBlobType:
      HolderOf<TDBXStreamValue>(Parameter).SetStream(CellAs<std::shared_ptr<TStream>>(Cell, P));
      break;
    case T::JsonValueType: {
      auto& Holder = HolderOf<TDBXJSONValue>(Parameter);
      if (const auto& Json = CellAs<std::shared_ptr<TJSONValue>>(Cell, P)) {
        Holder.SetJSONValue(*Json);
      } else {
        Holder.SetNull();
      }
      break;
    }
    case T::TableType: StoreTable(Cell, Parameter); break;
    case T::ConnectionType:
      HolderOf<TDBXConnectionValue>(Parameter).SetConnection(CellAs<std::shared_ptr<TDBXConnection>>(Cell, P));
      break;
    case T::CallbackType:
      HolderOf<TDBXCallbackValue>(Parameter).SetCallback(CellAs<std::shared_ptr<TDBXCallback>>(Cell, P));
      break;
    default: RaiseNoArgumentForm(Parameter);
  }
}

// --- Calendar -----------------------------------------------------------------------------

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t DaysFromCivil(std::int64_t Year, std::int64_t Month, std::int64_t Day) {
  Year -= Month <= 2 ? 1 : 0;
  const std::int64_t Era = (Year >= 0 ? Year : Year - 399) / 400;
  const std::int64_t YearOfEra = Year - Era * 400;
  const std::int64_t DayOfYear = (153 * (Month + (Month > 2 ? -3 : 9)) + 2) / 5 + Day - 1;
  const std::int64_t DayOfEra = YearOfEra * 365 + YearOfEra / 4 - YearOfEra / 100 + DayOfYear;
  return Era * 146097 + DayOfEra - 719468;
}

void CivilFromDays(std::int64_t Days, std::int64_t& Year, std::int64_t& Month, std::int64_t& Day) {
  Days += 719468;
  const std::int64_t Era = (Days >= 0 ? Days : Days - 146096) / 146097;
  const std::int64_t DayOfEra = Days - Era * 146097;
  const std::int64_t YearOfEra = (DayOfEra - DayOfEra / 1460 + DayOfEra / 36524 - DayOfEra / 146096) / 365;
  const std::int64_t DayOfYear = DayOfEra - (365 * YearOfEra + YearOfEra / 4 - YearOfEra / 100);
  const std::int64_t MonthIndex = (5 * DayOfYear + 2) / 153;
  Day = DayOfYear - (153 * MonthIndex + 2) / 5 + 1;
  Month = MonthIndex < 10 ? MonthIndex + 3 : MonthIndex - 9;
  Year = YearOfEra + Era * 400 + (Month <= 2 ? 1 : 0);
}

const std::int64_t kDateTimeEpochDays = DaysFromCivil(1899, 12, 30);

}  // namespace

// --- TDSMethodValues ----------------------------------------------------------------------

TDSMethodCall& TDSMethodValues::BuildArguments(const std::vector<TDBXParameter*>& Parameters) {
  FCall.reset();
  FCall = std::make_unique<TDSMethodCall>(Parameters.size());
  for (std::size_t i = 0; i < Parameters.size(); ++i) {
    TDBXParameter& Parameter = *Parameters[i];
    if (Parameter.ValueParameter()) {
      if (Parameter.Value() == nullptr) RaiseWrongHolder(Parameter);
      FCall->Argument(i) = Parameter.Value();
    } else {
      // By value or by reference alike: an out or in/out parameter's cell is the one
      // the method writes into, and it starts from the current value.
      FCall->Argument(i) = ArgumentOf(Parameter);
    }
  }
  return *FCall;
}

void TDSMethodValues::ReadResults(const std::vector<TDBXParameter*>& Parameters, TDBXParameter* Return) {
  if (!FCall) return;
  for (std::size_t i = 0; i < Parameters.size(); ++i) {
    TDBXParameter& Parameter = *Parameters[i];
    const std::int32_t Direction = Parameter.ParameterDirection();
    const bool Outward = Direction == TDBXParameterDirections::OutParameter ||
                         Direction == TDBXParameterDirections::InOutParameter;
    // A value parameter's holder already carries what the method set.
    if (Outward && !Parameter.ValueParameter()) StoreCell(FCall->Argument(i), Parameter);
  }
  if (Return != nullptr) StoreCell(FCall->Result(), *Return);
}

void TDSMethodValues::Clear() {
  if (FCall) FCall->Clear();
}

// --- Conversions --------------------------------------------------------------------------

TDSCurrency CurrencyFromDecimalText(std::string_view Text) {
  const auto Fail = [&]() -> TDSCurrency {
    throw TDBXError(TDBXErrorCodes::InvalidInput, TDSMethodValueErrors::kCurrencyRange + QuotedClientText(Text));
  };
  std::size_t Pos = 0;
  const bool Negative = !Text.empty() && Text[0] == '-';
  if (Negative) ++Pos;
  // The magnitude in ten-thousandths; a negative value reaches one further.
  const std::uint64_t Limit =
      static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + (Negative ? 1 : 0);
  std::uint64_t Scaled = 0;
  bool AnyDigit = false;
  const auto AddDigit = [&](unsigned Digit) {
    if (Scaled > (Limit - Digit) / 10) Fail();
    Scaled = Scaled * 10 + Digit;
  };
  const auto DigitAt = [&](std::size_t At) { return static_cast<unsigned>(Text[At] - '0'); };
  const auto IsDigit = [&](std::size_t At) { return At < Text.size() && Text[At] >= '0' && Text[At] <= '9'; };
  for (; IsDigit(Pos); ++Pos) {
    AddDigit(DigitAt(Pos));
    AnyDigit = true;
  }
  int Decimals = 0;
  bool RoundUp = false;
  if (Pos < Text.size() && Text[Pos] == '.') {
    for (++Pos; IsDigit(Pos); ++Pos) {
      AnyDigit = true;
      if (Decimals < kCurrencyDecimals) {
        AddDigit(DigitAt(Pos));
        ++Decimals;
      } else if (Decimals == kCurrencyDecimals) {
        RoundUp = Text[Pos] >= '5';
        ++Decimals;
      }
    }
  }
  if (!AnyDigit || Pos != Text.size()) Fail();
  for (; Decimals < kCurrencyDecimals; ++Decimals) AddDigit(0);
  if (RoundUp) {
    if (Scaled == Limit) Fail();
    ++Scaled;
  }
  // Through unsigned negation, so the most negative value comes out whole.
  return {Negative ? static_cast<std::int64_t>(0 - Scaled) : static_cast<std::int64_t>(Scaled)};
}

std::string DecimalTextFromCurrency(TDSCurrency Value) {
  // The magnitude as unsigned, so the most negative value has one too.
  const bool Negative = Value.Scaled < 0;
  const std::uint64_t Magnitude =
      Negative ? 0 - static_cast<std::uint64_t>(Value.Scaled) : static_cast<std::uint64_t>(Value.Scaled);
  std::string Text = (Negative ? "-" : "") + std::to_string(Magnitude / kCurrencyScale);
  std::string Fraction = std::to_string(Magnitude % kCurrencyScale);
  Fraction.insert(0, static_cast<std::size_t>(kCurrencyDecimals) - Fraction.size(), '0');
  while (!Fraction.empty() && Fraction.back() == '0') Fraction.pop_back();
  if (!Fraction.empty()) Text += "." + Fraction;
  return Text;
}

TDSDateTime DateTimeFromTimeStamp(const TSQLTimeStamp& Value) {
  const std::int64_t Days = DaysFromCivil(Value.Year, Value.Month, Value.Day) - kDateTimeEpochDays;
  const std::int64_t Millis =
      ((static_cast<std::int64_t>(Value.Hour) * 60 + Value.Minute) * 60 + Value.Second) * 1000 + Value.Fractions;
  const double Fraction = static_cast<double>(Millis) / static_cast<double>(kMillisPerDay);
  return {Days >= 0 ? static_cast<double>(Days) + Fraction : static_cast<double>(Days) - Fraction};
}

TSQLTimeStamp TimeStampFromDateTime(TDSDateTime Value) {
  double Whole = std::trunc(Value.Value);
  std::int64_t Millis = std::llround(std::fabs(Value.Value - Whole) * static_cast<double>(kMillisPerDay));
  if (Millis >= kMillisPerDay) {  // rounding reached the next midnight
    Millis -= kMillisPerDay;
    Whole += 1;
  }
  std::int64_t Year = 0, Month = 0, Day = 0;
  CivilFromDays(static_cast<std::int64_t>(Whole) + kDateTimeEpochDays, Year, Month, Day);
  TSQLTimeStamp Stamp;
  Stamp.Year = static_cast<std::int16_t>(Year);
  Stamp.Month = static_cast<std::uint16_t>(Month);
  Stamp.Day = static_cast<std::uint16_t>(Day);
  Stamp.Hour = static_cast<std::uint16_t>(Millis / 3'600'000);
  Stamp.Minute = static_cast<std::uint16_t>(Millis / 60'000 % 60);
  Stamp.Second = static_cast<std::uint16_t>(Millis / 1000 % 60);
  Stamp.Fractions = static_cast<std::uint32_t>(Millis % 1000);
  return Stamp;
}

}  // namespace tavrin
