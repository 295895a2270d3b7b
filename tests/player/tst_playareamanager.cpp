// Play area manager: display modes, two real players driven together, restarts and drops.
#include "player/playareamanager.h"

#include "config/configuration.h"
#include "playbacktestutil.h"
#include "player/playerwidget.h"
#include "playlist/playlistitem.h"
#include "testrecordings.h"

#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using PlaybackTest::missingBackendReason;

namespace {

const int kTimeout = 30000;

bool isPlaying(QMediaPlayer *player)
{
    return player->state() == QMediaPlayer::PlayingState;
}

} // namespace

class TestPlayAreaManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void wholeSecondsRoundsHalvesUp_data();
    void wholeSecondsRoundsHalvesUp();
    void acceptableRecordingNames_data();
    void acceptableRecordingNames();
    void singlePlayerShowModes();
    void twoPlayerShowModes();
    void frontPlayerReportsStateDurationAndPosition();
    void rearFollowsMutedAtFrontRate();
    void seekAndSliderMoveBothPlayers();
    void sliderWhileStoppedOnlyReportsZero();
    void volumeZeroKeepsStoredVolume();
    void resizeRestartsPlayback();
    void fullScreenFrontHoldsRear();
    void resourceErrorRestartsExistingRecording();
    void resourceErrorStopsWhenFileHasGone();
    void missingRecordingStopsWithoutRestart();
    void screenshotCapturesBothRecordings();
    void dropKeepsOnlyRecordingFiles();
    void dragEnterAcceptsRecordings();
    void preparedClipTakesOver_data();
    void preparedClipTakesOver();
    void preparedClipIsDropped_data();
    void preparedClipIsDropped();
    void preparedClipOfARowTakenOver();

private:
    // Loads the item (and the rear recording when given) the way the main window does.
    void load(const QString &front, const QString &rear = QString());
    bool startBoth();
    PlayAreaManager *manager();
    PlayerWidget *frontWidget();
    PlayerWidget *rearWidget();
    // The players that stay once those let go of have gone.
    QList<PlayerWidget *> remainingPlayers();
    QMediaPlayer *front() { return frontWidget()->mediaPlayer(); }
    QMediaPlayer *rear() { return rearWidget() ? rearWidget()->mediaPlayer() : nullptr; }

    QTemporaryDir mTemp;
    QString mFront;
    QString mRear;
    QString mShort;
    QString mShotDir;
    PlayAreaManager *mManager = nullptr;
    PlaylistItem *mItem = nullptr;
    PlaylistItem *mNext = nullptr;
};

void TestPlayAreaManager::initTestCase()
{
    QVERIFY(mTemp.isValid());
    qRegisterMetaType<ShowMode>();
    qRegisterMetaType<QMediaPlayer::State>();
    mShotDir = mTemp.filePath(QStringLiteral("shots"));
    PlaybackTest::isolateSettings(mShotDir);
    // Long enough that a loaded machine does not reach the end in the middle of a test.
    mFront = TestRecordings::make(mTemp.path(), QStringLiteral("20200101_120000F.MP4"),
                                  TestRecordings::Codec::H264, 10);
    mRear = TestRecordings::make(mTemp.path(), QStringLiteral("20200101_120000R.MP4"),
                                 TestRecordings::Codec::H265, 10);
    mShort = TestRecordings::make(mTemp.path(), QStringLiteral("20200101_130000F.MOV"));
    QVERIFY(!mShort.isEmpty());
    QVERIFY(!mFront.isEmpty());
    QVERIFY(!mRear.isEmpty());
}

void TestPlayAreaManager::init()
{
    mItem = new PlaylistItem;
    mItem->id = 7;
    mItem->resolution = QSize(320, 240);
    mNext = new PlaylistItem;
    mNext->id = 8;
    mNext->resolution = QSize(320, 240);
}

void TestPlayAreaManager::cleanup()
{
    delete mManager;
    mManager = nullptr;
    delete mItem;
    mItem = nullptr;
    delete mNext;
    mNext = nullptr;
    QDir(mShotDir).removeRecursively();
}

PlayAreaManager *TestPlayAreaManager::manager()
{
    // Made on first use: every media player costs seconds of video-sink probing.
    if (!mManager) {
        mManager = new PlayAreaManager;
        mManager->resize(640, 240);
        mManager->show();
        if (!QTest::qWaitForWindowExposed(mManager))
            qWarning("play area not exposed");
    }
    return mManager;
}

