// Small real recordings for the playback tests, written by ffmpeg from its test sources.
#pragma once

#include <QString>

namespace TestRecordings {

enum class Codec { H264, H265 };

// Writes a 320x240, 25 fps recording with a sine tone as AAC sound; returns its path, or an
// empty string (with the reason in the log) when ffmpeg cannot produce it.
QString make(const QString &directory, const QString &fileName, Codec codec = Codec::H264,
             int seconds = 3);

} // namespace TestRecordings
