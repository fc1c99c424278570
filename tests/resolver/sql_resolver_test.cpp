// The SQL resolver over a recording dataset: the statements it makes for each kind of
// row and update mode, the values it binds, the errors of rows it cannot place, the
// error limit, the error packet, and the undoing of a row that changed too much.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "datapacket/column_descriptor.h"
#include "datapacket/cursor.h"
#include "datapacket/delta_writer.h"
#include "datapacket/packet_values.h"
#include "resolver/sql_resolver.h"
#include "support/error_of.h"

namespace tavrin {
namespace {

using Texts = std::vector<std::string>;
namespace PF = TProviderFlag;

// A dataset that records each statement with its values, and answers each with the
// next count of affected rows it was given (1 when none is left).
class TRecordingSupport : public IProviderSupportNG {
 public:
  bool InTransaction() const override { return FTransaction; }
  void StartTransaction() override { FTransaction = true; }
  void EndTransaction(bool) override { FTransaction = false; }
  void MarkRow() override { Log.push_back("mark"); }
  void EndRow(bool Keep) override { Log.push_back(Keep ? "keep" : "undo"); }
  std::int64_t ExecuteStatement(const std::string& Sql, const TStatementValues& Values) override {
    std::string Line = Sql;
    for (const TFieldValue& Value : Values) Line += " [" + ValueText(Value) + "]";
    Log.push_back(Line);
    if (Affected.empty()) return 1;
    const std::int64_t Count = Affected.front();
    Affected.erase(Affected.begin());
    return Count;
  }
  TStatementRows SelectRows(const std::string&, const TStatementValues&, std::size_t) override { return {}; }
  std::string TableName() const override { return "produtos"; }
  bool IsSQLBased() const override { return SQLBased; }

  static std::string ValueText(const TFieldValue& Value) {
    if (const auto* Whole = std::get_if<std::int64_t>(&Value)) return std::to_string(*Whole);
    if (const auto* Number = std::get_if<double>(&Value)) return std::to_string(*Number);
    if (const auto* Text = std::get_if<std::string>(&Value)) return "'" + *Text + "'";
    return "null";
  }

