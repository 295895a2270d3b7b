// Tests of the playlist model: pairing, duplicates, columns, neighbours and its parsing threads.
#include "playlist/playlistmodel.h"

#include "recording.h"

#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int Patience = 10000; // ms; generous for a loaded two-core machine
// Long enough that a row's thread does not start while a test looks at the row.
constexpr int Later = 3600 * 1000;

const QString Front = QStringLiteral("20200101_120000F.MP4");
const QString Rear = QStringLiteral("20200101_120000R.MP4");

QFileInfo touch(const QString &path, qint64 size = 0)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !file.resize(size)) {
        qWarning() << "cannot write" << path;
    }
    return QFileInfo(path);
}

void writeRecording(const QString &path, int seconds)
{
    Drive drive;
    drive.seconds = seconds;
    Recording recording;
    recording.source = ParserObject::Gps0Box;
    recording.records = drive.records();
    recording.width = 2560;
    recording.height = 1440;
    recording.sampleEntry = "hvc1";
    QVERIFY(recording.write(path));
}

VideoInfo infoOf(int seconds, int width = 1920, int height = 1080)
{
    VideoInfo info;
    info.duration = seconds;
    info.width = width;
    info.height = height;
    info.frameRate = 30.0f;
    info.videoCodec = 2;
    return info;
}

} // namespace

class TestPlaylistModel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void frontThenRearShareRow();
    void rearThenFrontTakesOverRow();
    void takeOverIgnoresEarlierFileInformation();
    void sameNameIsAddedOnce();
    void shortNameIsItsOwnBase();
    void directoryIsRefused();
    void rearFileIsFirstFileByName();
    void columnsShowFileInformation();
    void formatsSizes_data();
    void formatsSizes();
    void neighbours();
    void outOfRangeIds();
    void forwardsParserResults();
    void relativeFileIsParsed();
    void destroyedWhileParsing();

private:
    QString path(const QString &name) const { return mDir->filePath(name); }

    QScopedPointer<QTemporaryDir> mDir;
    QScopedPointer<PlaylistModel> mModel;
};

void TestPlaylistModel::init()
{
    mDir.reset(new QTemporaryDir);
    QVERIFY(mDir->isValid());
    mModel.reset(new PlaylistModel);
}

void TestPlaylistModel::cleanup()
{
    mModel.reset();
    mDir.reset();
}

void TestPlaylistModel::frontThenRearShareRow()
{
    bool isNew = false;
    QCOMPARE(mModel->addFile(touch(path(Front)), Later, &isNew), 0);
    QVERIFY(isNew);
    QCOMPARE(mModel->addFile(touch(path(Rear)), Later, &isNew), 0);
    QVERIFY(!isNew);
    QCOMPARE(mModel->rowCount(), 1);
    QCOMPARE(mModel->item(0)->fileName, Front);
    QCOMPARE(mModel->rearFileUrl(mModel->item(0)), QUrl::fromLocalFile(path(Rear)));
}

void TestPlaylistModel::rearThenFrontTakesOverRow()
{
    bool isNew = false;
    QCOMPARE(mModel->addFile(touch(path("other.MP4")), Later, &isNew), 0);
    QCOMPARE(mModel->addFile(touch(path(Rear)), Later, &isNew), 1);
    QVERIFY(isNew);
    QCOMPARE(mModel->rearFileUrl(mModel->item(1)), QUrl());

    QSignalSpy changed(mModel.data(), &QAbstractItemModel::dataChanged);
    isNew = false;
    QCOMPARE(mModel->addFile(touch(path(Front), 2048), Later, &isNew), 1);
    QVERIFY(isNew);
    QCOMPARE(mModel->rowCount(), 2);
    const PlaylistItem *row = mModel->item(1);
    QCOMPARE(row->fileName, Front);
    QCOMPARE(row->url, QUrl::fromLocalFile(path(Front)));
    QCOMPARE(row->size, 2048);
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex().row(), 1);
    QCOMPARE(mModel->rearFileUrl(row), QUrl::fromLocalFile(path(Rear)));
}

