// Table model of the loaded recordings, with front/rear pairing and each row's parsing thread.
#include "playlistmodel.h"

#include "export/recordingname.h"

#include <QCoreApplication>
#include <QDir>
#include <QSignalBlocker>
#include <QStringList>
#include <QTime>

namespace {

constexpr int ColumnCount = 5;

bool containsText(const QString &text, const QString &part)
{
    return text.indexOf(part, 0, Qt::CaseInsensitive) >= 0;
}

} // namespace

PlaylistModel::PlaylistModel(QObject *parent)
    : QAbstractItemModel(parent)
{ }

PlaylistModel::~PlaylistModel()
{
    QList<VideoParser *> parsers;
    parsers.reserve(mItems.size());
    for (const PlaylistItem *row : qAsConst(mItems)) {
        parsers.append(row->parser);
    }
    {
        // Results of the ending runs are still delivered while waiting, but a model on its way
        // out passes none of them on.
        const QSignalBlocker blocker(this);
        VideoParser::stopAndWait(parsers);
    }
    beginResetModel();
    const QList<PlaylistItem *> rows = mItems;
    mItems.clear();
    endResetModel();
    qDeleteAll(rows);
}

int PlaylistModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : mItems.size();
}

int PlaylistModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QModelIndex PlaylistModel::index(int row, int column, const QModelIndex &parent) const
{
    if (parent.isValid() || row < 0 || row >= mItems.size() || column < 0
        || column >= ColumnCount) {
        return QModelIndex();
    }
    return createIndex(row, column);
}

QModelIndex PlaylistModel::parent(const QModelIndex &) const
{
    return QModelIndex();
}

QVariant PlaylistModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= mItems.size()) {
        return QVariant();
    }
    if (role == Qt::TextAlignmentRole) {
        return int(Qt::AlignHCenter | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole) {
        return QVariant();
    }
    const PlaylistItem *row = mItems.at(index.row());
    switch (index.column()) {
    case 0:
        return row->fileName;
    case 1:
        return QTime(0, 0).addSecs(row->duration).toString(QStringLiteral("HH:mm:ss"));
    case 2:
        return row->dateTime.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss"));
    case 3:
        return formatSize(row->size, 0);
    case 4:
        return QStringLiteral("%1 x %2").arg(row->resolution.width()).arg(row->resolution.height());
    default:
        return QVariant();
    }
}

QVariant PlaylistModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole) {
        return QVariant();
    }
    if (orientation == Qt::Vertical) {
        return section >= 0 && section < mItems.size() ? QVariant(section) : QVariant();
    }
    switch (section) {
    case 0:
        return tr("File Name");
    case 1:
        return tr("Length");
    case 2:
        return tr("Date time");
    case 3:
        return tr("Size");
    case 4:
        return tr("Resolution");
    default:
        return QVariant();
    }
}

int PlaylistModel::addFile(const QFileInfo &info, int delayMs, bool *isNew)
{
    if (info.isDir()) {
        return -1;
    }
    bool ignored = false;
    if (!isNew) {
        isNew = &ignored;
    }
    *isNew = false;
    const QString name = info.fileName();

    // A name is held once only, whichever directory it comes from.
    for (const PlaylistItem *row : qAsConst(mItems)) {
        if (row->fileName == name) {
            return row->id;
        }
    }

    const QString base = RecordingName::sharedBase(name);
    PlaylistItem *partner = nullptr;
    for (PlaylistItem *row : qAsConst(mItems)) {
        if (containsText(row->fileName, base)) {
            partner = row;
            break;
        }
    }
    if (partner) {
        if (RecordingName::isFront(name)) {
            // The front file takes the row that its rear file had; the rear one stays reachable
            // through rearFileUrl.
            if (RecordingName::isRear(partner->fileName)) {
                *isNew = true;
                takeOver(partner, info, delayMs);
                return partner->id;
            }
        } else if (RecordingName::isRear(name) && RecordingName::isFront(partner->fileName)) {
            return partner->id;
        }
    }
    *isNew = true;
    return appendRow(info, delayMs);
}

PlaylistItem *PlaylistModel::item(int id) const
{
    return id >= 0 && id < mItems.size() ? mItems.at(id) : nullptr;
}

int PlaylistModel::duration(int id) const
{
    const PlaylistItem *row = item(id);
    return row ? row->duration : 0;
}

float PlaylistModel::frameRate(int id) const
{
    const PlaylistItem *row = item(id);
    return row ? row->frameRate : 0.0f;
}

QSize PlaylistModel::resolution(int id) const
{
    const PlaylistItem *row = item(id);
    return row ? row->resolution : QSize(1920, 1080);
}

int PlaylistModel::videoCodec(int id) const
{
    const PlaylistItem *row = item(id);
    return row ? row->videoCodec : 1;
}

