#include "dbxstream/parameter_descriptions.h"

#include <gtest/gtest.h>

#include <string>

#include "dbxstream/json_stream_reader.h"
#include "dbxstream/json_stream_writer.h"
#include "dbxstream/memory_channel.h"
#include "dbxstream/stream_tokens.h"
#include "vocabulary/data_types.h"
#include "vocabulary/value_text.h"
#include "support/error_of.h"

namespace tavrin {
namespace {

class ParameterDescriptionsTest : public ::testing::Test {
 protected:
  TDBXMemoryChannel Channel;
  TDBXContext Context;
  TDBXJSonStreamReader Reader{Channel, Context, 0};
  TDBXJSonStreamWriter Writer{Channel, 0};

  void SetUp() override {
    Reader.Open();
    Writer.Open();
  }

  std::unique_ptr<TDBXParameter> Read(const std::string& Description) {
    Channel.Feed(Description);
    return ReadParameter(Reader);
  }
};

TEST_F(ParameterDescriptionsTest, LiteralValuesOfEveryKindCrossTheWireBothWays) {
  const struct {
    std::int32_t Code;
    std::string Text;
  } Cases[] = {
      {TDBXDataTypes::Int8Type, "-5"},       {TDBXDataTypes::UInt8Type, "200"},
      {TDBXDataTypes::UInt16Type, "65535"},  {TDBXDataTypes::Int32Type, "42"},
      {TDBXDataTypes::SingleType, "1.5"},    {TDBXDataTypes::DateType, "2024-02-29"},
      {TDBXDataTypes::BooleanType, "true"},  {TDBXDataTypes::WideStringType, "a\xC3\xA7\xC3\xA3o"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Text);
    TDBXParameterList Sent;
    Sent.push_back(std::make_unique<TDBXParameter>());
    TDBXParameter& Parameter = *Sent.back();
    Parameter.SetName("A");
    Parameter.SetDataType(Case.Code);
    Parameter.SetLiteral(true);
    Parameter.SetValue(ValueFromText(Parameter, Case.Text));
    Channel.ClearWritten();
    WriteParameterList(Writer, Sent);
    Writer.Flush();

    Channel.Feed(Channel.WrittenText());
    Reader.Next(TDBXTokens::ObjectStart);
    Reader.ReadString();
    Reader.Next(TDBXTokens::NameSeparator);
    Reader.Next(TDBXTokens::ArrayStart);
    const auto Received = ReadParameterList(Reader);
    ASSERT_EQ(Received->size(), 1u);
    const TDBXParameter& Got = *Received->front();
    EXPECT_TRUE(Got.Literal());
    EXPECT_EQ(ValueText(Got, *Got.Value()), Case.Text);
    Reader.Next(TDBXTokens::ArrayEnd);
    Reader.Next(TDBXTokens::ObjectEnd);
  }
}

TEST_F(ParameterDescriptionsTest, ALiteralItsTypeCannotTakeIsRefusedAndAnEmptyOneIsNull) {
  // 0x200 marks the literal; the value follows the flags.
  for (const std::string Description : {R"([6,0,1,0,0,"A",0,0,512,"x"])", R"([4,0,1,0,0,"A",0,0,512,"yes"])",
                                        R"([23,0,1,0,0,"A",0,0,512,"1"])"}) {
    SCOPED_TRACE(Description);
    const TDBXError Error = ErrorOf([&] { Read(Description); });
    EXPECT_EQ(Error.ErrorCode(), TDBXErrorCodes::InvalidInput);
    EXPECT_EQ(Error.Message(), "Invalid literal value for parameter A");
  }
  // A null literal travels as an empty text: an integer stays null, a text is empty.
  EXPECT_TRUE(Read(R"([6,0,1,0,0,"A",0,0,512,""])")->Value()->IsNull());
  const auto Text = Read(R"([26,0,1,0,0,"B",0,0,512,""])");
  EXPECT_FALSE(Text->Value()->IsNull());
  EXPECT_EQ(ValueText(*Text, *Text->Value()), "");
}

}  // namespace
}  // namespace tavrin
