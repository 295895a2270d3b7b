// Decoding of the 312-byte telemetry records: fields, hemispheres, G-sensor, bounds and heading.
#include "mp4writer.h"
#include "recording.h"
#include "samplecheck.h"

#include <parser/fieldscan.h>
#include <parser/mp4parser.h>

#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QtTest>

#include <climits>
#include <cstdio>
#include <cstring>
#include <random>

namespace {

// The test environment silences debug output; the G-sensor error line must be seen to be
// expected, so debug messages are let through while one of these lives.
class DebugLines
{
public:
    DebugLines() { sPrevious = QLoggingCategory::installFilter(&enable); }
    ~DebugLines() { QLoggingCategory::installFilter(sPrevious); }

private:
    static void enable(QLoggingCategory *category)
    {
        if (sPrevious)
            sPrevious(category);
        category->setEnabled(QtDebugMsg, true);
    }
    static QLoggingCategory::CategoryFilter sPrevious;
};
QLoggingCategory::CategoryFilter DebugLines::sPrevious = nullptr;

SampleRecord at(double longitude, double latitude)
{
    SampleRecord record;
    record.setPosition(latitude, longitude);
    return record;
}

} // namespace

class TestSampleDecoding : public QObject
{
    Q_OBJECT

private:
    // A file whose records (given unscrambled) sit in a top-level "gps0" box.
    QString writeRecords(const QVector<QByteArray> &plainRecords);
    QString writeRecords(const QVector<SampleRecord> &records);
    QVector<GpsData> decode(const QVector<SampleRecord> &records);

    QTemporaryDir mDir;
    int mFiles = 0;

private slots:
    void fields();
    void hemispheres_data();
    void hemispheres();
    void gsensor_data();
    void gsensor();
    void textFieldsEndAtNul_data();
    void textFieldsEndAtNul();
    void numbersThatDoNotParse_data();
    void numbersThatDoNotParse();
    void recordCutByEndOfFile();
    void readSampleBounds();
    void heading_data();
    void heading();
    void headingKeptWhenOneCoordinateStands();
    void courseQuadrants_data();
    void courseQuadrants();
    void numbersReadAsTheCLibraryReadsThem();
};

QString TestSampleDecoding::writeRecords(const QVector<QByteArray> &plainRecords)
{
    const QString path = mDir.filePath(QStringLiteral("records%1.MP4").arg(++mFiles));
    Mp4Writer w(path);
    w.ftyp("isom");
    w.begin("gps0");
    for (const QByteArray &record : plainRecords)
        w.bytes(SampleRecord::scramble(record).left(SampleRecord::Size - 1));
    w.end();
    return w.close() ? path : QString();
}

QString TestSampleDecoding::writeRecords(const QVector<SampleRecord> &records)
{
    QVector<QByteArray> plain;
    for (const SampleRecord &record : records)
        plain.append(record.plain());
    return writeRecords(plain);
}

QVector<GpsData> TestSampleDecoding::decode(const QVector<SampleRecord> &records)
{
    Mp4Parser parser(writeRecords(records));
    return readAllSamples(parser);
}

void TestSampleDecoding::fields()
{
    SampleRecord first;
    first.dateTime = "20231231235959";
    first.auxText = "ABCDEFGHIJKLMNO";
    first.fixFlag = 'A';
    first.latitudeRef = 'N';
    first.latitudeDegrees = 35;
    first.latitudeMinutes = 301234; // 30.1234'
    first.longitudeRef = 'E';
    first.longitudeDegrees = 139;
    first.longitudeMinutes = 45678; // 4.5678'
    first.auxValue = 12345;
    first.speed = 123;
    first.gsensor[0] = "+1.23";
    first.gsensor[1] = "-0.98";
    first.gsensor[2] = "+0.05";
    SampleRecord second;
    second.fixFlag = 0;

    const QVector<GpsData> samples = decode({first, second});
    QCOMPARE(samples.size(), 2);
    const GpsData &s = samples.at(0);
    QCOMPARE(s.index, 0);
    QCOMPARE(QByteArray(s.dateTime), QByteArray("20231231235959"));
    QCOMPARE(QByteArray(s.auxText), QByteArray("ABCDEFGHIJKLMNO"));
    QCOMPARE(s.fixFlag, quint8('A'));
    QCOMPARE(s.latitudeRef, 'N');
    QCOMPARE(QString::number(s.latitude, 'f', 9), QStringLiteral("35.502056667"));
    QCOMPARE(s.longitudeRef, 'E');
    QCOMPARE(QString::number(s.longitude, 'f', 9), QStringLiteral("139.076130000"));
    QCOMPARE(s.auxValue, 12345);
    QCOMPARE(s.speed, 123);
    QCOMPARE(s.gsensorX, 1.23f);
    QCOMPARE(s.gsensorY, -0.98f);
    QCOMPARE(s.gsensorZ, 0.05f);
    QCOMPARE(s.heading, 0.0);
    QCOMPARE(samples.at(1).index, 1);
    QCOMPARE(samples.at(1).fixFlag, quint8(0));
    QCOMPARE(samplecheck::difference(samples.at(1), second), QString());
}

