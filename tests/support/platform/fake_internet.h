#pragma once
// A scripted stand-in for the system's internet client: responses per URL
// (raw headers, the body in blocks, failures with error codes at every call)
// and system option values (proxy record, credentials). Every call is
// recorded with its arguments, in order.
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/internet_client.h"

namespace testing_support {

class FakeInternet : public platform::IInternetClient {
 public:
  // System error codes the fake uses by default.
  static constexpr std::uint32_t kErrorInvalidHandle = 6;
  static constexpr std::uint32_t kErrorInsufficientBuffer = 122;
  static constexpr std::uint32_t kErrorTimeout = 12002;
  static constexpr std::uint32_t kErrorNameNotResolved = 12007;
  static constexpr std::uint32_t kErrorInvalidOption = 12009;
  static constexpr std::uint32_t kErrorCannotConnect = 12029;
  static constexpr std::uint32_t kErrorConnectionReset = 12031;
  static constexpr std::uint32_t kErrorHeaderNotFound = 12150;

  struct Response {
    std::string headers;              // raw header text, lines ending in CR LF
    std::vector<std::string> blocks;  // one block per read (split when a read asks for less)
    std::optional<std::uint32_t> openUrlError;    // InternetOpenUrl fails with this code
    std::optional<std::uint32_t> queryInfoError;  // the headers cannot be read
    std::optional<std::uint32_t> readError;       // after the blocks, the next read fails
  };
  // "HTTP/1.1 <status>" with the body in blocks of blockSize bytes, with or
  // without a Content-Length line giving the body's size.
  static Response Page(const std::string& body, bool announceLength = true, std::size_t blockSize = 65536,
                       const std::string& status = "200 OK");

  void Serve(const std::string& url, Response response);
  // The answer to a request for url whose headers ask for "Range: bytes=from-";
  // range requests without an answer of their own get the url's answer.
  void ServeRange(const std::string& url, std::uint64_t from, Response response);
  // URLs nobody serves fail to open with this code.
  std::uint32_t unknownUrlError = kErrorNameNotResolved;

  // System defaults returned by QueryOption. Unset options fail with
  // unsetOptionError. Texts are returned zero-terminated, the length without
  // the zero, as the system does.
  void SetSystemText(std::uint32_t option, const std::string& text);
  // The proxy record, laid out as the system does: the record at the start of
  // the caller's buffer, its texts behind it, the addresses pointing there.
  void SetSystemProxy(std::uint32_t accessType, const std::string& proxy, const std::string& bypass);
  void FailSystemOption(std::uint32_t option, std::uint32_t error);
  std::uint32_t unsetOptionError = kErrorInvalidOption;

  std::optional<std::uint32_t> openError;  // InternetOpen fails with this code
  bool setOptionResult = true;

  enum class Fn { QueryOption, Open, SetOption, OpenUrl, QueryInfo, ReadFile, CloseHandle, GetLastError, Sleep };
  struct Call {
    explicit Call(Fn f) : fn(f) {}
    Fn fn;
    platform::InternetHandle handle = nullptr;  // the handle argument
    std::uint32_t option = 0;               // option number or info level
    std::uint32_t length = 0;  // buffer size passed in (QueryOption, QueryInfo), length (SetOption,
                               // OpenUrl's headers), bytes asked for (ReadFile), milliseconds (Sleep)
    std::uint32_t index = 0;        // QueryInfo's header index passed in
    std::uint32_t accessType = 0;   // Open
    std::uint32_t flags = 0;        // Open, OpenUrl
    std::uintptr_t context = 0;     // OpenUrl
    std::string text;               // Open: agent; OpenUrl: URL
    std::optional<std::string> proxy, bypass;  // Open's proxy and bypass arguments (nullopt: none)
    std::string bytes;              // SetOption: the bytes passed; OpenUrl: the headers
    // SetOption of the proxy record: the texts its addresses point to.
    std::optional<std::string> recordProxy, recordBypass;
    std::uint32_t recordAccessType = 0;
    bool result = false;
    platform::InternetHandle returned = nullptr;  // Open, OpenUrl
    std::uint32_t count = 0;  // ReadFile: bytes delivered; QueryOption/QueryInfo: length written
  };

  // platform::IInternetClient
  bool QueryOption(std::uint32_t option, void* buffer, std::uint32_t* length) override;
  platform::InternetHandle Open(const char* agent, std::uint32_t accessType, const char* proxy, const char* bypass,
                            std::uint32_t flags) override;
  bool SetOption(platform::InternetHandle handle, std::uint32_t option, const void* buffer,
                 std::uint32_t length) override;
  platform::InternetHandle OpenUrl(platform::InternetHandle internet, const char* url, const char* headers,
                               std::uint32_t headersLength, std::uint32_t flags, std::uintptr_t context) override;
  bool QueryInfo(platform::InternetHandle request, std::uint32_t infoLevel, void* buffer, std::uint32_t* length,
                 std::uint32_t* index) override;
  bool ReadFile(platform::InternetHandle request, void* buffer, std::uint32_t toRead, std::uint32_t* read) override;
  bool CloseHandle(platform::InternetHandle handle) override;
  std::uint32_t GetLastError() override;
  void Sleep(std::uint32_t milliseconds) override;

  // What was called, in order.
  std::vector<Call> Calls() const;
  std::vector<Call> CallsTo(Fn fn) const;
  std::vector<Fn> Sequence() const;  // without GetLastError and Sleep
  // Handles handed out and not closed yet.
  std::size_t OpenHandles() const;
  // URLs opened so far, in order (also those that failed to open).
  std::vector<std::string> OpenedUrls() const;

 private:
  struct Option {
    std::optional<std::uint32_t> error;
    std::string text;
    bool isProxy = false;
    std::uint32_t accessType = 0;
    std::string proxy, bypass;
  };
  struct HandleState {
    bool isRequest = false;
    Response response;
    std::size_t block = 0, offset = 0;
  };
  platform::InternetHandle NewHandle(HandleState state);
  bool Fail(std::uint32_t error);

  mutable std::mutex mutex_;
  std::map<std::string, Response> responses_;
  std::map<std::pair<std::string, std::uint64_t>, Response> rangeResponses_;
  std::map<std::uint32_t, Option> options_;
  std::map<platform::InternetHandle, HandleState> handles_;
  std::uintptr_t nextHandle_ = 0x1000;
  std::uint32_t lastError_ = 0;
  std::vector<Call> calls_;
};

}  // namespace testing_support
