#include "http/capped_string_sink.h"

namespace http {
namespace {

std::string CapText(std::size_t cap) {
  constexpr std::size_t kMiB = 1024 * 1024;
  return cap % kMiB == 0 ? std::to_string(cap / kMiB) + " MB" : std::to_string(cap) + " 字节";
}

}  // namespace

DocumentTooLargeError::DocumentTooLargeError(const std::string& fileName, std::size_t cap)
    : std::runtime_error("服务器上的文件“" + fileName + "”超过 " + CapText(cap) + "，不予读取。") {}

CappedStringSink::CappedStringSink(std::string& body, std::string fileName, std::size_t cap)
    : body_(body), fileName_(std::move(fileName)), cap_(cap) {}

bool CappedStringSink::Accept(const ResponseHead& head) {
  if (head.announced > 0 && static_cast<std::uint64_t>(head.announced) > cap_) {
    throw DocumentTooLargeError(fileName_, cap_);
  }
  return true;
}

void CappedStringSink::Write(std::string_view block) {
  if (body_.size() > cap_ || block.size() > cap_ - body_.size()) throw DocumentTooLargeError(fileName_, cap_);
  body_.append(block);
}

}  // namespace http
