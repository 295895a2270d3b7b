// The window's video export end to end on the tiny demo drive: the dialog driven as a user would,
// the encoded file checked and a frame of it kept; cancelling, closing and ffmpeg failing leave
// nothing behind.
#include "app/mainwindows.h"
#include "app/platform.h"

#include "config/configuration.h"
#include "controls/controlpanel.h"
#include "controls/drivetimeline.h"
#include "democlips.h"
#include "playbacktestutil.h"
#include "tests/map/mapschemetest.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace {

constexpr int Patience = 60000; // ms; parsing and playback on a loaded machine
constexpr int EncodingPatience = 180000; // ms; six seconds of small video on two busy cores

// The stand-ins' start: the file ffmpeg writes, its last argument (after the protocol that keeps
// a name from being taken for another), made as ffmpeg makes it.
const QByteArray StartOutput("for last; do :; done\n: > \"${last#file:}\"\n");

// Runs a program to its end, bounded, and gives its output.
QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(Patience)) {
        process.kill();
        process.waitForFinished();
        return QString();
    }
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
}

// The stand-ins for ffmpeg that this process still has: hanging, they sleep.
int sleepingChildren()
{
    int count = 0;
    const QByteArray self = QByteArray::number(QCoreApplication::applicationPid());
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state parent ...".
        const QByteArray line = stat.readAll();
        const QList<QByteArray> after = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (line.contains("(sleep)") && after.value(1) == self)
            ++count;
    }
    return count;
}

// Clicks a button once the driving timer's slot has returned, so that the dialog it opens is
// driven by the next tick instead of blocking this one.
void clickLater(QAbstractButton *button)
{
    QMetaObject::invokeMethod(button, &QAbstractButton::click, Qt::QueuedConnection);
}

} // namespace

class TestMainWindowsVideo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void exportFromTheDialog();
    void cancelLeavesNothing();
    void ffmpegFailing_data();
    void ffmpegFailing();
    // Last: the window quits the application as it closes, and no event loop runs after that.
    void closingCancels_data();
    void closingCancels();

private:
    // A stand-in for ffmpeg: a shell script with this body, given what it is run with.
    QString script(const QString &name, const QByteArray &body) const;
    // The demo's MP4 pair side by side, written by the given ffmpeg into the folder.
    VideoExportRequest request(const QString &ffmpeg, const QString &folder) const;
    // An export that never ends on its own: ffmpeg starts its file and then sleeps.
    void startHangingExport(MainWindows *window, const QString &folder,
                            QPointer<QProgressDialog> *progress);

    QTemporaryDir mDir;
    DemoClips mClips;
    // Answers every message box as it shows, so that an unexpected one fails a test instead of
    // holding it up; their texts in order.
    QTimer mBoxCloser;
    QStringList mBoxes;
};

void TestMainWindowsVideo::initTestCase()
{
    QCoreApplication::setApplicationName(QStringLiteral("Velqor"));
    QCoreApplication::setOrganizationName(QStringLiteral("Tamrix"));
    const QString error = writeDemoClips(mDir, &mClips);
    QVERIFY2(error.isEmpty(), qPrintable(error));
}

void TestMainWindowsVideo::init()
{
    PlaybackTest::isolateSettings(mDir.filePath("shots"));
    Configuration::instance()->setLanguage(1);
    mBoxes.clear();
    mBoxCloser.disconnect();
    connect(&mBoxCloser, &QTimer::timeout, this, [this] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            mBoxes << box->text();
            box->button(QMessageBox::Ok)->click();
        }
    });
    mBoxCloser.start(50);
}

void TestMainWindowsVideo::cleanup()
{
    mBoxCloser.stop();
}

QString TestMainWindowsVideo::script(const QString &name, const QByteArray &body) const
{
    QFile file(mDir.filePath(name));
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write("#!/bin/sh\n" + body + '\n');
    file.setPermissions(file.permissions() | QFile::ExeOwner);
    return file.fileName();
}

VideoExportRequest TestMainWindowsVideo::request(const QString &ffmpeg, const QString &folder) const
{
    VideoExportRequest request;
    request.clips = {{mClips.frontMp4, mClips.rearMp4, 0, -1}};
    request.output = folder + QStringLiteral("/clip.mp4");
    request.ffmpeg = ffmpeg;
    return request;
}

