#include "app/tavrin/headless_dialogs.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace tavrin {
namespace {

TEST(HeadlessDialogs, TheInputBoxAnswersFromTheTerminal) {
  const std::string Long(300, 'a');
  const struct {
    const char* Name;
    std::string Typed;
    std::optional<std::string> Answer;
  } Cases[] = {
      {"Enter keeps the suggestion", "\n", "s:\\x"},
      {"a typed folder", "/dados/zul\n", "/dados/zul"},
      {"a Windows line end", "d:\\zul\r\n", "d:\\zul"},
      {"cut to the box's length", Long + "\n", std::string(255, 'a')},
      {"accents count as one character", std::string(254, 'a') + "\u00e7\u00e3o\n", std::string(254, 'a') + "\u00e7"},
      {"end of input is Cancel", "", std::nullopt},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    std::istringstream In(Case.Typed);
    std::ostringstream Out, Err;
    THeadlessDialogs Dialogs(In, Out, Err, true);
    EXPECT_EQ(Dialogs.InputBox("Caption", "Prompt:", "s:\\x", 255), Case.Answer);
    EXPECT_TRUE(Out.str().starts_with("Caption\nPrompt: [s:\\x] ")) << Out.str();
  }
}

TEST(HeadlessDialogs, WithoutATerminalTheInputBoxIsCancelledAndErrorsGoToTheErrorStream) {
  std::istringstream In("/typed\n");
  std::ostringstream Out, Err;
  THeadlessDialogs Dialogs(In, Out, Err, false);
  EXPECT_EQ(Dialogs.InputBox("Caption", "Prompt:", "s:\\x", 255), std::nullopt);
  Dialogs.ErrorBox("Erro", "sem banco");
  EXPECT_EQ(Out.str(), "");
  EXPECT_EQ(Err.str(), "Erro: sem banco\n");
}

}  // namespace
}  // namespace tavrin
