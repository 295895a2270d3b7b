// Logging category of the platform queries: processor and graphics-adapter detection.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcSystem)
