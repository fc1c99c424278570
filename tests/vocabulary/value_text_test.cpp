#include "vocabulary/value_text.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "vocabulary/data_types.h"

namespace tavrin {
namespace {

TDBXValueType TypeOf(std::int32_t Code, std::int32_t SubType = 0) {
  TDBXValueType Type;
  Type.SetName("P");
  Type.SetDataType(Code);
  Type.SetSubType(SubType);
  return Type;
}

std::string Refused(std::string_view Text, std::string_view Reason) {
  return "parameter P: \"" + std::string(Text) + "\" " + std::string(Reason);
}

std::string NoTextForm(std::int32_t Code) {
  return "parameter P: values of data type " + std::to_string(Code) + " cannot be given as text";
}

TEST(ValueText, EveryDataTypeReadsAndWritesOneTextFormOrRefusesClearly) {
  struct TCase {
    std::int32_t Code;
    std::int32_t SubType;
    std::string Text;
    std::string Written;  // the value's text once read; empty when refused
    std::string Refusal;  // the error's message; a prefix when it ends with "..."
  };
  const std::string Int16Range = "is out of range (-32768 to 32767)";
  const TCase Cases[] = {
      {0, 0, "1", "", NoTextForm(0)},
      {1, 0, "h\xC3\xA9llo", "h\xC3\xA9llo", ""},
      {2, 0, "2024-02-29", "2024-02-29", ""},
      {2, 0, "2023-02-29", "", Refused("2023-02-29", "is not a date (YYYY-MM-DD)")},
      {3, 0, "00FF7f", "00ff7f", ""},
      {3, 0, "0x", "", Refused("0x", "is not bytes in hexadecimal (two digits a byte)")},
      {3, 22, "memo", "memo", ""},
      {3, 33, "memo", "memo", ""},
      {3, 32, "a\xC3\xA7\xC3\xA3o", "a\xC3\xA7\xC3\xA3o", ""},
      {4, 0, "TRUE", "true", ""},
      {4, 0, "False", "false", ""},
      {4, 0, "yes", "", Refused("yes", "is neither true nor false")},
      {5, 0, "-32768", "-32768", ""},
      {5, 0, "32768", "", Refused("32768", Int16Range)},
      {6, 0, "2147483647", "2147483647", ""},
      {6, 0, " 1", "", Refused(" 1", "is not a whole number")},
      {6, 0, "12abc", "", Refused("12abc", "is not a whole number")},
      {7, 0, "1e-3", "0.001", ""},
      {7, 0, "1,5", "", Refused("1,5", "is not a number")},
      {7, 0, "1e999", "", Refused("1e999", "is out of range")},
      {7, 27, "0.1", "0.1", ""},
      {7, 27, "1e39", "", Refused("1e39", "is not a number a single-precision value can hold")},
      {8, 0, "-12.50", "-12.50", ""},
      {8, 0, "1.2.3", "", Refused("1.2.3", "is not a decimal number ([-]digits[.digits])")},
      {8, 0, ".5", "", Refused(".5", "is not a decimal number ([-]digits[.digits])")},
      {9, 0, "0a0B", "0a0b", ""},
      {10, 0, "23:59:59.999", "23:59:59.999", ""},
      {10, 0, "12:30:05.5", "12:30:05.500", ""},
      {10, 0, "24:00", "", Refused("24:00", "is not a time of day (HH:MM[:SS[.mmm]])")},
      {11, 0, "2031-12-31T23:59:59.999", "2031-12-31 23:59:59.999", ""},
      {11, 0, "2024-01-01", "", Refused("2024-01-01", "is not a timestamp (YYYY-MM-DD HH:MM[:SS[.mmm]])")},
      {12, 0, "65535", "65535", ""},
      {12, 0, "-1", "", Refused("-1", "is out of range (0 to 65535)")},
      {13, 0, "1", "", NoTextForm(13)},
      {14, 0, "1", "", NoTextForm(14)},
      {15, 0, "", "", ""},
      {16, 0, "1", "", NoTextForm(16)},
      {17, 0, "x", "", NoTextForm(17)},
      {18, 0, "-9223372036854775808", "-9223372036854775808", ""},
      {18, 0, "9223372036854775808", "",
       Refused("9223372036854775808", "is out of range (-9223372036854775808 to 9223372036854775807)")},
      {19, 0, "1", "", NoTextForm(19)},
      {20, 0, "ab", "ab", ""},
      {21, 0, "AB", "ab", ""},
      {22, 0, "1", "", NoTextForm(22)},
      {23, 0, "1", "", NoTextForm(23)},
      {24, 0, "1899-12-29 06:00", "1899-12-29 06:00:00", ""},
      {25, 0, "12345.6789", "12345.6789", ""},
      {25, 0, "1e3", "", Refused("1e3", "is not a decimal number ([-]digits[.digits])")},
      {26, 0, "a\xC3\xA7\xC3\xA3o \"x\"", "a\xC3\xA7\xC3\xA3o \"x\"", ""},
      {27, 0, "3.4028235e38", "3.4028235e+38", ""},
      {27, 0, "1e39", "", Refused("1e39", "is not a number a single-precision value can hold")},
      {27, 0, "abc", "", Refused("abc", "is not a number")},
      {28, 0, "-128", "-128", ""},
      {28, 0, "128", "", Refused("128", "is out of range (-128 to 127)")},
      {29, 0, "255", "255", ""},
      {29, 0, "256", "", Refused("256", "is out of range (0 to 255)")},
      {30, 0, "1", "", NoTextForm(30)},
      {31, 0, "1", "", NoTextForm(31)},
      {32, 0, "1", "", NoTextForm(32)},
      {33, 0, "DEADbeef", "deadbeef", ""},
      {34, 0, "x", "", NoTextForm(34)},
      {35, 0, "01", "01", ""},
      {36, 0, "2024-03-10 10:00:00.250-03:00", "2024-03-10 10:00:00.250-03:00", ""},
      {36, 0, "2024-03-10T10:00-00:30", "2024-03-10 10:00:00-00:30", ""},
      {36, 0, "2024-03-10 10:00+14:00", "2024-03-10 10:00:00+14:00", ""},
      {36, 0, "2024-03-10 10:00+15:00", "",
       Refused("2024-03-10 10:00+15:00", "is not a timestamp with its offset (YYYY-MM-DD HH:MM[:SS[.mmm]]+HH:MM)")},
      {36, 0, "2024-03-10 10:00", "",
       Refused("2024-03-10 10:00", "is not a timestamp with its offset (YYYY-MM-DD HH:MM[:SS[.mmm]]+HH:MM)")},
      {37, 0, R"({"a": [1, "b", null]})", R"({"a":[1,"b",null]})", ""},
      {37, 0, "{", "", Refused("{", "is not JSON text: ...")},
      {38, 0, "x", "", NoTextForm(38)},
  };
  std::set<std::int32_t> Covered;
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(std::to_string(Case.Code) + "/" + std::to_string(Case.SubType) + " \"" + Case.Text + "\"");
    Covered.insert(Case.Code);
    const TDBXValueType Type = TypeOf(Case.Code, Case.SubType);
    if (Case.Refusal.empty()) {
      const auto Value = ValueFromText(Type, Case.Text);
      EXPECT_FALSE(Value->IsNull());
      EXPECT_EQ(ValueText(Type, *Value), Case.Written);
      // What is written reads back as the same value.
      EXPECT_EQ(ValueText(Type, *ValueFromText(Type, Case.Written)), Case.Written);
      continue;
    }
    try {
      ValueFromText(Type, Case.Text);
      ADD_FAILURE() << "not refused";
    } catch (const EValueTextRefused& Error) {
      EXPECT_EQ(Error.ErrorCode(), TDBXErrorCodes::InvalidInput);
      if (Case.Refusal.ends_with("...")) {
        EXPECT_TRUE(Error.Message().starts_with(Case.Refusal.substr(0, Case.Refusal.size() - 3))) << Error.Message();
      } else {
        EXPECT_EQ(Error.Message(), Case.Refusal);
      }
    }
  }
  for (std::int32_t Code = 0; Code <= TDBXDataTypes::CallbackType; ++Code) {
    EXPECT_TRUE(Covered.contains(Code)) << "data type " << Code << " has no case";
  }
}

TEST(ValueText, ARefusedTextLeavesTheValueAndALiteralSaysSoInItsOwnWords) {
  const TDBXValueType Type = TypeOf(TDBXDataTypes::Int8Type);
  const auto Value = ValueFromText(Type, "7");
  EXPECT_THROW(SetValueFromText(Type, *Value, "x"), EValueTextRefused);
  EXPECT_EQ(ValueText(Type, *Value), "7");

  try {
    SetLiteralFromText(Type, *Value, u"300");
    ADD_FAILURE() << "not refused";
  } catch (const TDBXError& Error) {
    EXPECT_EQ(Error.ErrorCode(), TDBXErrorCodes::InvalidInput);
    EXPECT_EQ(Error.Message(), "Invalid literal value for parameter P");
  }
  SetLiteralFromText(Type, *Value, u"-5");
  EXPECT_EQ(ValueText(Type, *Value), "-5");

  Value->SetNull();
  EXPECT_EQ(ValueText(Type, *Value), "null");
}

}  // namespace
}  // namespace tavrin
