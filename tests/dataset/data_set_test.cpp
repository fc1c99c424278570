// The bridges between datasets, parameter lists and table readers that table arguments
// and results travel through.

#include "dataset/data_set.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "dataset/params.h"
#include "support/error_of.h"
#include "server/methods/test_server_classes.h"

namespace tavrin {
namespace {

using namespace tavrin::testing;

std::vector<std::int32_t> Ids(TDBXReader& Reader) {
  std::vector<std::int32_t> Seen;
  while (Reader.Next()) Seen.push_back(dynamic_cast<const TDBXInt32Value&>(Reader.Value(0)).GetInt32());
  return Seen;
}

TEST(DataSetBridges, AReaderOverADataSetWalksItFromTheFirstRecord) {
  auto DataSet = std::make_shared<TTestDataSet>(3, 2);
  DataSet->First();
  DataSet->Next();  // wherever the dataset stood, the reader starts at the first record
  TDataSetReader Reader(DataSet);
  EXPECT_EQ(Reader.ColumnCount(), 2);
  EXPECT_EQ(Reader.ValueType(1).Name(), "NOME");
  EXPECT_EQ(Ids(Reader), (std::vector<std::int32_t>{1, 2, 3}));
  EXPECT_FALSE(Reader.Next());
}

TEST(DataSetBridges, ClosingTheReaderClosesOnlyADataSetWithoutOwner) {
  for (const bool Owned : {false, true}) {
    SCOPED_TRACE(Owned ? "owned" : "no owner");
    auto DataSet = std::make_shared<TTestDataSet>(1, 1);
    DataSet->SetHasOwner(Owned);
    {
      TDataSetReader Reader(DataSet);
      Reader.Close();
      Reader.Close();
      EXPECT_FALSE(Reader.Next());
    }
    EXPECT_EQ(DataSet->Closes, Owned ? 0 : 1);
  }
  // The reader keeps its dataset alive.
  const int Before = TTestDataSet::Live;
  auto Reader = std::make_unique<TDataSetReader>(std::make_shared<TTestDataSet>(1, 1));
  EXPECT_EQ(TTestDataSet::Live, Before + 1);
  Reader.reset();
  EXPECT_EQ(TTestDataSet::Live, Before);
}

TEST(DataSetBridges, ADataSetOverAReaderStandsOnItsFirstRowAndReadsForwardOnly) {
  TReaderDataSet DataSet(std::make_shared<TDataSetReader>(std::make_shared<TTestDataSet>(2, 1)));
  EXPECT_EQ(DataSet.FindField("nome"), 1);
  EXPECT_EQ(DataSet.FindField("missing"), -1);
  ASSERT_FALSE(DataSet.Eof());
  EXPECT_EQ(dynamic_cast<const TDBXInt32Value&>(DataSet.FieldValue(0)).GetInt32(), 1);
  DataSet.First();  // already there
  DataSet.Next();
  EXPECT_EQ(dynamic_cast<const TDBXInt32Value&>(DataSet.FieldValue(0)).GetInt32(), 2);
  EXPECT_EQ(ErrorOf([&] { DataSet.First(); }).Message(), TReaderDataSet::kForwardOnly);
  DataSet.Next();
  EXPECT_TRUE(DataSet.Eof());
  DataSet.Next();
  EXPECT_TRUE(DataSet.Eof());
  EXPECT_EQ(ErrorOf([&] { DataSet.FieldValue(0); }).ErrorCode(), 2);

  TReaderDataSet Empty(std::make_shared<TDBXReader>());
  EXPECT_TRUE(Empty.Eof());
  EXPECT_EQ(Empty.FieldCount(), 0);
}

TEST(DataSetBridges, ParametersTravelAsATableOfOneRow) {
  TDataSetReader Source(std::make_shared<TTestDataSet>(3, 4));
  const auto Params = TParams::FromReader(Source);
  ASSERT_EQ(Params->Count(), 2);
  EXPECT_EQ((*Params)[0].Name(), "ID");
  EXPECT_EQ((*Params)[1].DataType(), TDBXDataTypes::WideStringType);
  ASSERT_NE(Params->FindParam("nome"), nullptr);
  EXPECT_EQ(dynamic_cast<const TDBXWideStringValue&>(*Params->FindParam("nome")->Value()).GetWideString(), u"bbbb");
  EXPECT_EQ(dynamic_cast<const TDBXInt32Value&>(*(*Params)[0].Value()).GetInt32(), 1);

  TParamsReader Reader(Params);
  EXPECT_EQ(Reader.ColumnCount(), 2);
  EXPECT_EQ(Ids(Reader), (std::vector<std::int32_t>{1}));

  // A table without rows gives parameters without values.
  TDataSetReader NoRows(std::make_shared<TTestDataSet>(0, 1));
  const auto Nulls = TParams::FromReader(NoRows);
  ASSERT_EQ(Nulls->Count(), 2);
  EXPECT_TRUE((*Nulls)[0].Value()->IsNull());
}

TEST(DataSetBridges, CopyingAValueNeedsAHolderOfTheSameKind) {
  TDBXWideMemoValue Memo;
  Memo.SetWideString(u"memo");
  TDBXWideStringValue Text;
  CopyValue(Memo, Text);
  EXPECT_EQ(Text.GetWideString(), u"memo");
  TDBXInt32Value Null;
  TDBXInt32Value Target;
  Target.SetInt32(5);
  CopyValue(Null, Target);
  EXPECT_TRUE(Target.IsNull());
  TDBXInt64Value Wide;
  Wide.SetInt64(1);
  EXPECT_EQ(ErrorOf([&] { CopyValue(Wide, Target); }).ErrorCode(), 3);
}

}  // namespace
}  // namespace tavrin
