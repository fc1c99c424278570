#include "app/tavrin_cli/product_table.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

#include "datapacket/base.h"
#include "datapacket/cursor.h"
#include "datapacket/packet_values.h"
#include "datapacket/type_word.h"

namespace tavrin::cli {

namespace {

constexpr std::string_view kColumnGap = "  ";
constexpr char kMoneySubType[] = "Money";
constexpr char kSubTypeAttribute[] = "SUBTYPE";

// Headings of the product list's columns.
struct THeading {
  std::string_view Column;
  std::string_view Heading;
};
constexpr THeading kHeadings[] = {
    {"codigo", "Code"},     {"produto", "Description"}, {"precocusto", "Cost"},
    {"precovenda", "Sale price"}, {"quantidade", "Quantity"},
};

std::string HeadingOf(const TPacketColumn& Column) {
  const std::string Name = Column.FieldName();
  for (const THeading& Known : kHeadings) {
    if (Name == Known.Column) return std::string(Known.Heading);
  }
  return Name;
}

bool IsNumber(const TPacketColumn& Column) {
  switch (Column.BaseType()) {
    case TPacketType::Integer: case TPacketType::Unsigned: case TPacketType::Float: case TPacketType::Bcd:
    case TPacketType::FmtBcd: case TPacketType::Single:
      return true;
    default:
      return false;
  }
}

bool IsMoney(const TPacketColumn& Column) {
  const TPacketAttribute* SubType = Column.FindAttribute(kSubTypeAttribute);
  return SubType != nullptr && AttributeText(*SubType) == kMoneySubType;
}

std::string CellText(const TPacketColumn& Column, const TPacketValue& Value) {
  if (Value.State != TValueState::Value) return {};
  if (IsMoney(Column)) {
    if (const auto Number = ReadFloat(Column.TypeWord, Value.Data)) {
      char Text[64];
      std::snprintf(Text, sizeof Text, "%.2f", *Number);
      return Text;
    }
  }
  return ValueText(Column.TypeWord, Value.Data).value_or(HexText(Value.Data));
}

// Characters of UTF-8 text: every byte but the continuation bytes.
std::size_t CharacterCount(std::string_view Text) {
  return static_cast<std::size_t>(
      std::count_if(Text.begin(), Text.end(), [](char C) { return (static_cast<unsigned char>(C) & 0xC0) != 0x80; }));
}

}  // namespace

std::string ProductTableText(const TDSBase& Packet) {
  const auto& Columns = Packet.Level().Columns;
  std::vector<std::vector<std::string>> Cells(1);
  for (const TPacketColumn& Column : Columns) Cells[0].push_back(HeadingOf(Column));
  for (TDSCursor Cursor(Packet); !Cursor.Eof(); Cursor.Next()) {
    std::vector<std::string>& Row = Cells.emplace_back();
    for (const TPacketColumn& Column : Columns) Row.push_back(CellText(Column, Cursor.Value(Column)));
  }
  std::vector<std::size_t> Widths(Columns.size(), 0);
  for (const auto& Row : Cells) {
    for (std::size_t i = 0; i < Row.size(); ++i) Widths[i] = std::max(Widths[i], CharacterCount(Row[i]));
  }
  std::string Text;
  for (const auto& Row : Cells) {
    std::string Line;
    for (std::size_t i = 0; i < Row.size(); ++i) {
      const std::string Padding(Widths[i] - CharacterCount(Row[i]), ' ');
      if (i > 0) Line += kColumnGap;
      Line += IsNumber(Columns[i]) ? Padding + Row[i] : Row[i] + Padding;
    }
    while (!Line.empty() && Line.back() == ' ') Line.pop_back();
    Text += Line + '\n';
  }
  return Text;
}

}  // namespace tavrin::cli
