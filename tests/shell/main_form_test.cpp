// The main form's table: scaling to a screen's resolution, and where each kind of
// anchoring puts a control when the window grows or shrinks.

#include <gtest/gtest.h>

#include <stdexcept>

#include "shell/main_form.h"
#include "support/form_print.h"

namespace tavrin::form {
namespace {

TEST(MainForm, ScalesEveryControlToTheNearestPixel) {
  // At 96 dpi (4/5 of the design), halves round up.
  const struct {
    const char* Name;
    TBounds At96;
  } Cases[] = {
      {"Label1", {13, 14, 282, 20}},   {"LabelIP", {13, 48, 429, 17}}, {"LabelIPInternet", {13, 69, 429, 17}},
      {"Label3", {13, 100, 265, 13}},  {"Label2", {13, 114, 262, 13}}, {"Label4", {13, 144, 124, 13}},
      {"MemoLog", {13, 162, 429, 173}},
  };
  for (const auto& Case : Cases) {
    EXPECT_EQ(ScaleToDpi(ControlNamed(Case.Name).Bounds, 96), Case.At96) << Case.Name;
    EXPECT_EQ(ScaleToDpi(ControlNamed(Case.Name).Bounds, kDesignDpi), ControlNamed(Case.Name).Bounds) << Case.Name;
  }
  EXPECT_EQ(ScaleToDpi(kClientHeight, 96), 358);
  EXPECT_EQ(ScaleToDpi(20, 144), 24);
  EXPECT_THROW(ControlNamed("Button1"), std::out_of_range);
}

TEST(MainForm, AnchorsGrowMoveOrKeepAControl) {
  const struct {
    const char* Name;
    int Width;
    int Height;
    TBounds Expected;
  } Cases[] = {
      {"LabelIP", 668, 497, {16, 60, 636, 21}},      // left and right: wider only
      {"MemoLog", 668, 497, {16, 202, 636, 266}},    // all four sides: wider and taller
      {"StatusBar1", 668, 497, {0, 478, 668, 19}},   // docked: across the bottom
      {"Label2", 668, 497, {16, 143, 327, 16}},      // left and top: stays
      {"MemoLog", 100, 100, {16, 202, 68, 0}},       // never below zero
      {"StatusBar1", 100, 100, {0, 81, 100, 19}},
  };
  for (const auto& Case : Cases) {
    const TControl& Control = ControlNamed(Case.Name);
    EXPECT_EQ(Anchored(Control, Control.Bounds, kClientWidth, kClientHeight, Case.Width, Case.Height), Case.Expected)
        << Case.Name << " at " << Case.Width;
  }
}

}  // namespace
}  // namespace tavrin::form
