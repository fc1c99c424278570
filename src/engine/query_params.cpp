#include "engine/query_params.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "dataset/database_error.h"

namespace tavrin {

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
  if (TQueryParam* Found = FindParam(Name)) return *Found;
  if (FKnown) throw EDatabaseError(kParamNotFound + std::string(Name));
  FItems.push_back(std::make_unique<TQueryParam>(std::string(Name)));
  return *FItems.back();
}

void TQueryParams::Reset() {
  FItems.clear();
  FKnown = false;
}

void TQueryParams::Adopt(const std::vector<std::string>& Names) {
  const auto InStatement = [&](const std::string& Name) {
    return std::any_of(Names.begin(), Names.end(), [&](const std::string& N) { return SameName(N, Name); });
  };
  for (const auto& Item : FItems) {
    if (!InStatement(Item->Name())) throw EDatabaseError(kParamNotFound + Item->Name());
  }
  // A parameter bound before keeps its object, so a reference to it stays good.
  std::vector<std::unique_ptr<TQueryParam>> Adopted;
  for (const std::string& Name : Names) {
    const bool Seen = std::any_of(Adopted.begin(), Adopted.end(), [&](const auto& P) { return SameName(P->Name(), Name); });
    if (Seen) continue;
    const auto Bound =
        std::find_if(FItems.begin(), FItems.end(), [&](const auto& P) { return P && SameName(P->Name(), Name); });
    if (Bound != FItems.end()) {
      Adopted.push_back(std::move(*Bound));
      Adopted.back()->FName = Name;
    } else {
      Adopted.push_back(std::make_unique<TQueryParam>(Name));
    }
  }
  FItems = std::move(Adopted);
  FKnown = true;
}

}  // namespace tavrin
