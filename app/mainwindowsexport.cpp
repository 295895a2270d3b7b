// The main window's exports: the playlist's menu, the save dialog and the export's progress.
#include "mainwindows.h"
#include "ui_mainwindows.h"

#include "applog.h"
#include "config/configuration.h"
#include "export/trackexport.h"
#include "exportjob.h"
#include "playlist/playlistitem.h"
#include "playlist/playlistmodel.h"
#include "videoexportjob.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>

#include <algorithm>

void MainWindows::setUpExport()
{
    mExportMenu = new QMenu(this);
    mExportMenu->setStyleSheet(
            QStringLiteral("QMenu{background-color: rgb(40, 40, 48); color: rgb(220, 220, 220);}"
                           "QMenu::item{padding: 5px 20px;}"
                           "QMenu::item:selected{background-color: rgb(38, 153, 238);}"
                           "QMenu::item:disabled{color: rgb(110, 110, 118);}"));
    mExportTrackAction = mExportMenu->addAction(QString(), this, &MainWindows::exportTrack);
    mExportDriveAction = mExportMenu->addAction(QString(), this, &MainWindows::exportDrive);
    mExportEventsAction = mExportMenu->addAction(QString(), this, &MainWindows::exportEvents);
    mExportVideoAction = mExportMenu->addAction(QString(), this, &MainWindows::exportVideo);
    retranslateExport();
    ui->tbl_PlayListView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->tbl_PlayListView, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) {
                showExportMenu(ui->tbl_PlayListView->viewport()->mapToGlobal(pos));
            });
    connect(ui->wgt_PlayCtrl, &ControlPanel::exportMenuRequested, this,
            &MainWindows::showExportMenu);
}

void MainWindows::retranslateExport()
{
    mExportTrackAction->setText(tr("Export track..."));
    mExportDriveAction->setText(tr("Export drive..."));
    mExportEventsAction->setText(tr("Export events..."));
    mExportVideoAction->setText(tr("Export video..."));
}

void MainWindows::showExportMenu(const QPoint &globalPos)
{
    const bool idle = !mExportJob && !mAddingFiles;
    mExportTrackAction->setEnabled(idle && !exportRows(false).isEmpty());
    mExportDriveAction->setEnabled(idle && mModel->rowCount() > 0);
    mExportEventsAction->setEnabled(idle && !mEventMoments.isEmpty());
    mExportVideoAction->setEnabled(!mVideoJob && !mAddingFiles && currentRowId() >= 0);
    mExportMenu->popup(globalPos);
}

QStringList MainWindows::exportRows(bool all, QStringList *recordings) const
{
    QList<int> rows;
    if (all) {
        for (int row = 0; row < mModel->rowCount(); ++row)
            rows << row;
    } else {
        for (const QModelIndex &index : ui->tbl_PlayListView->selectionModel()->selectedRows())
            rows << index.row();
        std::sort(rows.begin(), rows.end());
    }
    // A row stands for a front file and its rear partner, whose telemetry is the front's.
    QStringList files;
    for (int row : rows) {
        if (const PlaylistItem *item = mModel->item(row)) {
            files << item->url.toLocalFile();
            if (recordings)
                *recordings << recordingFiles(item);
        }
    }
    return files;
}

QStringList MainWindows::recordingFiles(const PlaylistItem *item) const
{
    QStringList files{item->url.toLocalFile()};
    const QUrl rear = mModel->rearFileUrl(item);
    if (!rear.isEmpty())
        files << rear.toLocalFile();
    return files;
}

void MainWindows::exportTrack()
{
    QStringList recordings;
    const QStringList files = exportRows(false, &recordings);
    if (files.isEmpty())
        return;
    askAndExport(tr("Export track"), files, recordings, false,
                 QFileInfo(files.first()).completeBaseName());
}

void MainWindows::exportDrive()
{
    QStringList recordings;
    const QStringList files = exportRows(true, &recordings);
    if (files.isEmpty())
        return;
    askAndExport(tr("Export drive"), files, recordings, true,
                 QFileInfo(files.first()).dir().dirName());
}

void MainWindows::askAndExport(const QString &title, const QStringList &files,
                               const QStringList &recordings, bool asDrive, QString name)
{
    // The menu was enabled before an adding began; a modal dialog would hold the adding up and
    // export a part of the drive.
    if (mAddingFiles)
        return;
    TrackWriter::Format format;
    const QString path
            = askSavePath(title, ExportJob::fileTypes(), name, asDrive ? drivesNote() : QString(),
                          recordings, [&format](const QString &chosen, const QString &type) {
                              return ExportJob::targetPath(chosen, type, &format);
                          });
    if (path.isEmpty())
        return;
    // A drive is named after the file the user chose; its folder's name can be anybody's.
    if (asDrive)
        name = QFileInfo(path).completeBaseName();
    startExport({files, asDrive, name, format, path});
}

