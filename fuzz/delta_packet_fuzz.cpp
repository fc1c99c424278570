// Arbitrary bytes as a delta packet a client sends to be applied to the product list,
// through the resolver into a real SQLite table (a temporary data folder, each run
// rolled back). Only TDBXError may leave loading or applying; every statement that
// reaches the database is checked to hold nothing but the resolver's own words and the
// dataset's own quoted names, so no byte of the packet ever becomes statement text.
// The first input byte picks the update mode and whether the walk stops at the first
// failed row.

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "demo_data/demo_data.h"
#include "engine/query.h"
#include "engine/query_provider_support.h"
#include "fuzz_input.h"
#include "resolver/sql_resolver.h"
#include "vocabulary/dbx_error.h"

using namespace tavrin;

namespace {

// The query's own names, quoted as the resolver quotes them.
const std::vector<std::string> kNames = {"\"tabest1\"", "\"codigo\"", "\"produto\"", "\"precocusto\"",
                                         "\"precovenda\"", "\"quantidade\""};
const std::set<std::string> kWords = {"update", "set", "insert", "into", "values", "delete", "from",
                                      "where", "and", "is", "null", "select"};

// Aborts unless Sql is made of kNames, kWords, "?", "=", ",", "(", ")" and blanks.
void CheckStatement(std::string Sql) {
  for (const std::string& Name : kNames) {
    for (std::size_t At = Sql.find(Name); At != std::string::npos; At = Sql.find(Name)) Sql.replace(At, Name.size(), " ");
  }
  std::string Word;
  const auto EndWord = [&] {
    if (!Word.empty() && kWords.count(Word) == 0) std::abort();
    Word.clear();
  };
  for (char C : Sql) {
    if (C >= 'a' && C <= 'z') {
      Word += C;
      continue;
    }
    EndWord();
    if (std::string_view(" \r\n?=,()").find(C) == std::string_view::npos) std::abort();
  }
  EndWord();
}

// The engine's support, every statement checked before it runs.
class TCheckedSupport : public TQueryProviderSupport {
 public:
  using TQueryProviderSupport::TQueryProviderSupport;
  std::int64_t ExecuteStatement(const std::string& Sql, const TStatementValues& Values) override {
    CheckStatement(Sql);
    return TQueryProviderSupport::ExecuteStatement(Sql, Values);
  }
  TStatementRows SelectRows(const std::string& Sql, const TStatementValues& Values, std::size_t MaxRows) override {
    CheckStatement(Sql);
    return TQueryProviderSupport::SelectRows(Sql, Values, MaxRows);
  }
};

struct TTarget {
  TTarget() {
    Folder = std::filesystem::temp_directory_path() / ("tavrin-delta-fuzz-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(Folder);
    CreateDemoData(Folder.string());
    Query.SetDatabaseName(Folder.string());
    Query.SQL().Add("select codigo, produto, precocusto, precovenda, quantidade from tabest1");
    Query.Open();
    for (std::int32_t i = 0; i < Query.FieldCount(); ++i) {
      const TField& Field = Query.Fields(i);
      Source.Fields.push_back({Field.FieldName(), Field.DataType(), Field.Size(), Field.ProviderFlags(), Field.Origin(),
                               Field.ReadOnly(), Field.FieldKind()});
    }
    Source.TableName = Support.TableName();
    Source.KeyFields = Support.KeyFields();
    Query.Close();
  }
  ~TTarget() {
    std::error_code Ignored;  // a folder left behind in the temporary folder harms nothing
    std::filesystem::remove_all(Folder, Ignored);
  }
  std::filesystem::path Folder;
  TSession Session;
  TQuery Query{Session};
  TCheckedSupport Support{Query};
  TResolveSource Source;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  static TTarget Target;
  fuzz::TFuzzInput Input(Data, Size);
  const std::uint8_t Pick = Input.Choice();
  TResolveSource Source = Target.Source;
  Source.UpdateMode = static_cast<TUpdateMode>(Pick % 3);
  const auto Rest = Input.Rest();
  TSQLResolver Resolver;
  try {
    Resolver.LoadDelta(std::vector<std::uint8_t>(Rest.begin(), Rest.end()), Source, Target.Support);
  } catch (const TDBXError&) {
    return 0;
  }
  try {
    Target.Support.StartTransaction();
    std::int32_t Errors = 0;
    (void)Resolver.ApplyUpdates((Pick & 4) != 0 ? 0 : -1, Errors);
  } catch (const TDBXError&) {
  }
  Target.Support.EndTransaction(false);
  return 0;
}
