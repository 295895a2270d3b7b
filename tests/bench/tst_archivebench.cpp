// The archive benchmark's measuring frame and recording sets: figures it prints rest on them.
#include "processrun.h"
#include "recording.h"
#include "recordingset.h"

#include <parser/recordingparser.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

constexpr int TimeoutMs = 60000;

QByteArray contents(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// A process that ended and was reaped, or is only waiting to be: either way no longer running.
bool stopped(const QByteArray &pid)
{
    const QByteArray stat = contents(QStringLiteral("/proc/%1/stat").arg(QString::fromLatin1(pid)));
    return stat.isEmpty() || stat.mid(stat.lastIndexOf(')') + 2, 1) == "Z";
}

} // namespace

class TestArchiveBench : public QObject
{
    Q_OBJECT

private slots:
    // A folder of its own for every test, so that no set meets another's files.
    void init()
    {
        mDir = std::make_unique<QTemporaryDir>();
        QVERIFY(mDir->isValid());
    }

    void status_data();
    void status();
    void bytesRead_data();
    void bytesRead();
    void peakMemory_data();
    void peakMemory();
    void cutOffRunTakesItsChildrenAlong();
    void passKeepsFirstFailure();

    void setHoldsEveryPlaceInNameOrder();
    void finishedSetIsReusedUntouched();
    void setCutShortIsWrittenAgain();
    void foreignFolderIsLeftAlone();

private:
    QString path(const QString &name) const { return mDir->filePath(name); }

    std::unique_ptr<QTemporaryDir> mDir;
};

void TestArchiveBench::status_data()
{
    QTest::addColumn<QStringList>("command");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QByteArray>("errors");

    const auto shell = [](const char *script) {
        return QStringList{QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                           QString::fromLatin1(script)};
    };
    QTest::newRow("success") << shell("echo out; echo err >&2") << 0 << QByteArray("out\n")
                             << QByteArray("err\n");
    QTest::newRow("unreadable file")
            << shell("echo partial; exit 2") << 2 << QByteArray("partial\n") << QByteArray();
    QTest::newRow("signal") << shell("kill -KILL $$") << int(ProcessRun::Crashed) << QByteArray()
                            << QByteArray();
    QTest::newRow("no such program") << QStringList{QStringLiteral("/nonexistent/velqor-extract")}
                                     << int(ProcessRun::Crashed) << QByteArray() << QByteArray();
    QTest::newRow("no command") << QStringList() << int(ProcessRun::Crashed) << QByteArray()
                                << QByteArray();
    // What the command reads arrives at its end, never waited for.
    QTest::newRow("standard input is empty")
            << shell("cat; echo end") << 0 << QByteArray("end\n") << QByteArray();
}

void TestArchiveBench::status()
{
    QFETCH(QStringList, command);
    QFETCH(int, status);
    QFETCH(QByteArray, output);
    QFETCH(QByteArray, errors);
    const QString log = path(QStringLiteral("errors.log"));
    QVERIFY(writeFile(log, "earlier\n"));

    const ProcessRun run = ProcessRun::run(command, path(QStringLiteral("out")), log, TimeoutMs);
    QCOMPARE(run.status, status);
    QCOMPARE(contents(path(QStringLiteral("out"))), output);
    QCOMPARE(contents(log), "earlier\n" + errors);
}

void TestArchiveBench::bytesRead_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<int>("size");

    for (const int size : {0, 1 << 20, 16 << 20}) {
        QTest::addRow("cat, %d bytes", size) << QStringLiteral("cat") << size;
        // The shell's own child is reaped by the shell, and its reads reach us through it.
        QTest::addRow("shell, %d bytes", size) << QStringLiteral("sh") << size;
    }
}

