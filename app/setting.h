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
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void on_pBtn_OK_clicked();
    void onUpdateLanguage();
    void onMapSourceActivated(int index);

private:
    // Online, the map file (if one is chosen) and the entry that asks for another file.
    void fillMapSources(const QString &file, bool fileSelected);
    QString shownMapFile() const;

    Ui::Setting *ui;
    double mFontRate = 1.0;
    int mTimerId = -1;
    // The map source selected before the entry that asks for a file, for when none is chosen.
    int mMapSourceIndex = 0;
    // A file picked in the file dialog is opened again on saving even when it is the stored one:
    // it may have been missing when the viewer started.
    bool mMapFileChosen = false;
    // True while keys or the wheel step through the closed box, which must not ask for a file.
    bool mStepping = false;
};
