#pragma once
// tavrin-cli products: the shop's product list from the server's provider dsEst1, as a
// client fetches it (AS_GetRecords of TvxServerMethods8765), decoded with the project's
// own packet reader and printed as a table (product_table.h):
//   whole        one request for every row; the table, then "N products".
//   --page N     requests of N rows until a page comes back short; each page is printed
//                as it arrives, "Page K, M products" above its table; "N products" last.
//   --xml        the server's XML form of each packet (UTF-8), as it came.
// Failures are reported as commands.h says; pages printed before a failure stay printed.
//
// Threading: each run uses its own connection.

#include <cstdint>
#include <ostream>
#include <string_view>

#include "app/tavrin_cli/commands.h"
#include "dbxstream/channel.h"

namespace tavrin::cli {

inline constexpr std::string_view kProductClass = "TvxServerMethods8765";
inline constexpr std::string_view kProductProvider = "dsEst1";

struct TProductsRequest {
  std::int32_t PageSize = 0;  // 0: the whole list in one request
  bool Xml = false;
};

int RunProducts(const TCliTarget& Target, const TProductsRequest& Request, std::ostream& Out, std::ostream& Err);
// The same over an open channel (it stays open).
int RunProducts(TDbxChannel& Channel, const TProductsRequest& Request, std::ostream& Out, std::ostream& Err);

}  // namespace tavrin::cli
