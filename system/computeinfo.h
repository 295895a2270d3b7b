// Process-wide verdict on whether this computer can decode high-resolution H.264 and H.265 video.
#pragma once

#include "decoderregistry.h"
#include "platformreader.h"

#include <QObject>

class ComputeInfo : public QObject
{
    Q_OBJECT

public:
    // Created and detected with the platform's reader and decoder registry on the first call;
    // never destroyed before the process ends.
    static ComputeInfo *instance();

    // Detects once; the flags stay fixed from then on. Without decoders the reader's adapter
    // names decide; with them the media back end does, and the names are only logged.
    explicit ComputeInfo(const PlatformReader &reader, const DecoderRegistry *decoders = nullptr,
                         QObject *parent = nullptr);

    // Frames of up to this many pixels decode on any computer.
    static constexpr qint64 MaxPixelsWithoutSupport = 4000000;

    // Whether a recording of the given codec (1 H.264, 2 H.265, anything else unknown) and frame
    // size can be played here.
    bool canPlay(int videoCodec, int width, int height) const;

    // Large frames of the codec decode here: an adapter name matched its list, or, where the back
    // end decides, it has a decoder for the codec or could not be asked.
    bool isHDDecodeH265 = false;
    bool isHDDecodeH264 = false;
    // At least a Core i3 of any generation, or any AMD processor.
    bool mCpuLevelH = false;

private:
    // The back end decodes in software where the adapter cannot, so the processor does not count.
    bool mBackendDecides = false;
};
