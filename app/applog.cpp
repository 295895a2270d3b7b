// Logging category of the application shell.
#include "applog.h"

Q_LOGGING_CATEGORY(lcApp, "velqor.app")
