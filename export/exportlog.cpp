// Logging category of the export.
#include "exportlog.h"

Q_LOGGING_CATEGORY(lcExport, "velqor.export")
