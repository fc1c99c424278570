// The machine's two addresses: the LAN address with the resolver replaced, the
// internet address from stand-in services (a double, and stub servers on loopback
// asked through the system's HTTP client), and the address check.

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "shell/address_discovery.h"
#include "support/http_stub.h"

namespace tavrin {
namespace {

TEST(IPValido, AcceptsFourPartsFrom0To255InThePlatformsNumberForms) {
  struct TCase {
    std::string Text;
    bool Valid;
  };
  const TCase Cases[] = {
      {"200.150.10.3", true},
      {"0.0.0.0", true},
      {"255.255.255.255", true},
      {"1.2.3", false},
      {"1.2.3.4.5", false},
      {"1..2.3", false},
      {".1.2.3", false},
      {"1.2.3.", false},
      {"", false},
      {"256.1.1.1", false},
      {"-1.2.3.4", false},
      {"1.2.3.-0", true},
      {"+1.2.3.4", true},
      {" 1. 2.  3.4", true},   // blanks before a number
      {"1.2.3.4 ", false},     // nothing may follow
      {"1.2.3.4\n", false},
      {"1.2.3.\t4", false},    // only blanks are skipped
      {"1.2.3.- 4", false},    // the sign comes after the blanks
      {"1.2.3.4x", false},
      {"$FF.x10.X1.0x0A", true},
      {"0XfF.0.0.0", true},
      {"$100.1.1.1", false},
      {"0x.1.1.1", false},     // a prefix without digits
      {"$.1.1.1", false},
      {"+.1.1.1", false},
      {"+$FF.1.1.1", true},    // a sign, then a prefix
      {"0256.1.1.1", false},   // decimal, not octal
      {"0010.1.1.1", true},
      {"00000000000000000000255.1.1.1", true},
      {"4294967297.1.1.1", false},  // wraps to 1 in 32 bits, but does not convert
      {"1e2.1.1.1", false},
      {"a.b.c.d", false},
      {"\xEF\xBC\x91.2.3.4", false},  // a full-width digit
  };
  for (const auto& Case : Cases) EXPECT_EQ(IPValido(Case.Text), Case.Valid) << Case.Text;
}

TEST(ObterIPLocal, ShowsTheResolvedAddressOrNaoDetectado) {
  struct TFakeHost final : platform::IHostAddresses {
    std::optional<std::string> Address;
    std::optional<std::string> FirstHostIPv4() override { return Address; }
  } Host;
  Host.Address = "192.168.0.10";
  EXPECT_EQ(ObterIPLocal(Host), "192.168.0.10");
  Host.Address.reset();
  EXPECT_EQ(ObterIPLocal(Host), "Não detectado.");
}

// Answers each URL with its scripted body (nullopt: the URL does not open).
class TFakeHttp final : public platform::IHttpGet {
 public:
  std::map<std::string, std::optional<std::string>> Answers;
  std::vector<std::pair<std::string, std::string>> Asked;  // URL, user agent

  std::optional<std::string> Get(const std::string& Url, const std::string& UserAgent) override {
    Asked.emplace_back(Url, UserAgent);
    return Answers.at(Url);
  }
};

TEST(ObterIPInternet, TakesTheFirstValidTrimmedAnswerInOrder) {
  struct TCase {
    const char* Name;
    std::optional<std::string> Answers[3];
    std::optional<std::string> Address;
    std::size_t Asked;
  };
  const TCase Cases[] = {
      {"first answers with a line break", {"200.150.10.3\r\n", "5.5.5.5", "6.6.6.6"},
       "200.150.10.3", 1},
      {"first answers after a blank", {" 10.0.0.1", "5.5.5.5", "6.6.6.6"}, "10.0.0.1", 1},
      {"HTML first, then valid", {"<html><body>1.2.3.4</body></html>", "1.2.3.4\n", "6.6.6.6"},
       "1.2.3.4", 2},
      {"unreachable, empty, then controls around",
       {std::nullopt, "", std::string("\t9.8.7.6\r\n\0", 10)}, "9.8.7.6", 3},
      {"every answer invalid", {"1.2.3", "256.1.1.1", "1.2.3.4 5"}, std::nullopt, 3},
      {"no internet", {std::nullopt, std::nullopt, std::nullopt}, std::nullopt, 3},
  };
  const std::vector<std::string> Urls = {"http://one/", "http://two/ip", "http://three/"};
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TFakeHttp Http;
    for (std::size_t i = 0; i < Urls.size(); ++i) Http.Answers[Urls[i]] = Case.Answers[i];
    EXPECT_EQ(ObterIPInternet(Http, Urls), Case.Address);
    ASSERT_EQ(Http.Asked.size(), Case.Asked);
    for (std::size_t i = 0; i < Case.Asked; ++i) {
      EXPECT_EQ(Http.Asked[i].first, Urls[i]);
      EXPECT_EQ(Http.Asked[i].second, Urls[i]);  // the URL is the user-agent name
    }
  }
}

TEST(ObterIPInternet, OverHttpTheSecondServiceAnswersAndTheThirdIsNeverAsked) {
  using testing::THttpStub;
  const THttpStub Html(THttpStub::Answer(
      "<html><head><title>IP</title></head><body>200.150.10.3</body></html>", "200 OK",
      "Content-Type: text/html\r\n"));
  const THttpStub Valid(THttpStub::Answer("200.150.10.3\n"));
  const THttpStub Third(THttpStub::Answer("9.9.9.9"));
  platform::TSystemHttpGet Http;
  const std::vector<std::string> Urls = {Html.Url("/ip"), Valid.Url(), Third.Url()};

  EXPECT_EQ(ObterIPInternet(Http, Urls), "200.150.10.3");
  EXPECT_EQ(Html.RequestCount(), 1u);
  EXPECT_EQ(Valid.RequestCount(), 1u);
  EXPECT_EQ(Third.RequestCount(), 0u);
}

}  // namespace
}  // namespace tavrin
