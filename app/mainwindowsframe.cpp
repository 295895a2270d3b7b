// The main window's own chrome: maximize and restore, geometry memory, edges, density fonts.
#include "mainwindows.h"
#include "ui_mainwindows.h"

#include "config/configuration.h"
#include "edgeresizer.h"
#include "movefilter.h"
#include "platform.h"

#include <QApplication>
#include <QDebug>
#include <QMouseEvent>
#include <QScreen>
#include <QThread>
#include <QTimerEvent>

const QRect MainWindows::DefaultRect(483, 166, 950, 628);

int MainWindows::currentScreenNumber() const
{
    return qMax(0, QGuiApplication::screens().indexOf(screen()));
}

void MainWindows::toggleMaximize(bool fromConstructor)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    Configuration *config = Configuration::instance();
    int number = currentScreenNumber();
    if (screens.size() > 1 && mTimerId == -1)
        number = config->mainWindowsScreenNumber();
    // A stored screen that has since been unplugged is no screen to open on.
    QScreen *target = screens.value(number, QGuiApplication::primaryScreen());
    if (!target) {
        updateMaximizeButton();
        return;
    }
    const QRect available = target->availableGeometry();

    if (mIsNormal) {
        if (!fromConstructor)
            mRestoreRect = normalGeometry();
        config->setMainWindowsRect(mRestoreRect);
        const QRect maximized = WindowGeometry::maximizedGeometry(available);
        setGeometry(maximized);
        setFixedSize(maximized.size());
        mIsNormal = false;
        mMoveFilter->setMaximized(true);
    } else {
        const QRect rect = config->mainWindowsRect();
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        applyMapSize();
        showNormal();
        setGeometry(rect);
        mIsNormal = true;
        mMoveFilter->setMaximized(false);
    }
    updateMaximizeButton();
}

void MainWindows::updateMaximizeButton()
{
    ui->pBtn_Maximize->setChecked(!mIsNormal);
    ui->pBtn_Maximize->setToolTip(mIsNormal ? tr("Maximize") : tr("Restore Down"));
}

void MainWindows::restoreWindowGeometry()
{
    Configuration *config = Configuration::instance();
    mRestoreRect = config->mainWindowsRect();
    if (!QGuiApplication::screenAt(mRestoreRect.center()))
        mRestoreRect = DefaultRect;
    if (config->mainWindowsIsMaximize())
        toggleMaximize(true);
    else
        setGeometry(mRestoreRect);
}

void MainWindows::saveWindowGeometry()
{
    Configuration *config = Configuration::instance();
    config->setMainWindowsRect(mIsNormal ? geometry() : mRestoreRect);
    config->setMainWindowsIsMaximize(!mIsNormal);
    config->setMainWindowsScreenNumber(currentScreenNumber());
    config->sync();
}

void MainWindows::setSystemFontSize(bool changeOnce)
{
    const WindowGeometry::FontStep step
            = WindowGeometry::fontStepOn(this, &WindowGeometry::windowFontStep);
    if (step.rate == mFontRate && !changeOnce)
        return;
    qDebug() << "Main rate = " << step.rate;
    mFontRate = step.rate;

    QFont font = QApplication::font();
    font.setPointSize(step.pointSize);
    QApplication::setFont(font);
    for (const char *className :
         {"QLabel", "QPushButton", "QTableView", "QHeaderView", "QComboBox"})
        QApplication::setFont(font, className);
    QFont title = font;
    title.setPointSize(step.pointSize + 1);
    ui->lbl_Title->setFont(title);
    QFont large = title;
    large.setPointSize(title.pointSize() + WindowGeometry::gaugeFontIncrease(step.rate));
    for (QWidget *widget : std::initializer_list<QWidget *>{
                 ui->lbl_GyroCurrentX, ui->lbl_GyroCurrentValueX, ui->lbl_GyroCurrentY,
                 ui->lbl_GyroCurrentValueY, ui->lbl_GyroCurrentZ, ui->lbl_GyroCurrentValueZ,
                 ui->pBtn_Speed})
        widget->setFont(large);
    fitPlaylistColumns(true);
    QCoreApplication::processEvents();
    move(geometry().topLeft());
}

void MainWindows::setMovingWindowFlag(bool bIsStop)
{
    PlayAreaManager *area = ui->wgt_PlayArea;
    if (!bIsStop) {
        if (area->state() == QMediaPlayer::PlayingState) {
            mPlayStateBeforeDrag = 1;
            qDebug() << "pause";
            area->pause();
        }
        return;
    }
    const bool screenChanged = currentScreenNumber() != mPressScreen;
    if (screenChanged)
        QThread::msleep(50);
    if (mPlayStateBeforeDrag == 1) {
        area->play();
        mPlayStateBeforeDrag = 2;
        qDebug() << (screenChanged ? "play1" : "play2");
    }
}

void MainWindows::mousePressEvent(QMouseEvent *event)
{
    if (event->buttons() == Qt::LeftButton)
        mPressScreen = currentScreenNumber();
    event->accept();
}

void MainWindows::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons() == Qt::LeftButton)
        event->accept();
}

void MainWindows::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && screen()) {
        const int available = screen()->availableGeometry().height();
        if (frameGeometry().height() > available)
            resize(frameGeometry().width(), available);
    }
    event->accept();
}

WindowGeometry::Edge MainWindows::hitTest()
{
    mEdge = mIsNormal ? WindowGeometry::hitTest(QCursor::pos(), frameGeometry())
                      : WindowGeometry::NoEdge;
    setCursor(WindowGeometry::cursorFor(mEdge));
    return mEdge;
}

bool MainWindows::nativeEventFilter(const QByteArray &eventType, void *message, long *result)
{
    Q_UNUSED(result)
    switch (Platform::classifyNativeEvent(eventType, message, winId())) {
    case Platform::NativeMouse::Move:
        if (hitTest() == WindowGeometry::NoEdge)
            return false;
        Platform::setSystemEdgeCursor(mEdge);
        return true;
    case Platform::NativeMouse::LeftPress:
        return hitTest() != WindowGeometry::NoEdge && Platform::startSystemResize(this, mEdge);
    case Platform::NativeMouse::Other:
        break;
    }
    return false;
}

void MainWindows::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != mTimerId) {
        QDialog::timerEvent(event);
        return;
    }
    QScreen *own = screen();
    // showNormal() would bring a minimized window back.
    if (own && !isMinimized()) {
        const QRect available = own->availableGeometry();
        if (!mIsNormal) {
            // A maximized window moved to another screen, or whose work area changed, is refitted.
            const QRect maximized = WindowGeometry::maximizedGeometry(available);
            if (size() != maximized.size()) {
                showNormal();
                setGeometry(maximized);
                setFixedSize(maximized.size());
            }
        } else {
            if (width() >= available.width() || height() >= available.height())
                showNormal();
            if (width() < minimumWidth() || height() < minimumHeight()) {
                showNormal();
                resize(minimumSize());
            }
        }
    }
    if (mEdgeResizer)
        mEdgeResizer->updateCursor();
    setSystemFontSize(false);
}
