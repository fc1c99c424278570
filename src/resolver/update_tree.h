#pragma once
// TUpdateTree: a client's delta packet (or row request) loaded against the dataset it
// is meant for, with what the resolver needs per column: the dataset field it writes,
// the provider flags that field has, whether it is written at all, and the quoted names
// of the table and columns.
//
// Names in statements come only from the dataset (TResolveSource): the delta's columns
// must each be a field of the dataset, its ORIGIN attributes must name the field's own
// origin and its TABLE_NAME the dataset's table, and each column's type must fit its
// field; a delta that breaks any of these is refused whole, before any row is applied.
// The delta's PROVFLAGS attributes are not used: which columns are written and compared
// is the dataset's to say.
//
// Threading: one thread; the tree holds the delta only between Load and Clear.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "datapacket/base.h"
#include "datapacket/cursor.h"
#include "resolver/resolve_source.h"

namespace tavrin {

namespace TUpdateTreeErrors {
inline constexpr char kRefused[] = "Changes refused: ";  // + why
inline constexpr char kNotPacket[] = "the delta is not a data packet";
inline constexpr char kUnknownField[] = "the dataset has no field ";         // + 'name'
inline constexpr char kTwice[] = "the delta holds a field twice: ";         // + 'name'
inline constexpr char kOtherOrigin[] = "the delta gives another origin for field ";  // + 'name'
inline constexpr char kOtherTable[] = "the delta names another table: ";    // + 'name'
inline constexpr char kOtherType[] = "the delta's type does not fit field ";  // + 'name'
inline constexpr char kComposite[] = "the delta holds objects, arrays or nested tables";
}  // namespace TUpdateTreeErrors

// The per-tree data of the SQL resolver.
struct TSQLInfo {
  bool IsSQLBased = true;
  std::string QuoteChar;       // empty without poUseQuoteChar
  std::string QuotedTable;     // empty when the dataset has no table
  std::string QuotedTableDot;  // empty when SQL-based
};

class TUpdateTree {
 public:
  struct TDeltaField {
    const TPacketColumn* Column = nullptr;
    TResolveField Field;        // the dataset's field
    std::string OriginColumn;   // the column part of the field's origin, else its name
    TProviderFlags Flags = 0;   // the field's, pfInKey added from the key fields
    bool NotWritten = false;    // computed, read-only by kind, or a type no statement takes
    bool IsBlob = false;
    std::string Reference;      // as statements name it (FieldReference)
  };

  // Loads Delta, checked against Source. Raises TDBXError (InvalidInput) for bytes that
  // are not a packet (the reader's text) or a delta refused as above.
  void Load(std::vector<std::uint8_t> Delta, const TResolveSource& Source, bool IsSQLBased,
            const std::string& QuoteChar);
  void Clear();
  bool Loaded() const { return FDelta != nullptr; }

  const TDSBase& Delta() const { return *FDelta; }
  TDSCursor& Cursor() { return *FCursor; }
  const std::vector<TDeltaField>& Fields() const { return FFields; }
  const TSQLInfo& SQLInfo() const { return FInfo; }
  const TResolveSource& Source() const { return FSource; }

  // A name quoted with QuoteChar, any QuoteChar inside it doubled.
  std::string Quoted(const std::string& Name) const;
  // The reference to Field in statements: QuotedTableDot, then the quoted column.
  const std::string& FieldReference(const TDeltaField& Field) const { return Field.Reference; }

 private:
  std::unique_ptr<TDSBase> FDelta;
  std::unique_ptr<TDSCursor> FCursor;
  std::vector<TDeltaField> FFields;
  TSQLInfo FInfo;
  TResolveSource FSource;
};

}  // namespace tavrin
