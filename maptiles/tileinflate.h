// Decompression of gzip and zlib streams with a ceiling on the output, for tiles and directories.
#pragma once

#include <QByteArray>

namespace TileInflate {

// Far above any real tile or directory; a stream that inflates past it is refused as a bomb.
constexpr int MaxOutput = 16 * 1024 * 1024;

// True when the bytes start with a gzip or zlib header.
bool isCompressed(const QByteArray &bytes);
// Inflates a whole gzip or zlib stream (the header tells which). False for a damaged or cut
// stream and for one whose output would pass the limit.
bool inflate(const QByteArray &compressed, QByteArray *out, int limit = MaxOutput);

} // namespace TileInflate