void TestPlaylistModel::takeOverIgnoresEarlierFileInformation()
{
    // The rear file's run has sent its information, still undelivered, when the front file
    // takes the row over; the wait for that run delivers it, and it must not stick to the row.
    writeRecording(path(Rear), 20);
    QCOMPARE(mModel->addFile(QFileInfo(path(Rear)), Later, nullptr), 0);
    VideoParser *parser = mModel->item(0)->parser;
    QAtomicInt sent;
    connect(
            parser, &VideoParser::videoInfoChanged, parser, [&sent] { sent.ref(); },
            Qt::DirectConnection);
    mModel->requestAllGpsData(0);
    QDeadlineTimer deadline(Patience);
    while (sent.loadAcquire() == 0 && !deadline.hasExpired()) {
        QThread::msleep(1);
    }
    QVERIFY(sent.loadAcquire() > 0);

    QCOMPARE(mModel->addFile(touch(path(Front)), Later, nullptr), 0);
    QCOMPARE(mModel->item(0)->fileName, Front);
    QCOMPARE(mModel->duration(0), 0);
    QCOMPARE(mModel->resolution(0), QSize(0, 0));
    QCOMPARE(mModel->index(0, 4).data().toString(), QString("0 x 0"));
}

void TestPlaylistModel::sameNameIsAddedOnce()
{
    QVERIFY(QDir(mDir->path()).mkdir("copy"));
    bool isNew = false;
    QCOMPARE(mModel->addFile(touch(path("a.mp4")), Later, &isNew), 0);
    QCOMPARE(mModel->addFile(touch(path("clip.mov")), Later, &isNew), 1);
    QCOMPARE(mModel->addFile(touch(path("clip.mov")), Later, &isNew), 1);
    QVERIFY(!isNew);
    isNew = true;
    QCOMPARE(mModel->addFile(touch(path("copy/clip.mov")), Later, &isNew), 1);
    QVERIFY(!isNew);
    QCOMPARE(mModel->rowCount(), 2);
    QCOMPARE(mModel->item(1)->url, QUrl::fromLocalFile(path("clip.mov")));
}

void TestPlaylistModel::shortNameIsItsOwnBase()
{
    // With an empty base every name would pair with every row.
    QCOMPARE(mModel->addFile(touch(path("F.MP4")), Later, nullptr), 0);
    QCOMPARE(mModel->addFile(touch(path("R.MP4")), Later, nullptr), 1);
    QCOMPARE(mModel->rowCount(), 2);
}

void TestPlaylistModel::directoryIsRefused()
{
    bool isNew = true;
    QCOMPARE(mModel->addFile(QFileInfo(mDir->path()), 0, &isNew), -1);
    QVERIFY(isNew);
    QCOMPARE(mModel->rowCount(), 0);
}

void TestPlaylistModel::rearFileIsFirstFileByName()
{
    // A folder named like a rear recording is no partner; of two rear files the first by name.
    QDir dir(mDir->path());
    QVERIFY(dir.mkdir("20200101_120000R.AVI"));
    touch(path("20200101_120000R.MP4"));
    touch(path("20200101_120000R.MOV"));
    mModel->addFile(touch(path(Front)), Later, nullptr);
    QCOMPARE(mModel->rearFileUrl(mModel->item(0)),
             QUrl::fromLocalFile(path("20200101_120000R.MOV")));
    QCOMPARE(mModel->rearFileUrl(nullptr), QUrl());

    // Pattern characters in a name are plain text.
    mModel->addFile(touch(path("clip[1]F.MP4")), Later, nullptr);
    touch(path("clip1R.MP4"));
    QCOMPARE(mModel->rearFileUrl(mModel->item(1)), QUrl());
    touch(path("clip[1]R.MP4"));
    QCOMPARE(mModel->rearFileUrl(mModel->item(1)), QUrl::fromLocalFile(path("clip[1]R.MP4")));
}

