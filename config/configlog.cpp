// Logging category of the configuration.
#include "configlog.h"

Q_LOGGING_CATEGORY(lcConfig, "velqor.config")
