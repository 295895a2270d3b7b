// Source of the processor and graphics-adapter names that the decoder check decides from.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>

// The adapter makers whose names are collected, in the order their texts are joined.
enum class AdapterFamily { Intel, Nvidia, Amd };

class PlatformReader
{
public:
    virtual ~PlatformReader() = default;

    // The processor's name as its maker writes it, or an empty string when it cannot be read.
    virtual QString processorName() const = 0;
    // The adapter names found for one maker, in reading order; entries may be empty, padded or
    // repeated, as the check trims and merges them.
    virtual QStringList adapterDescriptions(AdapterFamily family) const = 0;
};

// The reader of the platform this program is built for.
std::unique_ptr<PlatformReader> createPlatformReader();
