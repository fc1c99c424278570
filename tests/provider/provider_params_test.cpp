// Parameters packed into a variant and back: the form, the kinds asked for, and the
// refusal of packed values a client may send malformed.

#include "provider/provider_params.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/error_of.h"
#include "vocabulary/variant_stream.h"

namespace tavrin {
namespace {

using PT = TParamType;

TEST(ProviderParams, PackedParametersHoldSevenValuesEachAndUnpackAgain) {
  const TProviderParam Name{"pNome", std::u16string(u"jo\u00e3o"), TFieldType::ftWideString, PT::ptInput, 60, 0, 0};
  const TProviderParam Total{"pTotal", TDSCurrency{12500}, TFieldType::ftBCD, PT::ptOutput, 2, 10, 2};
  const TProviderParam Result{"Result", TDSVariant::Null(), TFieldType::ftInteger, PT::ptResult, 0, 0, 0};
  const TDSVariant Packed = PackProviderParams({Name, Total, Result}, {PT::ptInput, PT::ptOutput});
  EXPECT_EQ(Packed, TDSVariant::Array(TVarType::varVariant,
                                      {TDSVariant::Array(TVarType::varVariant,
                                                         {std::u16string(u"pNome"), std::u16string(u"jo\u00e3o"),
                                                          std::int32_t{24}, std::int32_t{1}, std::int32_t{60},
                                                          std::int32_t{0}, std::int32_t{0}}),
                                       TDSVariant::Array(TVarType::varVariant,
                                                         {std::u16string(u"pTotal"), TDSCurrency{12500},
                                                          std::int32_t{8}, std::int32_t{2}, std::int32_t{2},
                                                          std::int32_t{10}, std::int32_t{2}})}));
  // Through the stream form a client sends it in, and back.
  const auto Bytes = VariantStreamBytes(Packed);
  EXPECT_EQ(UnpackProviderParams(DecodeVariantBytes(std::span<const std::uint8_t>(Bytes))),
            (std::vector<TProviderParam>{Name, Total}));
  EXPECT_TRUE(PackProviderParams({Name}, {PT::ptOutput}).IsNull());
  EXPECT_TRUE(PackProviderParams({}, {PT::ptInput}).IsNull());
  EXPECT_TRUE(UnpackProviderParams(TDSVariant::Null()).empty());
  EXPECT_TRUE(UnpackProviderParams(TDSVariant()).empty());
}

TEST(ProviderParams, MalformedPackedValuesAreRefused) {
  const auto Param = [](std::vector<TDSVariant> Parts) { return TDSVariant::Array(TVarType::varVariant, std::move(Parts)); };
  const auto Seven = [](TDSVariant Name, TDSVariant DataType, TDSVariant ParamType, TDSVariant Size) {
    return std::vector<TDSVariant>{std::move(Name), TDSVariant::Null(), std::move(DataType), std::move(ParamType),
                                   std::move(Size), std::int32_t{0}, std::int32_t{0}};
  };
  const std::pair<TDSVariant, const char*> Cases[] = {
      {std::int32_t{1}, "not an array of parameters"},
      {TDSVariant::Array(TVarType::varInteger, {std::int32_t{1}}), "not an array of parameters"},
      {Param({std::int32_t{1}}), "a parameter that is not an array"},
      {Param({Param({std::u16string(u"a")})}), "a parameter without its seven values"},
      {Param({Param(Seven(std::int32_t{1}, std::int32_t{1}, std::int32_t{1}, std::int32_t{0}))}),
       "a parameter name that is not text"},
      {Param({Param(Seven(std::u16string(u"a"), std::int32_t{52}, std::int32_t{1}, std::int32_t{0}))}),
       "an unknown data type"},
      {Param({Param(Seven(std::u16string(u"a"), std::int32_t{1}, std::int32_t{5}, std::int32_t{0}))}),
       "an unknown parameter type"},
      {Param({Param(Seven(std::u16string(u"a"), std::u16string(u"1"), std::int32_t{1}, std::int32_t{0}))}),
       "a data type that is not a number"},
      {Param({Param(Seven(std::u16string(u"a"), std::int32_t{1}, std::int32_t{1}, std::uint32_t{4000000000u}))}),
       "a size that is not a 32-bit number"},
  };
  for (const auto& [Value, Why] : Cases) {
    SCOPED_TRACE(Why);
    const TDBXError Error = ErrorOf([&] { UnpackProviderParams(Value); });
    EXPECT_EQ(Error.Message(), std::string("Parameters are not in their packed form: ") + Why);
    EXPECT_EQ(Error.ErrorCode(), TDBXErrorCodes::InvalidInput);
  }
}

}  // namespace
}  // namespace tavrin
