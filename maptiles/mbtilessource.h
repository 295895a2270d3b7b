// MBTiles reader: an SQLite file of tiles in TMS rows and a name/value metadata table.
#pragma once

#include "tilesource.h"

#include <QDeadlineTimer>
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
    MbTilesSource(const QString &connection, const QString &path);
    bool bindToDriver(TileSourceError *error, QString *detail);
    bool readInfo(TileSourceError *error, QString *detail);
    // Gives the statements that follow this long, together, before SQLite interrupts them.
    void allowTime(int ms);
    // Runs a statement of the opening up to its first row; false, with what went wrong in
    // error and detail, when it fails, runs out of time or has no row.
    bool firstRow(QSqlQuery *query, const QString &statement, const QString &noRow,
                  TileSourceError *error, QString *detail) const;
    // True, with the outcome set, when the last statement was interrupted for its time.
    bool timedOut(TileSourceError *error, QString *detail) const;
    static int progress(void *source);
    QByteArray decoded(const QByteArray &stored) const;

    QString mConnection;
    QString mPath;
    // Prepared once: every tile request only binds and runs it.
    std::unique_ptr<QSqlQuery> mTileQuery;
    TileSourceInfo mInfo;
    QDeadlineTimer mDeadline;
    bool mInterrupted = false;
    bool mStalled = false;
};
