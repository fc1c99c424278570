// A long value built from a client's bytes: whole and in order across its pieces,
// counted against the connection while it grows (never much more than its own size),
// and refused at the connection's cap without leaving anything counted.

#include "vocabulary/long_value_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "vocabulary/dbx_error.h"

namespace tavrin {
namespace {

// Appends Total elements (i % 251) in uneven runs, each run crossing piece boundaries
// somewhere; returns the most the connection held meanwhile, in bytes.
template <typename TValue>
std::int64_t BuildLongValue(TLongValueBuilder<TValue>& Builder, std::size_t Total, const TConnectionMemory& Memory) {
  std::vector<typename TValue::value_type> Run(77'777);
  std::int64_t Most = 0;
  for (std::size_t Done = 0; Done < Total;) {
    const std::size_t Count = std::min(Run.size() - (Done % 1000), Total - Done);
    for (std::size_t i = 0; i < Count; ++i) Run[i] = static_cast<typename TValue::value_type>((Done + i) % 251);
    Builder.Append(Run.data(), Count);
    Done += Count;
    Most = std::max(Most, Memory.Held());
  }
  return Most;
}

template <typename TValue>
void ExpectWholeAndCounted(std::size_t Total) {
  SCOPED_TRACE(Total);
  using TElement = typename TValue::value_type;
  auto Memory = std::make_shared<TConnectionMemory>(nullptr, 0);
  TConnectionMemory::SetCurrent(Memory);
  TClientMemoryHold Hold;
  {
    TLongValueBuilder<TValue> Builder("A long value");
    const std::int64_t Most = BuildLongValue(Builder, Total, *Memory);
    const auto Bytes = static_cast<std::int64_t>(Total * sizeof(TElement));
    EXPECT_LE(Most, Bytes + static_cast<std::int64_t>(limits::kLongValuePieceBytes));
    const TValue Value = Builder.Take(Hold);
    ASSERT_EQ(Value.size(), Total);
    for (std::size_t i = 0; i < Total; ++i) {
      if (Value[i] != static_cast<TElement>(i % 251)) FAIL() << "element " << i << " differs";
    }
    // The value's room moved to the caller's hold; the builder holds nothing more.
    EXPECT_GE(Hold.Bytes(), Bytes);
    EXPECT_EQ(Memory->Held(), Hold.Bytes());
  }
  EXPECT_EQ(Memory->Held(), Hold.Bytes());
  Hold.Reset();
  EXPECT_EQ(Memory->Held(), 0);
  TConnectionMemory::SetCurrent(nullptr);
}

TEST(LongValueBuilder, AValueIsWholeAcrossItsPiecesAndCountedNearItsOwnSize) {
  constexpr std::size_t kPiece = limits::kLongValuePieceBytes;
  for (const std::size_t Total : {std::size_t{0}, std::size_t{100}, kPiece / 2, kPiece * 5 / 2 + 3}) {
    ExpectWholeAndCounted<std::u16string>(Total);
    ExpectWholeAndCounted<std::vector<std::uint8_t>>(Total);
  }
}

TEST(LongValueBuilder, AValuePastTheConnectionsCapIsRefusedAndLeavesNothingCounted) {
  auto Memory = std::make_shared<TConnectionMemory>(nullptr, 3 * limits::kLongValuePieceBytes);
  TConnectionMemory::SetCurrent(Memory);
  try {
    TLongValueBuilder<std::string> Builder("A long value");
    const std::string Run(100'000, 'x');
    for (int i = 0; i < 40; ++i) Builder.Append(Run.data(), Run.size());
    ADD_FAILURE() << "4 MB were taken past a 3 MiB cap";
  } catch (const TDBXError& Error) {
    EXPECT_EQ(Error.ErrorCode(), TDBXErrorCodes::LimitExceeded);
    EXPECT_EQ(Error.Message().rfind("A long value refused", 0), 0u) << Error.Message();
  }
  EXPECT_EQ(Memory->Held(), 0);
  TConnectionMemory::SetCurrent(nullptr);
}

}  // namespace
}  // namespace tavrin
