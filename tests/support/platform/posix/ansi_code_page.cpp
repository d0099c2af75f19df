#include "support/platform/ansi_code_page.h"

#include <cstdlib>

namespace testing_support {

// The native build converts to the code page AUTOUPDATE_ANSI_CODESET names.
ChineseAnsiCodePage::ChineseAnsiCodePage() { ::setenv("AUTOUPDATE_ANSI_CODESET", "CP936", 1); }
ChineseAnsiCodePage::~ChineseAnsiCodePage() { ::unsetenv("AUTOUPDATE_ANSI_CODESET"); }

}  // namespace testing_support
