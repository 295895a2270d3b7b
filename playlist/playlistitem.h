// One playlist row: a recording, its file information and its own parsing thread.
#pragma once

#include "parser/videoparser.h"

#include <QDateTime>
#include <QSize>
#include <QString>
#include <QUrl>

class PlaylistItem
{
public:
    PlaylistItem();
    // Ends the row's thread before any field goes away, since its queued results may still be
    // delivered while the thread is waited for.
    ~PlaylistItem();

    int id = 0;
    QString fileName;
    int duration = 0;
    float frameRate = 0.0f;
    QDateTime dateTime;
    qint64 size = 0;
    QSize resolution{0, 0};
    VideoParser *const parser;
    QUrl url;
    int videoCodec = 0;

private:
    Q_DISABLE_COPY(PlaylistItem)
};
