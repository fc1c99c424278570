// Arbitrary bytes as a data packet or delta packet, as a client may send one: when
// they load, every row on every level is walked, every value read in its type's form
// and the XML form written; only TDBXError may leave the loading, nothing may leave the
// walk. Inputs whose first byte is odd drive the writer instead, call by call: whatever
// packet it hands out must load again.

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "datapacket/column_descriptor.h"
#include "datapacket/base.h"
#include "datapacket/cursor.h"
#include "datapacket/writer.h"
#include "datapacket/packet_values.h"
#include "datapacket/packet_xml.h"
#include "fuzz_input.h"
#include "vocabulary/dbx_error.h"

using namespace tavrin;

namespace {

namespace T = TPacketType;
namespace W = TTypeWord;

void WalkRows(TDSCursor& Cursor) {
  for (Cursor.First(); !Cursor.Eof(); Cursor.Next()) {
    (void)Cursor.Status();
    (void)Cursor.IsOriginal();
    const auto& Slots = Cursor.Level().Slots;
    for (std::size_t i = 0; i < Slots.size(); ++i) {
      const TPacketColumn& Column = *Slots[i];
      const TPacketValue& Value = Cursor.Value(i);
      (void)Cursor.OldValue(i);
      if (Column.IsTable()) {
        TDSCursor Nested = Cursor.Nested(Column, Value);
        WalkRows(Nested);
      } else if (Value.State == TValueState::Value) {
        if (!ValueText(Column.TypeWord, Value.Data)) (void)HexText(Value.Data);
        (void)ReadInteger(Column.TypeWord, Value.Data);
        (void)ReadCalendar(Column.TypeWord, Value.Data);
      }
    }
  }
}

void Walk(const TDSBase& Base) {
  TDSCursor Cursor(Base);
  WalkRows(Cursor);
  (void)PacketXml(Base, TXmlCharacters::Ascii);
  (void)PacketXml(Base, TXmlCharacters::Utf8);
}

// Type words a packet writer would hand over, and now and then any 32 bits.
std::uint32_t TypeWord(fuzz::TFuzzInput& Input) {
  static constexpr std::array<std::uint32_t, 16> kWords = {
      MakeTypeWord(T::Integer, 4), MakeTypeWord(T::Integer, 8), MakeTypeWord(T::Float, 8),
      MakeTypeWord(T::Boolean, 2), MakeTypeWord(T::Date, 4), MakeTypeWord(T::TimeStamp, 16),
      MakeTypeWord(T::Bcd, 10), MakeTypeWord(T::Text, 1, W::Varying), MakeTypeWord(T::WideText, 2, W::Varying),
      MakeTypeWord(T::Bytes, 4, W::Varying), MakeTypeWord(T::Object, 1, W::Composite),
      MakeTypeWord(T::Object, 2, W::Composite), MakeTypeWord(T::ArrayOf, 2, W::Composite | W::Array),
      MakeTypeWord(T::Table, 1, W::Composite | W::EmbeddedTable), MakeTypeWord(T::Table, 2, W::Composite),
      MakeTypeWord(T::Text, 2, W::Varying | W::InDelta)};
  const std::uint8_t Pick = Input.Choice();
  if (Pick < 240) return kWords[Pick % kWords.size()];
  std::uint32_t Word = 0;
  for (const auto b : Input.Take(4)) Word = (Word << 8) | b;
  return Word;
}

std::vector<std::uint8_t> Bytes(fuzz::TFuzzInput& Input, std::size_t Count) {
  const auto Part = Input.Take(Count);
  std::vector<std::uint8_t> Out(Part.begin(), Part.end());
  Out.resize(Count);
  return Out;
}

void CheckTaken(TDSWriter& Writer, std::int32_t Mode) {
  std::vector<std::uint8_t> Packet;
  if (Writer.TakePacket(Packet) != TDSStatus::Ok || Mode != TOutputMode::Binary) return;
  try {
    const TDSBase Base(Packet);
    Walk(Base);
  } catch (const TDBXError&) {
    std::abort();  // the writer handed out a packet its own reader refuses
  }
}

void DriveWriter(fuzz::TFuzzInput& Input) {
  TDSWriter Writer;
  std::int32_t Mode = TOutputMode::Binary;
  static constexpr std::array<std::uint32_t, 10> kLengths = {0, 1, 2, 4, 8, 10, 16, 3, TPutValue::BlobOnDemandLength, 40};
  for (int Call = 0; Call < 512 && !Input.Rest().empty(); ++Call) {
    switch (Input.Choice() % 10) {
      case 0:
        (void)Writer.BeginPacket(Input.Choice() % 4, Input.Choice() % 12);
        break;
      case 1: {
        const std::string Name(1 + Input.Choice() % 3, static_cast<char>('a' + Input.Choice() % 26));
        (void)Writer.PutColumnDescriptor(MakeColumnDescriptor(Name, TypeWord(Input), Input.Choice() % 9));
        break;
      }
      case 2: {
        const std::uint8_t How = Input.Choice();
        const std::uint32_t Word = TypeWord(Input);
        const auto Value = Bytes(Input, Input.Choice() % 12);
        const std::optional<std::string_view> Name =
            How % 5 == 0 ? std::nullopt : std::optional<std::string_view>("ATTR");
        (void)Writer.PutAttribute(How % 3, Name, Word, static_cast<std::uint32_t>(Value.size()), Value.data());
        break;
      }
      case 3:
      case 4: {
        const std::uint8_t Status = Input.Choice() % 4;
        const std::uint32_t Length = kLengths[Input.Choice() % kLengths.size()];
        std::vector<std::uint8_t> Data = Bytes(Input, Length > 64 ? 4 : Length);
        if (Length == 4 && Input.Choice() % 2 == 0) Data = {0xFF, 0xFF, 0xFF, 0xFF};
        (void)Writer.PutValue(Status, Length, Data.data());
        break;
      }
      case 5: {
        const std::uint8_t RowStatus = Input.Choice() % 5;
        (void)Writer.PutValue(TPutValue::Value, 1, &RowStatus);
        break;
      }
      case 6: (void)Writer.EndNestedRows(); break;
      case 7: (void)Writer.ResetRows(); break;
      case 8:
        Mode = std::array<std::int32_t, 3>{TOutputMode::Binary, TOutputMode::Xml, TOutputMode::XmlUtf8}[Input.Choice() % 3];
        (void)Writer.SetOutputMode(Mode);
        break;
      default: CheckTaken(Writer, Mode); break;
    }
  }
  CheckTaken(Writer, Mode);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  fuzz::TFuzzInput Input(Data, Size);
  if (Input.Choice() % 2 == 1) {
    DriveWriter(Input);
    return 0;
  }
  const auto Rest = Input.Rest();
  std::optional<TDSBase> Base;
  try {
    Base.emplace(std::vector<std::uint8_t>(Rest.begin(), Rest.end()));
  } catch (const TDBXError&) {
    return 0;
  }
  Walk(*Base);
  return 0;
}
