// Logging category of the configuration: the settings file and the interface catalogue.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcConfig)
