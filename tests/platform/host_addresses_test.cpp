// The machine's own IPv4 address, as the system's resolver gives it.

#include <gtest/gtest.h>

#include <regex>

#include "platform/host_addresses.h"

namespace tavrin::platform {
namespace {

TEST(SystemHostAddresses, GivesADottedAddressOrNothing) {
  const std::optional<std::string> Address = TSystemHostAddresses().FirstHostIPv4();
  if (!Address) GTEST_SKIP() << "this machine's host name does not resolve";
  EXPECT_TRUE(std::regex_match(*Address, std::regex(R"((\d{1,3}\.){3}\d{1,3})"))) << *Address;
}

}  // namespace
}  // namespace tavrin::platform
