// Logging category of the map view: pages that fail to load and links that are refused.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcMap)
