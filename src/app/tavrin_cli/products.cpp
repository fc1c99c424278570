#include "app/tavrin_cli/products.h"

#include <exception>
#include <string>
#include <vector>

#include "app/tavrin_cli/product_session.h"
#include "app/tavrin_cli/product_table.h"
#include "client/provider_client.h"
#include "datapacket/base.h"
#include "vocabulary/dbx_error.h"
#include "vocabulary/unicode_text.h"

namespace tavrin::cli {

namespace {

constexpr std::int32_t kAllRows = -1;
// The request's options: none for the binary form, the XML form in UTF-8 for --xml.
constexpr std::int32_t kBinaryPacket = 0;
constexpr std::int32_t kXmlUtf8Packet = 8;

constexpr char kNoPacket[] = "the server sent no product list";
constexpr char kPageHeading[] = "Page ";
constexpr char kOneProduct[] = " product";
constexpr char kProducts[] = " products";

std::string ProductCount(std::int64_t Products) {
  return std::to_string(Products) + (Products == 1 ? kOneProduct : kProducts);
}

const std::vector<std::uint8_t>& PacketOf(const TDBXRecordsReply& Reply) {
  const auto* Packet = std::get_if<std::vector<std::uint8_t>>(&Reply.Data.Value);
  if (Packet == nullptr) throw TDBXError(TDBXErrorCodes::Unspecified, kNoPacket);
  return *Packet;
}

// Fetches and prints the list; returns nothing but what it printed.
void PrintProducts(TDBXProviderClient& Provider, const TProductsRequest& Request, std::ostream& Out) {
  const std::u16string Name = ToUtf16(kProductProvider);
  const std::int32_t Options = Request.Xml ? kXmlUtf8Packet : kBinaryPacket;
  const bool Paged = Request.PageSize > 0;
  const std::int32_t Count = Paged ? Request.PageSize : kAllRows;
  std::int64_t Total = 0;
  for (int Page = 1;; ++Page) {
    const TDBXRecordsReply Reply = Provider.GetRecords(Name, Count, Options);
    const std::vector<std::uint8_t>& Packet = PacketOf(Reply);
    Total += Reply.RecsOut;
    // A full page's successor may come back empty; it ends the list without a page of its own.
    if (Reply.RecsOut > 0 || Page == 1) {
      if (Request.Xml) {
        Out.write(reinterpret_cast<const char*>(Packet.data()), static_cast<std::streamsize>(Packet.size()));
      } else {
        if (Paged) Out << kPageHeading << Page << ", " << ProductCount(Reply.RecsOut) << '\n';
        Out << ProductTableText(TDSBase(Packet));
      }
      Out.flush();
    }
    if (!Paged || Reply.RecsOut < Count) break;
  }
  if (!Request.Xml) Out << ProductCount(Total) << '\n';
  Out.flush();
}

}  // namespace

int RunProducts(TDbxChannel& Channel, const TProductsRequest& Request, std::ostream& Out, std::ostream& Err) {
  return WithProductProvider(Channel, Err, [&](TDBXProviderClient& Provider) {
    PrintProducts(Provider, Request, Out);
    return kExitOk;
  });
}

int RunProducts(const TCliTarget& Target, const TProductsRequest& Request, std::ostream& Out, std::ostream& Err) {
  return OverTcp(Target, Err, [&](TDbxChannel& Channel) { return RunProducts(Channel, Request, Out, Err); });
}

}  // namespace tavrin::cli
