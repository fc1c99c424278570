#include "demo_data/demo_data.h"

#include <sqlite3.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "dataset/database_error.h"
#include "engine/sqlite_connection.h"
#include "engine/statement_runner.h"
#include "engine/table_protection.h"

namespace tavrin {
namespace {

namespace fs = std::filesystem;

constexpr char kSchema[] =
    "pragma journal_mode = wal;"
    "create table tabuser ("
    " codigo integer primary key,"
    " nome varchar(30) not null,"
    " senha varchar(20),"
    " nivel integer,"
    " inativo boolean,"
    " mnctrlest boolean);"
    "create table tabest1 ("
    " codigo integer primary key,"
    " produto varchar(60),"
    " precocusto money,"
    " precovenda money,"
    " quantidade double,"
    " inativo boolean);";

constexpr char kInsertUser[] =
    "insert into tabuser (nome, senha, nivel, inativo, mnctrlest) values (?1, ?2, ?3, ?4, ?5)";
constexpr char kInsertProduct[] =
    "insert into tabest1 (codigo, produto, precocusto, precovenda, quantidade, inativo)"
    " values (?1, ?2, ?3, ?4, ?5, ?6)";

// A column left null in the demo rows.
constexpr int kNull = -1;

struct TDemoUser {
  std::string_view Name;
  std::string_view Password;
  int Level;     // kNull: no level
  int Inactive;  // 0, 1 or kNull
  int Access;    // 0, 1 or kNull
};

// Every login outcome; the names and passwords are in docs/database.md.
constexpr std::array<TDemoUser, 8> kUsers = {{
    {"ADMIN", "zul123", 9, kNull, 1},     // accepted, level 9
    {"maria", "Maria2024", 3, 0, 1},      // accepted, level 3
    {"joão", "café", 5, kNull, 1},        // accepted, level 5 (only a-z are raised)
    {"carlos", "carlos1", 2, 0, 0},       // without access: -2
    {"pedro", "pedro1", 2, kNull, kNull}, // without access (flag null): -2
    {"antigo", "antigo1", 4, 1, 1},       // inactive: 0, "incorreto"
    {"estagiario", "estag1", kNull, 0, 1},// accepted without level: 0, "OK"
    {"lucia", "lucia1", 0, 0, 1},         // accepted with level 0: 0, "OK"
}};

constexpr std::array<std::string_view, 40> kItems = {
    "Açúcar cristal",     "Café torrado e moído", "Feijão carioca",      "Arroz agulhinha",
    "Pão francês",        "Maçã gala",            "Limão taiti",         "Óleo de soja",
    "Sabão em pó",        "Água mineral",         "Farinha de mandioca", "Macarrão espaguete",
    "Leite UHT integral", "Manteiga com sal",     "Requeijão cremoso",   "Pêssego em calda",
    "Palmito açaí",       "Chocolate ao leite",   "Biscoito maisena",    "Goiabada cascão",
    "Detergente neutro",  "Esponja dupla face",  "Papel higiênico",     "Creme dental",
    "Sabonete glicerina", "Xampu anticaspa",      "Álcool 70%",          "Fósforo longo",
    "Vela aromática",     "Pilha alcalina AA",    "Lâmpada LED 9W",      "Extensão elétrica",
    "Tomate italiano",    "Cebola roxa",          "Alho nacional",       "Batata inglesa",
    "Mamão formosa",      "Melão amarelo",        "Abóbora cabotiá",     "Castanha-do-pará",
};

constexpr std::array<std::string_view, 8> kVariants = {
    "1 kg", "500 g", "Embalagem econômica", "Marca São Jorge", "Orgânico", "Pacote família", "Unidade", "Caixa c/ 12",
};

// Descriptions beyond Latin letters, so that clients see that any text comes through.
constexpr std::array<std::string_view, 3> kWiderTexts = {
    "Chá verde 緑茶 (importado)",
    "Vela de aniversário 🎂",
    "Кефир — iogurte russo",
};

// A fixed sequence, so that every demo folder holds the same rows.
class TSequence {
 public:
  std::uint32_t Next(std::uint32_t Bound) {
    FState = FState * 1664525u + 1013904223u;
    return (FState >> 8) % Bound;
  }