void TestPlayAreaManager::load(const QString &frontFile, const QString &rearFile)
{
    const QUrl rearUrl = rearFile.isEmpty() ? QUrl() : QUrl::fromLocalFile(rearFile);
    mItem->url = QUrl::fromLocalFile(frontFile);
    manager()->stop();
    manager()->setPlayFrontOrRear(true, !rearUrl.isEmpty());
    manager()->setPlayerCount(rearUrl.isEmpty() ? 1 : 2);
    manager()->setMedia(mItem, rearUrl);
}

bool TestPlayAreaManager::startBoth()
{
    manager()->play();
    const bool started = QTest::qWaitFor(
            [this] {
                if (front()->error() != QMediaPlayer::NoError
                    || (rear() && rear()->error() != QMediaPlayer::NoError))
                    return true;
                return isPlaying(front()) && front()->position() > 0
                       && (!rear() || (isPlaying(rear()) && rear()->position() > 0));
            },
            kTimeout);
    return started && front()->error() == QMediaPlayer::NoError
           && (!rear() || rear()->error() == QMediaPlayer::NoError);
}

PlayerWidget *TestPlayAreaManager::frontWidget()
{
    // The front player is created first and is replaced only by a prepared clip.
    return manager()->findChildren<PlayerWidget *>().value(0);
}

PlayerWidget *TestPlayAreaManager::rearWidget()
{
    return manager()->findChildren<PlayerWidget *>().value(1);
}

QList<PlayerWidget *> TestPlayAreaManager::remainingPlayers()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return manager()->findChildren<PlayerWidget *>();
}

#define START_BOTH_OR_SKIP() \
    do { \
        if (!startBoth()) { \
            QString reason = missingBackendReason(*front()); \
            if (reason.isEmpty() && rear()) \
                reason = missingBackendReason(*rear()); \
            if (!reason.isEmpty()) \
                QSKIP(qPrintable(reason)); \
            QFAIL("playback did not start"); \
        } \
    } while (false)

void TestPlayAreaManager::wholeSecondsRoundsHalvesUp_data()
{
    QTest::addColumn<qint64>("position");
    QTest::addColumn<qint64>("second");
    QTest::newRow("start") << qint64(0) << qint64(0);
    QTest::newRow("below half") << qint64(499) << qint64(0);
    QTest::newRow("half") << qint64(500) << qint64(1);
    QTest::newRow("1499") << qint64(1499) << qint64(1);
    QTest::newRow("1500") << qint64(1500) << qint64(2);
    QTest::newRow("long") << qint64(3599999) << qint64(3600);
}

void TestPlayAreaManager::wholeSecondsRoundsHalvesUp()
{
    QFETCH(qint64, position);
    QFETCH(qint64, second);
    QCOMPARE(PlayAreaManager::wholeSeconds(position), second);
}

void TestPlayAreaManager::acceptableRecordingNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("acceptable");
    QTest::newRow("upper-case MOV") << "/cards/clip.MOV" << true;
    QTest::newRow("mp4") << "/cards/clip.mp4" << true;
    QTest::newRow("avi") << "/cards/clip.Avi" << true;
    QTest::newRow("no dot needed") << "/cards/clipmp4" << true;
    QTest::newRow("url text") << "file:///cards/a%20b.mp4" << true;
    QTest::newRow("other file") << "/cards/notes.txt" << false;
    QTest::newRow("directory") << mTemp.path() << false;
}

void TestPlayAreaManager::acceptableRecordingNames()
{
    QFETCH(QString, name);
    QFETCH(bool, acceptable);
    QCOMPARE(PlayAreaManager::isAcceptableRecording(name), acceptable);
}

void TestPlayAreaManager::singlePlayerShowModes()
{
    QSignalSpy modes(manager(), &PlayAreaManager::showModeChanged);
    load(mFront);
    QVERIFY(!rearWidget());
    for (ShowMode requested : {FrontRear, Rear, Front})
        manager()->setShowMode(requested);
    QCOMPARE(modes.count(), 3);
    for (const QList<QVariant> &mode : modes)
        QCOMPARE(mode.first().value<ShowMode>(), Front);
    QVERIFY(frontWidget()->isVisible());

    // A recording with only a rear camera plays in the front player and is shown as the rear.
    manager()->setPlayFrontOrRear(false, true);
    manager()->setShowMode(FrontRear);
    QCOMPARE(modes.last().first().value<ShowMode>(), Rear);
    QVERIFY(frontWidget()->isVisible());
    // Neither camera offered: the previous choice stays.
    manager()->setPlayFrontOrRear(false, false);
    manager()->setShowMode(Front);
    QCOMPARE(modes.last().first().value<ShowMode>(), Rear);
}

