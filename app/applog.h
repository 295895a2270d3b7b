// Logging category of the application shell: start-up, window chrome and platform requests.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcApp)
