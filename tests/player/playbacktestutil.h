// Helpers shared by the playback tests: sandboxed settings and waiting on a real media player.
#pragma once

#include <QMediaPlayer>
#include <QString>

namespace PlaybackTest {

// Switches the standard paths to their test locations, empties this test's settings file and
// points the screenshot directory at `screenshotDir`.
void isolateSettings(const QString &screenshotDir);

// Explains why a player did not start when the media back end lacks an element, or returns an
// empty string when the failure is a real one.
QString missingBackendReason(const QMediaPlayer &player);

} // namespace PlaybackTest
