// Player widget: real playback state, full-screen keys and clicks, errors and frame captures.
#include "player/playerwidget.h"

#include "playbacktestutil.h"
#include "testrecordings.h"

#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QVBoxLayout>
#include <QtTest>

using PlaybackTest::missingBackendReason;

namespace {

const int kTimeout = 30000;

// Counts the key presses that reach a widget.
class KeyCounter : public QObject
{
public:
    int count = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress)
            ++count;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

class TestPlayerWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void playsRecording_data();
    void playsRecording();
    void doubleClickTogglesOwnFullScreen();
    void keysWhileFullScreen();
    void altEnterEntersFullScreen();
    void screenChangeReattachesOutput();
    void windowOffAllScreensFitsTheFirstScreen();
    void onlyResourceErrorsAreForwarded();
    void missingFileReportsResourceError();
    void screenshotWhileStoppedIsDropped();
    void screenshotsInARowAreAllCaptured();
    void lateRequestAfterWorkerFinishedIsCaptured();

private:
    bool startPlaying(const QString &recording);
    int shotCount() const;

    QTemporaryDir mTemp;
    QString mH264;
    QString mH265;
    QString mShotDir;
    QWidget *mWindow = nullptr;
    PlayerWidget *mWidget = nullptr;
};

void TestPlayerWidget::initTestCase()
{
    QVERIFY(mTemp.isValid());
    mShotDir = mTemp.filePath(QStringLiteral("shots"));
    PlaybackTest::isolateSettings(mShotDir);
    mH264 = TestRecordings::make(mTemp.path(), QStringLiteral("front h264.F.mp4"));
    mH265 = TestRecordings::make(mTemp.path(), QStringLiteral("front_h265.F.mp4"),
                                 TestRecordings::Codec::H265);
    QVERIFY(!mH264.isEmpty());
    QVERIFY(!mH265.isEmpty());
}

void TestPlayerWidget::init()
{
    mWindow = new QWidget;
    mWindow->resize(400, 300);
    auto *layout = new QVBoxLayout(mWindow);
    mWidget = new PlayerWidget(mWindow);
    layout->addWidget(mWidget);
    mWidget->show();
    mWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(mWindow));
}

void TestPlayerWidget::cleanup()
{
    delete mWindow;
    mWindow = nullptr;
    mWidget = nullptr;
    QDir(mShotDir).removeRecursively();
}

bool TestPlayerWidget::startPlaying(const QString &recording)
{
    QMediaPlayer *player = mWidget->mediaPlayer();
    player->setMedia(QUrl::fromLocalFile(recording));
    player->play();
    const bool settled = QTest::qWaitFor(
            [player] {
                return player->error() != QMediaPlayer::NoError
                       || (player->state() == QMediaPlayer::PlayingState && player->position() > 0);
            },
            kTimeout);
    return settled && player->error() == QMediaPlayer::NoError
           && player->state() == QMediaPlayer::PlayingState;
}

int TestPlayerWidget::shotCount() const
{
    return QDir(mShotDir).entryList({QStringLiteral("ScreenShot_*.jpeg")}, QDir::Files).size();
}

void TestPlayerWidget::playsRecording_data()
{
    QTest::addColumn<bool>("hevc");
    QTest::newRow("h264 with aac") << false;
    QTest::newRow("h265 with aac") << true;
}

void TestPlayerWidget::playsRecording()
{
    QFETCH(bool, hevc);
    QMediaPlayer *player = mWidget->mediaPlayer();
    if (player->supportedAudioRoles().contains(QAudio::VideoRole))
        QCOMPARE(player->audioRole(), QAudio::VideoRole);
    QVERIFY(mWidget->updatesEnabled());
    if (!startPlaying(hevc ? mH265 : mH264)) {
        const QString reason = missingBackendReason(*player);
        if (!reason.isEmpty())
            QSKIP(qPrintable(reason));
        QFAIL(qPrintable(player->errorString()));
    }
    QTRY_COMPARE_WITH_TIMEOUT(player->duration(), qint64(3000), kTimeout);
    // Frames come from the video sink; the surface must not paint over them.
    QVERIFY(!mWidget->updatesEnabled());

    player->pause();
    QTRY_COMPARE_WITH_TIMEOUT(player->state(), QMediaPlayer::PausedState, kTimeout);
    QVERIFY(!mWidget->updatesEnabled());

    player->stop();
    QTRY_COMPARE_WITH_TIMEOUT(player->state(), QMediaPlayer::StoppedState, kTimeout);
    QVERIFY(mWidget->updatesEnabled());
}

