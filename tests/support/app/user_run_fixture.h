#pragma once
// Engine runs as the user sees them: the engine's notices are the
// application's own, shown in recorded message boxes, so that tests read
// exactly what the user would.
#include "app/user_notices.h"
#include "support/engine/engine_fixture.h"

namespace app_testing {

using UserRunTest = engine_testing::EngineRun<app::UserNotices>;

}  // namespace app_testing