// The kernel adds a reaped child's reads to its parent's counters: the child's bytes, and only
// them, make the difference.
void TestArchiveBench::bytesRead()
{
    QFETCH(QString, program);
    QFETCH(int, size);
    const QString file = path(QStringLiteral("data"));
    QVERIFY(writeFile(file, QByteArray(size, 'x')));
    const QStringList command
            = program == QLatin1String("cat")
                      ? QStringList{QStringLiteral("/bin/cat"), file}
                      : QStringList{QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                                    QStringLiteral("/bin/cat \"$0\"; exit 0"), file};

    const ProcessRun run = ProcessRun::run(command, QStringLiteral("/dev/null"),
                                           path(QStringLiteral("errors.log")), TimeoutMs);
    QCOMPARE(run.status, 0);
    // Start-up reads a few headers of shared libraries and the shell its script.
    QVERIFY2(run.bytesRead >= size && run.bytesRead < size + 64 * 1024,
             qPrintable(QString::number(run.bytesRead)));
}

void TestArchiveBench::peakMemory_data()
{
    QTest::addColumn<bool>("throughShell");
    QTest::addColumn<int>("megabytes");
    QTest::addColumn<int>("ownPeakMegabytes");

    QTest::newRow("small") << false << 0 << 0;
    QTest::newRow("64 MB") << false << 64 << 0;
    // The Dask driver's workers are its descendants; their peak must count.
    QTest::newRow("64 MB in a descendant") << true << 64 << 0;
    // The bench's own peak, from reading outputs to compare them, is not the command's.
    QTest::newRow("small, after a larger peak here") << false << 0 << 128;
}

void TestArchiveBench::peakMemory()
{
    QFETCH(bool, throughShell);
    QFETCH(int, megabytes);
    QFETCH(int, ownPeakMegabytes);
    QByteArray own(ownPeakMegabytes << 20, 'x');
    own = QByteArray();
    const QString script = QStringLiteral("b = b'x' * (%1 << 20)").arg(megabytes);
    QStringList command{QStringLiteral("/usr/bin/python3"), QStringLiteral("-c"), script};
    if (throughShell)
        command = QStringList{QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                              QStringLiteral("\"$@\"; echo done"), QStringLiteral("sh")}
                  + command;

    const ProcessRun run = ProcessRun::run(command, QStringLiteral("/dev/null"),
                                           path(QStringLiteral("errors.log")), TimeoutMs);
    QCOMPARE(run.status, 0);
    // The interpreter itself takes some 10 MB.
    const qint64 peakMb = run.peakKb / 1024;
    QVERIFY2(peakMb >= megabytes && peakMb < megabytes + 40, qPrintable(QString::number(peakMb)));
    QVERIFY(run.cpuMs > 0.0);
    QVERIFY(run.wallMs >= 0.0);
}

