// Compact playback-rate selector: the selected entry's text between "faster" and "slower" buttons.
#include "fcombobox.h"
#include "ui_fcombobox.h"

#include "config/configuration.h"

#include <QDebug>

FComboBox::FComboBox(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::FComboBox)
{
    // The images live in a static library, whose unreferenced resource object the linker drops.
    Q_INIT_RESOURCE(velqor_images);
    ui->setupUi(this);
    connect(Configuration::instance(), &Configuration::updateLanguage, this,
            &FComboBox::onUpdateLanguage);
}

FComboBox::~FComboBox()
{
    delete ui;
}

void FComboBox::addItem(const QString &text, const QVariant &value)
{
    mItems.append({text, value});
    if (mCurrentIndex < mItems.size() - 1) {
        ui->pBtn_Up->setEnabled(true);
        ui->pBtn_Down->setEnabled(true);
    }
}

void FComboBox::setCurrentIndex(int index)
{
    if (index < 0 || index >= mItems.size())
        return;
    mCurrentIndex = index;
    showCurrent();
    emit activated(index);
}

QVariant FComboBox::itemData(int index, int role) const
{
    Q_UNUSED(role)
    if (index < 0 || index >= mItems.size())
        return QVariant();
    return mItems.at(index).value;
}

void FComboBox::on_pBtn_Up_clicked()
{
    if (mCurrentIndex >= mItems.size() - 1)
        return;
    ++mCurrentIndex;
    qDebug() << "rate index" << mCurrentIndex << "of" << mItems.size();
    showCurrent();
    if (mCurrentIndex == mItems.size() - 1)
        ui->pBtn_Up->setEnabled(false);
    if (!ui->pBtn_Down->isEnabled())
        ui->pBtn_Down->setEnabled(true);
    emit activated(mCurrentIndex);
}

void FComboBox::on_pBtn_Down_clicked()
{
    if (mCurrentIndex <= 0)
        return;
    --mCurrentIndex;
    showCurrent();
    if (mCurrentIndex == 0)
        ui->pBtn_Down->setEnabled(false);
    if (!ui->pBtn_Up->isEnabled())
        ui->pBtn_Up->setEnabled(true);
    emit activated(mCurrentIndex);
}

void FComboBox::onUpdateLanguage()
{
    ui->retranslateUi(this);
    // Re-reporting the selection makes the owner apply its rate again after the change.
    if (mCurrentIndex < mItems.size()) {
        showCurrent();
        emit activated(mCurrentIndex);
    }
}

void FComboBox::showCurrent()
{
    ui->lbl_Text->setText(mItems.at(mCurrentIndex).text);
}