void TestSampleDecoding::hemispheres_data()
{
    QTest::addColumn<double>("latitude");
    QTest::addColumn<double>("longitude");
    QTest::addColumn<char>("latitudeRef");
    QTest::addColumn<char>("longitudeRef");
    QTest::newRow("north east") << 35.5 << 139.25 << 'N' << 'E';
    QTest::newRow("south east") << -33.865 << 151.2094 << 'S' << 'E';
    QTest::newRow("north west") << 40.7128 << -74.006 << 'N' << 'W';
    QTest::newRow("south west") << -34.6037 << -58.3816 << 'S' << 'W';
}

void TestSampleDecoding::hemispheres()
{
    QFETCH(double, latitude);
    QFETCH(double, longitude);
    QFETCH(char, latitudeRef);
    QFETCH(char, longitudeRef);
    SampleRecord record;
    record.setPosition(latitude, longitude);
    const QVector<GpsData> samples = decode({record});
    QCOMPARE(samples.size(), 1);
    QCOMPARE(samples.at(0).latitudeRef, latitudeRef);
    QCOMPARE(samples.at(0).longitudeRef, longitudeRef);
    QVERIFY2(qAbs(samples.at(0).latitude - latitude) < 1e-6,
             qPrintable(QString::number(samples.at(0).latitude)));
    QVERIFY2(qAbs(samples.at(0).longitude - longitude) < 1e-6,
             qPrintable(QString::number(samples.at(0).longitude)));
}

void TestSampleDecoding::gsensor_data()
{
    QTest::addColumn<QByteArrayList>("groups");
    QTest::addColumn<QVector<float>>("expected");
    QTest::addColumn<int>("errorLines");
    QTest::newRow("signs") << QByteArrayList{"+0.12", "-0.98", "+1.00"}
                           << QVector<float>{0.12f, -0.98f, 1.0f} << 0;
    QTest::newRow("extremes") << QByteArrayList{"-9.99", "+9.99", "-0.00"}
                              << QVector<float>{-9.99f, 9.99f, 0.0f} << 0;
    QTest::newRow("blank sign") << QByteArrayList{" 0.12", "-0.98", "+0.50"}
                                << QVector<float>{0.0f, -0.98f, 0.5f} << 1;
    QTest::newRow("no sign anywhere") << QByteArrayList{"x1.00", "00.50",
                                                        "\0"
                                                        "0.00"}
                                      << QVector<float>{0.0f, 0.0f, 0.0f} << 3;
}

void TestSampleDecoding::gsensor()
{
    QFETCH(QByteArrayList, groups);
    QFETCH(QVector<float>, expected);
    QFETCH(int, errorLines);
    SampleRecord record;
    for (int axis = 0; axis < 3; ++axis)
        record.gsensor[axis] = groups.at(axis);
    const QString path = writeRecords(QVector<SampleRecord>{record});

    const DebugLines debug;
    Mp4Parser parser(path);
    for (int i = 0; i < errorLines; ++i)
        QTest::ignoreMessage(QtDebugMsg, "gsensor data error");
    GpsData sample;
    QVERIFY(parser.readSample(0, sample));
    QCOMPARE(sample.gsensorX, expected.at(0));
    QCOMPARE(sample.gsensorY, expected.at(1));
    QCOMPARE(sample.gsensorZ, expected.at(2));
    // Decoding goes on after a bad group.
    QCOMPARE(sample.speed, record.speed);
}

void TestSampleDecoding::textFieldsEndAtNul_data()
{
    QTest::addColumn<QByteArray>("dateTime");
    QTest::addColumn<QByteArray>("auxText");
    QTest::addColumn<QByteArray>("expectedDateTime");
    QTest::addColumn<QByteArray>("expectedAuxText");
    QTest::newRow("full fields") << QByteArray("20200101120000") << QByteArray("ABCDEFGHIJKLMNO")
                                 << QByteArray("20200101120000") << QByteArray("ABCDEFGHIJKLMNO");
    QTest::newRow("NUL inside") << QByteArray("2020\0"
                                              "0101120000",
                                              14)
                                << QByteArray("AB\0DEFGHIJKLMNO", 15) << QByteArray("2020")
                                << QByteArray("AB");
    QTest::newRow("empty aux text") << QByteArray("20200101120000") << QByteArray()
                                    << QByteArray("20200101120000") << QByteArray();
}

