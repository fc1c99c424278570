// The XML form of a packet, compared whole: structure, the two character modes, and
// escaping of what a client can put in text.

#include <gtest/gtest.h>

#include "datapacket/packet_fixtures.h"

namespace tavrin {
namespace {

using namespace testing;

std::string Text(const std::vector<std::uint8_t>& Bytes) { return {Bytes.begin(), Bytes.end()}; }

void ReplaceAll(std::string& Text, std::string_view From, std::string_view To) {
  for (auto At = Text.find(From); At != std::string::npos; At = Text.find(From, At + To.size()))
    Text.replace(At, From.size(), To);
}

constexpr char kProductXml[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<packet layout="1" version="1">
  <columns>
    <column name="produto" type="integer" size="4" required="yes"/>
    <column name="descricao" type="text" varying="yes">
      <attribute name="WIDTH" type="integer">60</attribute>
    </column>
    <column name="custo" type="float" size="8">
      <attribute name="SUBTYPE" type="text">Money</attribute>
    </column>
    <column name="venda" type="float" size="8">
      <attribute name="SUBTYPE" type="text">Money</attribute>
    </column>
    <column name="quantidade" type="float" size="8"/>
  </columns>
  <rows count="2">
    <row status="unmodified">
      <value column="produto">1</value>
      <value column="descricao">Café</value>
      <value column="custo">12.5</value>
      <value column="venda">18.9</value>
      <value column="quantidade">40</value>
    </row>
    <row status="unmodified">
      <value column="produto">2</value>
      <value column="descricao">Açúcar</value>
      <value column="custo">3.25</value>
      <value column="venda">4.99</value>
      <value column="quantidade">120</value>
    </row>
  </rows>
</packet>
)";

TEST(PacketXml, ProductPacketInUtf8) { EXPECT_EQ(Text(ProductPacket(TOutputMode::XmlUtf8)), kProductXml); }

// Mode 5 is the same document with every character above U+007F as a reference.
TEST(PacketXml, AsciiModeWritesReferencesForTheRest) {
  const std::string Ascii = Text(ProductPacket(TOutputMode::Xml));
  for (const char c : Ascii) ASSERT_LT(static_cast<unsigned char>(c), 0x80u);
  std::string Expected = kProductXml;
  ReplaceAll(Expected, "é", "&#xE9;");
  ReplaceAll(Expected, "ç", "&#xE7;");
  ReplaceAll(Expected, "ú", "&#xFA;");
  EXPECT_EQ(Ascii, Expected);
}

TEST(PacketXml, MarkupIsEscapedAndUnwritableTextGoesAsHex) {
  TDSWriter Writer;
  Writer.Check(Writer.SetOutputMode(TOutputMode::XmlUtf8));
  Writer.Check(Writer.BeginPacket(1, 2));
  PutColumn(Writer, "nota", kShortText);
  PutColumn(Writer, "dados<1>", kBlob, TColumnBits::ReadOnly | TColumnBits::Hidden);
  PutAttribute(Writer, TAttributeArea::DataSet, "ORIGEM", TextAttribute("a&b \"c\" <d>"), true);
  PutRow(Writer);
  PutText(Writer, "a<b & \"c\">\r\nfim\tx");
  Put(Writer, std::vector<std::uint8_t>{0x01, 0xAB});
  PutRow(Writer, TRowStatus::Modified);
  PutText(Writer, "sino\x07");  // a control character XML 1.0 cannot carry
  PutUnchanged(Writer);
  PutRow(Writer, TRowStatus::Inserted);
  PutText(Writer, "\xFF");      // not UTF-8
  PutNull(Writer);
  EXPECT_EQ(Text(Take(Writer)), R"(<?xml version="1.0" encoding="UTF-8"?>
<packet layout="1" version="1">
  <columns>
    <column name="nota" type="text" varying="yes"/>
    <column name="dados&lt;1&gt;" type="bytes" varying="yes" hidden="yes" readonly="yes"/>
  </columns>
  <attributes>
    <attribute name="ORIGEM" type="text" delta="yes">a&amp;b "c" &lt;d&gt;</attribute>
  </attributes>
  <rows count="3">
    <row status="unmodified">
      <value column="nota">a&lt;b &amp; "c"&gt;&#13;
fim	x</value>
      <value column="dados&lt;1&gt;" form="hex">01AB</value>
    </row>
    <row status="modified">
      <value column="nota" form="hex">73696E6F07</value>
      <unchanged column="dados&lt;1&gt;"/>
    </row>
    <row status="inserted">
      <value column="nota" form="hex">FF</value>
      <null column="dados&lt;1&gt;"/>
    </row>
  </rows>
</packet>
)");
}

}  // namespace
}  // namespace tavrin
