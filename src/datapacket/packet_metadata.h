#pragma once
// What a packet says about its data: the columns of each dataset level with their
// attributes, nested the way composite columns and nested tables nest, and the
// dataset attributes of each level. The writer builds it from descriptors and
// attributes; the reader parses it back; both lay a row's values out by it.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "datapacket/type_word.h"

namespace tavrin {

class TPacketBytes;

struct TPacketAttribute {
  std::string Name;            // UTF-8
  std::uint32_t TypeWord = 0;  // TTypeWord::InDelta set when it goes into deltas too
  std::vector<std::uint8_t> Value;
  bool InDelta() const { return (TypeWord & TTypeWord::InDelta) != 0; }
};

// Typed reads of an attribute's value; nullopt when the attribute is of another kind.
std::optional<std::int64_t> AttributeInteger(const TPacketAttribute& Attribute);  // codes 1, 2
std::optional<bool> AttributeBoolean(const TPacketAttribute& Attribute);          // code 3
std::optional<double> AttributeFloat(const TPacketAttribute& Attribute);          // code 4
std::optional<std::int64_t> AttributeCurrency(const TPacketAttribute& Attribute); // code 5: ten-thousandths
std::optional<std::string> AttributeText(const TPacketAttribute& Attribute);      // code 9, varying
// Arrays of integers (codes 1 and 2), each element read as signed.
std::optional<std::vector<std::int64_t>> AttributeIntegers(const TPacketAttribute& Attribute);

// Attribute values in the forms above, for PutAttribute. Text longer than 65534 bytes
// raises std::length_error (its length prefix is 16-bit).
struct TAttributeValue {
  std::uint32_t TypeWord = 0;
  std::vector<std::uint8_t> Bytes;
};
TAttributeValue TextAttribute(std::string_view Utf8);
TAttributeValue Int32Attribute(std::int32_t Value);
TAttributeValue BooleanAttribute(bool Value);
TAttributeValue Int32ArrayAttribute(std::span<const std::int32_t> Values);

struct TPacketLevel;

struct TPacketColumn {
  std::string Name;                // as in the descriptor: at most 31 bytes (FieldName() has it whole)
  std::uint32_t TypeWord = 0;
  std::uint16_t AttributeBits = 0; // TColumnBits
  std::vector<TPacketAttribute> Attributes;
  std::vector<TPacketColumn> Children;  // an object's members; an array's one element column
  std::unique_ptr<TPacketLevel> Nested; // a nested table's dataset
  // Where this column's value stands among the values of a row of its level; for an
  // array's element column, where the first element stands.
  std::uint32_t Slot = 0;

  std::uint32_t BaseType() const { return BaseTypeOf(TypeWord); }
  std::uint32_t Size() const { return SizeOf(TypeWord); }
  bool IsVarying() const { return (TypeWord & TTypeWord::Varying) != 0; }
  bool IsComposite() const { return (TypeWord & TTypeWord::Composite) != 0; }
  bool IsArray() const { return IsComposite() && BaseType() == TPacketType::ArrayOf; }
  bool IsTable() const { return IsComposite() && BaseType() == TPacketType::Table; }
  bool IsObject() const { return IsComposite() && BaseType() == TPacketType::Object; }
  // A value that may be left on the server and fetched later: varying bytes.
  bool IsBlob() const { return IsVarying() && BaseType() == TPacketType::Bytes; }

  const TPacketAttribute* FindAttribute(std::string_view AttributeName) const;
  // The whole name: the FIELDNAME attribute when there is one, else Name.
  std::string FieldName() const;
};

struct TPacketLevel {
  std::vector<TPacketColumn> Columns;
  std::vector<TPacketAttribute> Attributes;
  // A row's values in order: each column, an object's members after it, an array's
  // elements one by one. Pointers into Columns, set by LayOutRows.
  std::vector<const TPacketColumn*> Slots;

  // By FieldName(), ignoring ASCII letter case; null when absent.
  const TPacketColumn* FindColumn(std::string_view Name) const;
  const TPacketAttribute* FindAttribute(std::string_view AttributeName) const;
};

// Fills Slots and each column's Slot on every level of Top. Returns TDSStatus::Ok, or
// TooManyRowValues when the levels together would hold more than
// TPacketLimits::kMaxRowSlots values per row (nothing is filled then). The columns must
// not change afterwards.
std::uint16_t LayOutRows(TPacketLevel& Top);

// The metadata section: each level is a 16-bit column count, its columns, then its
// attributes; each column its name (8-bit length), type word, attribute bits,
// attributes, then an object's members, an array's element or a nested table's level.
void AppendLevel(std::vector<std::uint8_t>& Out, const TPacketLevel& Level);

// Reads a level written by AppendLevel, checking every part; Descriptors grows by the
// column descriptors read on all levels. Refuses the packet (packet_bytes.h) on a fault.
TPacketLevel ParseLevel(TPacketBytes& In, int Depth, std::uint32_t& Descriptors);

}  // namespace tavrin
