// Logging category of the tile store: map files that stall or hold more than a reader takes.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcMapTiles)
