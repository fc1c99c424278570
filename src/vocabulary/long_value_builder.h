#pragma once
// A long string or byte run built as its bytes arrive: in pieces of bounded size, each
// counted against the connection served, and joined once into the final value at the
// end. A value of N bytes so costs about N while it is read and about N + one piece
// while it is joined (each piece is given back as soon as it is copied), never the
// 3N of a buffer that doubles while the old one is still held.
//
// Threading: as the value it builds.

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <utility>
#include <vector>

#include "vocabulary/client_memory.h"
#include "vocabulary/dbx_limits.h"

namespace tavrin {

// TValue: a std::basic_string or std::vector of a trivial element type.
template <typename TValue>
class TLongValueBuilder {
 public:
  using TElement = typename TValue::value_type;

  // What names the value in a refusal ("A long value").
  explicit TLongValueBuilder(std::string_view What) : FWhat(What) {}

  // Appends Count elements. Raises as TConnectionMemory::Charge does when the room for
  // them is refused; what was appended before stays.
  void Append(const TElement* Data, std::size_t Count) {
    while (Count > 0) {
      if (FLast.size() == FLast.capacity()) MakeRoom();
      const std::size_t Now = std::min(Count, FLast.capacity() - FLast.size());
      FLast.insert(FLast.end(), Data, Data + Now);
      Data += Now;
      Count -= Now;
    }
  }

  std::size_t Size() const noexcept { return FFullSize + FLast.size(); }

  // The whole value, the builder left empty. Its room stays counted against Hold (which
  // gives back what it held before): the caller keeps the value and its charge together.
  TValue Take(TClientMemoryHold& Hold) {
    if (!FFull.empty()) Join();
    TValue Whole = std::move(FLast);
    FLast = TValue();
    FFullSize = 0;
    Hold = std::move(FHold);
    return Whole;
  }

 private:
  static constexpr std::size_t kPieceElements = limits::kLongValuePieceBytes / sizeof(TElement);

  // Doubling up to a piece, then a new piece each time: the value's own room is never
  // copied while it is read.
  void MakeRoom() {
    std::size_t Room = std::max<std::size_t>(64, FLast.capacity() * 2);
    if (FLast.size() >= kPieceElements) {
      FFullSize += FLast.size();
      FFull.push_back(std::move(FLast));
      FLast = TValue();
      Room = kPieceElements;
    }
    Room = std::min(Room, kPieceElements);
    Charge(Held() - FLast.capacity() + Room);
    FLast.reserve(Room);
  }

  // Copies the pieces into one value of the exact size, giving each back once copied;
  // the whole value's pages are touched only as they are filled.
  void Join() {
    TValue Whole;
    Whole.reserve(Size());
    for (TValue& Piece : FFull) {
      Whole.insert(Whole.end(), Piece.begin(), Piece.end());
      TValue().swap(Piece);
    }
    Whole.insert(Whole.end(), FLast.begin(), FLast.end());
    FFull.clear();
    FLast = std::move(Whole);
    Charge(FLast.capacity());
  }

  std::size_t Held() const noexcept {
    std::size_t Room = FLast.capacity();
    for (const TValue& Piece : FFull) Room += Piece.capacity();
    return Room;
  }

  void Charge(std::size_t Elements) { FHold.Set(static_cast<std::int64_t>(Elements * sizeof(TElement)), FWhat); }

  std::string_view FWhat;
  std::vector<TValue> FFull;  // filled pieces, in order
  std::size_t FFullSize = 0;  // elements in FFull
  TValue FLast;               // the piece being filled
  TClientMemoryHold FHold;
};

}  // namespace tavrin
