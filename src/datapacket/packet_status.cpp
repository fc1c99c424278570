#include "datapacket/packet_status.h"

#include <array>

namespace tavrin {
namespace {

// Indexed by status.
constexpr std::array<std::string_view, 33> kTexts = {
    "Success",
    "No packet has been begun",
    "Invalid argument",
    "Packet version must be 1 or 3",
    "Column descriptor count must be between 1 and 65535",
    "More column descriptors than the packet announced",
    "Column name is empty or not NUL-terminated within 32 bytes",
    "Column type word is not valid",
    "Column attribute bits other than hidden, read-only and required",
    "A composite column lacks some of its child columns",
    "Column descriptors are missing",
    "A nested table has all its columns; its metadata must be closed first",
    "No nested table metadata is open to close",
    "Attribute area must be 0 (last column) or 1 (dataset)",
    "Column attribute before any column descriptor",
    "Attribute name is empty or longer than 255 bytes",
    "Attribute type word is not valid",
    "Attribute value does not match its type word",
    "More than 65535 attributes in one place",
    "Value too long",
    "Value status must be 0 (value), 1 (null) or 2 (unchanged)",
    "Value size does not match its column",
    "Row status must be one byte: 0 unmodified, 1 modified, 2 inserted or 3 deleted",
    "A modified row must directly follow its original, unmodified row",
    "An unchanged value is allowed only in a modified row",
    "A nested table value must be 0xFFFFFFFF (rows follow) or 0x80000000 (on demand)",
    "No nested rows are open to end",
    "The current row is incomplete",
    "Packet too large",
    "The columns expand to more than 65536 values per row",
    "Columns nest more than 16 levels deep",
    "Output mode must be 0 (binary), 5 (XML) or 13 (XML UTF-8)",
    "Column descriptors and attributes take more than 4 MiB",
};

}  // namespace

std::string DSStatusText(std::uint16_t Status) {
  if (Status < kTexts.size()) return std::string(kTexts[Status]);
  return "Unknown data packet status " + std::to_string(Status);
}

}  // namespace tavrin
