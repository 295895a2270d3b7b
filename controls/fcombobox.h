// Compact playback-rate selector: the selected entry's text between "faster" and "slower" buttons.
#pragma once

#include <QList>
#include <QString>
#include <QVariant>
#include <QWidget>

namespace Ui {
class FComboBox;
}

class FComboBox : public QWidget
{
    Q_OBJECT

public:
    explicit FComboBox(QWidget *parent = nullptr);
    ~FComboBox() override;

    void addItem(const QString &text, const QVariant &value);
    // Selects an entry and reports it; indexes outside the entries are ignored.
    void setCurrentIndex(int index);
    // The value of an entry, or an invalid QVariant for an index outside the entries; the role
    // is accepted for the combo-box-like call sites and ignored.
    QVariant itemData(int index, int role = Qt::UserRole) const;
    int currentIndex() const { return mCurrentIndex; }
    int count() const { return mItems.size(); }

signals:
    void activated(int index);

private slots:
    void on_pBtn_Up_clicked();
    void on_pBtn_Down_clicked();
    void onUpdateLanguage();

private:
    struct Item
    {
        QString text;
        QVariant value;
    };

    void showCurrent();

    Ui::FComboBox *ui;
    QList<Item> mItems;
    int mCurrentIndex = 0;
};
