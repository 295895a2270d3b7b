// Addresses of the offline map's tiles: the built-in base map and the file the user chose.
#pragma once

#include <QString>
#include <QUrl>

constexpr char TileUrlScheme[] = "velqor-map";

struct TileUrl
{
    enum class Map { Base, File };
    Map map = Map::Base;
    // Which opening of the user's file the page asks for; 0 for the base map.
    quint64 generation = 0;
    int z = 0;
    int x = 0;
    int y = 0;
};

// velqor-map://base/{z}/{x}/{y} or velqor-map://tiles/<generation>/{z}/{x}/{y}, with plain
// decimal numbers; false for anything else. Coordinates outside the grid still parse: such a
// tile is merely absent.
bool parseTileUrl(const QUrl &url, TileUrl *out);
QString baseTileUrlTemplate();
QString fileTileUrlTemplate(quint64 generation);
