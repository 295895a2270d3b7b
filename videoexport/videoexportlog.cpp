// Logging category of the video export.
#include "videoexportlog.h"

Q_LOGGING_CATEGORY(lcVideoExport, "velqor.videoexport")