void TestPlayerWidget::doubleClickTogglesOwnFullScreen()
{
    QSignalSpy full(mWidget, &PlayerWidget::fullScreen);
    QSignalSpy rearPause(mWidget, &PlayerWidget::fullScreenforRearPause);

    QTest::mouseDClick(mWidget, Qt::LeftButton);
    QVERIFY(mWidget->isWindow());
    QTRY_VERIFY_WITH_TIMEOUT(mWidget->isFullScreen(), kTimeout);
    QCOMPARE(rearPause.count(), 1);
    QCOMPARE(rearPause.first().first().toBool(), true);

    QTest::mouseDClick(mWidget, Qt::LeftButton);
    QVERIFY(!mWidget->isWindow());
    QCOMPARE(mWidget->parentWidget(), mWindow);
    QCOMPARE(rearPause.count(), 2);
    QCOMPARE(rearPause.last().first().toBool(), false);
    QCOMPARE(full.count(), 0);
}

void TestPlayerWidget::keysWhileFullScreen()
{
    QTest::mouseDClick(mWidget, Qt::LeftButton);
    QStringList order;
    connect(mWidget, &PlayerWidget::fullScreen, this,
            [&order](bool full) { order << QStringLiteral("fullScreen %1").arg(full); });
    connect(mWidget, &PlayerWidget::fullScreenforRearPause, this,
            [&order](bool full) { order << QStringLiteral("rearPause %1").arg(full); });
    QList<int> forwarded;
    connect(mWidget, &PlayerWidget::keyPressSignals, this,
            [&forwarded](QKeyEvent *event) { forwarded << event->key(); });
    KeyCounter parentKeys;
    mWindow->installEventFilter(&parentKeys);

    for (Qt::Key key : {Qt::Key_Space, Qt::Key_Left, Qt::Key_Right, Qt::Key_N}) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(mWidget, &press);
    }
    // Shift+N, the jump to the event before, goes through with its modifier.
    QKeyEvent shiftN(QEvent::KeyPress, Qt::Key_N, Qt::ShiftModifier, QStringLiteral("N"));
    QApplication::sendEvent(mWidget, &shiftN);
    QCOMPARE(forwarded,
             QList<int>({Qt::Key_Space, Qt::Key_Left, Qt::Key_Right, Qt::Key_N, Qt::Key_N}));

    // Other keys are swallowed: no signal, nothing for the parent.
    QKeyEvent letter(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(mWidget, &letter);
    QCOMPARE(forwarded.count(), 5);
    QVERIFY(order.isEmpty());
    QCOMPARE(parentKeys.count, 0);

    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(mWidget, &escape);
    QCOMPARE(order, QStringList({"fullScreen 0", "rearPause 0"}));
    QVERIFY(escape.isAccepted());

    // Embedded again: keys are no longer taken.
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier);
    QApplication::sendEvent(mWidget, &space);
    QCOMPARE(forwarded.count(), 5);
}

void TestPlayerWidget::altEnterEntersFullScreen()
{
    QStringList order;
    connect(mWidget, &PlayerWidget::fullScreen, this,
            [&order](bool full) { order << QStringLiteral("fullScreen %1").arg(full); });
    connect(mWidget, &PlayerWidget::fullScreenforRearPause, this,
            [&order](bool full) { order << QStringLiteral("rearPause %1").arg(full); });

    QKeyEvent plainEnter(QEvent::KeyPress, Qt::Key_Enter, Qt::NoModifier);
    QApplication::sendEvent(mWidget, &plainEnter);
    QVERIFY(order.isEmpty());

    QKeyEvent altEnter(QEvent::KeyPress, Qt::Key_Enter, Qt::AltModifier);
    QApplication::sendEvent(mWidget, &altEnter);
    QCOMPARE(order, QStringList({"fullScreen 1", "rearPause 1"}));
    QTRY_VERIFY_WITH_TIMEOUT(mWidget->isFullScreen(), kTimeout);

    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(mWidget, &escape);
    QCOMPARE(order.last(), QStringLiteral("rearPause 0"));
    QVERIFY(!mWidget->isWindow());
}

void TestPlayerWidget::screenChangeReattachesOutput()
{
    const QRect before = mWidget->geometry();
    QSignalSpy fontSize(mWidget, &PlayerWidget::changeFontSize);
    mWidget->onScreenAdded(QGuiApplication::primaryScreen());
    mWidget->onLogicalDotsPerInchChanged(144.0);
    QCOMPARE(fontSize.count(), 2);
    QCOMPARE(fontSize.first().first().toBool(), false);
    QCOMPARE(mWidget->geometry(), before);
    QVERIFY(!mWidget->isWindow());
}

