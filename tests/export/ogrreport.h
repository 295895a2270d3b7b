// What GDAL's ogrinfo reads in a file, for the tests that check exports with a real reader.
#pragma once

#include <QString>

// ogrinfo's report of every layer of the file, or nothing when it is not installed.
QString ogrReport(const QString &file);
