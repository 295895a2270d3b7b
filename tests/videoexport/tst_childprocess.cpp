// The programs the export runs end with the process that started them, however it ends, and see
// none of its files.
#include <videoexport/childprocess.h>

#include <QFile>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int Patience = 10000; // ms

// Whether the process is there and not just waiting to be reaped.
bool running(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    // "pid (name) state ...".
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 2, 1) != "Z";
}

} // namespace

class TestChildProcess : public QObject
{
    Q_OBJECT

private slots:
    void endsWithItsParent();
    void inheritsOnlyTheStandardChannels();
};

void TestChildProcess::endsWithItsParent()
{
    QProcess parent;
    parent.start(QStringLiteral(CHILD_PROCESS_PARENT), QStringList());
    QVERIFY(parent.waitForReadyRead(Patience));
    bool read = false;
    const qint64 child = parent.readLine().trimmed().toLongLong(&read);
    QVERIFY(read && running(child));
    // Killed, the parent runs no code of its own to stop the child.
    QCOMPARE(::kill(pid_t(parent.processId()), SIGKILL), 0);
    QVERIFY(parent.waitForFinished(Patience));
    QTRY_VERIFY_WITH_TIMEOUT(!running(child), Patience);
}

void TestChildProcess::inheritsOnlyTheStandardChannels()
{
    // Open across an exec, as a library's socket may be.
    const int fd = 100;
    const int file = ::open("/dev/null", O_RDONLY);
    QVERIFY(file >= 0 && ::dup2(file, fd) == fd);
    ::close(file);
    ChildProcess shell;
    shell.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"), QStringLiteral("test ! -e /proc/self/fd/%1").arg(fd)});
    const bool finished = shell.waitForFinished(Patience);
    ::close(fd);
    QVERIFY(finished);
    QCOMPARE(shell.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestChildProcess)
#include "tst_childprocess.moc"
