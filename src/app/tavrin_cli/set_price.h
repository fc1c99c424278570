#pragma once
// tavrin-cli set-price CODE PRICE: fetches the product list from dsEst1, changes the sale
// price of product CODE and sends the change back as a delta (AS_ApplyUpdates with no
// failed row allowed). The server compares the row's old values, so a product changed
// by someone else since the list was fetched is not overwritten.
//   applied       "Product 12 Arroz 5kg: sale price 24.90 -> 26.50, applied"; exit 0.
//   not applied   "Not applied (record N): <the server's message>" per error row on
//                 standard output; exit 1: the price was not changed.
// A product not in the list, or any failure of the call, is reported as commands.h
// says.
//
// Threading: each run uses its own connection.

#include <cstdint>
#include <ostream>

#include "app/tavrin_cli/commands.h"
#include "dbxstream/channel.h"

namespace tavrin::cli {

struct TSetPriceRequest {
  std::int64_t Code = 0;
  double Price = 0;
};

int RunSetPrice(const TCliTarget& Target, const TSetPriceRequest& Request, std::ostream& Out, std::ostream& Err);
// The same over an open channel (it stays open).
int RunSetPrice(TDbxChannel& Channel, const TSetPriceRequest& Request, std::ostream& Out, std::ostream& Err);

}  // namespace tavrin::cli