void TestPlaylistModel::columnsShowFileInformation()
{
    const QFileInfo file = touch(path("clip.mp4"), 1023);
    mModel->addFile(file, Later, nullptr);
    QCOMPARE(mModel->columnCount(), 5);
    QCOMPARE(mModel->headerData(0, Qt::Horizontal).toString(), QString("File Name"));
    QCOMPARE(mModel->headerData(4, Qt::Horizontal).toString(), QString("Resolution"));
    QVERIFY(!mModel->headerData(5, Qt::Horizontal).isValid());
    QCOMPARE(mModel->headerData(0, Qt::Vertical).toInt(), 0);
    QVERIFY(!mModel->headerData(1, Qt::Vertical).isValid());

    const auto cell = [this](int column) { return mModel->index(0, column).data().toString(); };
    QCOMPARE(cell(0), QString("clip.mp4"));
    QCOMPARE(cell(1), QString("00:00:00"));
    QCOMPARE(cell(2), file.metadataChangeTime().toString("yyyy/MM/dd hh:mm:ss"));
    QCOMPARE(cell(3), QString("1023 bytes"));
    QCOMPARE(cell(4), QString("0 x 0"));
    QCOMPARE(mModel->index(0, 3).data(Qt::TextAlignmentRole).toInt(), 132);

    QSignalSpy changed(mModel.data(), &QAbstractItemModel::dataChanged);
    mModel->onVideoInfoChanged(0, infoOf(3725));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(cell(1), QString("01:02:05"));
    QCOMPARE(cell(4), QString("1920 x 1080"));
    QCOMPARE(mModel->duration(0), 3725);
    QCOMPARE(mModel->frameRate(0), 30.0f);
    QCOMPARE(mModel->videoCodec(0), 2);

    // Information for a row that does not exist changes nothing.
    mModel->onVideoInfoChanged(1, infoOf(10));
    mModel->onVideoInfoChanged(-1, infoOf(10));
    QCOMPARE(changed.count(), 1);
    QVERIFY(!mModel->index(1, 0).isValid());
    QVERIFY(!mModel->index(0, 5).isValid());
    QVERIFY(!mModel->index(0, 0, mModel->index(0, 0)).isValid());
    QCOMPARE(mModel->rowCount(mModel->index(0, 0)), 0);
}

void TestPlaylistModel::formatsSizes_data()
{
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("below a kilobyte") << qint64(1023) << "1023 bytes";
    QTest::newRow("one kilobyte") << qint64(1024) << "1 KB";
    QTest::newRow("rounded") << qint64(1536) << "2 KB";
    QTest::newRow("megabytes") << qint64(15728640) << "15 MB";
    QTest::newRow("largest") << std::numeric_limits<qint64>::max() << "8 EB";
}

void TestPlaylistModel::formatsSizes()
{
    QFETCH(qint64, bytes);
    QFETCH(QString, text);
    QCOMPARE(PlaylistModel::formatSize(bytes, 0), text);
}

void TestPlaylistModel::neighbours()
{
    for (const char *name : {"a1.mp4", "b1.mp4", "c1.mp4"}) {
        mModel->addFile(touch(path(name)), Later, nullptr);
    }
    const auto url = [this](int id) { return mModel->item(id)->url; };
    QCOMPARE(mModel->nextItem(url(0)), mModel->item(1));
    QCOMPARE(mModel->nextItem(url(2)), nullptr);
    QCOMPARE(mModel->previousItem(url(2)), mModel->item(1));
    QCOMPARE(mModel->previousItem(url(0)), nullptr);
    QCOMPARE(mModel->nextItem(QUrl::fromLocalFile(path("none.mp4"))), nullptr);
    QCOMPARE(mModel->previousItem(QUrl()), nullptr);
}

