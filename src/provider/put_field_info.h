#pragma once
// How each field of a dataset goes into a data packet: its column descriptor (type word,
// attribute bits), the byte size of its value in the packet, the width clients are told,
// its SUBTYPE, and how its value is put (TPutKind). TPutFieldInfo is one column of the
// packet writer's column list.
//
// Base type codes by field type:
//   0  ftUnknown, ftCursor, ftVariant, ftInterface, ftIDispatch, ftConnection, ftParams,
//      ftStream, ftObject          1  ftSmallint, ftInteger, ftAutoInc, ftLargeint, ftShortint
//   2  ftWord, ftLongWord, ftByte  3  ftBoolean       4  ftFloat, ftCurrency, ftExtended
//   5  ftBCD    6 / 7 / 8  ftDate / ftTime / ftDateTime
//   9  ftString, ftFixedChar, ftGuid, ftOraInterval   10  ftWideString, ftFixedWideChar
//   11 the bytes and blob types    12 / 13  ftADT / ftArray   14  ftReference, ftDataSet
//   17 ftTimeStamp, ftOraTimeStamp 18 ftFMTBcd  27 ftSingle  36 ftTimeStampOffset
// Texts and varying bytes carry a length (a 1-byte prefix width when the value's size is
// below 255, else 2) and tell their size as WIDTH; blobs a 4-byte prefix width and the
// field's size as WIDTH; decimals have 2 + (precision + 1) / 2 bytes (precision 0 counts
// as 32) at the least, and WIDTH their precision; the other types their value's size.
//
// Pure functions; any thread.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dataset/field.h"

namespace tavrin {

class TFieldsDataSet;
class TDSWriter;

// How a column's value is put into a row.
enum class TPutKind : std::uint8_t {
  String,      // 8-bit text: its UTF-8 bytes up to a NUL
  WideString,  // UTF-16 code units
  VarBytes,    // the bytes
  Fixed,       // Size bytes in the packet's form of the type
  Blob,        // the whole value (UTF-16 for wide memos); empty is null
};

// One column of the packet: a field of the dataset (the packet writer keeps these between
// packets and rebinds Field to the dataset's current field objects before each one).
struct TPutFieldInfo {
  std::int32_t FieldNo = 0;  // the dataset's number for the field, from 1
  TField* Field = nullptr;
  TFieldsDataSet* DataSet = nullptr;
  std::int32_t Size = 0;     // bytes of the value in the packet
  bool IsDetail = false;     // never set: no dataset of ours links detail datasets
  bool Opened = false;
  TPutKind PutProc = TPutKind::Fixed;
  std::int32_t LocalFieldIndex = 0;  // column number within its dataset level, from 1
  std::vector<TPutFieldInfo> FieldInfos;  // always empty: no composite columns
  // What the entry was made from, to tell whether the dataset's fields still match.
  std::string FieldName;
  TFieldType DataType = TFieldType::ftUnknown;
  std::uint32_t TypeWord = 0;
  std::int32_t Width = 0;
};

namespace TPutFieldErrors {
// "Field '<name>' is of an unknown type"
inline constexpr char kUnknownType[] = "' is of an unknown type";
// "Field '<name>' is of type <type>, which this server does not put into packets"
inline constexpr char kNotCarried[] = ", which this server does not put into packets";
}  // namespace TPutFieldErrors

// The column entry of Field (the LocalFieldIndex is the caller's). Raises EDSWriter
// (code 0) for a type that has no way into a packet: kUnknownType, or kNotCarried for
// the object, array and nested dataset types, which no dataset of this server has.
TPutFieldInfo DescribeField(TField& Field);

// The column descriptor's attribute bits: read-only for a read-only or computed field,
// required for a required field that the database does not number itself, hidden and
// read-only when the provider flags hide it.
std::uint16_t ColumnBits(const TField& Field);

// The SUBTYPE a column carries ("Money", "Text", "FixedChar" ...); empty for none.
std::string_view SubTypeOf(TFieldType Type);

// Puts the value of Info's field in the dataset's current record, Stored (the field's
// Value(), or the same value taken from the dataset's CurrentRow()), as the next value
// of the row Writer is writing: null, or its bytes in the packet's form of the column's
// type. A blob with BlobsOnDemand is left on the server: its size only. Buffer is scratch
// room for a value that needs converting (wide text), kept by the caller from value to
// value. Raises EDatabaseError for a value the field cannot read as its type or that does
// not fit the column (an integer out of its range, a decimal with more digits than the
// column holds), and EDSWriter for a status of the writer.
void PutFieldValue(TDSWriter& Writer, const TPutFieldInfo& Info, const TFieldValue& Stored, bool BlobsOnDemand,
                   std::vector<std::uint8_t>& Buffer);

}  // namespace tavrin
