#include "datapacket/column_descriptor.h"

#include <algorithm>

#include "datapacket/packet_layout.h"

namespace tavrin {

namespace L = TColumnDescriptorLayout;

TColumnDescriptorRecord MakeColumnDescriptor(std::string_view Name, std::uint32_t TypeWord,
                                             std::uint16_t AttributeBits) {
  TColumnDescriptorRecord Record{};
  std::size_t Length = std::min(Name.size(), TPacketLimits::kMaxColumnName);
  // Back off continuation bytes so the cut lands on a character boundary.
  if (Length < Name.size()) {
    while (Length > 0 && (static_cast<std::uint8_t>(Name[Length]) & 0xC0) == 0x80) --Length;
  }
  std::copy_n(Name.begin(), Length, Record.begin() + L::NameOffset);
  StoreLE(Record.data() + L::TypeWordOffset, TypeWord, 4);
  StoreLE(Record.data() + L::BitsOffset, AttributeBits, 2);
  return Record;
}

TColumnDescriptorParts ReadColumnDescriptor(std::span<const std::uint8_t, kColumnDescriptorSize> Record) {
  TColumnDescriptorParts Parts;
  const auto Name = Record.subspan(L::NameOffset, L::NameBytes);
  const auto End = std::find(Name.begin(), Name.end(), std::uint8_t{0});
  if (End != Name.end()) Parts.Name.assign(Name.begin(), End);
  Parts.TypeWord = static_cast<std::uint32_t>(LoadLE(Record.data() + L::TypeWordOffset, 4));
  Parts.AttributeBits = static_cast<std::uint16_t>(LoadLE(Record.data() + L::BitsOffset, 2));
  return Parts;
}

}  // namespace tavrin