void TestArchiveBench::cutOffRunTakesItsChildrenAlong()
{
    const QString pidFile = path(QStringLiteral("pid"));
    QElapsedTimer timer;
    timer.start();
    const ProcessRun run
            = ProcessRun::run({QStringLiteral("/bin/sh"), QStringLiteral("-c"),
                               QStringLiteral("sleep 60 & echo $! > \"$0\"; wait"), pidFile},
                              QStringLiteral("/dev/null"), path(QStringLiteral("errors.log")), 300);
    QCOMPARE(run.status, int(ProcessRun::Crashed));
    QVERIFY(timer.elapsed() < 10000);
    const QByteArray child = contents(pidFile).trimmed();
    QVERIFY(!child.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(stopped(child), 5000);
}

void TestArchiveBench::passKeepsFirstFailure()
{
    ProcessRun a;
    a.wallMs = 10;
    a.cpuMs = 4;
    a.peakKb = 300;
    a.bytesRead = 1000;
    ProcessRun failed = a;
    failed.status = 2;
    ProcessRun crashed = a;
    crashed.status = ProcessRun::Crashed;
    crashed.peakKb = 900;

    ProcessRun pass;
    for (const ProcessRun &run : {a, failed, crashed, a})
        pass += run;
    QCOMPARE(pass.wallMs, 40.0);
    QCOMPARE(pass.cpuMs, 16.0);
    QCOMPARE(pass.peakKb, qint64(900));
    QCOMPARE(pass.bytesRead, qint64(4000));
    QCOMPARE(pass.status, 2);
}

void TestArchiveBench::setHoldsEveryPlaceInNameOrder()
{
    const int count = RecordingSet::PlaceCount + 2;
    QString error;
    const std::optional<RecordingSet> set
            = RecordingSet::prepare(path(QStringLiteral("set")), count, 3, &error);
    QVERIFY2(set, qPrintable(error));
    QVERIFY(!set->reused);
    QCOMPARE(set->files.size(), count);

    // The order the bench lists the set in is the one a folder argument gives.
    QStringList listed;
    const QDir folder(set->folder);
    for (const QString &name : folder.entryList(QDir::Files, QDir::Name))
        listed.append(folder.filePath(name));
    QCOMPARE(listed, set->files);

    QSet<int> places;
    qint64 bytes = 0;
    for (const QString &file : set->files) {
        const std::unique_ptr<ParserObject> parser = createRecordingParser(file);
        QVERIFY2(parser->sampleSource() != ParserObject::None, qPrintable(file));
        QCOMPARE(readAllSamples(*parser).size(), 3);
        places.insert(parser->sampleSource());
        bytes += QFileInfo(file).size();
    }
    QCOMPARE(places.size(), RecordingSet::PlaceCount);
    QCOMPARE(set->bytes, bytes);
}

void TestArchiveBench::finishedSetIsReusedUntouched()
{
    QString error;
    const std::optional<RecordingSet> first
            = RecordingSet::prepare(path(QStringLiteral("set")), 3, 2, &error);
    QVERIFY2(first, qPrintable(error));
    const QDateTime written = QFileInfo(first->files.constFirst()).lastModified();
    QTest::qWait(20);

    const std::optional<RecordingSet> again
            = RecordingSet::prepare(path(QStringLiteral("set")), 3, 2, &error);
    QVERIFY2(again, qPrintable(error));
    QVERIFY(again->reused);
    QCOMPARE(again->files, first->files);
    QCOMPARE(again->bytes, first->bytes);
    QCOMPARE(QFileInfo(again->files.constFirst()).lastModified(), written);
}

// A run stopped while writing leaves a folder of ours that is not finished: it is written again.
void TestArchiveBench::setCutShortIsWrittenAgain()
{
    QString error;
    const std::optional<RecordingSet> first
            = RecordingSet::prepare(path(QStringLiteral("set")), 2, 2, &error);
    QVERIFY2(first, qPrintable(error));
    QVERIFY(writeFile(first->files.constLast(), "cut"));
    QVERIFY(writeFile(path(QStringLiteral("set/.velqor-bench")), "2 recordings of 2 s"));

    const std::optional<RecordingSet> again
            = RecordingSet::prepare(path(QStringLiteral("set")), 2, 2, &error);
    QVERIFY2(again, qPrintable(error));
    QVERIFY(!again->reused);
    QCOMPARE(again->bytes, first->bytes);
    QCOMPARE(readAllSamples(*createRecordingParser(again->files.constLast())).size(), 2);
}

void TestArchiveBench::foreignFolderIsLeftAlone()
{
    QVERIFY(QDir().mkpath(path(QStringLiteral("holiday"))));
    const QString own = path(QStringLiteral("holiday/20200101_000000_ExtTrack.MP4"));
    QVERIFY(writeFile(own, "a recording of someone's"));

    QString error;
    QVERIFY(!RecordingSet::prepare(path(QStringLiteral("holiday")), 2, 2, &error));
    QVERIFY(error.contains(path(QStringLiteral("holiday"))));
    QCOMPARE(contents(own), QByteArray("a recording of someone's"));
    QCOMPARE(QDir(path(QStringLiteral("holiday")))
                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QFileInfo(own).fileName()});
}

QTEST_GUILESS_MAIN(TestArchiveBench)
#include "tst_archivebench.moc"
