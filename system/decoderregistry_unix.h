// The video decoders of the media framework that plays the recordings on Linux.
#pragma once

#include "decoderregistry.h"

#include <QString>

#include <functional>

class UnixDecoderRegistry : public DecoderRegistry
{
public:
    // Starts the framework; false, with the reason, when it cannot start.
    using Start = std::function<bool(QString *reason)>;

    // A framework that cannot start is reported once here and leaves every question unanswered.
    explicit UnixDecoderRegistry(const Start &start = startFramework);

    std::optional<bool> hasDecoder(VideoCodec codec) const override;

    // The real start, run once per process: a failed start would fail the same way again.
    static bool startFramework(QString *reason);

private:
    bool mStarted = false;
};
