// Linux reads for the decoder check: /proc/cpuinfo, the PCI devices in sysfs and the PCI names.
#include "platformreader_unix.h"
#include "systemlog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVector>

namespace {

// pci.ids lines are short; anything longer is damage and is skipped rather than buffered.
constexpr qint64 MaxLineLength = 1024;
// The real database is about 1.4 MB; a file many times larger is not one, and reading it all on
// the GUI thread would stall the first decoder check.
constexpr qint64 MaxDatabaseBytes = 64 * 1024 * 1024;

uint vendorId(AdapterFamily family)
{
    switch (family) {
    case AdapterFamily::Intel:
        return 0x8086;
    case AdapterFamily::Nvidia:
        return 0x10de;
    case AdapterFamily::Amd:
        return 0x1002;
    }
    return 0;
}

// Reads the next line without its line end; false at the end of the file. Reading until an empty
// read, rather than asking atEnd(), also works for /proc files, which report no size.
bool nextLine(QFile &file, QByteArray *line)
{
    for (;;) {
        *line = file.readLine(MaxLineLength);
        if (line->isEmpty())
            return false;
        if (!line->endsWith('\n') && line->size() >= MaxLineLength - 1) {
            QByteArray rest = *line;
            while (!rest.isEmpty() && !rest.endsWith('\n'))
                rest = file.readLine(MaxLineLength);
            continue;
        }
        while (line->endsWith('\n') || line->endsWith('\r'))
            line->chop(1);
        return true;
    }
}

// A sysfs attribute such as "0x030000"; false when it is missing or not a hexadecimal number.
bool readHexAttribute(const QString &path, uint *value)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray text = file.read(32).trimmed();
    if (text.startsWith("0x") || text.startsWith("0X"))
        text.remove(0, 2);
    bool ok = false;
    *value = text.toUInt(&ok, 16);
    return ok && !text.isEmpty();
}

// The four-digit hexadecimal id that opens a pci.ids entry at the given column, followed by
// white space; -1 when the line holds no such entry.
int entryId(const QByteArray &line, int column)
{
    if (line.size() < column + 5 || (line.at(column + 4) != ' ' && line.at(column + 4) != '\t'))
        return -1;
    bool ok = false;
    const uint id = line.mid(column, 4).toUInt(&ok, 16);
    return ok ? int(id) : -1;
}

// One display adapter: its ids from sysfs and the names the database gives them.
struct Adapter
{
    uint device = 0;
    uint subsystemVendor = 0;
    uint subsystemDevice = 0;
    QString deviceName;
    QString subsystemName;
};

// Streams the database for the names of one vendor's adapters and stops as soon as they are all
// found or the vendor's section ends.
void nameAdapters(QFile &database, uint vendor, QVector<Adapter> *adapters)
{
    int unnamed = adapters->size();
    QVector<Adapter *> inDevice;
    bool inVendor = false;
    QByteArray line;
    while (database.pos() < MaxDatabaseBytes && nextLine(database, &line)) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.at(0) != '\t') {
            // A vendor line, or the class section at the end of the file.
            if (inVendor)
                break;
            inVendor = entryId(line, 0) == int(vendor);
            continue;
        }
        if (!inVendor)
            continue;
        // Subsystem lines, "\t\tvendor device  name", follow their device's line.
        if (line.startsWith("\t\t")) {
            const int subsystemVendor = entryId(line, 2);
            const int subsystemDevice = entryId(line, 7);
            for (Adapter *adapter : qAsConst(inDevice)) {
                if (int(adapter->subsystemVendor) == subsystemVendor
                    && int(adapter->subsystemDevice) == subsystemDevice)
                    adapter->subsystemName = QString::fromUtf8(line.mid(12)).trimmed();
            }
            continue;
        }
        if (unnamed == 0)
            break;
        inDevice.clear();
        const int device = entryId(line, 1);
        for (Adapter &adapter : *adapters) {
            if (int(adapter.device) == device) {
                adapter.deviceName = QString::fromUtf8(line.mid(5)).trimmed();
                inDevice << &adapter;
                --unnamed;
            }
        }
    }
}

} // namespace

UnixPlatformReader::UnixPlatformReader(Paths paths)
    : mPaths(std::move(paths))
{ }