void TestPlayerWidget::windowOffAllScreensFitsTheFirstScreen()
{
    // A window left where no screen is any more (a screen was removed) has no screen number;
    // full screen must still cover a real screen instead of collapsing to nothing.
    QWidget away;
    away.setGeometry(-100000, -100000, 200, 100);
    const QRect first = QGuiApplication::screens().first()->geometry();
    QVERIFY(!first.isEmpty());
    QCOMPARE(PlayerWidget::screenGeometryOf(&away), first);
    QCOMPARE(PlayerWidget::screenGeometryOf(mWidget), first);
}

void TestPlayerWidget::onlyResourceErrorsAreForwarded()
{
    QSignalSpy forwarded(mWidget, &PlayerWidget::videoPlayError);
    QMediaPlayer *player = mWidget->mediaPlayer();

    mWidget->setUpdatesEnabled(false);
    emit player->error(QMediaPlayer::FormatError);
    QVERIFY(mWidget->updatesEnabled());
    QCOMPARE(forwarded.count(), 0);

    emit player->error(QMediaPlayer::ResourceError);
    emit player->error(QMediaPlayer::ResourceError);
    QCOMPARE(forwarded.count(), 2);
    QCOMPARE(forwarded.first().first().value<QMediaPlayer::Error>(), QMediaPlayer::ResourceError);
}

void TestPlayerWidget::missingFileReportsResourceError()
{
    QSignalSpy forwarded(mWidget, &PlayerWidget::videoPlayError);
    QMediaPlayer *player = mWidget->mediaPlayer();
    player->setMedia(QUrl::fromLocalFile(mTemp.filePath(QStringLiteral("gone.F.mp4"))));
    player->play();
    QTRY_VERIFY_WITH_TIMEOUT(forwarded.count() >= 1, kTimeout);
    QVERIFY(mWidget->updatesEnabled());
}

void TestPlayerWidget::screenshotWhileStoppedIsDropped()
{
    mWidget->mediaPlayer()->setMedia(QUrl::fromLocalFile(mH264));
    QVERIFY(mWidget->screenshot(1000));
    QTest::qWait(500);
    QCOMPARE(shotCount(), 0);
    QVERIFY(!QFileInfo::exists(mShotDir));
}

void TestPlayerWidget::screenshotsInARowAreAllCaptured()
{
    if (!startPlaying(mH264))
        QSKIP(qPrintable(missingBackendReason(*mWidget->mediaPlayer())));
    mWidget->mediaPlayer()->pause();
    QTRY_COMPARE_WITH_TIMEOUT(mWidget->mediaPlayer()->state(), QMediaPlayer::PausedState, kTimeout);

    // Requests arrive while the worker is busy with the earlier ones, and at random moments
    // around the end of its run.
    const int requests = 6;
    for (int request = 0; request < requests; ++request) {
        QVERIFY(mWidget->screenshot(request * 400, QSize(1920, 1080), false));
        if (request % 2)
            QTest::qWait(request * 37);
    }
    QTRY_COMPARE_WITH_TIMEOUT(shotCount(), requests, 120000);

    // Names carry the recording's base name, and the image its own resolution.
    const QStringList files = QDir(mShotDir).entryList(QDir::Files, QDir::Name);
    for (const QString &file : files) {
        QVERIFY2(file.startsWith(QLatin1String("ScreenShot_front h264__")), qPrintable(file));
        QCOMPARE(QImage(QDir(mShotDir).filePath(file)).size(), QSize(320, 240));
    }
}

void TestPlayerWidget::lateRequestAfterWorkerFinishedIsCaptured()
{
    if (!startPlaying(mH264))
        QSKIP(qPrintable(missingBackendReason(*mWidget->mediaPlayer())));
    mWidget->mediaPlayer()->pause();
    QTRY_COMPARE_WITH_TIMEOUT(mWidget->mediaPlayer()->state(), QMediaPlayer::PausedState, kTimeout);

    QVERIFY(mWidget->screenshot(0));
    // Keep the event loop away until the worker has ended, so that its finished() is still
    // pending when the next request starts it again.
    QElapsedTimer waited;
    waited.start();
    while (shotCount() < 1 && waited.elapsed() < 120000)
        QThread::msleep(20);
    QThread::msleep(500);
    QCOMPARE(shotCount(), 1);

    QVERIFY(mWidget->screenshot(1000));
    QTRY_COMPARE_WITH_TIMEOUT(shotCount(), 2, 120000);
    // One more after the worker is gone starts a new one.
    QVERIFY(mWidget->screenshot(2000));
    QTRY_COMPARE_WITH_TIMEOUT(shotCount(), 3, 120000);
}

QTEST_MAIN(TestPlayerWidget)
#include "tst_playerwidget.moc"
