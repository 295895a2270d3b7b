// Logging category of the export: output files that cannot be created or written.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcExport)
