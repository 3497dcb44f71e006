#include "app/exit_reason.h"

namespace zeph {

std::atomic<ExitReason> exitReason{ExitReason::NOT_YET_SET};

} // namespace zeph
