// Tests of the exported frame's size and where each camera's picture goes in it.
#include <videoexport/videolayout.h>

#include <QtTest>

Q_DECLARE_METATYPE(VideoLayout::Arrangement)
Q_DECLARE_METATYPE(VideoLayout::Resolution)

class TestVideoLayout : public QObject
{
    Q_OBJECT

private slots:
    void geometry_data();
    void geometry();
};

void TestVideoLayout::geometry_data()
{
    QTest::addColumn<VideoLayout::Arrangement>("arrangement");
    QTest::addColumn<VideoLayout::Resolution>("resolution");
    QTest::addColumn<QSize>("frontSize");
    QTest::addColumn<QSize>("rearSize");
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QRect>("front");
    QTest::addColumn<QRect>("rear");

    const QSize fullHd(1920, 1080);
    const QSize hd(1280, 720);
    const QSize rearHalf(960, 540);
    const QSize vga(640, 480);
    const QSize none;

    QTest::newRow("front, source") << VideoLayout::Front << VideoLayout::SourceSize << fullHd
                                   << rearHalf << fullHd << QRect(0, 0, 1920, 1080) << QRect();
    QTest::newRow("front 4:3, 720p: black bars left and right")
            << VideoLayout::Front << VideoLayout::Hd720 << vga << rearHalf << hd
            << QRect(160, 0, 960, 720) << QRect();
    QTest::newRow("front missing: a black frame of the rear's size")
            << VideoLayout::Front << VideoLayout::SourceSize << none << rearHalf << rearHalf
            << QRect() << QRect();
    QTest::newRow("rear, source: fitted into the front's size")
            << VideoLayout::Rear << VideoLayout::SourceSize << fullHd << rearHalf << fullHd
            << QRect() << QRect(0, 0, 1920, 1080);
    QTest::newRow("rear 4:3, 1080p") << VideoLayout::Rear << VideoLayout::Hd1080 << fullHd << vga
                                     << fullHd << QRect() << QRect(240, 0, 1440, 1080);
    QTest::newRow("no sizes at all: 1280x720") << VideoLayout::Rear << VideoLayout::SourceSize
                                               << none << none << hd << QRect() << QRect();
    QTest::newRow("side by side, 720p")
            << VideoLayout::SideBySide << VideoLayout::Hd720 << fullHd << rearHalf << hd
            << QRect(0, 180, 640, 360) << QRect(640, 180, 640, 360);
    QTest::newRow("side by side, 4:3 front, 16:9 rear")
            << VideoLayout::SideBySide << VideoLayout::Hd720 << vga << rearHalf << hd
            << QRect(0, 120, 640, 480) << QRect(640, 180, 640, 360);
    QTest::newRow("side by side, rear missing")
            << VideoLayout::SideBySide << VideoLayout::Hd720 << fullHd << none << hd
            << QRect(0, 180, 640, 360) << QRect();
    // 1366 / 2 is odd: the left half rounds down to an even width and the right one takes the
    // rest.
    QTest::newRow("side by side, source 1366x768")
            << VideoLayout::SideBySide << VideoLayout::SourceSize << QSize(1366, 768) << rearHalf
            << QSize(1366, 768) << QRect(0, 192, 682, 384) << QRect(682, 192, 684, 384);
    QTest::newRow("picture in picture, 720p")
            << VideoLayout::PictureInPicture << VideoLayout::Hd720 << fullHd << rearHalf << hd
            << QRect(0, 0, 1280, 720) << QRect(874, 22, 384, 216);
    QTest::newRow("picture in picture, 1080p, 4:3 rear")
            << VideoLayout::PictureInPicture << VideoLayout::Hd1080 << fullHd << vga << fullHd
            << QRect(0, 0, 1920, 1080) << QRect(1312, 32, 576, 432);
    QTest::newRow("picture in picture, rear missing")
            << VideoLayout::PictureInPicture << VideoLayout::Hd1080 << fullHd << none << fullHd
            << QRect(0, 0, 1920, 1080) << QRect();
    QTest::newRow("odd source size: rounded down to even")
            << VideoLayout::PictureInPicture << VideoLayout::SourceSize << QSize(853, 481)
            << QSize(853, 481) << QSize(852, 480) << QRect(0, 0, 852, 480)
            << QRect(582, 14, 256, 144);
}

void TestVideoLayout::geometry()
{
    QFETCH(VideoLayout::Arrangement, arrangement);
    QFETCH(VideoLayout::Resolution, resolution);
    QFETCH(QSize, frontSize);
    QFETCH(QSize, rearSize);

    const VideoLayout::Geometry geometry
            = VideoLayout::geometry(arrangement, resolution, frontSize, rearSize);
    QTEST(geometry.frame, "frame");
    QTEST(geometry.front, "front");
    QTEST(geometry.rear, "rear");

    const QRect frame(QPoint(0, 0), geometry.frame);
    for (const QRect &view : {geometry.front, geometry.rear}) {
        if (view.isNull())
            continue;
        QVERIFY2(frame.contains(view), qPrintable(QStringLiteral("view %1,%2 %3x%4 outside")
                                                          .arg(view.x())
                                                          .arg(view.y())
                                                          .arg(view.width())
                                                          .arg(view.height())));
        for (int value : {view.x(), view.y(), view.width(), view.height()})
            QVERIFY2(value % 2 == 0, "yuv420 needs even edges");
    }
    QCOMPARE(geometry.frame.width() % 2, 0);
    QCOMPARE(geometry.frame.height() % 2, 0);
    // The views never overlap, except the picture in picture that lies over the front.
    if (arrangement != VideoLayout::PictureInPicture)
        QVERIFY(!geometry.front.intersects(geometry.rear));
}

QTEST_GUILESS_MAIN(TestVideoLayout)
#include "tst_videolayout.moc"
