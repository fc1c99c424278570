#include "shell/main_form.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace tavrin::form {

const TControl& ControlNamed(std::string_view Name) {
  const auto Found = std::find_if(kControls.begin(), kControls.end(),
                                  [Name](const TControl& Control) { return Control.Name == Name; });
  if (Found == kControls.end()) throw std::out_of_range("the main form has no control " + std::string(Name));
  return *Found;
}

TBounds ScaleToDpi(const TBounds& Design, int Dpi) {
  return {ScaleToDpi(Design.Left, Dpi), ScaleToDpi(Design.Top, Dpi), ScaleToDpi(Design.Width, Dpi),
          ScaleToDpi(Design.Height, Dpi)};
}

namespace {

// One axis: the start and the length along it after the client grew by Growth.
void FormAnchorAxis(bool Near, bool Far, int Growth, int& Start, int& Length) {
  if (Near && Far) Length = std::max(0, Length + Growth);
  else if (Far) Start += Growth;
}

}  // namespace

TBounds Anchored(const TControl& Control, const TBounds& Placed, int PlacedWidth, int PlacedHeight,
                 int ClientWidth, int ClientHeight) {
  TBounds Result = Placed;
  FormAnchorAxis(Control.Anchors.Left, Control.Anchors.Right, ClientWidth - PlacedWidth, Result.Left, Result.Width);
  FormAnchorAxis(Control.Anchors.Top, Control.Anchors.Bottom, ClientHeight - PlacedHeight, Result.Top, Result.Height);
  return Result;
}

}  // namespace tavrin::form
