// Table model of the loaded recordings, with front/rear pairing and each row's parsing thread.
#pragma once

#include "playlistitem.h"

#include <QAbstractItemModel>
#include <QFileInfo>
#include <QList>

class PlaylistModel : public QAbstractItemModel
{
    Q_OBJECT

public:
    explicit PlaylistModel(QObject *parent = nullptr);
    ~PlaylistModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex index(int row, int column,
                      const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    using QObject::parent;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Returns the row id of the file (an existing one for a known name or a paired front/rear
    // file), or -1 for a directory. isNew tells whether the file got or took over a row, whose
    // parsing then starts after delayMs.
    int addFile(const QFileInfo &info, int delayMs, bool *isNew);

    PlaylistItem *item(int id) const;
    int duration(int id) const;
    float frameRate(int id) const;
    QSize resolution(int id) const;
    int videoCodec(int id) const;

    void setCurrentSecond(int id, int second);
    void requestAllGpsData(int id);
    void stopAllParsers();

    PlaylistItem *nextItem(const QUrl &url) const;
    PlaylistItem *previousItem(const QUrl &url) const;
    QUrl rearFileUrl(const PlaylistItem *item) const;

    static QString formatSize(qint64 bytes, int precision);

signals:
    void gpsDataChanged(int mId, GpsData data);
    void allGpsDataParserFinished(int mId, QList<GpsData> dataList);

public slots:
    void onVideoInfoChanged(int mId, VideoInfo info);

private:
    static QUrl urlOf(const QFileInfo &info);
    void takeOver(PlaylistItem *row, const QFileInfo &info, int delayMs);
    int appendRow(const QFileInfo &info, int delayMs);
    void emitRowChanged(int id);

    QList<PlaylistItem *> mItems;
};
