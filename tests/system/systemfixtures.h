// Test doubles of the decoder check: a decoder registry with set answers and a debug log capture.
#pragma once

#include "system/decoderregistry.h"

#include <QLoggingCategory>
#include <QStringList>

// Answers from a list such as "h264 h265" (those decoders present, the others absent) or "?"
// (the back end cannot be asked).
class FakeDecoders : public DecoderRegistry
{
public:
    explicit FakeDecoders(const QByteArray &present)
        : mKnown(present != "?")
        , mH264(present.contains("h264"))
        , mH265(present.contains("h265"))
    { }

    std::optional<bool> hasDecoder(VideoCodec codec) const override
    {
        if (!mKnown)
            return std::nullopt;
        return codec == VideoCodec::H265 ? mH265 : mH264;
    }

private:
    const bool mKnown;
    const bool mH264;
    const bool mH265;
};

// Collects the debug lines of the detection, which explain its verdict. The test environment
// turns debug output off, so it is switched on while collecting.
class LogCapture
{
public:
    LogCapture()
        : mDebugWasEnabled(QLoggingCategory::defaultCategory()->isDebugEnabled())
    {
        sLines.clear();
        QLoggingCategory::defaultCategory()->setEnabled(QtDebugMsg, true);
        mPreviousHandler = qInstallMessageHandler(&LogCapture::handle);
    }
    ~LogCapture()
    {
        qInstallMessageHandler(mPreviousHandler);
        QLoggingCategory::defaultCategory()->setEnabled(QtDebugMsg, mDebugWasEnabled);
    }
    const QStringList &lines() const { return sLines; }

private:
    static void handle(QtMsgType, const QMessageLogContext &, const QString &message)
    {
        sLines << message;
    }

    inline static QStringList sLines;
    const bool mDebugWasEnabled;
    QtMessageHandler mPreviousHandler;
};
