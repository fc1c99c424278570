#include "provider/attribute_encoding.h"

#include <cstring>
#include <type_traits>

#include "datapacket/packet_layout.h"
#include "datapacket/type_word.h"
#include "datapacket/writer.h"
#include "vocabulary/unicode_text.h"

namespace tavrin {

namespace {

namespace T = TPacketType;

// Array attributes of integers and of any other fixed kind.
constexpr std::uint32_t kIntegerArray = TTypeWord::ArrayValue | (T::Unsigned << TTypeWord::BaseShift);
constexpr std::uint32_t kOtherArray = TTypeWord::ArrayValue | (T::Bytes << TTypeWord::BaseShift);

[[noreturn]] void RaiseNotStorable() { throw EDSWriter(TAttributeErrors::kNotStorable, 0); }

std::uint64_t DoubleBits(double Value) {
  std::uint64_t Bits;
  std::memcpy(&Bits, &Value, sizeof Bits);
  return Bits;
}

// A scalar's type code, size and bytes; false for a kind attributes do not carry.
bool ScalarForm(const TDSVariant::TValue& Value, std::uint32_t& Code, std::vector<std::uint8_t>& Bytes) {
  return std::visit(
      [&](const auto& X) {
        using V = std::decay_t<decltype(X)>;
        if constexpr (std::is_same_v<V, std::int16_t> || std::is_same_v<V, std::int32_t> ||
                      std::is_same_v<V, std::uint8_t>) {
          Code = T::Integer;
          AppendLE(Bytes, static_cast<std::uint64_t>(X), sizeof(V));
        } else if constexpr (std::is_same_v<V, float>) {
          Code = T::Float;
          std::uint32_t Bits;
          std::memcpy(&Bits, &X, sizeof Bits);
          AppendLE(Bytes, Bits, 4);
        } else if constexpr (std::is_same_v<V, double>) {
          Code = T::Float;
          AppendLE(Bytes, DoubleBits(X), 8);
        } else if constexpr (std::is_same_v<V, TDSDateTime>) {
          Code = T::Float;
          AppendLE(Bytes, DoubleBits(X.Value), 8);
        } else if constexpr (std::is_same_v<V, TDSCurrency>) {
          Code = T::Bcd;
          AppendLE(Bytes, static_cast<std::uint64_t>(X.Scaled), 8);
        } else if constexpr (std::is_same_v<V, bool>) {
          Code = T::Boolean;
          AppendLE(Bytes, X ? 0xFFFF : 0, 2);
        } else {
          return false;
        }
        return true;
      },
      Value);
}

TAttributeValue ArrayForm(const TVariantArray& Array) {
  if (Array.Bounds.size() != 1) RaiseNotStorable();
  TAttributeValue Result;
  AppendLE(Result.Bytes, Array.Elements.size(), 4);
  std::size_t ElementSize = 0;
  std::uint32_t Code = 0;
  for (const TDSVariant& Element : Array.Elements) {
    const std::size_t Before = Result.Bytes.size();
    if (ScalarVarType(Element.Value) != Array.ElementType || Element.IsArray() ||
        !ScalarForm(Element.Value, Code, Result.Bytes)) {
      RaiseNotStorable();
    }
    ElementSize = Result.Bytes.size() - Before;
  }
  if (Array.Elements.empty()) {
    // No element tells the size: the kind does.
    std::vector<std::uint8_t> Probe;
    TDSVariant::TValue Sample;
    switch (Array.ElementType) {
      case TVarType::varSmallint: Sample = std::int16_t{0}; break;
      case TVarType::varInteger: Sample = std::int32_t{0}; break;
      case TVarType::varByte: Sample = std::uint8_t{0}; break;
      case TVarType::varSingle: Sample = 0.0f; break;
      case TVarType::varDouble: Sample = 0.0; break;
      case TVarType::varDate: Sample = TDSDateTime{}; break;
      case TVarType::varCurrency: Sample = TDSCurrency{}; break;
      case TVarType::varBoolean: Sample = false; break;
      default: RaiseNotStorable();
    }
    ScalarForm(Sample, Code, Probe);
    ElementSize = Probe.size();
  }
  const bool Integers = Array.ElementType == TVarType::varSmallint || Array.ElementType == TVarType::varInteger ||
                        Array.ElementType == TVarType::varByte;
  Result.TypeWord = (Integers ? kIntegerArray : kOtherArray) | static_cast<std::uint32_t>(ElementSize);
  return Result;
}

}  // namespace

TAttributeValue EncodeAttribute(const TDSVariant& Value, bool IncludeInDelta) {
  TAttributeValue Result;
  if (const auto* Text = std::get_if<std::u16string>(&Value.Value)) {
    const std::string Utf8 = ToUtf8(*Text);
    if (Utf8.size() > TAttributeLimits::kMaxAttributeText) RaiseNotStorable();
    Result = TextAttribute(Utf8);
  } else if (const auto* Array = std::get_if<TVariantArray>(&Value.Value)) {
    Result = ArrayForm(*Array);
  } else if (const auto* Bytes = std::get_if<std::vector<std::uint8_t>>(&Value.Value)) {
    Result.TypeWord = kIntegerArray | 1;
    AppendLE(Result.Bytes, Bytes->size(), 4);
    Result.Bytes.insert(Result.Bytes.end(), Bytes->begin(), Bytes->end());
  } else {
    std::uint32_t Code = 0;
    if (!ScalarForm(Value.Value, Code, Result.Bytes)) RaiseNotStorable();
    Result.TypeWord = MakeTypeWord(Code, static_cast<std::uint32_t>(Result.Bytes.size()));
  }
  if (IncludeInDelta) Result.TypeWord |= TTypeWord::InDelta;
  return Result;
}

TAttributeValue Int16ArrayAttribute(const std::vector<std::int16_t>& Values) {
  TAttributeValue Result{kIntegerArray | 2, {}};
  AppendLE(Result.Bytes, Values.size(), 4);
  for (const std::int16_t Value : Values) AppendLE(Result.Bytes, static_cast<std::uint16_t>(Value), 2);
  return Result;
}

}  // namespace tavrin