void TestPlaylistModel::outOfRangeIds()
{
    mModel->addFile(touch(path("clip.mp4")), Later, nullptr);
    for (int id : {-1, 1, 1000}) {
        QCOMPARE(mModel->item(id), nullptr);
        QCOMPARE(mModel->resolution(id), QSize(1920, 1080));
        QCOMPARE(mModel->videoCodec(id), 1);
        QCOMPARE(mModel->duration(id), 0);
        mModel->setCurrentSecond(id, 3);
        mModel->requestAllGpsData(id);
    }
    QVERIFY(!mModel->item(0)->parser->isRunning());
}

void TestPlaylistModel::forwardsParserResults()
{
    writeRecording(path(Rear), 20);
    writeRecording(path(Front), 45);
    QSignalSpy lists(mModel.data(), &PlaylistModel::allGpsDataParserFinished);
    QSignalSpy samples(mModel.data(), &PlaylistModel::gpsDataChanged);

    mModel->addFile(touch(path("first.mp4")), Later, nullptr);
    QCOMPARE(mModel->addFile(QFileInfo(path(Rear)), 0, nullptr), 1);
    QTRY_COMPARE_WITH_TIMEOUT(mModel->duration(1), 20, Patience);
    QCOMPARE(mModel->resolution(1), QSize(2560, 1440));
    QCOMPARE(mModel->videoCodec(1), 2);
    mModel->setCurrentSecond(1, 7);
    QTRY_VERIFY_WITH_TIMEOUT(!samples.isEmpty(), Patience);
    QCOMPARE(samples.at(0).at(0).toInt(), 1);
    QCOMPARE(samples.at(0).at(1).value<GpsData>().index, 7);

    // The front file takes the serving row over; its own run starts from scratch.
    QCOMPARE(mModel->addFile(QFileInfo(path(Front)), 0, nullptr), 1);
    mModel->requestAllGpsData(1);
    QTRY_COMPARE_WITH_TIMEOUT(lists.count(), 1, Patience);
    QCOMPARE(lists.at(0).at(0).toInt(), 1);
    QCOMPARE(lists.at(0).at(1).value<QList<GpsData>>().size(), 46);
    QCOMPARE(mModel->duration(1), 45);
}

void TestPlaylistModel::relativeFileIsParsed()
{
    const QString previous = QDir::currentPath();
    const auto restore = qScopeGuard([&previous] { QDir::setCurrent(previous); });
    QVERIFY(QDir::setCurrent(mDir->path()));
    writeRecording("relative.MP4", 20);
    mModel->addFile(QFileInfo("relative.MP4"), 0, nullptr);
    const QUrl url = mModel->item(0)->url;
    QTRY_COMPARE_WITH_TIMEOUT(mModel->duration(0), 20, Patience);
    QVERIFY(url.isLocalFile());
    QCOMPARE(url.toLocalFile(), QString("relative.MP4"));
}

void TestPlaylistModel::destroyedWhileParsing()
{
    // Rows serving, rows still parsing and rows waiting for their start: destruction ends every
    // thread before freeing it, which a thread left running would abort.
    for (int i = 0; i < 24; ++i) {
        const QString name = path(QString("clip%1.mp4").arg(i, 2, 10, QChar('0')));
        writeRecording(name, i < 8 ? 60 : 3600);
        mModel->addFile(QFileInfo(name), i < 16 ? 0 : Later, nullptr);
    }
    QSignalSpy lists(mModel.data(), &PlaylistModel::allGpsDataParserFinished);
    for (int id = 0; id < 4; ++id) {
        mModel->requestAllGpsData(id);
        mModel->setCurrentSecond(id, 5);
    }
    QTRY_COMPARE_WITH_TIMEOUT(lists.count(), 4, Patience);
    mModel->requestAllGpsData(20);
    mModel.reset();
}

QTEST_GUILESS_MAIN(TestPlaylistModel)
#include "tst_playlistmodel.moc"