void TestMainWindowsVideo::startHangingExport(MainWindows *window, const QString &folder,
                                              QPointer<QProgressDialog> *progress)
{
    // Sleeping, it reads no frame.
    const QString ffmpeg = script("hanging-ffmpeg", StartOutput + "exec sleep 60");
    QVERIFY(window->startVideoExport(request(ffmpeg, folder)));
    // The window stays usable meanwhile, and one export at a time is all it runs.
    *progress = window->findChild<QProgressDialog *>(QStringLiteral("dlg_VideoExportProgress"));
    QVERIFY(*progress);
    QTRY_VERIFY_WITH_TIMEOUT(*progress && (*progress)->isVisible(), Patience);
    QVERIFY(!(*progress)->isModal());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QVERIFY(!window->startVideoExport(request(ffmpeg, folder)));
    QTRY_VERIFY_WITH_TIMEOUT(!QDir(folder).entryList(QDir::Files | QDir::Hidden).isEmpty(),
                             Patience);
    QVERIFY2(*progress, "the export ended on its own");
}

void TestMainWindowsVideo::exportFromTheDialog()
{
    MainWindows window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *panel = window.findChild<ControlPanel *>(QStringLiteral("wgt_PlayCtrl"));
    window.openUrls({QUrl::fromLocalFile(QFileInfo(mClips.frontMp4).path())});
    // The MP4 pair and the AVI pair make one drive.
    QTRY_COMPARE_WITH_TIMEOUT(panel->driveTimeline()->drive().clips.size(), 2, Patience);
    QTRY_COMPARE_WITH_TIMEOUT(panel->state(), QMediaPlayer::PlayingState, Patience);

    // Plays the user: the whole drive side by side with every overlay part, into a file chosen
    // with the save dialog, then Export.
    QTemporaryDir out;
    const QString screenshots = QStringLiteral(VELQOR_SCREENSHOTS);
    QDir().mkpath(screenshots);
    bool asked = false;
    bool exported = false;
    QTimer driver;
    connect(&driver, &QTimer::timeout, this, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *files = qobject_cast<QFileDialog *>(modal)) {
            files->setDirectory(out.path());
            files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText("crash");
            static_cast<QDialog *>(files)->accept();
        } else if (modal && modal->objectName() == QLatin1String("VideoExportDialog")) {
            if (!std::exchange(asked, true)) {
                modal->findChild<QRadioButton *>(QStringLiteral("rb_Drive"))->setChecked(true);
                modal->findChild<QComboBox *>(QStringLiteral("cb_Layout"))
                        ->setCurrentIndex(VideoLayout::SideBySide);
                modal->findChild<QComboBox *>(QStringLiteral("cb_Resolution"))
                        ->setCurrentIndex(VideoLayout::SourceSize);
                for (QCheckBox *part : modal->findChildren<QCheckBox *>())
                    part->setChecked(true);
                clickLater(modal->findChild<QPushButton *>(QStringLiteral("pBtn_Output")));
            } else if (!modal->findChild<QLineEdit *>(QStringLiteral("le_Output"))->text().isEmpty()
                       && !std::exchange(exported, true)) {
                modal->grab().save(screenshots + QStringLiteral("/video-export-dialog.png"));
                clickLater(modal->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok));
            }
        }
    });
    driver.start(50);
    QSignalSpy finished(&window, &MainWindows::videoExportFinished);
    QVERIFY(QMetaObject::invokeMethod(&window, "exportVideo"));
    QVERIFY2(exported, "the dialog was not accepted");
    QVERIFY(finished.wait(EncodingPatience) || !finished.isEmpty());
    driver.stop();
    QVERIFY2(finished.first().at(0).toBool(), qPrintable(finished.first().at(1).toString()));
    QVERIFY2(mBoxes.isEmpty(), qPrintable(mBoxes.join('\n')));
    // Only the file: nothing of the making of it is left beside it.
    const QString video = out.filePath("crash.mp4");
    QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"crash.mp4"});
    auto *saved = window.findChild<QMessageBox *>(QStringLiteral("msg_VideoSaved"));
    QVERIFY(saved && saved->text().contains(QDir::toNativeSeparators(video)));

    // H.264 of the front camera's size, as long as the drive.
    const QString probe = run(QStringLiteral("ffprobe"),
                              {"-v", "error", "-select_streams", "v:0", "-show_entries",
                               "stream=codec_name,width,height:format=duration", "-of",
                               "default=noprint_wrappers=1", video});
    QVERIFY2(probe.contains("codec_name=h264"), qPrintable(probe));
    QVERIFY2(probe.contains("width=320") && probe.contains("height=180"), qPrintable(probe));
    const double seconds
            = QRegularExpression("duration=([0-9.]+)").match(probe).captured(1).toDouble();
    QVERIFY2(qAbs(seconds - 2 * DemoClips::Seconds) < 0.5, qPrintable(probe));
    // A frame of it for people to look at.
    const QString frame = screenshots + QStringLiteral("/video-export-frame.png");
    QFile::remove(frame);
    const QString grabbed
            = run(QStringLiteral("ffmpeg"), {"-v", "error", "-nostdin", "-y", "-ss", "1", "-i",
                                             video, "-frames:v", "1", frame});
    QVERIFY2(QImage(frame).size() == QSize(320, 180), qPrintable(grabbed));
}

