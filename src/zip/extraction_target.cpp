#include "zip/extraction_target.h"

#include "platform/file_info.h"

namespace zip {

void IExtractionTarget::FolderCreated(const std::string&) {}
void IExtractionTarget::Decoding(const std::string&) {}
void IExtractionTarget::Decoded(const uint8_t*, size_t) {}
bool IExtractionTarget::Replace(const std::string& decoded, const std::string& target) {
  return platform::MoveFileOver(decoded, target);
}
void IExtractionTarget::Written(const std::string&) {}
void IExtractionTarget::Failed(const std::string&, EntryFailure) {}

}  // namespace zip
