// Tests of the rate selector: stepping bounds, button states, selection and language re-reports.
#include "config/configuration.h"
#include "controls/fcombobox.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>

class TestFComboBox : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void addingEnablesButtonsFromTheSecondEntry();
    void stepsThroughTheRatesAndStopsAtBothEnds();
    void clicksAtTheBoundsEmitNothing();
    void selectionOutsideTheEntriesIsIgnored();
    void itemDataOutsideTheEntriesIsInvalid();
    void languageChangeReportsTheSelectionAgain();
    void languageChangeWithoutEntriesReportsNothing();
    void buttonImagesLoad();
};

namespace {

struct Selector
{
    Selector()
    {
        box.addItem(QStringLiteral("0.5x"), 0.5);
        box.addItem(QStringLiteral("1.0x"), 1.0);
        box.addItem(QStringLiteral("2.0x"), 2.0);
        up = box.findChild<QPushButton *>(QStringLiteral("pBtn_Up"));
        down = box.findChild<QPushButton *>(QStringLiteral("pBtn_Down"));
        text = box.findChild<QLabel *>(QStringLiteral("lbl_Text"));
    }

    FComboBox box;
    QPushButton *up = nullptr;
    QPushButton *down = nullptr;
    QLabel *text = nullptr;
};

} // namespace

void TestFComboBox::initTestCase()
{
    // The selector listens to the configuration store, whose file must stay out of the user's.
    QStandardPaths::setTestModeEnabled(true);
}

void TestFComboBox::addingEnablesButtonsFromTheSecondEntry()
{
    FComboBox box;
    auto *up = box.findChild<QPushButton *>(QStringLiteral("pBtn_Up"));
    auto *down = box.findChild<QPushButton *>(QStringLiteral("pBtn_Down"));
    QVERIFY(up && down);
    QCOMPARE(box.objectName(), QStringLiteral("FComboBox"));
    QVERIFY(!up->isEnabled());
    QVERIFY(!down->isEnabled());
    QCOMPARE(box.count(), 0);
    QCOMPARE(box.currentIndex(), 0);

    box.addItem(QStringLiteral("0.5x"), 0.5);
    QVERIFY(!up->isEnabled());
    QVERIFY(!down->isEnabled());
    box.addItem(QStringLiteral("1.0x"), 1.0);
    QVERIFY(up->isEnabled());
    QVERIFY(down->isEnabled());
    QCOMPARE(box.count(), 2);
}

void TestFComboBox::stepsThroughTheRatesAndStopsAtBothEnds()
{
    Selector s;
    QSignalSpy activated(&s.box, &FComboBox::activated);
    s.box.setCurrentIndex(1);
    QCOMPARE(s.text->text(), QStringLiteral("1.0x"));
    QVERIFY(s.up->isEnabled() && s.down->isEnabled());

    s.up->click();
    QCOMPARE(s.text->text(), QStringLiteral("2.0x"));
    QVERIFY(!s.up->isEnabled());
    QVERIFY(s.down->isEnabled());

    s.down->click();
    QCOMPARE(s.text->text(), QStringLiteral("1.0x"));
    QVERIFY(s.up->isEnabled());
    s.down->click();
    QCOMPARE(s.text->text(), QStringLiteral("0.5x"));
    QVERIFY(!s.down->isEnabled());
    QVERIFY(s.up->isEnabled());
    QCOMPARE(s.box.currentIndex(), 0);

    QCOMPARE(activated.count(), 4);
    const QList<int> expected{1, 2, 1, 0};
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(activated.at(i).at(0).toInt(), expected.at(i));
}

void TestFComboBox::clicksAtTheBoundsEmitNothing()
{
    // Selecting directly leaves the buttons enabled; their handlers must guard the ends.
    Selector s;
    s.box.setCurrentIndex(2);
    QVERIFY(s.up->isEnabled());
    QSignalSpy activated(&s.box, &FComboBox::activated);
    s.up->click();
    QCOMPARE(activated.count(), 0);
    QCOMPARE(s.box.currentIndex(), 2);

    s.box.setCurrentIndex(0);
    QCOMPARE(s.text->text(), QStringLiteral("0.5x"));
    QVERIFY(s.down->isEnabled());
    activated.clear();
    s.down->click();
    QCOMPARE(activated.count(), 0);
    QCOMPARE(s.box.currentIndex(), 0);
}

void TestFComboBox::selectionOutsideTheEntriesIsIgnored()
{
    Selector s;
    s.box.setCurrentIndex(1);
    QSignalSpy activated(&s.box, &FComboBox::activated);
    s.box.setCurrentIndex(3);
    s.box.setCurrentIndex(-1);
    QCOMPARE(activated.count(), 0);
    QCOMPARE(s.box.currentIndex(), 1);
    QCOMPARE(s.text->text(), QStringLiteral("1.0x"));
}

void TestFComboBox::itemDataOutsideTheEntriesIsInvalid()
{
    Selector s;
    QCOMPARE(s.box.itemData(2, Qt::UserRole).toDouble(), 2.0);
    QVERIFY(!s.box.itemData(7, Qt::UserRole).isValid());
    QVERIFY(!s.box.itemData(3).isValid());
    QVERIFY(!s.box.itemData(-1).isValid());
}

void TestFComboBox::languageChangeReportsTheSelectionAgain()
{
    Selector s;
    s.box.setCurrentIndex(1);
    s.up->click();
    QSignalSpy activated(&s.box, &FComboBox::activated);
    Configuration::instance()->setLanguage(1);
    QCOMPARE(activated.count(), 1);
    QCOMPARE(activated.at(0).at(0).toInt(), 2);
    QCOMPARE(s.text->text(), QStringLiteral("2.0x"));
    QCOMPARE(s.up->toolTip(), QStringLiteral("Quick"));
    QCOMPARE(s.down->toolTip(), QStringLiteral("Slow"));
}

void TestFComboBox::languageChangeWithoutEntriesReportsNothing()
{
    FComboBox box;
    QSignalSpy activated(&box, &FComboBox::activated);
    Configuration::instance()->setLanguage(1);
    QCOMPARE(activated.count(), 0);
}

void TestFComboBox::buttonImagesLoad()
{
    FComboBox box;
    for (const char *name : {"speedup", "speeddown"}) {
        for (const char *state : {"normal", "hover", "pressed"}) {
            const QString path = QStringLiteral(":/image/%1_%2.png").arg(name, state);
            const QImage image(path);
            QVERIFY2(!image.isNull(), qPrintable(path));
            QCOMPARE(image.size(), QSize(16, 16));
        }
    }
}

QTEST_MAIN(TestFComboBox)
#include "tst_fcombobox.moc"
