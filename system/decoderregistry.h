// Which video codecs the media back end that plays the recordings can decode.
#pragma once

#include <memory>
#include <optional>

enum class VideoCodec { H264, H265 };

class DecoderRegistry
{
public:
    virtual ~DecoderRegistry() = default;

    // Whether the back end holds a decoder for the codec, in hardware or in software; no answer
    // when the back end cannot be asked.
    virtual std::optional<bool> hasDecoder(VideoCodec codec) const = 0;
};

// The registry of the back end where it decides what plays; null where the adapter names decide.
std::unique_ptr<DecoderRegistry> createDecoderRegistry();
