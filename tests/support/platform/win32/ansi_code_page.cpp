#include "support/platform/ansi_code_page.h"

namespace testing_support {

// The test prefix runs with code page 936.
ChineseAnsiCodePage::ChineseAnsiCodePage() = default;
ChineseAnsiCodePage::~ChineseAnsiCodePage() = default;

}  // namespace testing_support
