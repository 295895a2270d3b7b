// The main window's video export: what the dialog offers, the save question and the progress.
#include "mainwindows.h"
#include "ui_mainwindows.h"

#include "applog.h"
#include "playlist/playlistitem.h"
#include "playlist/playlistmodel.h"
#include "videoexportjob.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTime>

#include <algorithm>
#include <memory>

VideoExportDialog::Source MainWindows::videoSource() const
{
    VideoExportDialog::Source source;
    const int row = currentRowId();
    const auto clipOf = [this](const PlaylistItem *item, int seconds) {
        return StretchClip{item->url.toLocalFile(), mModel->rearFileUrl(item).toLocalFile(),
                           double(seconds)};
    };
    // The drive shown is the current row's once its drive is known.
    if (mShownRow == row && !mDrive.clips.isEmpty()) {
        for (const PlaylistDrives::Clip &clip : qAsConst(mDrive.clips)) {
            const PlaylistItem *item = mModel->item(clip.rowId);
            if (!item)
                continue;
            if (clip.rowId == row)
                source.current = source.drive.size();
            source.drive.append(clipOf(item, clip.seconds));
        }
        source.position = mDriveSecond;
        source.whole = source.drive;
    } else if (const PlaylistItem *item = mModel->item(row)) {
        source.drive.append(clipOf(item, item->duration));
        source.position = mRowSecond;
        source.wholeIsDrive = false;
        QVector<const PlaylistItem *> selected;
        for (const QModelIndex &index : ui->tbl_PlayListView->selectionModel()->selectedRows()) {
            if (const PlaylistItem *chosen = mModel->item(index.row()))
                selected.append(chosen);
        }
        std::stable_sort(selected.begin(), selected.end(),
                         [](const PlaylistItem *a, const PlaylistItem *b) {
                             return a->dateTime < b->dateTime;
                         });
        for (const PlaylistItem *chosen : qAsConst(selected))
            source.whole.append(clipOf(chosen, chosen->duration));
    }
    source.frontSize = mModel->resolution(row);
    return source;
}

void MainWindows::exportVideo()
{
    // A modal dialog would hold an adding up and offer a part of the drive.
    if (mVideoJob || mAddingFiles || mClosing || currentRowId() < 0)
        return;
    const VideoExportDialog::Source source = videoSource();
    if (source.drive.isEmpty())
        return;
    QStringList recordings;
    for (const QVector<StretchClip> &clips : {source.drive, source.whole}) {
        for (const StretchClip &clip : clips)
            recordings << clip.front << clip.rear;
    }
    recordings.removeAll(QString());
    const QString title = tr("Export video");
    const QString name = QFileInfo(source.drive.at(source.current).front).completeBaseName();
    VideoExportDialog dialog(source, this);
    dialog.setOutputChooser([this, title, name, recordings] {
        return askSavePath(title, {QStringLiteral("MP4 (*.mp4)")}, name, QString(), recordings,
                           [](const QString &chosen, const QString &) {
                               return QFileInfo(chosen).suffix().compare(QLatin1String("mp4"),
                                                                         Qt::CaseInsensitive)
                                                      == 0
                                              ? chosen
                                              : chosen + QLatin1String(".mp4");
                           });
    });
    if (dialog.exec() == QDialog::Accepted)
        startVideoExport(dialog.request());
}

bool MainWindows::startVideoExport(const VideoExportRequest &request)
{
    if (mVideoJob || mClosing)
        return false;
    qCDebug(lcApp) << "video export of" << request.clips.size() << "pieces to" << request.output;
    mVideoJob = new VideoExportJob(request, this);
    const QString exporting = tr("Exporting the video...");
    auto *progress = new QProgressDialog(exporting, QString(), 0, 100, this);
    // Held, to be disabled once pressed.
    auto *cancelButton = new QPushButton(tr("Cancel"), progress);
    progress->setCancelButton(cancelButton);
    progress->setObjectName(QStringLiteral("dlg_VideoExportProgress"));
    progress->setWindowTitle(tr("Export video"));
    // Encoding takes minutes; the recordings stay there to be watched meanwhile.
    progress->setWindowModality(Qt::NonModal);
    progress->setAutoReset(false);
    progress->setAutoClose(false);
    progress->setMinimumDuration(0);
    const auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    connect(mVideoJob, &VideoExportJob::progressed, progress,
            [this, progress, clock, exporting](qint64 done, qint64 total) {
                // Once cancelled, a report still on its way would show the dialog again.
                if (progress->wasCanceled() || total <= 0)
                    return;
                progress->setValue(int(std::min<qint64>(done * 100 / total, 100)));
                const int left = VideoExportJob::secondsLeft(done, total, clock->elapsed());
                if (left < 0)
                    return;
                const QString format
                        = left >= 3600 ? QStringLiteral("H:mm:ss") : QStringLiteral("m:ss");
                progress->setLabelText(
                        exporting + QLatin1Char('\n')
                        + tr("About %1 left").arg(QTime(0, 0).addSecs(left).toString(format)));
            });
    VideoExportJob *job = mVideoJob;
    connect(progress, &QProgressDialog::canceled, progress, [job, progress, cancelButton] {
        job->cancel();
        // Already done: its end, on its way, says how it went.
        if (job->isFinished())
            return;
        // Stopping ffmpeg can take seconds, during which no other export can start; the dialog,
        // which hid itself, says so until the job has ended.
        cancelButton->setEnabled(false);
        progress->setLabelText(tr("Cancelling..."));
        progress->show();
        // A close of the dialog itself hides it after this.
        QMetaObject::invokeMethod(progress, &QWidget::show, Qt::QueuedConnection);
    });
    const QString output = request.output;
    // Deleted once its results are read, as the track export's job is.
    connect(job, &QThread::finished, this, [this, job, progress, output] {
        progress->reset();
        progress->deleteLater();
        const bool written = job->written();
        const QString error = job->error();
        job->deleteLater();
        mVideoJob = nullptr;
        if (written && !mClosing) {
            // Said without holding anything up: the user may be watching already.
            auto *box = new QMessageBox(
                    QMessageBox::Information, tr("Export video"),
                    tr("The video is saved as %1.").arg(QDir::toNativeSeparators(output)),
                    QMessageBox::Ok, this);
            box->setObjectName(QStringLiteral("msg_VideoSaved"));
            box->setAttribute(Qt::WA_DeleteOnClose);
            box->setModal(false);
            box->show();
        } else if (!error.isEmpty() && !mClosing) {
            QMessageBox::warning(this, tr("Export video"),
                                 tr("The video could not be exported.") + "\n\n" + error);
        }
        emit videoExportFinished(written, error);
    });
    progress->setValue(0);
    progress->show();
    mVideoJob->start();
    return true;
}
