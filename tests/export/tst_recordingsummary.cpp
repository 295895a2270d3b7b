// Summaries of recordings for an archive's index, against outputs worked out by hand.
#include <export/extractedrecording.h>
#include <export/recordingsummary.h>

#include <QJsonDocument>
#include <QTimeZone>
#include <QtTest>

namespace {

void setReading(GpsData *sample, const QDateTime &time)
{
    qstrncpy(sample->dateTime, qPrintable(time.toString(QStringLiteral("yyyyMMddhhmmss"))),
             sizeof sample->dateTime);
}

// Ten seconds of a drive north-west at 40 km/h: no time at first, no fix for two seconds in
// the middle, a receiver's speed spike, and padding up to a header longer than the samples.
ExtractedRecording driveWithGapAndGlitch()
{
    ExtractedRecording recording;
    recording.file = QStringLiteral("clips/noon, \"north\".MP4");
    recording.source = ParserObject::GpsMetaTrack;
    recording.info.duration = 12;
    const QDateTime noon(QDate(2024, 5, 4), QTime(12, 0), Qt::UTC);
    for (int second = 0; second < 10; ++second) {
        GpsData sample;
        sample.index = second;
        if (second > 0)
            setReading(&sample, noon.addSecs(second));
        if (second > 0 && (second < 4 || (second > 5 && second < 9))) {
            sample.fixFlag = 'A';
            sample.latitude = 51.5 + 0.0001 * second;
            sample.longitude = -0.1 - 0.0002 * second;
            sample.speed = second == 6 ? 250 : second == 8 ? 42 : 40;
        }
        recording.samples.append(sample);
    }
    recording.samples.append(recording.samples.last());
    return recording;
}

ExtractedRecording withoutTelemetry()
{
    ExtractedRecording recording;
    recording.file = QStringLiteral("plain.MP4");
    recording.info.duration = 30;
    return recording;
}

QByteArray document(TrackWriter::Format format, const QVector<ExtractedRecording> &recordings,
                    const CameraClock &clock)
{
    const DocumentFrame frame = RecordingSummary::frame(format);
    QByteArray text = frame.begin;
    for (int i = 0; i < recordings.size(); ++i) {
        if (i > 0)
            text += frame.separator;
        text += RecordingSummary::of(recordings.at(i), clock).text(format);
    }
    return text + frame.end;
}

} // namespace

class TestRecordingSummary : public QObject
{
    Q_OBJECT

private slots:
    void documents_data();
    void documents();
    void utcTimesFollowTheRun();
};