  Texts Log;
  std::vector<std::int64_t> Affected;
  bool SQLBased = true;
  bool FTransaction = true;
};

// The dataset: codigo (key), nome, preco, foto (a blob).
TResolveSource Source(TUpdateMode Mode = TUpdateMode::upWhereAll) {
  TResolveSource Source;
  Source.Fields = {{"codigo", TFieldType::ftInteger, 0, PF::Default, "produtos.codigo", false, TFieldKind::fkData},
                   {"nome", TFieldType::ftString, 30, PF::Default, "produtos.nome", false, TFieldKind::fkData},
                   {"preco", TFieldType::ftFloat, 0, PF::Default, "produtos.preco", false, TFieldKind::fkData},
                   {"foto", TFieldType::ftBlob, 0, PF::Default, "produtos.foto", false, TFieldKind::fkData}};
  Source.TableName = "produtos";
  Source.KeyFields = "codigo";
  Source.UpdateMode = Mode;
  return Source;
}

// A packet of the dataset's columns holding rows (codigo, nome or null, preco or null).
std::vector<std::uint8_t> ListPacket(const std::vector<std::tuple<int, const char*, std::optional<double>>>& Rows) {
  TDSWriter Writer;
  EXPECT_EQ(Writer.BeginPacket(1, 4), 0);
  const auto Column = [&](const char* Name, std::uint32_t Word, const char* Origin) {
    EXPECT_EQ(Writer.PutColumnDescriptor(MakeColumnDescriptor(Name, Word, 0)), 0);
    const TAttributeValue Value = TextAttribute(Origin);
    EXPECT_EQ(Writer.PutAttribute(0, "ORIGIN", Value.TypeWord | TTypeWord::InDelta,
                                  static_cast<std::uint32_t>(Value.Bytes.size()), Value.Bytes.data()),
              0);
  };
  Column("codigo", MakeTypeWord(TPacketType::Integer, 4), "produtos.codigo");
  Column("nome", MakeTypeWord(TPacketType::Text, 1, TTypeWord::Varying), "produtos.nome");
  Column("preco", MakeTypeWord(TPacketType::Float, 8), "produtos.preco");
  Column("foto", MakeTypeWord(TPacketType::Bytes, 4, TTypeWord::Varying), "produtos.foto");
  for (const auto& [Code, Name, Price] : Rows) {
    const std::uint8_t Status = 0;
    EXPECT_EQ(Writer.PutValue(0, 1, &Status), 0);
    const TFixedValue CodeBytes = IntegerValue(Code, 4);
    EXPECT_EQ(Writer.PutValue(0, CodeBytes.Size(), CodeBytes.Data()), 0);
    if (Name == nullptr) {
      EXPECT_EQ(Writer.PutValue(1, 0, nullptr), 0);
    } else {
      EXPECT_EQ(Writer.PutValue(0, static_cast<std::uint32_t>(std::string_view(Name).size()), Name), 0);
    }
    if (Price) {
      const TFixedValue PriceBytes = FloatValue(*Price);
      EXPECT_EQ(Writer.PutValue(0, PriceBytes.Size(), PriceBytes.Data()), 0);
    } else {
      EXPECT_EQ(Writer.PutValue(1, 0, nullptr), 0);
    }
    EXPECT_EQ(Writer.PutValue(1, 0, nullptr), 0);
  }
  std::vector<std::uint8_t> Packet;
  EXPECT_EQ(Writer.TakePacket(Packet), 0);
  return Packet;
}

TDeltaValue Text(std::string_view Value) {
  return TDeltaValue::Of({reinterpret_cast<const std::uint8_t*>(Value.data()), Value.size()});
}

struct TRun {
  std::int32_t ErrorCount = 0;
  std::optional<std::vector<std::uint8_t>> Errors;
};

TRun Apply(TRecordingSupport& Support, std::vector<std::uint8_t> Delta, std::int32_t MaxErrors,
           const TResolveSource& From = Source()) {
  TSQLResolver Resolver;
  Resolver.LoadDelta(std::move(Delta), From, Support);
  TRun Run;
  Run.Errors = Resolver.ApplyUpdates(MaxErrors, Run.ErrorCount);
  return Run;
}

TEST(SQLResolver, EachRowKindMakesItsStatementWithEveryValueBound) {
  const TDSBase List(ListPacket({{1, "Caf\u00e9", 0.5}, {2, "", 3}}));
  TDeltaWriter Delta(List);
  TDSCursor Row(List);
  Delta.AddModified(Row, {{1, Text("x'; drop table produtos; --")}, {2, TDeltaValue::Null()}});
  Row.Next();
  Delta.AddDeleted(Row);
  Delta.AddInserted({TDeltaValue::Of(IntegerValue(3, 4).Bytes()), Text("Novo"), TDeltaValue::Null(), TDeltaValue::Null()});
  TRecordingSupport Support;
  EXPECT_EQ(Apply(Support, Delta.Take(), 0).ErrorCount, 0);
  // Every where clause compares the key, so no statement needs a savepoint of its own.
  EXPECT_EQ(Support.Log, (Texts{
      "update \"produtos\"  set\r\n \"nome\" = ?,\r\n \"preco\" = ?\r\nwhere\r\n \"codigo\" = ? and\r\n \"nome\" = ? and\r\n"
      " \"preco\" = ? ['x'; drop table produtos; --'] [null] [1] ['Caf\u00e9'] [0.500000]",
      // SQL-based: the empty text is a value, compared with "= ?".
      "delete from \"produtos\" \r\nwhere\r\n \"codigo\" = ? and\r\n \"nome\" = ? and\r\n \"preco\" = ? [2] [''] [3.000000]",
      // The null values are left to the table's defaults.
      "insert into \"produtos\"\r\n  (\"codigo\", \"nome\")\r\nvalues\r\n(?, ?) [3] ['Novo']"}));
}

TEST(SQLResolver, TheUpdateModePicksTheComparedFieldsAndEmptyTextsFollowTheEngine) {
  const struct {
    TUpdateMode Mode;
    bool SQLBased;
    const char* Statement;
  } Cases[] = {
      {TUpdateMode::upWhereAll, true,
       "update \"produtos\"  set\r\n \"codigo\" = ?,\r\n \"nome\" = ?\r\nwhere\r\n \"codigo\" = ? and\r\n"
       " \"nome\" = ? and\r\n \"preco\" is null [9] ['a'] [7] ['']"},
      {TUpdateMode::upWhereChanged, true,
       "update \"produtos\"  set\r\n \"codigo\" = ?,\r\n \"nome\" = ?\r\nwhere\r\n \"codigo\" = ? and\r\n"
       " \"nome\" = ? [9] ['a'] [7] ['']"},
      {TUpdateMode::upWhereKeyOnly, true,
       "update \"produtos\"  set\r\n \"codigo\" = ?,\r\n \"nome\" = ?\r\nwhere\r\n \"codigo\" = ? [9] ['a'] [7]"},
      // Not SQL-based: names carry the table, and an empty text is compared as null.
      {TUpdateMode::upWhereAll, false,
       "update \"produtos\"  set\r\n \"produtos\".\"codigo\" = ?,\r\n \"produtos\".\"nome\" = ?\r\nwhere\r\n"
       " \"produtos\".\"codigo\" = ? and\r\n \"produtos\".\"nome\" is null and\r\n \"produtos\".\"preco\" is null"
       " [9] ['a'] [7]"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Statement);
    const TDSBase List(ListPacket({{7, "", std::nullopt}}));
    TDeltaWriter Delta(List);
    Delta.AddModified(TDSCursor(List), {{0, TDeltaValue::Of(IntegerValue(9, 4).Bytes())}, {1, Text("a")}});
    TRecordingSupport Support;
    Support.SQLBased = Case.SQLBased;
    EXPECT_EQ(Apply(Support, Delta.Take(), 0, Source(Case.Mode)).ErrorCount, 0);
    EXPECT_EQ(Support.Log, (Texts{Case.Statement}));
  }
}

// The ERROR_RECORDNO and ERROR_MESSAGE of each row of an error packet, "recno:message".
Texts ErrorRows(const std::optional<std::vector<std::uint8_t>>& Packet) {
  Texts Rows;
  if (!Packet) return Rows;
  const TDSBase Base(*Packet);
  const TPacketLevel& Level = Base.Level();
  EXPECT_EQ(Level.Columns.size(), 6u + 4u);
  for (TDSCursor Row(Base); !Row.Eof(); Row.Next()) {
    Rows.push_back(*ValueText(Level.Columns[0].TypeWord, Row.Value(0).Data) + ":" +
                   *ValueText(Level.Columns[2].TypeWord, Row.Value(2).Data));
  }
  return Rows;
}

std::vector<std::uint8_t> ThreePriceChanges() {
  static const TDSBase List(ListPacket({{1, "a", 1}, {2, "b", 2}, {3, "c", 3}}));
  TDeltaWriter Delta(List);
  for (TDSCursor Row(List); !Row.Eof(); Row.Next()) Delta.AddModified(Row, {{2, TDeltaValue::Of(FloatValue(9).Bytes())}});
  return Delta.Take();
}

TEST(SQLResolver, RowsThatChangeNoRecordCountAgainstTheLimitAndTheWalkStopsPastIt) {
  constexpr char kChanged[] = "Record not found or changed by another user";
  const struct {
    std::int32_t MaxErrors;
    std::int32_t ErrorCount;
    long Statements;  // run before the walk stopped
    Texts Errors;
  } Cases[] = {
      {0, 1, 1, {std::string("2:") + kChanged}},
      {1, 2, 3, {std::string("2:") + kChanged, std::string("6:") + kChanged}},
      {-1, 2, 3, {std::string("2:") + kChanged, std::string("6:") + kChanged}},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.MaxErrors);
    TRecordingSupport Support;
    Support.Affected = {0, 1, 0};
    const TRun Run = Apply(Support, ThreePriceChanges(), Case.MaxErrors);
    EXPECT_EQ(Run.ErrorCount, Case.ErrorCount);
    EXPECT_EQ(ErrorRows(Run.Errors), Case.Errors);
    EXPECT_EQ(std::count_if(Support.Log.begin(), Support.Log.end(), [](const std::string& Line) { return Line.starts_with("update"); }),
              Case.Statements);
  }
}

TEST(SQLResolver, ARowThatChangesSeveralRecordsIsUndoneAloneOrStopsTheApplyUnlessTheProviderAllowsIt) {
  // Without a key the where clause may match several records: each statement runs under
  // a savepoint, and the one that changed two is undone alone.
  TRecordingSupport Keyless;
  Keyless.Affected = {1, 2, 1};
  TResolveSource NoKey = Source();
  NoKey.KeyFields.clear();
  TRun Run = Apply(Keyless, ThreePriceChanges(), -1, NoKey);
  EXPECT_EQ(ErrorRows(Run.Errors), (Texts{"4:Update affected more than 1 record."}));
  EXPECT_EQ(Keyless.Log[3], "mark");
  EXPECT_EQ(Keyless.Log[5], "undo");
  EXPECT_EQ(std::count(Keyless.Log.begin(), Keyless.Log.end(), "keep"), 2);

  // With the key compared there is no savepoint to undo to: the whole apply stops.
  TRecordingSupport Keyed;
  Keyed.Affected = {1, 2, 1};
  TSQLResolver Resolver;
  Resolver.LoadDelta(ThreePriceChanges(), Source(), Keyed);
  std::int32_t Count = 0;
  EXPECT_EQ(ErrorOf([&] { Resolver.ApplyUpdates(-1, Count); }).Message(), "Update affected more than 1 record.");
  EXPECT_EQ(Keyed.Log.size(), 2u);

  TRecordingSupport Allowing;
  Allowing.Affected = {1, 2, 1};
  TResolveSource From = Source();
  From.Options |= TProviderOption::poAllowMultiRecordUpdates;
  Run = Apply(Allowing, ThreePriceChanges(), -1, From);
  EXPECT_EQ(Run.ErrorCount, 0);
  EXPECT_FALSE(Run.Errors);
}

TEST(SQLResolver, RowsThatCannotBePlacedFailWithTheirOwnMessages) {
  const TDSBase List(ListPacket({{1, "a", 1}}));
  TDeltaWriter Delta(List);
  Delta.AddDeleted(TDSCursor(List));
  const std::vector<std::uint8_t> Bytes = Delta.Take();
  const struct {
    const char* Why;
    TResolveSource From;
    const char* Message;
  } Cases[] = {
      // Key only, and no key: nothing to find the record by.
      {"no key", [] { auto S = Source(TUpdateMode::upWhereKeyOnly); S.KeyFields.clear(); return S; }(),
       "Unable to find record.  No key specified"},
      // Every field a blob or out of the where clause.
      {"no where field", [] {
         auto S = Source();
         for (auto& F : S.Fields) F.ProviderFlags = PF::pfInUpdate;
         return S;
       }(), "Unable to find record.  No key specified"},
      {"no table", [] { auto S = Source(); S.TableName.clear(); return S; }(),
       "Unable to resolve records.  Table name not found."},
      {"deletes disabled", [] { auto S = Source(); S.Options |= TProviderOption::poDisableDeletes; return S; }(),
       "Deletes are not allowed"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Why);
    TRecordingSupport Support;
    const TRun Run = Apply(Support, Bytes, -1, Case.From);
    EXPECT_EQ(ErrorRows(Run.Errors), (Texts{std::string("1:") + Case.Message}));
  }
}

TEST(SQLResolver, AFaultThatEndsTheTransactionStopsTheWholeApply) {
  // The database drops the transaction with the first failing statement.
  class TDroppingSupport : public TRecordingSupport {
   public:
    std::int64_t ExecuteStatement(const std::string&, const TStatementValues&) override {
      FTransaction = false;
      throw std::runtime_error("disk I/O error");
    }
  } Support;
  TSQLResolver Resolver;
  Resolver.LoadDelta(ThreePriceChanges(), Source(), Support);
  std::int32_t Count = 0;
  EXPECT_EQ(ErrorOf([&] { Resolver.ApplyUpdates(-1, Count); }).Message(),
            "The database ended the transaction: disk I/O error");
}

TEST(SQLResolver, ADeltaIsCheckedAgainstTheDataSetBeforeAnyRowIsApplied) {
  const TDSBase List(ListPacket({{1, "a", 1}}));
  TDeltaWriter Delta(List);
  Delta.AddDeleted(TDSCursor(List));
  const std::vector<std::uint8_t> Bytes = Delta.Take();
  TResolveSource Other = Source();
  Other.Fields[2].Name = "custo";  // the dataset has no "preco"
  TRecordingSupport Support;
  TSQLResolver Resolver;
  EXPECT_EQ(ErrorOf([&] { Resolver.LoadDelta(Bytes, Other, Support); }).Message(),
            "Changes refused: the dataset has no field 'preco'");
  Other = Source();
  Other.Fields[2].DataType = TFieldType::ftString;  // a float column for a text field
  EXPECT_EQ(ErrorOf([&] { Resolver.LoadDelta(Bytes, Other, Support); }).Message(),
            "Changes refused: the delta's type does not fit field 'preco'");
  EXPECT_TRUE(Support.Log.empty());
}

}  // namespace
}  // namespace tavrin
