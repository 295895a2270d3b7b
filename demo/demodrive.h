// The demo drive: consecutive front and rear camera clips with telemetry along one route.
#pragma once

#include "clipencoder.h"

#include "samplerecord.h"

#include <parser/parserobject.h>

#include <QDir>
#include <QTextStream>
#include <QVector>

struct DemoOptions
{
    int clips = 4; // MP4 clip pairs; one AVI pair follows them
    int seconds = 60; // per clip
    QSize size = QSize(1280, 720); // front camera; the rear one has half the width and height
    int framesPerSecond = 30;
};

struct DemoFile
{
    QString name; // as the camera names it, "20241005_143000_F.MP4"
    ClipVideo video;
    ParserObject::SampleSource source = ParserObject::None;
    QVector<SampleRecord> records;
};

// Every file of the drive in order, each clip's front file before its rear file. The MP4 files
// take turns over three storage places, so that a drive of two clips already shows all three.
QVector<DemoFile> demoFiles(const DemoOptions &options);

// Writes the files that dir lacks; each appears under its name only once it is complete, so an
// interrupted run is finished by the next one. Returns an empty string, or what failed.
QString writeDemoDrive(const QDir &dir, const QVector<DemoFile> &files, QTextStream &log);
