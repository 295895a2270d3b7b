// Map provider codes shared by the configuration store and the map view.
#pragma once

#include <QMetaType>

enum MapTypes : int { Baidu = 0, Google = 1 };

Q_DECLARE_METATYPE(MapTypes)
