#include "platform/http_get.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

namespace tavrin::platform {
namespace {

struct TBody {
  std::string Bytes;
  bool TooLong = false;
};

std::size_t AppendBody(char* Data, std::size_t Size, std::size_t Count, void* Target) {
  auto& Body = *static_cast<TBody*>(Target);
  const std::size_t Bytes = Size * Count;
  if (Body.Bytes.size() + Bytes > kHttpBodyMaxBytes) {
    Body.TooLong = true;
    return 0;  // anything short of Bytes aborts the transfer
  }
  Body.Bytes.append(Data, Bytes);
  return Bytes;
}

struct TCurlCleanup {
  void operator()(CURL* Handle) const { curl_easy_cleanup(Handle); }
};

bool InitialiseLibrary() {
  static std::once_flag Once;
  static bool Initialised = false;
  std::call_once(Once, [] { Initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
  return Initialised;
}

}  // namespace

std::optional<std::string> TSystemHttpGet::Get(const std::string& Url,
                                               const std::string& UserAgent) {
  if (!InitialiseLibrary()) return std::nullopt;
  const std::unique_ptr<CURL, TCurlCleanup> Handle(curl_easy_init());
  if (!Handle) return std::nullopt;
  CURL* Curl = Handle.get();
  TBody Body;
  // The proxy comes from the usual environment variables (http_proxy, no_proxy, ...),
  // libcurl's default, which is this system's preconfigured proxy.
  curl_easy_setopt(Curl, CURLOPT_URL, Url.c_str());
  curl_easy_setopt(Curl, CURLOPT_USERAGENT, UserAgent.c_str());
  curl_easy_setopt(Curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(Curl, CURLOPT_NOSIGNAL, 1L);  // no signals: any thread may ask
  curl_easy_setopt(Curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(FTimeouts.Connect.count()));
  // Less than one byte a second for the stall time ends the transfer.
  curl_easy_setopt(Curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(Curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(FTimeouts.Stall.count()));
  curl_easy_setopt(Curl, CURLOPT_WRITEFUNCTION, &AppendBody);
  curl_easy_setopt(Curl, CURLOPT_WRITEDATA, &Body);

  const CURLcode Result = curl_easy_perform(Curl);
  if (Body.TooLong) return std::nullopt;
  if (Result != CURLE_OK) {
    long Status = 0;
    curl_easy_getinfo(Curl, CURLINFO_RESPONSE_CODE, &Status);
    // No status line: the URL never opened. After it, a failed read keeps what came.
    if (Status == 0) return std::nullopt;
  }
  return std::move(Body.Bytes);
}

}  // namespace tavrin::platform
