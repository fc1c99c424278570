#include "engine/query_provider_support.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <type_traits>

#include "dataset/database_error.h"
#include "vocabulary/sql_timestamp.h"
#include "vocabulary/unicode_text.h"

namespace tavrin {

namespace {

constexpr double kScaledCurrency = 10000.0;
constexpr double kMillisPerDay = 86'400'000.0;
// Days from 1899-12-30, the date-time's day 0, to 1970-01-01.
constexpr double kDateTimeUnixDays = 25569.0;

TProviderParam ParamOf(const TQueryParam& Param) {
  TProviderParam Result;
  Result.Name = Param.Name();
  Result.ParamType = TParamType::ptInput;
  Result.Value = TDSVariant::Null();
  const TFieldValue& Value = Param.Value();
  if (const auto* Whole = std::get_if<std::int64_t>(&Value)) {
    if (*Whole >= std::numeric_limits<std::int32_t>::min() && *Whole <= std::numeric_limits<std::int32_t>::max()) {
      Result.Value = static_cast<std::int32_t>(*Whole);
      Result.DataType = TFieldType::ftInteger;
    } else {
      Result.Value = ToUtf16(std::to_string(*Whole));
      Result.DataType = TFieldType::ftWideString;
    }
  } else if (const auto* Number = std::get_if<double>(&Value)) {
    Result.Value = *Number;
    Result.DataType = TFieldType::ftFloat;
  } else if (const auto* Text = std::get_if<std::string>(&Value)) {
    Result.Value = ToUtf16(*Text);
    Result.DataType = TFieldType::ftWideString;
  } else if (const auto* Bytes = std::get_if<TFieldBytes>(&Value)) {
    Result.Value = *Bytes;
    Result.DataType = TFieldType::ftBlob;
  }
  return Result;
}

// A date-time as the text SQLite keeps dates in ("2024-02-29 13:45:07.250").
std::string DateTimeText(double Days) {
  const auto Millis = static_cast<std::int64_t>(std::llround((Days - kDateTimeUnixDays) * kMillisPerDay));
  const std::int64_t Seconds = (Millis >= 0 ? Millis : Millis - 999) / 1000;
  const TSQLTimeStamp Stamp =
      TimeValueToTimeStamp({Seconds * 1000, static_cast<std::int32_t>((Millis - Seconds * 1000) * 1'000'000)});
  char Text[48];
  std::snprintf(Text, sizeof Text, "%04d-%02u-%02u %02u:%02u:%02u.%03u", Stamp.Year, unsigned{Stamp.Month},
                unsigned{Stamp.Day}, unsigned{Stamp.Hour}, unsigned{Stamp.Minute}, unsigned{Stamp.Second},
                static_cast<unsigned>(Stamp.Fractions));
  return Text;
}

void Bind(TQueryParam& Param, const TDSVariant& Value) {
  std::visit(
      [&Param](const auto& X) {
        using T = std::decay_t<decltype(X)>;
        if constexpr (std::is_same_v<T, std::monostate> || std::is_same_v<T, TVariantNull>) {
          Param.Clear();
        } else if constexpr (std::is_same_v<T, std::u16string>) {
          Param.SetAsString(ToUtf8(X));
        } else if constexpr (std::is_same_v<T, bool>) {
          Param.SetAsBoolean(X);
        } else if constexpr (std::is_integral_v<T>) {
          Param.SetAsLargeInt(static_cast<std::int64_t>(X));
        } else if constexpr (std::is_floating_point_v<T>) {
          Param.SetAsFloat(static_cast<double>(X));
        } else if constexpr (std::is_same_v<T, TDSCurrency>) {
          Param.SetAsFloat(static_cast<double>(X.Scaled) / kScaledCurrency);
        } else if constexpr (std::is_same_v<T, TDSDateTime>) {
          Param.SetAsString(DateTimeText(X.Value));
        } else if constexpr (std::is_same_v<T, std::vector<std::uint8_t>>) {
          Param.SetAsBytes(X);
        } else {
          throw EDatabaseError("Parameter " + Param.Name() + TQueryProviderErrors::kUnbindable);
        }
      },
      Value.Value);
}

}  // namespace

std::vector<TProviderParam> TQueryProviderSupport::Params() const {
  std::vector<TProviderParam> Result;
  FQuery.DescribeParams();
  const TQueryParams& All = FQuery.Params();
  for (std::int32_t i = 0; i < All.Count(); ++i) Result.push_back(ParamOf(All[i]));
  return Result;
}

void TQueryProviderSupport::SetParams(const std::vector<TProviderParam>& Params) {
  for (const TProviderParam& Param : Params) Bind(FQuery.ParamByName(Param.Name), Param.Value);
}

void TQueryProviderSupport::SetCommandText(const std::string& Text) {
  FQuery.SQL().Clear();
  FQuery.SQL().Add(Text);
}

void TQueryProviderSupport::EndRequest() {
  // Counting the rows reads the ones not read yet and keeps them, which ends the
  // query's read of the database.
  if (FQuery.Active()) static_cast<void>(FQuery.RecordCount());
}

bool TQueryProviderSupport::InTransaction() const { return FTransaction && FTransaction->Active(); }

void TQueryProviderSupport::StartTransaction() {
  FTransaction.reset();
  FTransaction = std::make_unique<TWriteTransaction>(FQuery.DatabaseSession(), FQuery.DatabaseName());
}

void TQueryProviderSupport::EndTransaction(bool Commit) {
  if (!FTransaction) return;
  // The transaction goes whatever happens: a failed commit has rolled back.
  const std::unique_ptr<TWriteTransaction> Transaction = std::move(FTransaction);
  if (Commit) {
    Transaction->Commit();
  } else {
    Transaction->Rollback();
  }
}

void TQueryProviderSupport::MarkRow() {
  if (FTransaction) FTransaction->MarkRow();
}

void TQueryProviderSupport::EndRow(bool Keep) {
  if (FTransaction) FTransaction->RowDone(Keep);
}

std::int64_t TQueryProviderSupport::ExecuteStatement(const std::string& Sql, const TStatementValues& Values) {
  if (FTransaction) return FTransaction->Execute(Sql, Values);
  TWriteTransaction Own(FQuery.DatabaseSession(), FQuery.DatabaseName());
  const std::int64_t Changed = Own.Execute(Sql, Values);
  Own.Commit();
  return Changed;
}

TStatementRows TQueryProviderSupport::SelectRows(const std::string& Sql, const TStatementValues& Values,
                                                 std::size_t MaxRows) {
  if (FTransaction) return FTransaction->Select(Sql, Values, MaxRows);
  return SelectBoundRows(FQuery.DatabaseSession(), FQuery.DatabaseName(), Sql, Values, MaxRows);
}

std::optional<TUpdateTarget> TQueryProviderSupport::DescribeUpdateTarget() {
  TStatementDescription Description = FQuery.Describe();
  return TUpdateTarget{std::move(Description.Columns), std::move(Description.TableName),
                       std::move(Description.KeyFields)};
}

}  // namespace tavrin
