// Logging category of the platform queries.
#include "systemlog.h"

Q_LOGGING_CATEGORY(lcSystem, "velqor.system")
