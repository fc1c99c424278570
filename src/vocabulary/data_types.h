#pragma once
// The numbers client and server agree on: data type codes, subtype codes, the bits of a
// descriptor's flags and the parameter direction codes. They travel in parameter and
// column metadata, so their values never change.

#include <cstdint>
#include <string>
#include <string_view>

namespace tavrin {

namespace TDBXDataTypes {
inline constexpr std::int32_t UnknownType = 0;      // unknown or null type
inline constexpr std::int32_t AnsiStringType = 1;   // 8-bit character string
inline constexpr std::int32_t DateType = 2;         // year*512 + month*32 + day
inline constexpr std::int32_t BlobType = 3;         // bytes, or text by subtype
inline constexpr std::int32_t BooleanType = 4;
inline constexpr std::int32_t Int16Type = 5;
inline constexpr std::int32_t Int32Type = 6;
inline constexpr std::int32_t DoubleType = 7;
inline constexpr std::int32_t BcdType = 8;
inline constexpr std::int32_t BytesType = 9;        // fixed-length bytes
inline constexpr std::int32_t TimeType = 10;        // milliseconds since midnight
inline constexpr std::int32_t DateTimeType = 11;
inline constexpr std::int32_t UInt16Type = 12;
inline constexpr std::int32_t UInt32Type = 13;      // no value holder
inline constexpr std::int32_t VarBytesType = 15;
inline constexpr std::int32_t CursorType = 17;
inline constexpr std::int32_t Int64Type = 18;
inline constexpr std::int32_t UInt64Type = 19;      // no value holder
inline constexpr std::int32_t AdtType = 20;
inline constexpr std::int32_t ArrayType = 21;
inline constexpr std::int32_t RefType = 22;         // no value holder
inline constexpr std::int32_t TableType = 23;       // a reader of rows
inline constexpr std::int32_t TimeStampType = 24;
inline constexpr std::int32_t CurrencyType = 25;    // carried as BCD
inline constexpr std::int32_t WideStringType = 26;  // UTF-16 string
inline constexpr std::int32_t SingleType = 27;
inline constexpr std::int32_t Int8Type = 28;
inline constexpr std::int32_t UInt8Type = 29;
inline constexpr std::int32_t BinaryBlobType = 33;  // byte stream
inline constexpr std::int32_t ConnectionType = 34;  // filled in by the server, never sent by a client
inline constexpr std::int32_t VariantType = 35;     // variant carried as a byte stream
inline constexpr std::int32_t TimeStampOffsetType = 36;
inline constexpr std::int32_t JsonValueType = 37;
inline constexpr std::int32_t CallbackType = 38;
}  // namespace TDBXDataTypes

// Subtypes that change behaviour; any other subtype is carried but ignored.
namespace TDBXSubDataTypes {
inline constexpr std::int32_t NoSubType = 0;
inline constexpr std::int32_t MemoSubType = 22;        // BLOB-like value is 8-bit text
inline constexpr std::int32_t SingleSubType = 27;      // a DOUBLE travels as a 32-bit float
inline constexpr std::int32_t WideMemoSubType = 32;    // BLOB-like value is 16-bit text
inline constexpr std::int32_t AnsiMemoSubType = 33;    // BLOB-like value is 8-bit text, as 22
inline constexpr std::int32_t UserObjectSubType = 40;  // a method's object, converted to and from JSON
}  // namespace TDBXSubDataTypes

// Bits of TDBXValueType::ValueTypeFlags.
namespace TDBXValueTypeFlags {
inline constexpr std::int32_t Nullable = 0x01;
inline constexpr std::int32_t ReadOnly = 0x02;
inline constexpr std::int32_t Searchable = 0x04;
inline constexpr std::int32_t AutoIncrement = 0x08;
inline constexpr std::int32_t ReadOnlyType = 0x20;    // the descriptor itself is frozen
inline constexpr std::int32_t Hidden = 0x40;
inline constexpr std::int32_t ReadFromWire = 0x80;    // on every descriptor read from a peer
inline constexpr std::int32_t ValueParameter = 0x100; // the method receives the holder itself
inline constexpr std::int32_t Literal = 0x200;        // value carried as text in the metadata
}  // namespace TDBXValueTypeFlags

namespace TDBXParameterDirections {
inline constexpr std::int32_t Unknown = 0;
inline constexpr std::int32_t InParameter = 1;
inline constexpr std::int32_t OutParameter = 2;
inline constexpr std::int32_t InOutParameter = 3;
inline constexpr std::int32_t ReturnParameter = 4;
}  // namespace TDBXParameterDirections

// "TDBXTypes." followed by the code's name ("TDBXTypes.INT32"), or by "UNKNOWN(" code ")"
// for a code without a name ("TDBXTypes.UNKNOWN(14)").
std::string DataTypeName(std::int32_t DataType);

// True for the codes whose holder is chosen by subtype: BLOB, BYTES, VARBYTES, ADT, ARRAY.
bool IsBlobLikeType(std::int32_t DataType);

// Direction as procedure parameter metadata writes it: "IN", "OUT", "INOUT", "RESULT";
// empty for a code without a direction.
std::string_view DirectionMetadataText(std::int32_t Direction);

// Direction as a method description writes it: "In", "Out", "InOut", "Return";
// empty for a code without a direction.
std::string_view DirectionDescriptionText(std::int32_t Direction);

}  // namespace tavrin
