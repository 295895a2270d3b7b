// Logging category of the map view: pages that fail to load, links refused, map files not opened.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcMap)
