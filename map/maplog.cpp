// Logging category of the map view.
#include "maplog.h"

Q_LOGGING_CATEGORY(lcMap, "velqor.map")
