#include "app/tavrin/program_options.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "vocabulary/defaults.h"

namespace tavrin {
namespace {

// The help line of Option, or empty when the help has none.
std::string HelpLineOf(const std::string& Help, const std::string& Option) {
  std::istringstream Lines(Help);
  for (std::string Line; std::getline(Lines, Line);) {
    if (Line.find(Option) != std::string::npos) return Line;
  }
  return {};
}

TEST(ProgramOptions, HelpShowsTheDefaultPortOfTheSettingsTable) {
  const char* const Argv[] = {"tavrin", "--help"};
  std::ostringstream Out, Err;
  const TParsedCommandLine Parsed = ParseProgramOptions(2, Argv, Out, Err);
  EXPECT_FALSE(Parsed.Options.has_value());
  EXPECT_EQ(Parsed.ExitCode, 0);
  const std::string Line = HelpLineOf(Out.str(), "--port");
  EXPECT_NE(Line.find(std::to_string(defaults::kPort)), std::string::npos) << Out.str();

  const char* const NoOptions[] = {"tavrin"};
  EXPECT_EQ(ParseProgramOptions(1, NoOptions, Out, Err).Options->Port, defaults::kPort);
}

}  // namespace
}  // namespace tavrin
