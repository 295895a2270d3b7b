// Which samples the chart and the map track are drawn from, for per-frame and per-second lists.
#include "app/tracksampling.h"

#include <QtTest>

class TestTrackSampling : public QObject
{
    Q_OBJECT

private slots:
    void sampling_data();
    void sampling();
};

void TestTrackSampling::sampling_data()
{
    QTest::addColumn<int>("listSize");
    QTest::addColumn<int>("duration");
    QTest::addColumn<float>("frameRate");
    QTest::addColumn<int>("sampleCount");
    QTest::addColumn<QVector<int>>("indexes");

    QVector<int> everyFrame;
    for (int i = 0; i < 30; ++i)
        everyFrame << i * 30;
    QVector<int> perSecond;
    for (int i = 0; i < 30; ++i)
        perSecond << i;
    QTest::newRow("a sample per frame") << 900 << 30 << 30.0f << 30 << everyFrame;
    QTest::newRow("one frame short") << 870 << 30 << 30.0f << 30 << everyFrame.mid(0, 29);
    QTest::newRow("a sample per second") << 30 << 30 << 30.0f << 30 << perSecond;
    QTest::newRow("frame rate unknown") << 30 << 30 << 0.0f << 30 << perSecond;
    QTest::newRow("fractional rate") << 90 << 4 << 29.97f << 4 << QVector<int>{0, 29, 59, 89};
    QTest::newRow("no samples") << 0 << 30 << 30.0f << 0 << QVector<int>();
}

void TestTrackSampling::sampling()
{
    QFETCH(int, listSize);
    QFETCH(int, duration);
    QFETCH(float, frameRate);
    QFETCH(int, sampleCount);
    QFETCH(QVector<int>, indexes);

    const TrackSampling sampling = trackSampling(listSize, duration, frameRate);
    QCOMPARE(sampling.sampleCount, sampleCount);
    QCOMPARE(sampling.indexes, indexes);
}

QTEST_GUILESS_MAIN(TestTrackSampling)
#include "tst_tracksampling.moc"
