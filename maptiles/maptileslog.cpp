// Logging category of the tile store.
#include "maptileslog.h"

Q_LOGGING_CATEGORY(lcMapTiles, "velqor.maptiles")
