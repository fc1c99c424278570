#pragma once
// UTF-8 <-> UTF-16 for the Windows implementations (the system's wide-character calls).
// Included only by *_win.cpp files and the Windows side of the tests' helpers.

#include <windows.h>

#include <string>

namespace tavrin::platform {

inline std::wstring Widen(const std::string& Text) {
  if (Text.empty()) return {};
  const int Size = MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()),
                                       nullptr, 0);
  std::wstring Wide(static_cast<std::size_t>(Size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), Wide.data(), Size);
  return Wide;
}

inline std::string Narrow(const wchar_t* Text, std::size_t Length) {
  if (Length == 0) return {};
  const int Size = WideCharToMultiByte(CP_UTF8, 0, Text, static_cast<int>(Length), nullptr, 0,
                                       nullptr, nullptr);
  std::string Narrowed(static_cast<std::size_t>(Size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, Text, static_cast<int>(Length), Narrowed.data(), Size, nullptr,
                      nullptr);
  return Narrowed;
}

inline std::string Narrow(const std::wstring& Text) { return Narrow(Text.data(), Text.size()); }

}  // namespace tavrin::platform
