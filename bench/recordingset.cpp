// Folders of generated recordings for the archive benchmark, written once and reused later.
#include "recordingset.h"

#include "mp4writer.h"
#include "recording.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaEnum>

namespace {

// Every place a camera stores its telemetry, in the container and picture size it comes with.
struct Place
{
    ParserObject::SampleSource source;
    const char *suffix;
    int width;
    int height;
};

const Place Places[RecordingSet::PlaceCount] = {
        {ParserObject::ExtTrack, "MP4", 1920, 1080},
        {ParserObject::GpsBox, "MOV", 1920, 1080},
        {ParserObject::SoundTrack, "MP4", 1920, 1080},
        {ParserObject::Gps0Box, "MP4", 2560, 1440},
        {ParserObject::GpsMetaTrack, "MP4", 1920, 1080},
        {ParserObject::AviGpsList, "AVI", 1280, 720},
        {ParserObject::AviAudioChunk, "AVI", 1280, 720},
};

// Recording k starts k lengths after the first one and stores its telemetry at place k mod 7,
// so that every place has its share and the names sort in time order, as a card's do.
QDateTime startOf(int k, int seconds)
{
    return QDateTime(QDate(2020, 1, 1), QTime(0, 0)).addSecs(qint64(k) * seconds);
}

QString nameOf(int k, int seconds)
{
    const Place &place = Places[k % RecordingSet::PlaceCount];
    return QStringLiteral("%1_%2.%3")
            .arg(startOf(k, seconds).toString(QStringLiteral("yyyyMMdd_hhmmss")),
                 QString::fromLatin1(QMetaEnum::fromType<ParserObject::SampleSource>().valueToKey(
                         place.source)),
                 QString::fromLatin1(place.suffix));
}

bool write(const QString &path, int k, int seconds)
{
    const Place &place = Places[k % RecordingSet::PlaceCount];
    Drive drive;
    drive.start = startOf(k, seconds);
    drive.seconds = seconds;
    const bool avi = place.source == ParserObject::AviGpsList
                     || place.source == ParserObject::AviAudioChunk;
    Recording recording;
    recording.source = place.source;
    recording.records = drive.records();
    recording.width = place.width;
    recording.height = place.height;
    // About 6.4 Mbit/s of video; sound as cameras store it (AAC in MP4, PCM in AVI).
    recording.videoBytesPerSecond = 800000;
    recording.audioBytesPerSecond = avi ? 32000 : 16000;
    recording.creationTime = Mp4Writer::timestamp(drive.start);
    recording.brand = qstrcmp(place.suffix, "MOV") == 0 ? "qt  " : "isom";
    recording.sampleEntry = place.width > 1920 ? "hvc1" : "avc1";
    recording.movieFirst = place.source == ParserObject::GpsMetaTrack;
    return recording.write(path);
}

bool setMark(const QString &path, const QByteArray &text)
{
    QFile mark(path);
    return mark.open(QIODevice::WriteOnly | QIODevice::Truncate) && mark.write(text) == text.size()
           && mark.flush();
}

} // namespace

std::optional<RecordingSet> RecordingSet::prepare(const QString &folder, int count, int seconds,
                                                  QString *error)
{
    // The mark tells an earlier bench's folder, finished or cut short, from someone's files.
    const QByteArray stamp
            = QStringLiteral("%1 recordings of %2 s").arg(count).arg(seconds).toUtf8();
    const QString markPath = QDir(folder).filePath(QStringLiteral(".velqor-bench"));
    QFile mark(markPath);
    const bool ours = mark.open(QIODevice::ReadOnly);
    RecordingSet set;
    set.folder = folder;
    set.reused = ours && mark.readAll() == stamp + ", complete";
    mark.close();
    if (!ours && QDir(folder).exists() && !QDir(folder).isEmpty()) {
        *error = QStringLiteral("%1 holds other files; give an empty folder or an earlier "
                                "benchmark's")
                         .arg(folder);
        return std::nullopt;
    }
    if (!set.reused && !(QDir().mkpath(folder) && setMark(markPath, stamp))) {
        *error = QStringLiteral("cannot write %1").arg(markPath);
        return std::nullopt;
    }
    for (int k = 0; k < count; ++k) {
        const QString path = QDir(folder).filePath(nameOf(k, seconds));
        if (!set.reused && !write(path, k, seconds)) {
            *error = QStringLiteral("cannot write %1").arg(path);
            return std::nullopt;
        }
        set.files.append(path);
        set.bytes += QFileInfo(path).size();
    }
    if (!set.reused && !setMark(markPath, stamp + ", complete")) {
        *error = QStringLiteral("cannot write %1").arg(markPath);
        return std::nullopt;
    }
    return set;
}