QString UnixPlatformReader::processorName() const
{
    QFile file(mPaths.cpuInfo);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcSystem) << "cannot read the processor name from" << mPaths.cpuInfo << ":"
                            << file.errorString();
        return QString();
    }
    QByteArray line;
    while (nextLine(file, &line)) {
        const int colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed() == "model name")
            return QString::fromUtf8(line.mid(colon + 1)).trimmed();
    }
    // Some processors (many ARM ones) have no such line; they count as unknown.
    return QString();
}

QStringList UnixPlatformReader::adapterDescriptions(AdapterFamily family) const
{
    const uint vendor = vendorId(family);
    QVector<Adapter> adapters;
    const QDir root(mPaths.pciDevices);
    const QStringList entries = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &entry : entries) {
        const QString base = root.filePath(entry) + QLatin1Char('/');
        uint deviceClass = 0;
        uint deviceVendor = 0;
        Adapter adapter;
        // Class 0x03: display controllers (VGA, 3D and other display devices).
        if (readHexAttribute(base + QLatin1String("class"), &deviceClass)
            && (deviceClass >> 16) == 0x03
            && readHexAttribute(base + QLatin1String("vendor"), &deviceVendor)
            && deviceVendor == vendor
            && readHexAttribute(base + QLatin1String("device"), &adapter.device)) {
            // Without them the board maker's name is merely unknown.
            readHexAttribute(base + QLatin1String("subsystem_vendor"), &adapter.subsystemVendor);
            readHexAttribute(base + QLatin1String("subsystem_device"), &adapter.subsystemDevice);
            adapters << adapter;
        }
    }
    if (adapters.isEmpty())
        return QStringList();

    for (const QString &path : mPaths.pciIds) {
        // A named pipe or a device would never end, or block the reader.
        QFile database(path);
        if (!QFileInfo(path).isFile() || !database.open(QIODevice::ReadOnly))
            continue;
        nameAdapters(database, vendor, &adapters);
        QStringList descriptions;
        for (const Adapter &adapter : qAsConst(adapters)) {
            if (adapter.deviceName.isEmpty()) {
                qCWarning(lcSystem, "display adapter %04x:%04x is not in %s", vendor,
                          adapter.device, qPrintable(path));
                continue;
            }
            descriptions << adapterNames(adapter.deviceName) << adapterNames(adapter.subsystemName);
        }
        return descriptions;
    }
    qCWarning(lcSystem) << "no PCI name database among" << mPaths.pciIds
                        << "; the display adapters stay unnamed";
    return QStringList();
}

QStringList UnixPlatformReader::adapterNames(const QString &databaseName)
{
    // A name in brackets is the marketing name of the chip named before it.
    QStringList names;
    QString models = databaseName;
    const int open = databaseName.indexOf(QLatin1Char('['));
    const int close = open < 0 ? -1 : databaseName.indexOf(QLatin1Char(']'), open);
    if (close > open) {
        const QString chip = (databaseName.left(open) + databaseName.mid(close + 1)).simplified();
        if (!chip.isEmpty())
            names << chip;
        models = databaseName.mid(open + 1, close - open - 1);
    }

    // After a slash comes either another model number in the series of the last full name
    // ("Radeon RX 470/480", "Radeon RX 5600 OEM/5600 XT", "R5 M330 / M430") or a full name, which
    // starts a series of its own ("Radeon Vega Series / Radeon Vega Mobile Series"). A series is
    // what precedes the full name's model number, or, when no word of it starts with a digit, all
    // of it but its last word ("Radeon X550/X600").
    QString series;
    bool numberedSeries = false;
    for (const QString &part : models.split(QLatin1Char('/'))) {
        const QString model = part.simplified();
        if (model.isEmpty())
            continue;
        const bool inSeries
                = !series.isEmpty()
                  && (numberedSeries ? model.at(0).isDigit() : !model.contains(QLatin1Char(' ')));
        if (inSeries) {
            names << series + QLatin1Char(' ') + model;
            continue;
        }
        names << model;
        const QStringList words = model.split(QLatin1Char(' '));
        int number = 0;
        while (number < words.size() && !words.at(number).at(0).isDigit())
            ++number;
        numberedSeries = number < words.size();
        series = words.mid(0, numberedSeries ? number : words.size() - 1).join(QLatin1Char(' '));
    }
    return names;
}

std::unique_ptr<PlatformReader> createPlatformReader()
{
    return std::make_unique<UnixPlatformReader>();
}
