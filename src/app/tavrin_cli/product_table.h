#pragma once
// The product list as tavrin-cli prints it: a data packet's rows as an aligned table with
// a heading line. The product's columns get English headings (Code, Description, Cost,
// Sale price, Quantity), any other column its own name. Numbers stand right-aligned,
// money (SUBTYPE "Money") with two decimals, text left-aligned; null is left blank.
// Columns are as wide as their widest value or heading, counted in characters.
//
// Pure functions; any thread.

#include <string>

namespace tavrin {
class TDSBase;
}

namespace tavrin::cli {

// The heading line and one line per row, each ended by a line feed; columns are two
// blanks apart and lines carry no trailing blanks.
std::string ProductTableText(const TDSBase& Packet);

}  // namespace tavrin::cli