void TestPlayAreaManager::twoPlayerShowModes()
{
    QSignalSpy modes(manager(), &PlayAreaManager::showModeChanged);
    load(mFront, mRear);
    QVERIFY(rearWidget());

    manager()->setShowMode(Rear);
    QVERIFY(!frontWidget()->isVisible());
    QVERIFY(rearWidget()->isVisible());
    manager()->setShowMode(Front);
    QVERIFY(frontWidget()->isVisible());
    QVERIFY(!rearWidget()->isVisible());
    manager()->setShowMode(FrontRear);
    QVERIFY(frontWidget()->isVisible());
    QVERIFY(rearWidget()->isVisible());
    QCOMPARE(modes.count(), 3);
    QCOMPARE(modes.at(0).first().value<ShowMode>(), Rear);
    QCOMPARE(modes.at(1).first().value<ShowMode>(), Front);
    QCOMPARE(modes.at(2).first().value<ShowMode>(), FrontRear);

    manager()->hidePlayers();
    QVERIFY(!frontWidget()->isVisible());
    QVERIFY(!rearWidget()->isVisible());

    // Back to one player: the rear one is gone, and a later play() re-applies the mode.
    manager()->setPlayerCount(1);
    QCOMPARE(manager()->findChildren<PlayerWidget *>().size(), 1);
    manager()->setShowMode(Rear);
    QCOMPARE(modes.last().first().value<ShowMode>(), Front);
}

void TestPlayAreaManager::frontPlayerReportsStateDurationAndPosition()
{
    QList<QMediaPlayer::State> states;
    connect(manager(), &PlayAreaManager::stateChanged, this,
            [&states](QMediaPlayer::State state) { states << state; });
    QSignalSpy durations(manager(), &PlayAreaManager::durationChanged);
    QSignalSpy positions(manager(), &PlayAreaManager::positionChanged);
    load(mShort, mRear);
    START_BOTH_OR_SKIP();

    QCOMPARE(manager()->state(), QMediaPlayer::PlayingState);
    QCOMPARE(manager()->media().request().url(), mItem->url);
    QTRY_VERIFY_WITH_TIMEOUT(!durations.isEmpty() && durations.last().first().toLongLong() == 3000,
                             kTimeout);
    QTRY_VERIFY_WITH_TIMEOUT(positions.count() >= 2, kTimeout);
    for (const QList<QVariant> &report : positions) {
        QVERIFY(report.at(0).toLongLong() >= 0 && report.at(0).toLongLong() <= 3);
        QCOMPARE(report.at(1).toInt(), 7);
    }

    // The short front recording ends first; the longer rear one plays on unreported.
    QTRY_COMPARE_WITH_TIMEOUT(manager()->state(), QMediaPlayer::StoppedState, kTimeout);
    QVERIFY(isPlaying(rear()));
    QCOMPARE(positions.last().at(0).toLongLong(), qint64(3));
    QCOMPARE(states.first(), QMediaPlayer::PlayingState);
    QCOMPARE(states.last(), QMediaPlayer::StoppedState);
    QCOMPARE(states.count(QMediaPlayer::StoppedState), 1);
}

void TestPlayAreaManager::rearFollowsMutedAtFrontRate()
{
    load(mFront, mRear);
    START_BOTH_OR_SKIP();
    QVERIFY(rear()->isMuted());
    QVERIFY(!front()->isMuted());

    manager()->setPlaybackRate(2.0);
    QCOMPARE(front()->playbackRate(), 2.0);
    QCOMPARE(rear()->playbackRate(), 2.0);

    // Unmuting reaches the rear player too, but only until the next play().
    QSignalSpy muted(manager(), &PlayAreaManager::mutedChanged);
    manager()->setMuted(true);
    manager()->setMuted(false);
    QVERIFY(!rear()->isMuted());
    QCOMPARE(muted.count(), 2);
    front()->setPlaybackRate(0.5);
    manager()->play();
    QVERIFY(rear()->isMuted());
    QVERIFY(!front()->isMuted());
    QCOMPARE(rear()->playbackRate(), 0.5);
    QVERIFY(!Configuration::instance()->isMute());
}