void TestSampleDecoding::textFieldsEndAtNul()
{
    QFETCH(QByteArray, dateTime);
    QFETCH(QByteArray, auxText);
    QFETCH(QByteArray, expectedDateTime);
    QFETCH(QByteArray, expectedAuxText);
    SampleRecord record;
    record.dateTime = dateTime;
    record.auxText = auxText;
    const QVector<GpsData> samples = decode({record});
    QCOMPARE(samples.size(), 1);
    // Each text ends within its own field although the record runs on without a NUL.
    QCOMPARE(QByteArray(samples.at(0).dateTime), expectedDateTime);
    QCOMPARE(QByteArray(samples.at(0).auxText), expectedAuxText);
    QCOMPARE(samples.at(0).fixFlag, quint8('A'));
}

void TestSampleDecoding::numbersThatDoNotParse_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("field");
    QTest::addColumn<double>("expected");
    QTest::newRow("speed letters") << 62 << QByteArray("abc") << "speed" << 0.0;
    QTest::newRow("speed stops at letter") << 62 << QByteArray("07x") << "speed" << 7.0;
    QTest::newRow("aux value signed") << 57 << QByteArray("-1234") << "auxValue" << -1234.0;
    QTest::newRow("aux value stops at blank") << 57 << QByteArray("12 45") << "auxValue" << 12.0;
    QTest::newRow("latitude minutes missing") << 39 << QByteArray("3x123456") << "latitude" << 3.0;
    QTest::newRow("longitude letters") << 48 << QByteArray("E12345678") << "longitude" << 0.0;
}

void TestSampleDecoding::numbersThatDoNotParse()
{
    QFETCH(int, offset);
    QFETCH(QByteArray, text);
    QFETCH(QString, field);
    QFETCH(double, expected);
    SampleRecord record;
    record.setPosition(35.5, 139.5);
    record.speed = 99;
    record.auxValue = 99;
    QByteArray plain = record.plain();
    plain.replace(offset, text.size(), text);
    Mp4Parser parser(writeRecords(QVector<QByteArray>{plain}));
    GpsData s;
    QVERIFY(parser.readSample(0, s));
    const double values[] = {double(s.speed), double(s.auxValue), s.latitude, s.longitude};
    const QStringList names = {"speed", "auxValue", "latitude", "longitude"};
    QCOMPARE(values[names.indexOf(field)], expected);
}

void TestSampleDecoding::recordCutByEndOfFile()
{
    SampleRecord first;
    SampleRecord second;
    second.speed = 88;
    second.setPosition(-12.5, 45.25);
    const QString path = writeRecords(QVector<SampleRecord>{first, second});
    // The second record loses everything after its first 100 bytes, G-sensor groups included.
    const qint64 secondRecord = QFileInfo(path).size() - (SampleRecord::Size - 1);
    QVERIFY(QFile::resize(path, secondRecord + 100));

    const DebugLines debug;
    Mp4Parser parser(path);
    QCOMPARE(parser.sampleCount(), 2u);
    GpsData s;
    QVERIFY(parser.readSample(0, s));
    for (int axis = 0; axis < 3; ++axis)
        QTest::ignoreMessage(QtDebugMsg, "gsensor data error");
    QVERIFY(parser.readSample(1, s));
    QCOMPARE(s.speed, 88);
    QCOMPARE(s.latitude, -12.5);
    QCOMPARE(s.gsensorX, 0.0f);
    QCOMPARE(s.gsensorZ, 0.0f);
}

void TestSampleDecoding::readSampleBounds()
{
    Mp4Parser parser(writeRecords(QVector<SampleRecord>(3)));
    QCOMPARE(parser.sampleCount(), 3u);
    GpsData s;
    for (int i : {3, 4, -1, INT_MIN}) {
        std::memset(static_cast<void *>(&s), 0x55, sizeof s);
        QVERIFY2(!parser.readSample(i, s), qPrintable(QString::number(i)));
        QVERIFY2(samplecheck::isCleared(s), qPrintable(QString::number(i)));
    }
    QVERIFY(parser.readSample(2, s));
    QCOMPARE(s.index, 2);

    Recording silent;
    silent.seconds = 5;
    const QString path = mDir.filePath(QStringLiteral("silent.MP4"));
    QVERIFY(silent.write(path));
    Mp4Parser none(path);
    QCOMPARE(none.sampleSource(), ParserObject::None);
    std::memset(static_cast<void *>(&s), 0x55, sizeof s);
    QVERIFY(!none.readSample(0, s));
    QVERIFY(samplecheck::isCleared(s));
}