 private:
  std::uint32_t FState = 20240611u;
};

void BindOptionalFlag(TSqliteStatement& Statement, int Number, int Value) {
  Statement.Bind(Number, Value == kNull ? TFieldValue() : TFieldValue(std::int64_t{Value}));
}

void InsertUsers(TSqliteConnection& Connection) {
  for (const TDemoUser& User : kUsers) {
    TSqliteStatement Statement;
    std::string_view Tail;
    if (Statement.Prepare(Connection, kInsertUser, Tail) != SQLITE_OK) {
      throw EDatabaseError(TSqliteMessages::kStatementFailed + Connection.ErrorMessage());
    }
    Statement.Bind(1, std::string(User.Name));
    Statement.Bind(2, std::string(User.Password));
    BindOptionalFlag(Statement, 3, User.Level);
    BindOptionalFlag(Statement, 4, User.Inactive);
    BindOptionalFlag(Statement, 5, User.Access);
    Statement.Step();
  }
}

double Cents(double Value) { return std::round(Value * 100.0) / 100.0; }

void InsertProducts(TSqliteConnection& Connection) {
  TSequence Sequence;
  for (int Code = 1; Code <= TDemoData::kProductCount; ++Code) {
    const auto Index = static_cast<std::size_t>(Code - 1);
    std::string Description;
    if (Index < kWiderTexts.size()) {
      Description = kWiderTexts[Index];
    } else if (Code % 50 == 0) {
      Description = "Sabão em pó 1 kg";  // the same description more than once: ties in the order
    } else {
      Description = std::string(kItems[Index % kItems.size()]) + " " +
                    std::string(kVariants[(Index / kItems.size()) % kVariants.size()]);
    }
    const double Cost = Cents(0.5 + Sequence.Next(9000) / 100.0);
    const double Price = Cents(Cost * (1.3 + Sequence.Next(50) / 100.0));
    // Weighed goods have fractions of a unit in stock; some items ran out.
    const double Quantity = Code % 7 == 0 ? Sequence.Next(20000) / 1000.0 : Sequence.Next(250);
    // Every 9th item is inactive; active items leave the flag null or set it false.
    const TFieldValue Inactive =
        Code % 9 == 0 ? TFieldValue(std::int64_t{1}) : (Code % 2 == 0 ? TFieldValue(std::int64_t{0}) : TFieldValue());

    TSqliteStatement Statement;
    std::string_view Tail;
    if (Statement.Prepare(Connection, kInsertProduct, Tail) != SQLITE_OK) {
      throw EDatabaseError(TSqliteMessages::kStatementFailed + Connection.ErrorMessage());
    }
    Statement.Bind(1, std::int64_t{Code});
    Statement.Bind(2, Description);
    Statement.Bind(3, Cost);
    Statement.Bind(4, Price);
    Statement.Bind(5, Quantity);
    Statement.Bind(6, Inactive);
    Statement.Step();
  }
}

std::string Utf8Of(const fs::path& Path) {
  const std::u8string Text = Path.u8string();
  return std::string(Text.begin(), Text.end());
}

// Removes File and SQLite's side files after checking that File was made here.
void RemoveEarlierDemoDatabase(const fs::path& File) {
  std::int64_t Id = 0;
  {
    TSqliteConnection Earlier(Utf8Of(File), TSqliteConnection::TOpenMode::ExistingFile);
    TSqliteStatement Statement;
    std::string_view Tail;
    if (Statement.Prepare(Earlier, "pragma application_id", Tail) == SQLITE_OK && Statement.Step()) {
      const TFieldValue Value = Statement.ColumnValue(0);
      if (const auto* Whole = std::get_if<std::int64_t>(&Value)) Id = *Whole;
    }
  }
  if (Id != TDemoData::kApplicationId) throw EDatabaseError(TDemoData::kNotADemoDatabase + Utf8Of(File));
  for (const char* Suffix : {"", "-wal", "-shm", "-journal"}) {
    fs::path Side = File;
    Side += Suffix;
    fs::remove(Side);
  }
}

}  // namespace

void CreateDemoData(const std::string& Folder) {
  const fs::path Path(std::u8string(Folder.begin(), Folder.end()));
  fs::create_directories(Path);
  const fs::path Marker = Path / TDemoData::kMarkerFileName;
  if (!fs::exists(Marker)) std::ofstream(Marker, std::ios::binary).close();

  const fs::path File = Path / TDatabaseFiles::kDatabaseFileName;
  if (fs::exists(File)) RemoveEarlierDemoDatabase(File);

  TSqliteConnection Connection(Utf8Of(File), TSqliteConnection::TOpenMode::CreateIfMissing);
  Connection.Execute("pragma application_id = " + std::to_string(TDemoData::kApplicationId));
  Connection.Execute(kSchema);
  Connection.Execute("begin");
  InsertUsers(Connection);
  InsertProducts(Connection);
  ProtectTable(Connection, "tabuser", TDemoData::kUsersPassword);
  Connection.Execute("commit");
}

}  // namespace tavrin