QString MainWindows::askSavePath(
        const QString &title, const QStringList &types, const QString &name, const QString &note,
        const QStringList &recordings,
        const std::function<QString(const QString &, const QString &)> &target)
{
    QFileDialog dialog(this, title, Configuration::instance()->videoFilePath(),
                       types.join(QStringLiteral(";;")));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The format's extension may be added after the dialog, so its own question could be about
    // another file than the one written; the question below is about that one.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.selectNameFilter(types.first());
    // Without an extension, so that a file type chosen in the dialog is the one written.
    dialog.selectFile(name);
    // Only the toolkit's own dialog has a layout to put the note in.
    if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout()); grid && !note.isEmpty()) {
        auto *label = new QLabel(note, &dialog);
        label->setObjectName(QStringLiteral("lbl_ExportNote"));
        grid->addWidget(label, grid->rowCount(), 0, 1, grid->columnCount());
    }
    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        const QString path = target(dialog.selectedFiles().first(), dialog.selectedNameFilter());
        const QFileInfo file(path);
        if (!file.exists())
            return path;
        // A name that stands for a recording (a link to it) would have the export replace it.
        const bool isRecording = std::any_of(
                recordings.cbegin(), recordings.cend(),
                [&path](const QString &input) { return TrackExport::sameFile(path, input); });
        if (isRecording) {
            QMessageBox::warning(this, title,
                                 tr("%1 is one of the recordings exported.")
                                         .arg(QDir::toNativeSeparators(path)));
            continue;
        }
        // A device or a pipe would be written into, not replaced.
        if (!file.isFile()) {
            QMessageBox::warning(this, title,
                                 tr("%1 is not a file that an export can replace.")
                                         .arg(QDir::toNativeSeparators(path)));
            continue;
        }
        if (QMessageBox::question(
                    this, title,
                    tr("%1 already exists. Replace it?").arg(QDir::toNativeSeparators(path)))
            == QMessageBox::Yes)
            return path;
    }
}

bool MainWindows::startExport(const ExportJob::Request &request)
{
    if (mExportJob || mClosing)
        return false;
    qCDebug(lcApp) << "export of" << request.files.size() << "recordings to" << request.path;
    mExportJob = new ExportJob(request, this);
    auto *progress
            = new QProgressDialog(tr("Exporting..."), tr("Cancel"), 0, mExportJob->steps(), this);
    progress->setWindowModality(Qt::WindowModal);
    // A short export finishes before anyone could read the dialog.
    progress->setMinimumDuration(500);
    progress->setAutoReset(false);
    // Once cancelled, a step still on its way would show the dialog again.
    connect(mExportJob, &ExportJob::progressed, progress, [progress](int step) {
        if (!progress->wasCanceled())
            progress->setValue(step);
    });
    connect(progress, &QProgressDialog::canceled, mExportJob, &ExportJob::cancel,
            Qt::DirectConnection);
    // Also when the window has let go of a job that outlived its close.
    connect(mExportJob, &QThread::finished, mExportJob, &QObject::deleteLater);
    connect(mExportJob, &QThread::finished, this, [this, progress] {
        // Its pending show would otherwise put it over the message below.
        progress->reset();
        progress->deleteLater();
        const bool written = mExportJob->written();
        const QString error = mExportJob->error();
        mExportJob = nullptr;
        if (!written && !error.isEmpty() && !mClosing)
            QMessageBox::warning(this, tr("Export"),
                                 tr("The export could not be written.") + "\n\n" + error);
        emit exportFinished(written, error);
    });
    progress->setValue(0);
    mExportJob->start();
    return true;
}

namespace {

// Waits for a cancelled job. One still running after the wait is let go of: destroyed with the
// window while running, the thread would end the program; it deletes itself once it finishes.
template<typename Job>
void waitForCancelled(MainWindows *window, Job *&job, int waitMs)
{
    if (!job || job->wait(waitMs))
        return;
    qCWarning(lcApp) << "an export did not stop within" << waitMs / 1000 << "s of closing";
    QObject::disconnect(job, nullptr, window, nullptr);
    job->setParent(nullptr);
    job = nullptr;
}

} // namespace

void MainWindows::stopExport()
{
    if (mExportJob)
        mExportJob->cancel();
    if (mVideoJob)
        mVideoJob->cancel();
    // Reading one sample or writing one part is all that can be between two looks at the
    // cancel; a file system that hangs is the only thing that holds the close up longer.
    waitForCancelled(this, mExportJob, 10000);
    // A cancelled ffmpeg is terminated, killed after 2 s and waited for 5 s more.
    waitForCancelled(this, mVideoJob, 10000);
}
