#pragma once
// Reads the values of a row buffer the ways the server does, each kind in turn, so a
// fuzz target reaches every reader. Only TDBXError may leave a reader.

#include <cstdint>

#include "dbxstream/row_buffer.h"
#include "vocabulary/dbx_error.h"

namespace tavrin::fuzz {

// Reads one value at the buffer's offset with the reader picked by Kind.
inline void ReadOneValue(TDBXRowBuffer& Row, std::uint8_t Kind) {
  switch (Kind % 16) {
    case 0: Row.ReadInt32(); break;
    case 1: Row.ReadInt64(); break;
    case 2: Row.ReadDouble(); break;
    case 3: Row.ReadSingle(); break;
    case 4: Row.ReadString(); break;
    case 5: Row.ReadBytes(); break;
    case 6: Row.ReadAnsiString(); break;
    case 7: Row.ReadTimeStamp(); break;
    case 8: Row.ReadTimeStampOffset(); break;
    case 9: Row.ReadBcd(); break;
    case 10: Row.ReadJSONValue(); break;
    case 11: Row.ReadBoolean(); break;
    case 12: Row.EncodedStringLength(); break;
    case 13: Row.ReadInt16(); break;
    case 14: {
      auto Blob = Row.ReadBlobStreamReader(0);
      std::uint8_t Piece[97];
      for (int i = 0; i < 64 && Blob->Read(Piece) > 0; ++i) {
      }
      break;
    }
    default: Row.SkipValue(); break;
  }
}

// Walks every row of the loaded block, reading each value with a kind taken in turn
// from Kinds; a fault ends the walk of that row only.
inline void ReadAllRows(TDBXRowBuffer& Row, std::span<const std::uint8_t> Kinds) {
  std::size_t k = 0;
  const auto NextKind = [&] { return Kinds.empty() ? std::uint8_t{0} : Kinds[k++ % Kinds.size()]; };
  for (int Rows = 0; Rows < 256; ++Rows) {
    try {
      for (std::int32_t c = 0; c < Row.ColumnCount(); ++c) {
        if (NextKind() & 0x80) Row.GoToField(c);
        ReadOneValue(Row, NextKind());
      }
    } catch (const TDBXError&) {
      // Malformed values are expected here; the walk goes on with the next row.
    }
    try {
      if (!Row.NextRow()) break;
    } catch (const TDBXError&) {
      break;
    }
  }
}

}  // namespace tavrin::fuzz
