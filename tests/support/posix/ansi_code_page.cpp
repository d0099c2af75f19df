#include "support/ansi_code_page.h"

#include "platform/posix/host_path.h"

namespace testing_support {

ChineseAnsiCodePage::ChineseAnsiCodePage() { platform::posix::SetAnsiEncoding("CP936"); }
ChineseAnsiCodePage::~ChineseAnsiCodePage() { platform::posix::SetAnsiEncoding(""); }

}  // namespace testing_support
