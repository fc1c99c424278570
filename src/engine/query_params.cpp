#include "engine/query_params.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "dataset/database_error.h"

namespace tavrin {
namespace {

bool IsNameStart(char C) { return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || C == '_'; }
bool IsNamePart(char C) { return IsNameStart(C) || (C >= '0' && C <= '9'); }

// Position just past the quoted text or comment starting at Pos, or Pos when none starts
// there. An unclosed one runs to the end of the text.
std::size_t SkipQuotedOrComment(std::string_view Sql, std::size_t Pos) {
  const char C = Sql[Pos];
  const auto Until = [&](std::string_view Closing, std::size_t From) {
    const std::size_t End = Sql.find(Closing, From);
    return End == std::string_view::npos ? Sql.size() : End + Closing.size();
  };
  switch (C) {
    case '\'': case '"': case '`': {
      // A doubled quote inside stands for one, which the scan handles as two quoted runs.
      return Until(std::string_view(&Sql[Pos], 1), Pos + 1);
    }
    case '[': return Until("]", Pos + 1);
    case '-': return Sql.substr(Pos, 2) == "--" ? Until("\n", Pos + 2) : Pos;
    case '/': return Sql.substr(Pos, 2) == "/*" ? Until("*/", Pos + 2) : Pos;
    default: return Pos;
  }
}

}  // namespace

std::string TQueryParam::AsString() const {
  if (const auto* Text = std::get_if<std::string>(&FValue)) return *Text;
  if (const auto* Whole = std::get_if<std::int64_t>(&FValue)) return std::to_string(*Whole);
  if (const auto* Number = std::get_if<double>(&FValue)) {
    std::array<char, 32> Buffer{};
    const auto Result = std::to_chars(Buffer.data(), Buffer.data() + Buffer.size(), *Number);
    return std::string(Buffer.data(), Result.ptr);
  }
  return {};
}

TQueryParam& TQueryParams::operator[](std::int32_t Index) {
  if (Index < 0 || Index >= Count()) throw EDatabaseError(kParamNotFound + std::to_string(Index));
  return *FItems[static_cast<std::size_t>(Index)];
}

const TQueryParam& TQueryParams::operator[](std::int32_t Index) const {
  return const_cast<TQueryParams&>(*this)[Index];
}

TQueryParam* TQueryParams::FindParam(std::string_view Name) {
  for (const auto& Item : FItems) {
    if (SameName(Item->Name(), Name)) return Item.get();
  }
  return nullptr;
}

const TQueryParam* TQueryParams::FindParam(std::string_view Name) const {
  return const_cast<TQueryParams&>(*this).FindParam(Name);
}

TQueryParam& TQueryParams::ParamByName(std::string_view Name) {
  TQueryParam* Found = FindParam(Name);
  if (!Found) throw EDatabaseError(kParamNotFound + std::string(Name));
  return *Found;
}

void TQueryParams::Rebuild(const std::vector<std::string>& Names) {
  FItems.clear();
  for (const std::string& Name : Names) FItems.push_back(std::make_unique<TQueryParam>(Name));
}

std::vector<std::string> ParamNamesOf(std::string_view Sql) {
  std::vector<std::string> Names;
  std::size_t Pos = 0;
  while (Pos < Sql.size()) {
    const std::size_t Skipped = SkipQuotedOrComment(Sql, Pos);
    if (Skipped != Pos) {
      Pos = Skipped;
      continue;
    }
    if (Sql[Pos] == ':' && Pos + 1 < Sql.size() && IsNameStart(Sql[Pos + 1])) {
      std::size_t End = Pos + 1;
      while (End < Sql.size() && IsNamePart(Sql[End])) ++End;
      std::string Name(Sql.substr(Pos + 1, End - Pos - 1));
      const bool Seen = std::any_of(Names.begin(), Names.end(), [&](const std::string& N) { return SameName(N, Name); });
      if (!Seen) Names.push_back(std::move(Name));
      Pos = End;
      continue;
    }
    ++Pos;
  }
  return Names;
}

}  // namespace tavrin