void TestSampleDecoding::heading_data()
{
    QTest::addColumn<double>("lon1");
    QTest::addColumn<double>("lat1");
    QTest::addColumn<double>("lon2");
    QTest::addColumn<double>("lat2");
    QTest::addColumn<QString>("expected");
    QTest::newRow("north east") << 139.0 << 35.0 << 139.001 << 35.001 << "39.32";
    QTest::newRow("back south west") << 139.001 << 35.001 << 139.0 << 35.0 << "219.32";
    QTest::newRow("south east") << 139.0 << 35.0 << 139.001 << 34.999 << "140.68";
    QTest::newRow("north west") << 139.0 << 35.0 << 138.999 << 35.001 << "320.68";
    QTest::newRow("southern western") << -70.0 << -33.0 << -70.001 << -33.001 << "219.99";
}

void TestSampleDecoding::heading()
{
    QFETCH(double, lon1);
    QFETCH(double, lat1);
    QFETCH(double, lon2);
    QFETCH(double, lat2);
    QFETCH(QString, expected);
    const QVector<GpsData> samples = decode({at(lon1, lat1), at(lon2, lat2)});
    QCOMPARE(samples.size(), 2);
    QCOMPARE(samples.at(0).heading, 0.0);
    QCOMPARE(QString::number(samples.at(1).heading, 'f', 2), expected);
    QCOMPARE(QString::number(ParserObject::courseBetween(lon1, lat1, lon2, lat2), 'f', 2),
             expected);
}

void TestSampleDecoding::headingKeptWhenOneCoordinateStands()
{
    const QVector<GpsData> samples
            = decode({at(139.0, 35.0), at(139.001, 35.001), at(139.001, 35.002),
                      at(139.002, 35.002), at(139.002, 35.002), at(139.003, 35.001)});
    QCOMPARE(samples.size(), 6);
    QStringList headings;
    for (const GpsData &s : samples)
        headings.append(QString::number(s.heading, 'f', 2));
    // Due north, due east and standing still repeat the last course; the last step turns.
    QCOMPARE(headings, QStringList({"0.00", "39.32", "39.32", "39.32", "39.32", "140.68"}));
}

void TestSampleDecoding::courseQuadrants_data()
{
    QTest::addColumn<double>("lon2");
    QTest::addColumn<double>("lat2");
    QTest::addColumn<double>("expected");
    QTest::newRow("north") << 10.0 << 50.01 << 0.0;
    QTest::newRow("east") << 10.01 << 50.0 << 90.0;
    QTest::newRow("south") << 10.0 << 49.99 << 180.0;
    QTest::newRow("west") << 9.99 << 50.0 << 270.0;
}

void TestSampleDecoding::courseQuadrants()
{
    QFETCH(double, lon2);
    QFETCH(double, lat2);
    QFETCH(double, expected);
    QCOMPARE(ParserObject::courseBetween(10.0, 50.0, lon2, lat2), expected);
}

// The record's numbers are read by hand for speed; they must come out as the C library's
// sscanf gives them for every input a damaged record can hold, including blanks, signs, letters
// and the end of the text.
void TestSampleDecoding::numbersReadAsTheCLibraryReadsThem()
{
    const char alphabet[] = {'0', '1', '5', '9', '+', '-', ' ', '\t', '\n', 'x', '.', '\xa0', 0};
    std::mt19937 random(20241205);
    const char *const formats[] = {"%1d%2d", "%2d%6d", "%3d%6d", "%3d", "%5d"};
    const int firstWidths[] = {1, 2, 3, 3, 5};
    const int secondWidths[] = {2, 6, 6, 0, 0};
    for (int round = 0; round < 20000; ++round) {
        char text[12] = {};
        const int length = int(random() % 11);
        for (int i = 0; i < length; ++i)
            text[i] = alphabet[random() % sizeof(alphabet)];
        const int f = round % 5;
        int expected[2] = {0, 0};
        std::sscanf(text, formats[f], &expected[0], &expected[1]);
        int given[2] = {0, 0};
        const char *at = text;
        if (FieldScan::decimal(at, firstWidths[f], &given[0]) && secondWidths[f] > 0)
            FieldScan::decimal(at, secondWidths[f], &given[1]);
        if (given[0] != expected[0] || given[1] != expected[1])
            QFAIL(qPrintable(QStringLiteral("\"%1\" with %2: %3 %4, expected %5 %6")
                                     .arg(QString::fromLatin1(QByteArray(text).toPercentEncoding()))
                                     .arg(QLatin1String(formats[f]))
                                     .arg(given[0])
                                     .arg(given[1])
                                     .arg(expected[0])
                                     .arg(expected[1])));
    }
}

QTEST_GUILESS_MAIN(TestSampleDecoding)
#include "tst_sampledecoding.moc"
