#include "server/builtin/memory_table.h"

#include <gtest/gtest.h>

#include "server/builtin/admin_fixture.h"
#include "support/error_of.h"

namespace tavrin {
namespace {

using namespace tavrin::testing;

constexpr TDSColumnLayout kColumns[] = {
    {"Name", TDBXDataTypes::WideStringType, 256, "Full Name", true},
    {"Count", TDBXDataTypes::Int32Type, 4, {}, false, true},
};

TEST(MemoryTable, ReadsItsRowsOnceInOrderThenStays) {
  TDSMemoryTable Table("People", kColumns);
  EXPECT_EQ(ColumnsOf(Table), (std::vector<std::string>{"Name[Full Name]:26:256:1", "Count:6:4:64"}));
  EXPECT_EQ(Table.ValueType(1).Ordinal(), 1);
  // Before the first row there is no value to read.
  EXPECT_EQ(ErrorOf([&] { Table.Value(0); }).ErrorCode(), 2);

  Table.AppendRow();
  Table.SetText(0, "Ana");
  Table.SetInt32(1, 3);
  Table.AppendRow();  // left null
  Table.AppendRow();
  Table.SetInt32(1, -1);
  EXPECT_EQ(RowsOf(Table), (std::vector<std::string>{"Ana|3", "null|null", "null|-1"}));
  // Past the last row it stays there.
  EXPECT_FALSE(Table.Next());
  EXPECT_EQ(ErrorOf([&] { Table.Value(0); }).ErrorCode(), 2);
  EXPECT_EQ(ErrorOf([&] { Table.ValueType(2); }).ErrorCode(), 2);
  Table.Close();
  EXPECT_FALSE(Table.Next());
}

TEST(MemoryTable, RefusesValuesOfAnotherKindOrWithoutARow) {
  TDSMemoryTable Table("People", kColumns);
  EXPECT_EQ(ErrorOf([&] { Table.SetText(0, "x"); }).ErrorCode(), 2);
  Table.AppendRow();
  EXPECT_EQ(ErrorOf([&] { Table.SetInt32(0, 1); }).ErrorCode(), 3);
  EXPECT_EQ(ErrorOf([&] { Table.SetBoolean(1, true); }).ErrorCode(), 3);
  EXPECT_EQ(ErrorOf([&] { Table.SetInt32(2, 1); }).ErrorCode(), 2);
  // A column type without a value holder fails when the table is made.
  constexpr TDSColumnLayout Unsigned[] = {{"Big", TDBXDataTypes::UInt64Type}};
  EXPECT_EQ(ErrorOf([&] { TDSMemoryTable("Bad", Unsigned); }).ErrorCode(), 3);
}

}  // namespace
}  // namespace tavrin
