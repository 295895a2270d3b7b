// Common interface of the output formats: recordings go in one by one, the document ends once.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QIODevice;
struct ExtractedRecording;

class RecordingWriter
{
public:
    explicit RecordingWriter(QIODevice *device)
        : mDevice(device)
    { }
    virtual ~RecordingWriter() = default;
    RecordingWriter(const RecordingWriter &) = delete;
    RecordingWriter &operator=(const RecordingWriter &) = delete;

    virtual void add(const ExtractedRecording &recording) = 0;
    virtual void finish() = 0;

    static QStringList formats();
    // A writer for one of formats(), or none for an unknown name.
    static std::unique_ptr<RecordingWriter> create(const QString &format, QIODevice *device);

protected:
    QIODevice *mDevice;
};