void PlaylistModel::setCurrentSecond(int id, int second)
{
    if (PlaylistItem *row = item(id)) {
        row->parser->setCurrentSecond(second);
    }
}

void PlaylistModel::requestAllGpsData(int id)
{
    if (PlaylistItem *row = item(id)) {
        row->parser->requestAllGpsData();
    }
}

void PlaylistModel::stopAllParsers()
{
    for (PlaylistItem *row : qAsConst(mItems)) {
        row->parser->stopParsing();
    }
}

PlaylistItem *PlaylistModel::nextItem(const QUrl &url) const
{
    for (int i = 0; i < mItems.size(); ++i) {
        if (mItems.at(i)->url == url) {
            return item(i + 1);
        }
    }
    return nullptr;
}

PlaylistItem *PlaylistModel::previousItem(const QUrl &url) const
{
    for (int i = 1; i < mItems.size(); ++i) {
        if (mItems.at(i)->url == url) {
            return mItems.at(i - 1);
        }
    }
    return nullptr;
}

QUrl PlaylistModel::rearFileUrl(const PlaylistItem *item) const
{
    if (!item || RecordingName::isRear(item->fileName)) {
        return QUrl();
    }
    // Only files can be partners, and sorting by name makes the choice among several the same
    // on every file system. The base name is matched as plain text, as it may hold characters
    // that a wildcard filter would take for patterns.
    const QString base = RecordingName::sharedBase(item->fileName);
    const QDir dir = QFileInfo(item->url.toLocalFile()).absoluteDir();
    const QFileInfoList entries = dir.entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo &entry : entries) {
        const QString name = entry.fileName();
        if (name != item->fileName && containsText(name, base) && RecordingName::isRear(name)) {
            return QUrl::fromLocalFile(entry.absoluteFilePath());
        }
    }
    return QUrl();
}

QString PlaylistModel::formatSize(qint64 bytes, int precision)
{
    // Built once: a later change of language keeps the names the first use saw.
    static const QStringList units = {
            QCoreApplication::translate("QInstaller", "bytes"),
            QCoreApplication::translate("QInstaller", "KB"),
            QCoreApplication::translate("QInstaller", "MB"),
            QCoreApplication::translate("QInstaller", "GB"),
            QCoreApplication::translate("QInstaller", "TB"),
            QCoreApplication::translate("QInstaller", "PB"),
            QCoreApplication::translate("QInstaller", "EB"),
            QCoreApplication::translate("QInstaller", "ZB"),
            QCoreApplication::translate("QInstaller", "YB"),
    };
    double value = double(bytes);
    int unit = 0;
    while (value >= 1024.0 && unit + 1 < units.size()) {
        value /= 1024.0;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(value, 0, 'f', precision).arg(units.at(unit));
}

void PlaylistModel::onVideoInfoChanged(int mId, VideoInfo info)
{
    PlaylistItem *row = item(mId);
    if (!row) {
        return;
    }
    row->duration = info.duration;
    row->resolution = QSize(info.width, info.height);
    row->videoCodec = info.videoCodec;
    row->frameRate = info.frameRate;
    emitRowChanged(mId);
}

QUrl PlaylistModel::urlOf(const QFileInfo &info)
{
    return QUrl::fromLocalFile(info.isAbsolute() ? info.absoluteFilePath() : info.filePath());
}

void PlaylistModel::takeOver(PlaylistItem *row, const QFileInfo &info, int delayMs)
{
    // The previous file's run is ended before the row changes: what it sent is delivered while
    // waiting for it, and must not overwrite the fields of the new file. The new run cannot start
    // before this returns to the event loop.
    const QUrl url = urlOf(info);
    row->parser->parseFile(url, row->id, delayMs);
    row->fileName = info.fileName();
    row->duration = 0;
    row->dateTime = info.birthTime();
    row->size = info.size();
    row->resolution = QSize(0, 0);
    row->url = url;
    emitRowChanged(row->id);
}

int PlaylistModel::appendRow(const QFileInfo &info, int delayMs)
{
    const int id = mItems.size();
    beginInsertRows(QModelIndex(), id, id);
    auto *row = new PlaylistItem;
    row->id = id;
    row->fileName = info.fileName();
    row->dateTime = info.metadataChangeTime();
    row->size = info.size();
    row->url = urlOf(info);
    mItems.append(row);
    connect(row->parser, &VideoParser::gpsDataChanged, this, &PlaylistModel::gpsDataChanged);
    connect(row->parser, &VideoParser::allGpsDataParserFinished, this,
            &PlaylistModel::allGpsDataParserFinished);
    connect(row->parser, &VideoParser::videoInfoChanged, this, &PlaylistModel::onVideoInfoChanged);
    row->parser->parseFile(row->url, id, delayMs);
    endInsertRows();
    emitRowChanged(id);
    return id;
}

void PlaylistModel::emitRowChanged(int id)
{
    emit dataChanged(index(id, 0), index(id, ColumnCount - 1));
}
