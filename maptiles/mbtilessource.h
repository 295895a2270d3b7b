// MBTiles reader: an SQLite file of tiles in TMS rows and a name/value metadata table.
#pragma once

#include "tilesource.h"

#include <QSqlQuery>

class MbTilesSource : public TileSource
{
public:
    ~MbTilesSource() override;
    static std::unique_ptr<MbTilesSource> open(const QString &path, TileSourceError *error,
                                               QString *detail);
    const TileSourceInfo &info() const override { return mInfo; }
    QByteArray tile(int z, int x, int y) override;

private:
    explicit MbTilesSource(const QString &connection);
    bool readInfo(TileSourceError *error, QString *detail);
    QByteArray decoded(const QByteArray &stored) const;

    QString mConnection;
    // Prepared once: every tile request only binds and runs it.
    std::unique_ptr<QSqlQuery> mTileQuery;
    TileSourceInfo mInfo;
};