void TestPlayAreaManager::seekAndSliderMoveBothPlayers()
{
    load(mFront, mRear);
    START_BOTH_OR_SKIP();
    manager()->pause();
    QTRY_VERIFY_WITH_TIMEOUT(!isPlaying(front()) && !isPlaying(rear()), kTimeout);

    manager()->seek(2);
    QTRY_VERIFY_WITH_TIMEOUT(front()->position() == 2000 && rear()->position() == 2000, kTimeout);

    // Press pauses; releasing on the second the players stand at resumes without a seek.
    front()->setPosition(2600);
    rear()->setPosition(2600);
    QTRY_VERIFY_WITH_TIMEOUT(front()->position() >= 2600 && rear()->position() >= 2600, kTimeout);
    manager()->onSliderStatusChanged(true, 2);
    QCOMPARE(front()->state(), QMediaPlayer::PausedState);
    manager()->onSliderStatusChanged(false, 2);
    QTRY_VERIFY_WITH_TIMEOUT(isPlaying(front()) && isPlaying(rear()), kTimeout);
    QVERIFY(front()->position() >= 2600);
    QVERIFY(rear()->position() >= 2600);

    // Released on another second: each player goes there, and the first position either
    // reports afterwards is from there.
    manager()->onSliderStatusChanged(true, 3);
    QTRY_VERIFY_WITH_TIMEOUT(!isPlaying(front()) && !isPlaying(rear()), kTimeout);
    QSignalSpy frontPositions(front(), &QMediaPlayer::positionChanged);
    QSignalSpy rearPositions(rear(), &QMediaPlayer::positionChanged);
    manager()->onSliderStatusChanged(false, 0);
    QTRY_VERIFY_WITH_TIMEOUT(!frontPositions.isEmpty() && !rearPositions.isEmpty(), kTimeout);
    QVERIFY(frontPositions.first().first().toLongLong() < 2000);
    QVERIFY(rearPositions.first().first().toLongLong() < 2000);
    QTRY_VERIFY_WITH_TIMEOUT(isPlaying(front()) && isPlaying(rear()), kTimeout);
}

void TestPlayAreaManager::sliderWhileStoppedOnlyReportsZero()
{
    QSignalSpy positions(manager(), &PlayAreaManager::positionChanged);
    manager()->onSliderStatusChanged(false, 5);
    QCOMPARE(positions.count(), 0); // no current recording yet

    load(mFront, mRear);
    manager()->onSliderStatusChanged(true, 5);
    manager()->onSliderStatusChanged(false, 5);
    QCOMPARE(positions.count(), 2);
    QCOMPARE(positions.first(), QList<QVariant>({qint64(0), 7}));
    QCOMPARE(front()->state(), QMediaPlayer::StoppedState);
    QCOMPARE(rear()->state(), QMediaPlayer::StoppedState);
    QCOMPARE(front()->position(), qint64(0));
}

void TestPlayAreaManager::volumeZeroKeepsStoredVolume()
{
    load(mFront, mRear);
    QSignalSpy volumes(manager(), &PlayAreaManager::volumeChanged);
    manager()->setVolume(40);
    QCOMPARE(Configuration::instance()->volume(), 40);
    manager()->setVolume(0);
    QCOMPARE(front()->volume(), 0);
    QCOMPARE(rear()->volume(), 0);
    QCOMPARE(Configuration::instance()->volume(), 40);
    QCOMPARE(volumes.count(), 2);

    manager()->setMuted(true);
    QVERIFY(front()->isMuted());
    QVERIFY(Configuration::instance()->isMute());
    manager()->setMuted(false);
    QVERIFY(!Configuration::instance()->isMute());
}

void TestPlayAreaManager::resizeRestartsPlayback()
{
    load(mFront);
    START_BOTH_OR_SKIP();
    QList<QMediaPlayer::State> states;
    connect(manager(), &PlayAreaManager::stateChanged, this,
            [&states](QMediaPlayer::State state) { states << state; });
    manager()->resize(800, 300);
    QTRY_VERIFY_WITH_TIMEOUT(states.contains(QMediaPlayer::PausedState), kTimeout);
    QTRY_COMPARE_WITH_TIMEOUT(manager()->state(), QMediaPlayer::PlayingState, kTimeout);
}

