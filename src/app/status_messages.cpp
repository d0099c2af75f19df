#include "app/status_messages.h"

#include <cstring>

namespace app {

char* NewStatusText(std::string_view text) {
  char* block = new char[text.size() + 1]();
  std::memcpy(block, text.data(), text.size());
  return block;
}

void FreeStatusText(char* text) noexcept { delete[] text; }

}  // namespace app
