#include "support/platform/fake_internet.h"

#include <algorithm>
#include <cstring>

namespace testing_support {

FakeInternet::Response FakeInternet::Page(const std::string& body, bool announceLength, std::size_t blockSize,
                                          const std::string& status) {
  Response r;
  r.headers = "HTTP/1.1 " + status + "\r\nServer: fake\r\nContent-Type: application/octet-stream\r\n";
  if (announceLength) r.headers += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  r.headers += "\r\n";
  if (blockSize == 0) blockSize = body.size();
  for (std::size_t pos = 0; pos < body.size(); pos += blockSize) r.blocks.push_back(body.substr(pos, blockSize));
  return r;
}

void FakeInternet::Serve(const std::string& url, Response response) {
  std::lock_guard lock(mutex_);
  responses_[url] = std::move(response);
}

void FakeInternet::ServeRange(const std::string& url, std::uint64_t from, Response response) {
  std::lock_guard lock(mutex_);
  rangeResponses_[{url, from}] = std::move(response);
}

namespace {

// The first byte a request's "Range: bytes=N-" header asks for.
std::optional<std::uint64_t> RangeStart(const std::string& headers) {
  const std::string prefix = "Range: bytes=";
  const std::size_t at = headers.find(prefix);
  if (at == std::string::npos) return std::nullopt;
  return std::stoull(headers.substr(at + prefix.size()));
}

}  // namespace

void FakeInternet::SetSystemText(std::uint32_t option, const std::string& text) {
  std::lock_guard lock(mutex_);
  Option o;
  o.text = text;
  options_[option] = o;
}

void FakeInternet::SetSystemProxy(std::uint32_t accessType, const std::string& proxy, const std::string& bypass) {
  std::lock_guard lock(mutex_);
  Option o;
  o.isProxy = true;
  o.accessType = accessType;
  o.proxy = proxy;
  o.bypass = bypass;
  options_[platform::kOptionProxy] = o;
}

void FakeInternet::FailSystemOption(std::uint32_t option, std::uint32_t error) {
  std::lock_guard lock(mutex_);
  Option o;
  o.error = error;
  options_[option] = o;
}

bool FakeInternet::Fail(std::uint32_t error) {
  lastError_ = error;
  return false;
}

platform::InternetHandle FakeInternet::NewHandle(HandleState state) {
  auto h = reinterpret_cast<platform::InternetHandle>(nextHandle_);
  nextHandle_ += 0x10;
  handles_[h] = std::move(state);
  return h;
}

bool FakeInternet::QueryOption(std::uint32_t option, void* buffer, std::uint32_t* length) {
  std::lock_guard lock(mutex_);
  Call c(Fn::QueryOption);
  c.option = option;
  c.length = *length;
  auto it = options_.find(option);
  if (it == options_.end()) {
    c.result = Fail(unsetOptionError);
  } else if (it->second.error) {
    c.result = Fail(*it->second.error);
  } else if (it->second.isProxy) {
    const Option& o = it->second;
    const std::size_t need = sizeof(platform::ProxyInfoRecord) + o.proxy.size() + 1 + o.bypass.size() + 1;
    if (*length < need) {
      *length = static_cast<std::uint32_t>(need);
      c.result = Fail(kErrorInsufficientBuffer);
    } else {
      auto* base = static_cast<char*>(buffer);
      char* proxyText = base + sizeof(platform::ProxyInfoRecord);
      char* bypassText = proxyText + o.proxy.size() + 1;
      std::memcpy(proxyText, o.proxy.c_str(), o.proxy.size() + 1);
      std::memcpy(bypassText, o.bypass.c_str(), o.bypass.size() + 1);
      platform::ProxyInfoRecord record{o.accessType, proxyText, bypassText};
      std::memcpy(base, &record, sizeof record);
      *length = static_cast<std::uint32_t>(need);
      c.result = true;
    }
  } else {
    const std::string& text = it->second.text;
    if (*length < text.size() + 1) {
      *length = static_cast<std::uint32_t>(text.size() + 1);
      c.result = Fail(kErrorInsufficientBuffer);
    } else {
      std::memcpy(buffer, text.c_str(), text.size() + 1);
      *length = static_cast<std::uint32_t>(text.size());
      c.result = true;
    }
  }
  c.count = c.result ? *length : 0;
  calls_.push_back(c);
  return c.result;
}

platform::InternetHandle FakeInternet::Open(const char* agent, std::uint32_t accessType, const char* proxy,
                                        const char* bypass, std::uint32_t flags) {
  std::lock_guard lock(mutex_);
  Call c(Fn::Open);
  c.text = agent ? agent : "";
  c.accessType = accessType;
  if (proxy) c.proxy = proxy;
  if (bypass) c.bypass = bypass;
  c.flags = flags;
  if (openError) {
    Fail(*openError);
  } else {
    c.returned = NewHandle({});
    c.result = true;
  }
  calls_.push_back(c);
  return c.returned;
}

bool FakeInternet::SetOption(platform::InternetHandle handle, std::uint32_t option, const void* buffer,
                             std::uint32_t length) {
  std::lock_guard lock(mutex_);
  Call c(Fn::SetOption);
  c.handle = handle;
  c.option = option;
  c.length = length;
  if (buffer) c.bytes.assign(static_cast<const char*>(buffer), length);
  if (option == platform::kOptionProxy && buffer && length >= sizeof(platform::ProxyInfoRecord)) {
    platform::ProxyInfoRecord record;
    std::memcpy(&record, buffer, sizeof record);
    c.recordAccessType = record.accessType;
    if (record.proxy) c.recordProxy = record.proxy;
    if (record.proxyBypass) c.recordBypass = record.proxyBypass;
  }
  auto it = handles_.find(handle);
  if (it == handles_.end() || it->second.isRequest) {
    c.result = Fail(kErrorInvalidHandle);
  } else if (!setOptionResult) {
    c.result = Fail(kErrorInvalidOption);
  } else {
    c.result = true;
  }
  calls_.push_back(c);
  return c.result;
}

platform::InternetHandle FakeInternet::OpenUrl(platform::InternetHandle internet, const char* url, const char* headers,
                                           std::uint32_t headersLength, std::uint32_t flags,
                                           std::uintptr_t context) {
  std::lock_guard lock(mutex_);
  Call c(Fn::OpenUrl);
  c.handle = internet;
  c.text = url ? url : "";
  if (headers) c.bytes = headersLength == 0xFFFFFFFFu ? std::string(headers) : std::string(headers, headersLength);
  c.length = headersLength;
  c.flags = flags;
  c.context = context;
  auto h = handles_.find(internet);
  const Response* response = nullptr;
  if (auto r = responses_.find(c.text); r != responses_.end()) response = &r->second;
  if (const auto from = RangeStart(c.bytes)) {
    if (auto r = rangeResponses_.find({c.text, *from}); r != rangeResponses_.end()) response = &r->second;
  }
  if (h == handles_.end() || h->second.isRequest) {
    Fail(kErrorInvalidHandle);
  } else if (!response) {
    Fail(unknownUrlError);
  } else if (response->openUrlError) {
    Fail(*response->openUrlError);
  } else {
    HandleState state;
    state.isRequest = true;
    state.response = *response;
    c.returned = NewHandle(std::move(state));
    c.result = true;
  }
  calls_.push_back(c);
  return c.returned;
}

bool FakeInternet::QueryInfo(platform::InternetHandle request, std::uint32_t infoLevel, void* buffer,
                             std::uint32_t* length, std::uint32_t* index) {
  std::lock_guard lock(mutex_);
  Call c(Fn::QueryInfo);
  c.handle = request;
  c.option = infoLevel;
  c.length = *length;
  c.index = index ? *index : 0;
  auto it = handles_.find(request);
  if (it == handles_.end() || !it->second.isRequest) {
    c.result = Fail(kErrorInvalidHandle);
  } else if (it->second.response.queryInfoError) {
    c.result = Fail(*it->second.response.queryInfoError);
  } else if (infoLevel != platform::kQueryRawHeadersCrlf) {
    c.result = Fail(kErrorHeaderNotFound);
  } else {
    const std::string& text = it->second.response.headers;
    if (*length < text.size() + 1) {
      *length = static_cast<std::uint32_t>(text.size() + 1);
      c.result = Fail(kErrorInsufficientBuffer);
    } else {
      std::memcpy(buffer, text.c_str(), text.size() + 1);
      *length = static_cast<std::uint32_t>(text.size());
      c.count = *length;
      c.result = true;
    }
  }
  calls_.push_back(c);
  return c.result;
}

bool FakeInternet::ReadFile(platform::InternetHandle request, void* buffer, std::uint32_t toRead, std::uint32_t* read) {
  std::lock_guard lock(mutex_);
  Call c(Fn::ReadFile);
  c.handle = request;
  c.length = toRead;
  *read = 0;
  auto it = handles_.find(request);
  if (it == handles_.end() || !it->second.isRequest) {
    c.result = Fail(kErrorInvalidHandle);
  } else {
    HandleState& s = it->second;
    // Empty blocks in the script are skipped: a read of 0 bytes is the end.
    while (s.block < s.response.blocks.size() && s.offset >= s.response.blocks[s.block].size()) {
      ++s.block;
      s.offset = 0;
    }
    if (s.block < s.response.blocks.size()) {
      const std::string& b = s.response.blocks[s.block];
      const std::size_t n = std::min<std::size_t>(toRead, b.size() - s.offset);
      std::memcpy(buffer, b.data() + s.offset, n);
      s.offset += n;
      *read = static_cast<std::uint32_t>(n);
      c.count = *read;
      c.result = true;
    } else if (s.response.readError) {
      c.result = Fail(*s.response.readError);
    } else {
      c.result = true;
    }
  }
  calls_.push_back(c);
  return c.result;
}

bool FakeInternet::CloseHandle(platform::InternetHandle handle) {
  std::lock_guard lock(mutex_);
  Call c(Fn::CloseHandle);
  c.handle = handle;
  c.result = handles_.erase(handle) == 1 ? true : Fail(kErrorInvalidHandle);
  calls_.push_back(c);
  return c.result;
}

std::uint32_t FakeInternet::GetLastError() {
  std::lock_guard lock(mutex_);
  Call c(Fn::GetLastError);
  c.count = lastError_;
  calls_.push_back(c);
  return lastError_;
}

void FakeInternet::Sleep(std::uint32_t milliseconds) {
  std::lock_guard lock(mutex_);
  Call c(Fn::Sleep);
  c.length = milliseconds;
  calls_.push_back(c);
}

std::vector<FakeInternet::Call> FakeInternet::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

std::vector<FakeInternet::Call> FakeInternet::CallsTo(Fn fn) const {
  std::lock_guard lock(mutex_);
  std::vector<Call> r;
  for (const Call& c : calls_) {
    if (c.fn == fn) r.push_back(c);
  }
  return r;
}

std::vector<FakeInternet::Fn> FakeInternet::Sequence() const {
  std::lock_guard lock(mutex_);
  std::vector<Fn> r;
  for (const Call& c : calls_) {
    if (c.fn != Fn::GetLastError && c.fn != Fn::Sleep) r.push_back(c.fn);
  }
  return r;
}

std::size_t FakeInternet::OpenHandles() const {
  std::lock_guard lock(mutex_);
  return handles_.size();
}

std::vector<std::string> FakeInternet::OpenedUrls() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> r;
  for (const Call& c : calls_) {
    if (c.fn == Fn::OpenUrl) r.push_back(c.text);
  }
  return r;
}

}  // namespace testing_support
