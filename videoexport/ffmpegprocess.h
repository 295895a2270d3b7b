// ffmpeg or ffprobe as the video export runs them: by argument list, every wait bounded, a
// failure told in one message with the program's exit code and the end of what it said.
#pragma once

#include "childprocess.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

class FfmpegProcess
{
public:
    // name: what messages call the program ("ffmpeg"); cancelled is asked in every wait.
    FfmpegProcess(const QString &name, const QString &program,
                  const std::function<bool()> &cancelled);
    // Stops the program if it still runs.
    ~FfmpegProcess();

    // Runs ffprobe (or any program whose answer is its output) to its end: false with the
    // message in error when it cannot be run, fails or is cancelled (error then empty).
    static bool probe(const QString &program, const QStringList &arguments,
                      const std::function<bool()> &cancelled, QString *output, QString *error);

    bool start(const QStringList &arguments);
    // Queues data for the program's standard input, first waiting until no more than
    // `queued` bytes are still waiting to be written, so memory stays bounded however slowly the
    // program reads.
    bool write(const char *data, qint64 size, qint64 queued);
    // Closes standard input and waits for the program to exit 0. work tells how many bytes the
    // program has written: the wait fails once that stands still for the stall bound plus a
    // share for each megabyte written, since ffmpeg's last pass over a large file (moving its
    // index to the front) rewrites it in place without growing it; without work the whole wait
    // has the stall bound.
    bool finish(const std::function<qint64()> &work = {});
    // The stall bound, and what finish adds to it for each megabyte written; tests lower them.
    void setStallBounds(qint64 stallMs, qint64 stallMsPerMegabyte)
    {
        mStallMs = stallMs;
        mStallMsPerMegabyte = stallMsPerMegabyte;
    }
    // Terminates the program, kills it when it does not end within 2 s, and waits for it.
    void stop();

    bool cancelled() const { return mCancelled; }
    // The failure in one message for the user; empty when all went well or the run was
    // cancelled.
    QString error() const { return mError; }
    QByteArray standardOutput() { return mProcess.readAllStandardOutput(); }

private:
    // Waits until no more than queued bytes are still to be written.
    bool drain(qint64 queued);
    // The program ended while it still had input to take.
    bool endedEarly();
    bool stopWhenCancelled();
    bool fail(const QString &message);
    bool failExited();
    void keepErrorTail();
    // False when the run must end: cancelled, or the program is no longer running.
    bool waitSlice(const std::function<bool()> &waitOnce);

    const QString mName;
    const QString mProgram;
    const std::function<bool()> mIsCancelled;
    ChildProcess mProcess;
    QByteArray mErrorTail;
    QString mError;
    bool mCancelled = false;
    // Writing: a minute without ffmpeg taking input. Finishing: a second more for every 2 MB
    // written, so a 4 GB file's rewrite may take half an hour on slow storage.
    qint64 mStallMs = 60000;
    qint64 mStallMsPerMegabyte = 500;
};