void TestMainWindowsVideo::cancelLeavesNothing()
{
    MainWindows window;
    window.show();
    QTemporaryDir out;
    QSignalSpy finished(&window, &MainWindows::videoExportFinished);
    QPointer<QProgressDialog> progress;
    startHangingExport(&window, out.path(), &progress);
    if (QTest::currentTestFailed())
        return;
    auto *cancel = progress->findChild<QPushButton *>();
    cancel->click();
    // Until ffmpeg has stopped the dialog says why no other export can start yet.
    QVERIFY(progress->isVisible() && !cancel->isEnabled());
    QCOMPARE(progress->labelText(), QStringLiteral("Cancelling..."));
    QVERIFY(finished.wait(Patience) || !finished.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(!progress, Patience);
    // Cancelled is not failed: no message, no error.
    QCOMPARE(finished.first(), (QVariantList{false, QString()}));
    QCOMPARE(mBoxes, QStringList());
    QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestMainWindowsVideo::closingCancels_data()
{
    QTest::addColumn<int>("signal"); // what ends the process; 0 for the window closed by the user
    QTest::newRow("closed") << 0;
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void TestMainWindowsVideo::closingCancels()
{
    QFETCH(int, signal);
    QTemporaryDir out;
    {
        MainWindows window;
        window.show();
        Platform::closeOnTerminationRequest(&window);
        QPointer<QProgressDialog> progress;
        startHangingExport(&window, out.path(), &progress);
        if (QTest::currentTestFailed())
            return;
        // The stand-in makes its file before it turns into the sleep.
        QTRY_COMPARE_WITH_TIMEOUT(sleepingChildren(), 1, Patience);
        if (signal) {
            // Handled, the signal closes the window instead of ending the test.
            QCOMPARE(std::raise(signal), 0);
            QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), Patience);
        } else {
            window.close();
        }
    }
    QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
    QCOMPARE(sleepingChildren(), 0);
}

void TestMainWindowsVideo::ffmpegFailing_data()
{
    QTest::addColumn<QByteArray>("ffmpeg"); // the stand-in's body, empty for none at all
    QTest::addColumn<QStringList>("said");
    QTest::newRow("a full disk")
            << StartOutput + "echo 'Error writing trailer: No space left on device' >&2\nexit 1"
            << QStringList{"ffmpeg exited with code 1", "No space left on device"};
    QTest::newRow("not installed")
            << QByteArray() << QStringList{"ffmpeg could not be started", "apt-get"};
}

void TestMainWindowsVideo::ffmpegFailing()
{
    QFETCH(QByteArray, ffmpeg);
    QFETCH(QStringList, said);
    MainWindows window;
    window.show();
    QTemporaryDir out;
    // A file of that name already there is the user's, kept whatever happens.
    QFile old(out.filePath("clip.mp4"));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    QSignalSpy finished(&window, &MainWindows::videoExportFinished);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("ffmpeg"));
    const QString program
            = ffmpeg.isEmpty() ? mDir.filePath("no-such-ffmpeg") : script("failing-ffmpeg", ffmpeg);
    QVERIFY(window.startVideoExport(request(program, out.path())));
    QVERIFY(finished.wait(Patience) || !finished.isEmpty());
    QCOMPARE(finished.first().at(0).toBool(), false);
    QCOMPARE(mBoxes.size(), 1);
    const QString shown = mBoxes.first();
    QVERIFY2(shown.startsWith("The video could not be exported."), qPrintable(shown));
    for (const QString &part : said)
        QVERIFY2(shown.contains(part), qPrintable(shown));
    QCOMPARE(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"clip.mp4"});
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old"));
}

VELQOR_MAP_TEST_MAIN(TestMainWindowsVideo)
#include "tst_mainwindowsvideo.moc"
