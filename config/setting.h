// The settings dialog: interface language and map size.
#pragma once

#include <QDialog>

namespace Ui {
class Setting;
}

class Setting : public QDialog
{
    Q_OBJECT

public:
    explicit Setting(QWidget *parent = nullptr);
    ~Setting() override;

    void setSystemFontSize(bool changeOnce = false);

protected:
    void timerEvent(QTimerEvent *event) override;

private slots:
    void on_pBtn_OK_clicked();
    void onUpdateLanguage();

private:
    Ui::Setting *ui;
    double mFontRate = 1.0;
    int mTimerId = -1;
};
