#pragma once
// The main window's form, free of any toolkit: its controls with their names, texts,
// fonts, colours, bounds and anchors, the status bar, and the two looks of the
// port-check link. Both windows (Qt on Linux, Win32 on Windows) are built from this one
// table, and their tests check them against it, so the two cannot drift apart.
//
// Bounds and font heights are in pixels at kDesignDpi; a window scales them to the
// screen's resolution when it is created (ScaleToDpi).

#include <array>
#include <cstdint>
#include <string_view>

#include "shell/shell_constants.h"

namespace tavrin::form {

// The resolution, in pixels per inch, the bounds and font heights are given at.
inline constexpr int kDesignDpi = 120;

struct TBounds {
  int Left = 0;
  int Top = 0;
  int Width = 0;
  int Height = 0;
  bool operator==(const TBounds&) const = default;
};

// The sides of the window a control keeps its distance to; a control anchored to both
// opposite sides grows with the window along them.
struct TAnchors {
  bool Left = true;
  bool Top = true;
  bool Right = false;
  bool Bottom = false;
};

struct TRgb {
  std::uint8_t Red = 0;
  std::uint8_t Green = 0;
  std::uint8_t Blue = 0;
  bool operator==(const TRgb&) const = default;
};

enum class TControlKind {
  FixedLabel,  // a label of a fixed size whose text wraps inside it
  SizedLabel,  // a one-line label sized to its text (the bounds are the text's size in Tahoma)
  LogBox,      // the read-only multi-line log: vertical scroll bar only, lines wrap
  StatusBar,   // one simple text panel, docked at the bottom across the whole width
};

enum class TTextColour {
  WindowText,  // the desktop's window-text colour
  Navy,        // kNavy
};

struct TControl {
  std::string_view Name;
  TControlKind Kind;
  TBounds Bounds;  // at kDesignDpi, in the client area's coordinates
  TAnchors Anchors;
  int FontPixels;  // character height at kDesignDpi
  TTextColour Colour;
  std::string_view Text;  // what it shows when the window is made (UTF-8)
};

inline constexpr std::string_view kFontFace = "Tahoma";
inline constexpr int kClientWidth = 568;
inline constexpr int kClientHeight = 447;
inline constexpr int kWindowFontPixels = 13;  // the window's font, kept by most controls
inline constexpr TRgb kNavy{0, 0, 128};

// The port-check link's look while the pointer is over it, and after it left: black,
// whatever the desktop's text colour is.
struct TLinkLook {
  TRgb Colour;
  bool Underlined;
};
inline constexpr TLinkLook kLinkHover{{0, 0, 255}, true};
inline constexpr TLinkLook kLinkLeft{{0, 0, 0}, false};

inline constexpr TAnchors kLeftTop{};
inline constexpr TAnchors kLeftTopRight{.Right = true};
inline constexpr TAnchors kAllSides{.Right = true, .Bottom = true};
inline constexpr TAnchors kBottomDock{.Top = false, .Right = true, .Bottom = true};

// The controls in the window's tab and creation order. The log box is the only one the
// keyboard reaches.
inline constexpr std::array<TControl, 8> kControls{{
    {"Label1", TControlKind::FixedLabel, {16, 18, 353, 25}, kLeftTop, 20, TTextColour::Navy,
     shell::kKeepRunningText},
    {"LabelIP", TControlKind::FixedLabel, {16, 60, 536, 21}, kLeftTopRight, 17, TTextColour::WindowText,
     shell::kLanAddressCaption},
    {"LabelIPInternet", TControlKind::FixedLabel, {16, 86, 536, 21}, kLeftTopRight, 17,
     TTextColour::WindowText, shell::kInternetAddressCaption},
    {"Label3", TControlKind::SizedLabel, {16, 125, 331, 16}, kLeftTop, 13, TTextColour::WindowText,
     shell::kPortToOpenText},
    {"Label2", TControlKind::SizedLabel, {16, 143, 327, 16}, kLeftTop, 13, TTextColour::WindowText,
     shell::kPortCheckLinkText},
    {"Label4", TControlKind::SizedLabel, {16, 180, 155, 16}, kLeftTop, 13, TTextColour::WindowText,
     shell::kLogBoxCaption},
    {"MemoLog", TControlKind::LogBox, {16, 202, 536, 216}, kAllSides, 13, TTextColour::WindowText, ""},
    {"StatusBar1", TControlKind::StatusBar, {0, 428, 568, 19}, kBottomDock, 13, TTextColour::WindowText, ""},
}};

// The control named Name; raises std::out_of_range for a name the form lacks.
const TControl& ControlNamed(std::string_view Name);

// Design pixels at Dpi, to the nearest pixel (every designed value is positive).
constexpr int ScaleToDpi(int Design, int Dpi) { return (Design * Dpi + kDesignDpi / 2) / kDesignDpi; }
TBounds ScaleToDpi(const TBounds& Design, int Dpi);

// Where a control whose bounds were Placed in a client area of PlacedWidth x
// PlacedHeight goes in one of ClientWidth x ClientHeight: anchored to both opposite
// sides it grows (never below zero), anchored to the far side only it moves, and
// otherwise it stays.
TBounds Anchored(const TControl& Control, const TBounds& Placed, int PlacedWidth, int PlacedHeight,
                 int ClientWidth, int ClientHeight);

}  // namespace tavrin::form
