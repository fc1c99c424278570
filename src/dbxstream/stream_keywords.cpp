#include "dbxstream/stream_keywords.h"

#include <algorithm>
#include <array>

namespace tavrin {
namespace {

struct TKeyword {
  std::int32_t Code;
  std::u16string_view Word;
};

constexpr std::array<TKeyword, 24> kKeywords{{
    {TDBXStringCodes::Result, u"result"},
    {TDBXStringCodes::Error, u"error"},
    {TDBXStringCodes::Connect, u"connect"},
    {TDBXStringCodes::Disconnect, u"disconnect"},
    {TDBXStringCodes::Prepare, u"prepare"},
    {TDBXStringCodes::Execute, u"execute"},
    {TDBXStringCodes::CommandClose, u"command_close"},
    {TDBXStringCodes::ReaderClose, u"reader_close"},
    {TDBXStringCodes::Rows, u"rows"},
    {TDBXStringCodes::Table, u"table"},
    {TDBXStringCodes::Columns, u"columns"},
    {TDBXStringCodes::Session, u"session"},
    {TDBXStringCodes::Data, u"data"},
    {TDBXStringCodes::Next, u"next"},
    {TDBXStringCodes::Handle, u"handle"},
    {TDBXStringCodes::Fields, u"fields"},
    {TDBXStringCodes::Parameters, u"parameters"},
    {TDBXStringCodes::TxBegin, u"txbegin"},
    {TDBXStringCodes::TxEnd, u"txend"},
    {TDBXStringCodes::MoreBlob, u"more_blob"},
    {TDBXStringCodes::NextResult, u"next_result"},
    {TDBXStringCodes::VendorProperty, u"vendor_property"},
    {TDBXStringCodes::Callback, u"callback"},
    {TDBXStringCodes::Metadata, u"metadata"},
}};

}  // namespace

std::int32_t LookupStringCode(std::span<const char16_t> Chars) noexcept {
  for (const auto& Keyword : kKeywords) {
    if (Keyword.Word.size() == Chars.size() &&
        std::equal(Chars.begin(), Chars.end(), Keyword.Word.begin())) {
      return Keyword.Code;
    }
  }
  return TDBXStringCodes::Other;
}

std::u16string_view KeywordOf(std::int32_t StringCode) noexcept {
  for (const auto& Keyword : kKeywords) {
    if (Keyword.Code == StringCode) return Keyword.Word;
  }
  return {};
}

}  // namespace tavrin
