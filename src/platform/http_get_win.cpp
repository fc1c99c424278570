#include "platform/http_get.h"

#include <windows.h>
#include <wininet.h>

#include <vector>

#include "platform/utf16_win.h"

namespace tavrin::platform {
namespace {

class TInternetHandle {
 public:
  explicit TInternetHandle(HINTERNET Handle) : FHandle(Handle) {}
  ~TInternetHandle() {
    if (FHandle != nullptr) InternetCloseHandle(FHandle);
  }
  TInternetHandle(const TInternetHandle&) = delete;
  TInternetHandle& operator=(const TInternetHandle&) = delete;
  HINTERNET Get() const { return FHandle; }
  explicit operator bool() const { return FHandle != nullptr; }

 private:
  HINTERNET FHandle;
};

void SetTimeout(HINTERNET Handle, DWORD Option, std::chrono::seconds Time) {
  DWORD Milliseconds = static_cast<DWORD>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Time).count());
  InternetSetOptionW(Handle, Option, &Milliseconds, sizeof(Milliseconds));
}

}  // namespace

std::optional<std::string> TSystemHttpGet::Get(const std::string& Url,
                                               const std::string& UserAgent) {
  const std::wstring WideUrl = Widen(Url);
  const TInternetHandle Root(InternetOpenW(Widen(UserAgent).c_str(),
                                           INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!Root) return std::nullopt;
  SetTimeout(Root.Get(), INTERNET_OPTION_CONNECT_TIMEOUT, FTimeouts.Connect);
  SetTimeout(Root.Get(), INTERNET_OPTION_RECEIVE_TIMEOUT, FTimeouts.Stall);
  // No extra headers, no flags (the library's ordinary caching applies), no context.
  const TInternetHandle Request(
      InternetOpenUrlW(Root.Get(), WideUrl.c_str(), nullptr, 0, 0, 0));
  if (!Request) return std::nullopt;

  std::string Body;
  std::vector<char> Chunk(kHttpReadChunkBytes);
  for (;;) {
    DWORD Read = 0;
    if (!InternetReadFile(Request.Get(), Chunk.data(), static_cast<DWORD>(Chunk.size()), &Read) ||
        Read == 0) {
      break;
    }
    if (Body.size() + Read > kHttpBodyMaxBytes) return std::nullopt;
    Body.append(Chunk.data(), Read);
  }
  return Body;
}

}  // namespace tavrin::platform