void TestRecordingSummary::documents_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("json") << int(TrackWriter::Json)
                          << QByteArray("[\n"
                                        "    {\n"
                                        "        \"averageSpeed\": 37.3,\n"
                                        "        \"bbox\": [\n"
                                        "            -0.1016,\n"
                                        "            51.5001,\n"
                                        "            -0.1002,\n"
                                        "            51.5008\n"
                                        "        ],\n"
                                        "        \"distance\": 124.3,\n"
                                        "        \"file\": \"clips/noon, \\\"north\\\".MP4\",\n"
                                        "        \"firstCameraTime\": \"20240504120001\",\n"
                                        "        \"firstUtcTime\": \"2024-05-04T10:00:01Z\",\n"
                                        "        \"lastCameraTime\": \"20240504120009\",\n"
                                        "        \"lastUtcTime\": \"2024-05-04T10:00:09Z\",\n"
                                        "        \"samples\": 11,\n"
                                        "        \"source\": \"GpsMetaTrack\",\n"
                                        "        \"topSpeed\": 42\n"
                                        "    },\n"
                                        "    {\n"
                                        "        \"averageSpeed\": 0,\n"
                                        "        \"bbox\": null,\n"
                                        "        \"distance\": 0,\n"
                                        "        \"file\": \"plain.MP4\",\n"
                                        "        \"firstCameraTime\": null,\n"
                                        "        \"firstUtcTime\": null,\n"
                                        "        \"lastCameraTime\": null,\n"
                                        "        \"lastUtcTime\": null,\n"
                                        "        \"samples\": 0,\n"
                                        "        \"source\": \"None\",\n"
                                        "        \"topSpeed\": 0\n"
                                        "    }\n"
                                        "]\n");
    QTest::newRow("jsonl") << int(TrackWriter::JsonLines)
                           << QByteArray("{\"averageSpeed\":37.3,"
                                         "\"bbox\":[-0.1016,51.5001,-0.1002,51.5008],"
                                         "\"distance\":124.3,"
                                         "\"file\":\"clips/noon, \\\"north\\\".MP4\","
                                         "\"firstCameraTime\":\"20240504120001\","
                                         "\"firstUtcTime\":\"2024-05-04T10:00:01Z\","
                                         "\"lastCameraTime\":\"20240504120009\","
                                         "\"lastUtcTime\":\"2024-05-04T10:00:09Z\","
                                         "\"samples\":11,\"source\":\"GpsMetaTrack\","
                                         "\"topSpeed\":42}\n"
                                         "{\"averageSpeed\":0,\"bbox\":null,\"distance\":0,"
                                         "\"file\":\"plain.MP4\",\"firstCameraTime\":null,"
                                         "\"firstUtcTime\":null,\"lastCameraTime\":null,"
                                         "\"lastUtcTime\":null,\"samples\":0,"
                                         "\"source\":\"None\",\"topSpeed\":0}\n");
    QTest::newRow("csv") << int(TrackWriter::Csv)
                         << QByteArray("file,source,samples,firstCameraTime,lastCameraTime,"
                                       "firstUtcTime,lastUtcTime,distance,topSpeed,"
                                       "averageSpeed,west,south,east,north\r\n"
                                       "\"clips/noon, \"\"north\"\".MP4\",GpsMetaTrack,11,"
                                       "20240504120001,20240504120009,2024-05-04T10:00:01Z,"
                                       "2024-05-04T10:00:09Z,124.3,42,37.3,"
                                       "-0.1016,51.5001,-0.1002,51.5008\r\n"
                                       "plain.MP4,None,0,,,,,0,0,0,,,,\r\n");
}

// The spike sets no top speed, the fixes either side of the gap still make distance, the
// average runs over the header's twelve seconds, and the times are those of the first and last
// samples with a readable time, fix or none.
void TestRecordingSummary::documents()
{
    QFETCH(int, format);
    QFETCH(QByteArray, expected);
    const QByteArray actual
            = document(TrackWriter::Format(format), {driveWithGapAndGlitch(), withoutTelemetry()},
                       CameraClock::fixedOffset(2 * 3600));
    QCOMPARE(actual, expected);
    if (format == TrackWriter::Json)
        QCOMPARE(actual, QJsonDocument::fromJson(actual).toJson(QJsonDocument::Indented));
}

// A camera that counts through the autumn change on summer time: its last reading, unambiguous
// on its own, is still on summer time, as the full output gives it along the run.
void TestRecordingSummary::utcTimesFollowTheRun()
{
    ExtractedRecording recording;
    recording.file = QStringLiteral("change.MP4");
    const QDateTime start(QDate(2024, 10, 27), QTime(2, 59), Qt::UTC);
    for (int second = 0; second < 120; ++second) {
        GpsData sample;
        sample.index = second;
        setReading(&sample, start.addSecs(second));
        recording.samples.append(sample);
    }
    const CameraClock clock = CameraClock::inZone(QTimeZone("Europe/Berlin"));
    const RecordingSummary summary = RecordingSummary::of(recording, clock);
    QCOMPARE(summary.firstUtcTime, QByteArray("2024-10-27T00:59:00Z"));
    QCOMPARE(summary.lastUtcTime, QByteArray("2024-10-27T01:00:59Z"));
}

QTEST_GUILESS_MAIN(TestRecordingSummary)
#include "tst_recordingsummary.moc"
