#include "resolver/update_tree.h"

#include <algorithm>

#include "resolver/delta_values.h"
#include "vocabulary/dbx_error.h"
#include "vocabulary/error_codes.h"

namespace tavrin {

namespace {

namespace E = TUpdateTreeErrors;
using FT = TFieldType;

constexpr char kTableNameAttribute[] = "TABLE_NAME";
constexpr char kOriginAttribute[] = "ORIGIN";

[[noreturn]] void Refuse(const std::string& Why) {
  throw TDBXError(TDBXErrorCodes::InvalidInput, E::kRefused + Why);
}

std::string Named(const std::string& Name) { return "'" + Name + "'"; }

bool NeverWritten(FT Type) {
  return Type == FT::ftUnknown || Type == FT::ftCursor || Type == FT::ftADT || Type == FT::ftArray ||
         Type == FT::ftReference || Type == FT::ftDataSet;
}

bool IsBlobType(FT Type) {
  switch (Type) {
    case FT::ftBlob: case FT::ftMemo: case FT::ftGraphic: case FT::ftFmtMemo: case FT::ftParadoxOle:
    case FT::ftDBaseOle: case FT::ftTypedBinary: case FT::ftOraBlob: case FT::ftOraClob: case FT::ftWideMemo:
      return true;
    default:
      return false;
  }
}

// "table.column" gives "column"; a name without a dot stays.
std::string ColumnPart(const std::string& Origin) {
  const std::size_t Dot = Origin.rfind('.');
  return Dot == std::string::npos ? Origin : Origin.substr(Dot + 1);
}

bool HasKey(const std::vector<TUpdateTree::TDeltaField>& Fields) {
  for (const auto& Field : Fields) {
    if ((Field.Flags & TProviderFlag::pfInKey) != 0) return true;
  }
  return false;
}

bool InList(const std::string& List, const std::string& Name) {
  std::size_t Start = 0;
  while (Start <= List.size()) {
    const std::size_t End = std::min(List.find(';', Start), List.size());
    if (SameName(List.substr(Start, End - Start), Name)) return true;
    Start = End + 1;
  }
  return false;
}

}  // namespace

void TUpdateTree::Load(std::vector<std::uint8_t> Delta, const TResolveSource& Source, bool IsSQLBased,
                       const std::string& QuoteChar) {
  Clear();
  auto Base = std::make_unique<TDSBase>(std::move(Delta));
  const TPacketLevel& Level = Base->Level();
  if (const TPacketAttribute* Table = Level.FindAttribute(kTableNameAttribute)) {
    const std::optional<std::string> Name = AttributeText(*Table);
    if (!Name || !SameName(*Name, Source.TableName)) Refuse(E::kOtherTable + Named(Name.value_or("?")));
  }
  std::vector<TDeltaField> Fields;
  for (const TPacketColumn& Column : Level.Columns) {
    if (Column.IsComposite()) Refuse(E::kComposite);
    const std::string Name = Column.FieldName();
    const TResolveField* Match = nullptr;
    for (const TResolveField& Field : Source.Fields) {
      if (SameName(Field.Name, Name)) Match = &Field;
    }
    if (Match == nullptr) Refuse(E::kUnknownField + Named(Name));
    for (const TDeltaField& Earlier : Fields) {
      if (SameName(Earlier.Field.Name, Match->Name)) Refuse(E::kTwice + Named(Name));
    }
    if (const TPacketAttribute* Origin = Column.FindAttribute(kOriginAttribute)) {
      const std::optional<std::string> Text = AttributeText(*Origin);
      if (!Text || !SameName(*Text, Match->Origin)) Refuse(E::kOtherOrigin + Named(Name));
    }
    TDeltaField Entry;
    Entry.Column = &Column;
    Entry.Field = *Match;
    Entry.OriginColumn = Match->Origin.empty() ? Match->Name : ColumnPart(Match->Origin);
    Entry.Flags = Match->ProviderFlags;
    Entry.NotWritten = NeverWritten(Match->DataType) || Match->Origin.empty() ||
                       (Match->FieldKind != TFieldKind::fkData && Match->FieldKind != TFieldKind::fkInternalCalc);
    Entry.IsBlob = IsBlobType(Match->DataType);
    // A computed field is never written nor compared; the type of one computed by an
    // expression may not be known before a row is read.
    if (!Entry.NotWritten && !ColumnFitsField(Column.BaseType(), Match->DataType)) Refuse(E::kOtherType + Named(Name));
    Fields.push_back(std::move(Entry));
  }
  if (!HasKey(Fields)) {
    for (TDeltaField& Field : Fields) {
      if (InList(Source.KeyFields, Field.Field.Name)) Field.Flags |= TProviderFlag::pfInKey;
    }
  }
  FSource = Source;
  FFields = std::move(Fields);
  FInfo.IsSQLBased = IsSQLBased;
  FInfo.QuoteChar = (Source.Options & TProviderOption::poUseQuoteChar) != 0 ? QuoteChar : std::string();
  FInfo.QuotedTable.clear();
  if (!Source.TableName.empty()) {
    if (IsSQLBased) {
      // Each part of a dotted name on its own.
      std::size_t Start = 0;
      for (;;) {
        const std::size_t Dot = Source.TableName.find('.', Start);
        FInfo.QuotedTable += Quoted(Source.TableName.substr(Start, Dot - Start));
        if (Dot == std::string::npos) break;
        FInfo.QuotedTable += ".";
        Start = Dot + 1;
      }
    } else {
      FInfo.QuotedTable = Quoted(Source.TableName);
    }
  }
  FInfo.QuotedTableDot = IsSQLBased || FInfo.QuotedTable.empty() ? std::string() : FInfo.QuotedTable + ".";
  for (TDeltaField& Field : FFields) Field.Reference = FInfo.QuotedTableDot + Quoted(Field.OriginColumn);
  FDelta = std::move(Base);
  FCursor = std::make_unique<TDSCursor>(*FDelta);
}

void TUpdateTree::Clear() {
  FCursor.reset();
  FDelta.reset();
  FFields.clear();
}

std::string TUpdateTree::Quoted(const std::string& Name) const {
  const std::string& Q = FInfo.QuoteChar;
  if (Q.empty()) return Name;
  std::string Result = Q;
  for (char C : Name) {
    Result += C;
    if (std::string(1, C) == Q) Result += C;
  }
  return Result + Q;
}


}  // namespace tavrin