void TestPlayAreaManager::fullScreenFrontHoldsRear()
{
    load(mFront, mRear);
    START_BOTH_OR_SKIP();

    QTest::mouseDClick(frontWidget(), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(rear()->state(), QMediaPlayer::PausedState, kTimeout);
    QVERIFY(isPlaying(front()));
    // play() keeps holding the rear while the front is full screen.
    manager()->play();
    QTRY_COMPARE_WITH_TIMEOUT(rear()->state(), QMediaPlayer::PausedState, kTimeout);

    QTest::mouseDClick(frontWidget(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(isPlaying(rear()), kTimeout);
    QVERIFY(qAbs(rear()->position() - front()->position()) < 1000);
}

void TestPlayAreaManager::resourceErrorRestartsExistingRecording()
{
    load(mFront, mRear);
    START_BOTH_OR_SKIP();
    emit frontWidget()->videoPlayError(QMediaPlayer::ResourceError);
    emit rearWidget()->videoPlayError(QMediaPlayer::ResourceError);
    QVERIFY(isPlaying(front()));
    QVERIFY(isPlaying(rear()));
    QVERIFY(rear()->isMuted());
    // Other errors are not handled here.
    emit frontWidget()->videoPlayError(QMediaPlayer::FormatError);
    QVERIFY(isPlaying(front()));
}

void TestPlayAreaManager::resourceErrorStopsWhenFileHasGone()
{
    const QString copy = mTemp.filePath(QStringLiteral("copy F.mp4"));
    QVERIFY(QFile::copy(mFront, copy));
    load(copy, mRear);
    START_BOTH_OR_SKIP();
    QVERIFY(QFile::remove(copy));
    emit frontWidget()->videoPlayError(QMediaPlayer::ResourceError);
    QCOMPARE(front()->state(), QMediaPlayer::StoppedState);
    QCOMPARE(rear()->state(), QMediaPlayer::StoppedState);
}

void TestPlayAreaManager::missingRecordingStopsWithoutRestart()
{
    QList<QMediaPlayer::State> states;
    connect(manager(), &PlayAreaManager::stateChanged, this,
            [&states](QMediaPlayer::State state) { states << state; });
    load(mTemp.filePath(QStringLiteral("never written F.mp4")), mRear);
    manager()->play();
    QTRY_VERIFY_WITH_TIMEOUT(front()->error() == QMediaPlayer::ResourceError, kTimeout);
    QTRY_COMPARE_WITH_TIMEOUT(manager()->state(), QMediaPlayer::StoppedState, kTimeout);
    QTRY_COMPARE_WITH_TIMEOUT(rear()->state(), QMediaPlayer::StoppedState, kTimeout);
    QTest::qWait(1000);
    QCOMPARE(manager()->state(), QMediaPlayer::StoppedState);
    // No restart attempt: playback was reported as started at most once.
    QVERIFY(states.count(QMediaPlayer::PlayingState) <= 1);
}

void TestPlayAreaManager::screenshotCapturesBothRecordings()
{
    manager()->screenshot(); // nothing loaded: nothing to capture
    load(mFront, mRear);
    START_BOTH_OR_SKIP();
    manager()->pause();
    QTRY_VERIFY_WITH_TIMEOUT(!isPlaying(front()) && !isPlaying(rear()), kTimeout);
    manager()->screenshot();
    QTRY_COMPARE_WITH_TIMEOUT(QDir(mShotDir).entryList(QDir::Files).size(), 2, 120000);
    const QStringList files = QDir(mShotDir).entryList(QDir::Files, QDir::Name);
    QVERIFY(files.at(0).startsWith(QLatin1String("ScreenShot_20200101_120000F__")));
    QVERIFY(files.at(1).startsWith(QLatin1String("ScreenShot_20200101_120000R__")));
}

void TestPlayAreaManager::dropKeepsOnlyRecordingFiles()
{
    QVERIFY(QDir(mTemp.path()).mkpath(QStringLiteral("folder.mp4")));
    const QString movie = mTemp.filePath(QStringLiteral("CLIP0001.MOV"));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(mTemp.filePath(QStringLiteral("folder.mp4"))),
                  QUrl::fromLocalFile(movie),
                  QUrl::fromLocalFile(mTemp.filePath(QStringLiteral("notes.txt")))});
    QList<QFileInfoList> dropped;
    connect(manager(), &PlayAreaManager::dropFile, this,
            [&dropped](const QFileInfoList &files) { dropped << files; });
    // The application delivers drops only during a real drag, so the event goes straight in.
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    static_cast<QObject *>(manager())->event(&drop);
    QVERIFY(drop.isAccepted());
    QCOMPARE(dropped.count(), 1);
    const QFileInfoList files = dropped.first();
    QCOMPARE(files.size(), 1);
    QCOMPARE(files.first().absoluteFilePath(), movie);

    // Nothing acceptable: nothing reported.
    QMimeData folderOnly;
    folderOnly.setUrls({QUrl::fromLocalFile(mTemp.filePath(QStringLiteral("folder.mp4")))});
    QDropEvent folderDrop(QPointF(10, 10), Qt::CopyAction, &folderOnly, Qt::LeftButton,
                          Qt::NoModifier);
    static_cast<QObject *>(manager())->event(&folderDrop);
    QVERIFY(!folderDrop.isAccepted());
    QCOMPARE(dropped.count(), 1);
}

void TestPlayAreaManager::dragEnterAcceptsRecordings()
{
    QMimeData text;
    text.setUrls({QUrl::fromLocalFile(QStringLiteral("/cards/notes.txt"))});
    QDragEnterEvent refused(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    refused.ignore();
    QApplication::sendEvent(manager(), &refused);
    QVERIFY(!refused.isAccepted());

    QMimeData recordings;
    recordings.setUrls({QUrl::fromLocalFile(QStringLiteral("/cards/notes.txt")),
                        QUrl::fromLocalFile(QStringLiteral("/cards/a.AVI"))});
    QDragEnterEvent accepted(QPoint(10, 10), Qt::CopyAction, &recordings, Qt::LeftButton,
                             Qt::NoModifier);
    accepted.ignore();
    QApplication::sendEvent(manager(), &accepted);
    QVERIFY(accepted.isAccepted());
}

void TestPlayAreaManager::preparedClipTakesOver_data()
{
    QTest::addColumn<QString>("frontFile");
    QTest::addColumn<QString>("rearFile");
    QTest::addColumn<QString>("nextFront");
    QTest::addColumn<QString>("nextRear");
    QTest::newRow("one player to one") << mFront << QString() << mShort << QString();
    QTest::newRow("two players to two") << mShort << mRear << mFront << mRear;
    QTest::newRow("one player to two") << mShort << QString() << mFront << mRear;
    QTest::newRow("two players to one") << mFront << mRear << mShort << QString();
}

void TestPlayAreaManager::preparedClipTakesOver()
{
    QFETCH(QString, frontFile);
    QFETCH(QString, rearFile);
    QFETCH(QString, nextFront);
    QFETCH(QString, nextRear);
    load(frontFile, rearFile);
    START_BOTH_OR_SKIP();
    mNext->url = QUrl::fromLocalFile(nextFront);
    const QUrl nextRearUrl = nextRear.isEmpty() ? QUrl() : QUrl::fromLocalFile(nextRear);
    QVERIFY(manager()->prepareNext(mNext, nextRearUrl));
    QCOMPARE(manager()->preparedItem(), mNext);
    // Opened ahead, but neither shown nor playing, and the current clip plays on untouched.
    QTRY_VERIFY_WITH_TIMEOUT(manager()->isPreparedReady(), kTimeout);
    const int players = (rearFile.isEmpty() ? 1 : 2) + (nextRear.isEmpty() ? 1 : 2);
    QCOMPARE(remainingPlayers().size(), players);
    for (PlayerWidget *player : remainingPlayers().mid(rearFile.isEmpty() ? 1 : 2)) {
        QVERIFY(!player->isVisible());
        QCOMPARE(player->mediaPlayer()->state(), QMediaPlayer::PausedState);
    }
    QCOMPARE(manager()->media().request().url(), mItem->url);
    QVERIFY(isPlaying(front()));

    manager()->setVolume(30); // after the preparation: the new players must take it too
    QList<QMediaPlayer::State> states;
    connect(manager(), &PlayAreaManager::stateChanged, this,
            [&states](QMediaPlayer::State state) { states << state; });
    QSignalSpy positions(manager(), &PlayAreaManager::positionChanged);
    QSignalSpy durations(manager(), &PlayAreaManager::durationChanged);
    QVERIFY(manager()->playPrepared());
    QCOMPARE(manager()->currentItem(), mNext);
    QCOMPARE(manager()->media().request().url(), mNext->url);
    QVERIFY(!manager()->preparedItem());
    QVERIFY(!manager()->playPrepared()); // nothing left to take over
    QCOMPARE(durations.count(), 1);
    QCOMPARE(durations.first().first().toLongLong(), nextFront == mShort ? 3000 : 10000);

    // The old players go; the new ones play from the start, the rear muted.
    const QList<PlayerWidget *> now = remainingPlayers();
    QCOMPARE(now.size(), nextRear.isEmpty() ? 1 : 2);
    QTRY_VERIFY_WITH_TIMEOUT(isPlaying(front()), kTimeout);
    QVERIFY(frontWidget()->isVisible());
    QCOMPARE(front()->volume(), 30);
    QVERIFY(!front()->isMuted());
    if (!nextRear.isEmpty()) {
        QVERIFY(rear()->isMuted());
        // The display mode stays: one player made it the front view.
        QCOMPARE(rearWidget()->isVisible(), !rearFile.isEmpty());
        QCOMPARE(rear()->media().request().url(), nextRearUrl);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!positions.isEmpty(), kTimeout);
    QCOMPARE(positions.first().at(1).toInt(), mNext->id);
    QVERIFY(positions.first().at(0).toLongLong() <= 1);
    // Only the new front player is heard from: playing, and never a stop between the clips.
    QVERIFY(!states.contains(QMediaPlayer::StoppedState));
}

void TestPlayAreaManager::preparedClipOfARowTakenOver()
{
    load(mFront);
    START_BOTH_OR_SKIP();
    // The next row holds a rear file alone; its front file arrives while it is prepared.
    mNext->url = QUrl::fromLocalFile(mRear);
    QVERIFY(manager()->prepareNext(mNext, QUrl()));
    QTRY_VERIFY_WITH_TIMEOUT(manager()->isPreparedReady(), kTimeout);
    mNext->url = QUrl::fromLocalFile(mShort);
    // The row now stands for another file: what was opened ahead of it must not take over.
    if (manager()->playPrepared())
        QCOMPARE(manager()->media().request().url(), mNext->url);
}

void TestPlayAreaManager::preparedClipIsDropped_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("stop") << "stop";
    QTest::newRow("dropped") << "drop";
    QTest::newRow("another clip prepared") << "another";
    QTest::newRow("next file missing") << "missing";
    QTest::newRow("full screen") << "full screen";
}

void TestPlayAreaManager::preparedClipIsDropped()
{
    QFETCH(QString, how);
    load(mFront, mRear);
    START_BOTH_OR_SKIP();
    mNext->url = QUrl::fromLocalFile(how == "missing" ? mTemp.filePath("never written F.mp4")
                                                      : mShort);
    if (how == "full screen") {
        QTest::mouseDClick(frontWidget(), Qt::LeftButton);
        QVERIFY(!manager()->prepareNext(mNext, QUrl()));
        QVERIFY(!manager()->preparedItem());
        QTest::mouseDClick(frontWidget(), Qt::LeftButton);
        QCOMPARE(remainingPlayers().size(), 2);
        return;
    }
    QVERIFY(manager()->prepareNext(mNext, QUrl::fromLocalFile(mRear)));
    if (how == "stop") {
        manager()->stop();
    } else if (how == "drop") {
        manager()->dropPrepared();
    } else if (how == "another") {
        PlaylistItem other;
        other.url = QUrl::fromLocalFile(mFront);
        QVERIFY(manager()->prepareNext(&other, QUrl()));
        QCOMPARE(manager()->preparedItem(), &other);
        QCOMPARE(remainingPlayers().size(), 3);
        manager()->dropPrepared();
    } else {
        // Its players report the failure themselves: the clip is let go without a word to the
        // current ones, which play on.
        QTRY_VERIFY_WITH_TIMEOUT(!manager()->preparedItem(), kTimeout);
        QVERIFY(isPlaying(front()));
    }
    QVERIFY(!manager()->preparedItem());
    QVERIFY(!manager()->isPreparedReady());
    QVERIFY(!manager()->playPrepared());
    QCOMPARE(manager()->currentItem(), mItem);
    QCOMPARE(manager()->media().request().url(), mItem->url);
    QCOMPARE(remainingPlayers().size(), 2);
}

QTEST_MAIN(TestPlayAreaManager)
#include "tst_playareamanager.moc"
