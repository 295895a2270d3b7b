// libFuzzer target: a container parser built on the input bytes must read every sample safely.
#include "parser/aviparser.h"
#include "parser/mp4parser.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>

namespace {

QString inputPath()
{
    // One scratch file for the whole run: the parser needs a real file to open.
    static QTemporaryDir dir;
    return dir.path() + QStringLiteral(VELQOR_FUZZ_FILE_NAME);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Parsers log a few debug lines per file; at fuzzing rates that is only noise.
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = inputPath();
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qint64(size));
    }
#ifdef VELQOR_FUZZ_AVI
    AVIParser parser(path);
#else
    Mp4Parser parser(path);
#endif
    GpsData sample;
    for (int i = 0; parser.readSample(i, sample); ++i) { }
    return 0;
}
