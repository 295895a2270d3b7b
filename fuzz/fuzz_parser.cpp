// libFuzzer target: a container parser built on the input bytes must read every sample safely.
#include "boxmutator.h"
#include "parser/aviparser.h"
#include "parser/mp4parser.h"

#include <QtGlobal>

#include <cstdint>

namespace {

// Every sample is located and decoded the same way, so the first few and the last one exercise
// all of it; the thousands that a damaged count can promise would only slow the run down.
constexpr quint32 SamplesAtStart = 8;

} // namespace

extern "C" size_t LLVMFuzzerMutate(uint8_t *data, size_t size, size_t maxSize);

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Parsers log a few debug lines per file; at fuzzing rates that is only noise.
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The input's own bytes, not a copy: a read past its end lands in the sanitizer's red zone.
    const QByteArray contents
            = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
#ifdef VELQOR_FUZZ_AVI
    AVIParser parser(contents);
#else
    Mp4Parser parser(contents);
#endif
    GpsData sample;
    const quint32 count = parser.sampleCount();
    for (quint32 i = 0; i < qMin(count, SamplesAtStart); ++i)
        parser.readSample(int(i), sample);
    // The last one, and the first one past the end, which must be refused.
    if (count > SamplesAtStart)
        parser.readSample(int(count - 1), sample);
    if (parser.readSample(int(count), sample))
        __builtin_trap();
    return 0;
}

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t *data, size_t size, size_t maxSize,
                                          unsigned int seed)
{
#ifdef VELQOR_FUZZ_AVI
    static BoxMutator mutator(BoxMutator::RiffChunks, LLVMFuzzerMutate);
#else
    static BoxMutator mutator(BoxMutator::Mp4Boxes, LLVMFuzzerMutate);
#endif
    // Plain byte mutations a third of the time: they damage what the box edits keep intact, the
    // fields inside headers and tables, and they use the dictionary.
    if (seed % 3 == 0)
        return LLVMFuzzerMutate(data, size, maxSize);
    const size_t mutated = mutator.mutate(data, size, maxSize, seed / 3);
    return mutated ? mutated : LLVMFuzzerMutate(data, size, maxSize);
}
