#include "datapacket/packet_xml.h"

#include <array>
#include <cctype>
#include <charconv>
#include <optional>
#include <string_view>

#include "datapacket/column_descriptor.h"
#include "datapacket/base.h"
#include "datapacket/cursor.h"
#include "datapacket/packet_layout.h"
#include "datapacket/packet_values.h"
#include "datapacket/utf8_scan.h"

namespace tavrin {
namespace {

constexpr char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
constexpr char32_t kReplacement = 0xFFFD;
constexpr std::array<std::string_view, 4> kRowStatusNames = {"unmodified", "modified", "inserted", "deleted"};
constexpr std::array<std::string_view, 4> kValueElements = {"value", "null", "unchanged", "ondemand"};

bool AllowedInXml(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

// Whether Text can stand in the document as it is: well-formed UTF-8 of characters XML allows.
bool Representable(std::string_view Text) {
  std::size_t At = 0;
  while (At < Text.size()) {
    const auto c = NextCodePoint(Text, At);
    if (!c || !AllowedInXml(*c)) return false;
  }
  return true;
}

void AppendUtf8(std::string& Out, char32_t c) {
  if (c < 0x80) {
    Out += static_cast<char>(c);
  } else if (c < 0x800) {
    Out += static_cast<char>(0xC0 | (c >> 6));
    Out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    Out += static_cast<char>(0xE0 | (c >> 12));
    Out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    Out += static_cast<char>(0xF0 | (c >> 18));
    Out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    Out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::optional<std::string> CurrencyText(std::int64_t TenThousandths) {
  const bool Negative = TenThousandths < 0;
  // Magnitude without overflow at the most negative value.
  const std::uint64_t Magnitude = Negative ? 0 - static_cast<std::uint64_t>(TenThousandths)
                                           : static_cast<std::uint64_t>(TenThousandths);
  std::string Fraction = std::to_string(Magnitude % 10000);
  Fraction.insert(0, 4 - Fraction.size(), '0');
  return (Negative ? "-" : "") + std::to_string(Magnitude / 10000) + "." + Fraction;
}

std::optional<std::string> AttributeValueText(const TPacketAttribute& a) {
  const std::uint32_t Word = a.TypeWord;
  if ((Word & TTypeWord::ArrayValue) != 0) {
    const auto Values = AttributeIntegers(a);
    if (!Values) return std::nullopt;
    std::string Text;
    for (const auto v : *Values) Text += (Text.empty() ? "" : " ") + std::to_string(v);
    return Text;
  }
  if ((Word & TTypeWord::Varying) != 0) return AttributeText(a);
  if (BaseTypeOf(Word) == TPacketType::Bcd) {
    if (const auto Value = AttributeCurrency(a)) return CurrencyText(*Value);
    return std::nullopt;
  }
  return ValueText(Word & ~TTypeWord::InDelta, a.Value);
}

class TXmlWriter {
 public:
  explicit TXmlWriter(TXmlCharacters Characters) : FAscii(Characters == TXmlCharacters::Ascii) {}

  std::string Write(const TDSBase& Base) {
    FText = kDeclaration;
    Open("packet");
    Attribute("layout", std::to_string(TPacketHeader::LayoutVersion));
    Attribute("version", std::to_string(Base.PacketVersion()));
    EndOpen();
    Metadata(Base.Level());
    TDSCursor Cursor(Base);
    Rows(Cursor);
    Close("packet");
    return std::move(FText);
  }

 private:
  void Indent() { FText.append(2 * static_cast<std::size_t>(FDepth), ' '); }

  // Text that Representable() passed, escaped for where it stands.
  void Escaped(std::string_view Text, bool InAttribute) {
    std::size_t At = 0;
    while (At < Text.size()) {
      const std::size_t Start = At;
      const char32_t c = NextCodePoint(Text, At).value_or(kReplacement);
      switch (c) {
        case '&': FText += "&amp;"; break;
        case '<': FText += "&lt;"; break;
        case '>': FText += "&gt;"; break;
        case '"': FText += InAttribute ? "&quot;" : "\""; break;
        // A parser folds line ends and, inside attributes, tabs: references keep them.
        case '\r': FText += "&#13;"; break;
        case '\n': FText += InAttribute ? "&#10;" : "\n"; break;
        case '\t': FText += InAttribute ? "&#9;" : "\t"; break;
        default:
          if (c < 0x80 || !FAscii) {
            FText.append(Text.substr(Start, At - Start));
          } else {
            char Hex[16];
            const auto End = std::to_chars(Hex, Hex + sizeof Hex, static_cast<std::uint32_t>(c), 16).ptr;
            FText += "&#x";
            for (const char* h = Hex; h != End; ++h) FText += static_cast<char>(std::toupper(static_cast<unsigned char>(*h)));
            FText += ';';
          }
      }
    }
  }

  // A name as well as it can be shown: what is not well-formed or not allowed becomes U+FFFD.
  std::string CleanName(std::string_view Name) {
    std::string Clean;
    std::size_t At = 0;
    while (At < Name.size()) {
      const auto c = NextCodePoint(Name, At);
      AppendUtf8(Clean, c && AllowedInXml(*c) ? *c : kReplacement);
    }
    return Clean;
  }

  void Open(std::string_view Element) {
    Indent();
    FText += '<';
    FText += Element;
  }
  void Attribute(std::string_view Name, std::string_view Value) {
    FText += ' ';
    FText += Name;
    FText += "=\"";
    Escaped(Value, true);
    FText += '"';
  }
  void EndOpen() {
    FText += ">\n";
    ++FDepth;
  }
  void EndEmpty() { FText += "/>\n"; }
  void Close(std::string_view Element) {
    --FDepth;
    Indent();
    FText += "</";
    FText += Element;
    FText += ">\n";
  }
  // The rest of an element that holds text: the text (or its hex form) and the end tag.
  void TextContent(std::string_view Element, const std::optional<std::string>& Text,
                   std::span<const std::uint8_t> Raw) {
    if (Text && Representable(*Text)) {
      FText += '>';
      Escaped(*Text, false);
    } else {
      Attribute("form", "hex");
      FText += '>';
      FText += HexText(Raw);
    }
    FText += "</";
    FText += Element;
    FText += ">\n";
  }

  void Attributes(const std::vector<TPacketAttribute>& List) {
    for (const auto& a : List) {
      Open("attribute");
      Attribute("name", CleanName(a.Name));
      std::string Type(BaseTypeName(BaseTypeOf(a.TypeWord)));
      if ((a.TypeWord & TTypeWord::ArrayValue) != 0) Type += "[]";
      Attribute("type", Type);
      if (a.InDelta()) Attribute("delta", "yes");
      TextContent("attribute", AttributeValueText(a), a.Value);
    }
  }

  void Column(const TPacketColumn& c) {
    Open("column");
    Attribute("name", CleanName(c.FieldName()));
    Attribute("type", BaseTypeName(c.BaseType()));
    if (c.IsArray()) {
      Attribute("elements", std::to_string(c.Size()));
    } else if (c.IsVarying()) {
      Attribute("varying", "yes");
    } else if (!c.IsComposite()) {
      Attribute("size", std::to_string(c.Size()));
    }
    if ((c.AttributeBits & TColumnBits::Hidden) != 0) Attribute("hidden", "yes");
    if ((c.AttributeBits & TColumnBits::ReadOnly) != 0) Attribute("readonly", "yes");
    if ((c.AttributeBits & TColumnBits::Required) != 0) Attribute("required", "yes");
    if (c.Attributes.empty() && c.Children.empty() && !c.Nested) return EndEmpty();
    EndOpen();
    Attributes(c.Attributes);
    for (const auto& Child : c.Children) Column(Child);
    if (c.Nested) Metadata(*c.Nested);
    Close("column");
  }

  void Metadata(const TPacketLevel& Level) {
    Open("columns");
    EndOpen();
    for (const auto& c : Level.Columns) Column(c);
    Close("columns");
    if (Level.Attributes.empty()) return;
    Open("attributes");
    EndOpen();
    Attributes(Level.Attributes);
    Close("attributes");
  }

  void Rows(TDSCursor& Cursor) {
    Open("rows");
    Attribute("count", std::to_string(Cursor.RecordCount()));
    if (Cursor.RecordCount() == 0) return EndEmpty();
    EndOpen();
    for (Cursor.First(); !Cursor.Eof(); Cursor.Next()) {
      Open("row");
      Attribute("status", kRowStatusNames[static_cast<std::size_t>(Cursor.Status())]);
      EndOpen();
      std::size_t Slot = 0;
      while (Slot < Cursor.Level().Slots.size()) Slot = Value(Cursor, Slot, -1);
      Close("row");
    }
    Close("rows");
  }

  // Writes the value in Slot with the members inside it; returns the slot after them.
  std::size_t Value(const TDSCursor& Cursor, std::size_t Slot, long Index) {
    const TPacketColumn& c = *Cursor.Level().Slots[Slot];
    const TPacketValue& v = Cursor.Value(Slot);
    const std::string_view Element = kValueElements[static_cast<std::size_t>(v.State)];
    ++Slot;
    Open(Element);
    Attribute("column", CleanName(c.FieldName()));
    if (Index >= 0) Attribute("index", std::to_string(Index));
    if (v.State == TValueState::OnDemand && c.IsBlob()) Attribute("size", std::to_string(v.BlobSize));
    if (c.IsObject() || c.IsArray()) {
      EndOpen();
      const long Count = c.IsArray() ? static_cast<long>(c.Size()) : 0;
      if (c.IsArray()) {
        for (long i = 0; i < Count; ++i) Slot = Value(Cursor, Slot, i);
      } else {
        for (std::size_t i = 0; i < c.Children.size(); ++i) Slot = Value(Cursor, Slot, -1);
      }
      Close(Element);
    } else if (c.IsTable() && v.State == TValueState::Value) {
      EndOpen();
      TDSCursor Nested = Cursor.Nested(c, v);
      Rows(Nested);
      Close(Element);
    } else if (v.State == TValueState::Value) {
      TextContent(Element, ValueText(c.TypeWord, v.Data), v.Data);
    } else {
      EndEmpty();
    }
    return Slot;
  }

  std::string FText;
  bool FAscii;
  int FDepth = 0;
};

}  // namespace

std::string PacketXml(const TDSBase& Base, TXmlCharacters Characters) {
  return TXmlWriter(Characters).Write(Base);
}

}  // namespace tavrin
