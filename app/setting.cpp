// The settings dialog: shows the stored choices and writes changed ones through the store.
#include "setting.h"
#include "ui_setting.h"

#include "config/configuration.h"
#include "export/speedunit.h"
#include "movefilter.h"
#include "windowgeometry.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QScopedValueRollback>
#include <QTimerEvent>

namespace {

// A stored value outside the box's list (a hand-edited file) leaves the box without a
// selection; saving then keeps the stored value instead of writing the missing index.
int chosen(const QComboBox *box, int stored)
{
    return box->currentIndex() < 0 ? stored : box->currentIndex();
}

} // namespace

Setting::Setting(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::Setting)
{
    ui->setupUi(this);
    new MoveFilter(this);
    QFont title = QApplication::font();
    title.setPointSize(title.pointSize() + 1);
    ui->lbl_settingTitle->setFont(title);

    Configuration *config = Configuration::instance();
    ui->cBox_Language->setCurrentIndex(config->targetLanguage());
    ui->cBox_Mapsize->setCurrentIndex(config->mapSize());
    ui->cBox_SpeedUnit->setCurrentIndex(SpeedUnit::fromStored(config->speedUnit()));
    const QString mapSource = config->mapSource();
    const bool online = mapSource == QLatin1String(Configuration::OnlineMapSource);
    fillMapSources(online ? QString() : mapSource, !online);
    connect(ui->cBox_MapSource, QOverload<int>::of(&QComboBox::activated), this,
            &Setting::onMapSourceActivated);
    ui->cBox_MapSource->installEventFilter(this);
    connect(ui->pBtn_Cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->pBtn_Close, &QPushButton::clicked, this, &QDialog::reject);
    connect(config, &Configuration::updateLanguage, this, &Setting::onUpdateLanguage);
    mTimerId = startTimer(50);
}

Setting::~Setting()
{
    delete ui;
}

void Setting::on_pBtn_OK_clicked()
{
    Configuration *config = Configuration::instance();
    const int language = chosen(ui->cBox_Language, config->targetLanguage());
    const int mapSize = chosen(ui->cBox_Mapsize, config->mapSize());
    if (mapSize != config->mapSize() || language != config->targetLanguage()) {
        // Both are applied even when one is unchanged, so that every window retranslates and the
        // map is laid out and reloaded once for the new combination.
        config->setLanguage(language);
        config->setMapSize(mapSize);
    }
    // The speeds follow at once without restarting playback, so the unit goes on its own.
    const int speedUnit = ui->cBox_SpeedUnit->currentIndex();
    if (speedUnit != SpeedUnit::fromStored(config->speedUnit()))
        config->setSpeedUnit(speedUnit);
    // The entry that asks for a file is never left selected, so the selection names a source.
    const QString mapSource = ui->cBox_MapSource->currentData().toString();
    if (mapSource != config->mapSource()
        || (mMapFileChosen && ui->cBox_MapSource->currentIndex() == 1))
        config->setMapSource(mapSource);
    accept();
}

void Setting::onUpdateLanguage()
{
    const QString file = shownMapFile();
    const bool fileSelected = ui->cBox_MapSource->currentIndex() == 1;
    ui->retranslateUi(this);
    fillMapSources(file, fileSelected);
}

void Setting::fillMapSources(const QString &file, bool fileSelected)
{
    QComboBox *box = ui->cBox_MapSource;
    box->clear();
    box->addItem(tr("OpenStreetMap (online)"), QLatin1String(Configuration::OnlineMapSource));
    if (!file.isEmpty()) {
        box->addItem(QFileInfo(file).fileName(), file);
        box->setItemData(1, QDir::toNativeSeparators(file), Qt::ToolTipRole);
    }
    // Without data: choosing it asks for a file instead of naming a source.
    box->addItem(tr("Map file..."));
    mMapSourceIndex = fileSelected && !file.isEmpty() ? 1 : 0;
    box->setCurrentIndex(mMapSourceIndex);
}

QString Setting::shownMapFile() const
{
    const QComboBox *box = ui->cBox_MapSource;
    return box->count() > 2 ? box->itemData(1).toString() : QString();
}

void Setting::onMapSourceActivated(int index)
{
    QComboBox *box = ui->cBox_MapSource;
    if (box->itemData(index).isValid()) {
        mMapSourceIndex = index;
        return;
    }
    if (mStepping) {
        box->setCurrentIndex(mMapSourceIndex);
        return;
    }
    const QString shown = shownMapFile();
    const QString path = QFileDialog::getOpenFileName(
            this, tr("Map file"),
            shown.isEmpty() ? QDir::homePath() : QFileInfo(shown).absolutePath(),
            tr("Map files (*.mbtiles *.pmtiles)") + QStringLiteral(";;") + tr("All files (*)"));
    if (path.isEmpty()) {
        box->setCurrentIndex(mMapSourceIndex);
    } else {
        fillMapSources(path, true);
        mMapFileChosen = true;
    }
}

// The closed box reports a step of the keys (arrows, type-ahead letters...) or the wheel as a
// choice, like a pick in its list; only a pick asks for a file. Keys that open the list are no
// step: the pick comes later, from the list.
bool Setting::eventFilter(QObject *watched, QEvent *event)
{
    QComboBox *box = ui->cBox_MapSource;
    if (watched != box)
        return QDialog::eventFilter(watched, event);
    bool step = event->type() == QEvent::Wheel;
    if (event->type() == QEvent::KeyPress) {
        const auto *press = static_cast<QKeyEvent *>(event);
        const int key = press->key();
        const bool opensList = key == Qt::Key_Space || key == Qt::Key_F4
                               || ((key == Qt::Key_Up || key == Qt::Key_Down)
                                   && press->modifiers().testFlag(Qt::AltModifier));
        step = !opensList;
    }
    if (!step)
        return false;
    const QScopedValueRollback<bool> stepping(mStepping, true);
    // Public through QObject, where the box's own handling begins.
    return static_cast<QObject *>(box)->event(event);
}

void Setting::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != mTimerId) {
        QDialog::timerEvent(event);
        return;
    }
    setSystemFontSize();
}

void Setting::setSystemFontSize(bool changeOnce)
{
    const WindowGeometry::FontStep step
            = WindowGeometry::fontStepOn(this, &WindowGeometry::dialogFontStep);
    if (step.rate == mFontRate && !changeOnce)
        return;
    mFontRate = step.rate;

    QFont font = QApplication::font();
    font.setPointSize(step.pointSize);
    for (QWidget *widget : std::initializer_list<QWidget *>{
                 ui->lbl_language, ui->label_MapSize, ui->label_SpeedUnit, ui->label_MapSource,
                 ui->cBox_Language, ui->cBox_Mapsize, ui->cBox_SpeedUnit, ui->cBox_MapSource,
                 ui->pBtn_OK, ui->pBtn_Cancel})
        widget->setFont(font);
    QFont title = font;
    title.setPointSize(step.pointSize + WindowGeometry::dialogTitleFontIncrease(step.rate));
    ui->lbl_settingTitle->setFont(title);
    QCoreApplication::processEvents();
    move(geometry().topLeft());
}
