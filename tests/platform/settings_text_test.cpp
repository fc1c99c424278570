// Reading settings files without the operating system, as its profile-string reading
// does (trimming, quote removal, the length limit, defaults), and the registry's
// stand-in file, which hands values over untouched.

#include <gtest/gtest.h>

#include <string>

#include "platform/registry_file.h"
#include "platform/settings_text.h"
#include "support/temp_folder.h"

namespace tavrin::platform {
namespace {

struct TProfileCase {
  const char* Name;
  std::string Text;
  std::string Expected;
};

TEST(ProfileValue, ReadsKeyGeralRotaAsTheSystemDoes) {
  const std::string Default = "C:\\ZUL";
  const TProfileCase Cases[] = {
      {"plain", "[Geral]\nRota=D:\\Dados\n", "D:\\Dados"},
      {"no final line break", "[Geral]\nRota=D:\\Dados", "D:\\Dados"},
      {"blanks around name and value", "[Geral]\n  Rota \t=  D:\\Dados \t\n", "D:\\Dados"},
      {"inner blanks kept", "[Geral]\nRota=D:\\Meus  Dados\n", "D:\\Meus  Dados"},
      {"double quotes removed", "[Geral]\nRota=\"D:\\Meus Dados\"\n", "D:\\Meus Dados"},
      {"single quotes removed", "[Geral]\nRota='D:\\x'\n", "D:\\x"},
      {"quotes inside blanks", "[Geral]\nRota=  \" D:\\x \"  \n", " D:\\x "},
      {"one pair only", "[Geral]\nRota=\"\"x\"\"\n", "\"x\""},
      {"mismatched quotes kept", "[Geral]\nRota=\"x'\n", "\"x'"},
      {"opening quote alone kept", "[Geral]\nRota=\"x\n", "\"x"},
      {"lone quote kept", "[Geral]\nRota=\"\n", "\""},
      {"empty quotes", "[Geral]\nRota=\"\"\n", ""},
      {"present but empty", "[Geral]\nRota=\n", ""},
      {"name without =", "[Geral]\nRota\n", ""},
      {"later = kept in value", "[Geral]\nRota=a=b\n", "a=b"},
      {"names in any case", "[GERAL]\nrOTA=x\n", "x"},
      {"header with blanks", "  [ Geral ] trailing\nRota=x\n", "x"},
      {"CRLF, comments, blank lines", "; top\r\n\r\n[Geral]\r\n; Rota=no\r\nRota=x\r\n", "x"},
      {"byte-order mark", "\xEF\xBB\xBF[Geral]\nRota=x\n", "x"},
      {"first entry wins", "[Geral]\nRota=a\nRota=b\n", "a"},
      {"first section only", "[Geral]\nOutra=1\n[Geral]\nRota=b\n", Default},
      {"key of another section", "[Outra]\nRota=x\n[Geral]\nChave=y\n", Default},
      {"key before any section", "Rota=x\n[Geral]\n", Default},
      {"section missing", "[Outra]\nRota=x\n", Default},
      {"empty file", "", Default},
  };
  for (const auto& Case : Cases) {
    EXPECT_EQ(ReadProfileValue(Case.Text, "Geral", "Rota", Default), Case.Expected) << Case.Name;
  }
}

TEST(ProfileValue, DefaultLosesTrailingSpacesOnly) {
  EXPECT_EQ(ReadProfileValue("", "Geral", "Rota", "  C:\\ZUL \t  "), "  C:\\ZUL \t");
}

TEST(ProfileValue, KeepsAtMost2047CharactersNeverHalfACharacter) {
  const std::string Long(3000, 'a');
  EXPECT_EQ(ReadProfileValue("[G]\nK=" + Long + "\n", "G", "K", ""), Long.substr(0, 2047));
  EXPECT_EQ(ReadProfileValue("", "G", "K", Long), Long.substr(0, 2047));
  // The limit counts UTF-16 units: "é" is one, "😀" two (a pair that must not split).
  const std::string A2046(2046, 'a');
  EXPECT_EQ(ReadProfileValue("[G]\nK=" + A2046 + "\xC3\xA9" + "b\n", "G", "K", ""),
            A2046 + "\xC3\xA9");
  EXPECT_EQ(ReadProfileValue("[G]\nK=" + A2046 + "\xF0\x9F\x98\x80\n", "G", "K", ""), A2046);
  // Quotes go before the limit applies.
  EXPECT_EQ(ReadProfileValue("[G]\nK=\"" + Long + "\"\n", "G", "K", ""), Long.substr(0, 2047));
}

TEST(RegistryFile, HandsValuesOverAsWritten) {
  const testing::TTempFolder Folder;
  const auto File = Folder.Write(
      "registry.ini",
      "[SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZUL]\r\n"
      "UninstallString= \"C:\\Program Files\\ZUL\\unins000.exe\" \r\n"
      "Empty=\r\n"
      "[Software\\Other]\r\n"
      "Name=x\r\n");
  TRegistryFile Registry(File.string());
  const std::string Key = "software\\microsoft\\windows\\currentversion\\uninstall\\zul";
  EXPECT_EQ(Registry.ReadMachineString(Key, "uninstallstring"),
            " \"C:\\Program Files\\ZUL\\unins000.exe\" ");
  EXPECT_EQ(Registry.ReadMachineString(Key, "Empty"), "");
  EXPECT_EQ(Registry.ReadMachineString(Key, "Missing"), "");  // the key opens, no value
  EXPECT_EQ(Registry.ReadMachineString("SOFTWARE\\Missing", "Name"), std::nullopt);
  EXPECT_EQ(TRegistryFile((Folder.Path() / "none.ini").string()).ReadMachineString(Key, "Name"),
            std::nullopt);
}

}  // namespace
}  // namespace tavrin::platform
