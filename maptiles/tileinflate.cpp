// Decompression of gzip and zlib streams with a ceiling on the output.
#include "tileinflate.h"

#include <zlib.h>

namespace TileInflate {

bool isCompressed(const QByteArray &bytes)
{
    if (bytes.size() < 2)
        return false;
    const auto b0 = static_cast<unsigned char>(bytes[0]);
    const auto b1 = static_cast<unsigned char>(bytes[1]);
    if (b0 == 0x1f && b1 == 0x8b)
        return true;
    // zlib: deflate with a window of at most 32 KiB and a header checksum.
    return (b0 & 0x0f) == 8 && (b0 >> 4) <= 7 && (b0 * 256 + b1) % 31 == 0;
}

bool inflate(const QByteArray &compressed, QByteArray *out, int limit)
{
    z_stream stream = {};
    // 32 added to the window bits: zlib tells gzip from zlib by the header.
    if (inflateInit2(&stream, 15 + 32) != Z_OK)
        return false;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(compressed.constData()));
    stream.avail_in = static_cast<uInt>(compressed.size());

    QByteArray result;
    int produced = 0;
    int status = Z_OK;
    while (status == Z_OK) {
        if (produced == result.size()) {
            if (produced >= limit) {
                status = Z_MEM_ERROR;
                break;
            }
            // In 64 bits: four times a large input, or twice a large output, passes an int.
            const qint64 wanted
                    = qMax<qint64>(4096, qMax(qint64(produced) * 2, qint64(compressed.size()) * 4));
            result.resize(int(qMin<qint64>(limit, wanted)));
        }
        stream.next_out = reinterpret_cast<Bytef *>(result.data() + produced);
        stream.avail_out = static_cast<uInt>(result.size() - produced);
        status = ::inflate(&stream, Z_NO_FLUSH);
        produced = result.size() - static_cast<int>(stream.avail_out);
        // With all input consumed and room left, Z_OK cannot recur: a cut stream ends here.
        if (status == Z_OK && stream.avail_in == 0 && stream.avail_out > 0)
            status = Z_BUF_ERROR;
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END)
        return false;
    result.resize(produced);
    *out = result;
    return true;
}

} // namespace TileInflate
