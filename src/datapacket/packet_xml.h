#pragma once
// The XML form of a packet: the same columns, attributes and rows as the binary form,
// for people and for clients that want text. The document is UTF-8:
//
//   <?xml version="1.0" encoding="UTF-8"?>
//   <packet layout="1" version="1">
//     <columns>
//       <column name="produto" type="integer" size="4"/>
//       <column name="descricao" type="text" varying="yes">
//         <attribute name="WIDTH" type="integer">60</attribute>
//       </column>
//     </columns>
//     <rows count="1">
//       <row status="unmodified">
//         <value column="produto">1</value>
//         <value column="descricao">Açúcar</value>
//       </row>
//     </rows>
//   </packet>
//
// Dataset attributes stand in <attributes> after <columns>. A value is <value>, <null>,
// <unchanged> or <ondemand> (a blob's with size="N"); an object's or array's members,
// and a nested table's <rows>, stand inside its element. A value that has no readable
// text (bytes, or text XML cannot carry, such as control characters) is written as hex
// digits with form="hex". Names that are not well-formed UTF-8 show U+FFFD in its place.

#include <string>

namespace tavrin {

class TDSBase;

enum class TXmlCharacters {
  Ascii,  // every character above U+007F as a character reference: safe in any 8-bit channel
  Utf8,   // characters as UTF-8 bytes
};

std::string PacketXml(const TDSBase& Base, TXmlCharacters Characters);

}  // namespace tavrin
