#pragma once
// A small document read into memory, up to a cap: a server that sends more
// (by mistake, or to fill the memory of a process running as administrator)
// is refused before the excess is kept.
#include <cstddef>
#include <stdexcept>
#include <string>

#include "http/fetcher.h"

namespace http {

// The cap for the manifest, its signature and the configuration template.
inline constexpr std::size_t kSmallDocumentCap = std::size_t{16} * 1024 * 1024;

// The document is larger than its cap; the message names it, for the user.
class DocumentTooLargeError : public std::runtime_error {
 public:
  DocumentTooLargeError(const std::string& fileName, std::size_t cap);
};

class CappedStringSink : public IBodySink {
 public:
  // fileName is only for the message.
  CappedStringSink(std::string& body, std::string fileName, std::size_t cap = kSmallDocumentCap);
  // An announced length above the cap is refused before any byte is read.
  bool Accept(const ResponseHead& head) override;
  void Write(std::string_view block) override;

 private:
  std::string& body_;
  std::string fileName_;
  std::size_t cap_;
};

}  // namespace http
