// Linux reads for the decoder check: the processor name and the names of the display adapters.
#pragma once

#include "platformreader.h"

class UnixPlatformReader : public PlatformReader
{
public:
    struct Paths
    {
        QString cpuInfo = QStringLiteral("/proc/cpuinfo");
        QString pciDevices = QStringLiteral("/sys/bus/pci/devices");
        // Distributions keep the PCI name database in one of these; the first readable one wins.
        QStringList pciIds = {QStringLiteral("/usr/share/misc/pci.ids"),
                              QStringLiteral("/usr/share/hwdata/pci.ids")};
    };

    UnixPlatformReader() = default;
    explicit UnixPlatformReader(Paths paths);

    QString processorName() const override;
    // The names of the display-class PCI devices of the family's vendor, from the PCI name
    // database: the chip's names, then those of the board maker's model; a device the database
    // does not know is left out.
    QStringList adapterDescriptions(AdapterFamily family) const override;

    // One database name as the single models it stands for: "Ellesmere [Radeon RX 470/480]" is
    // "Ellesmere", "Radeon RX 470" and "Radeon RX 480".
    static QStringList adapterNames(const QString &databaseName);

private:
    Paths mPaths;
};
