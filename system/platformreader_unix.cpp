// Linux reads for the decoder check: /proc/cpuinfo, the PCI devices in sysfs and the PCI names.
#include "platformreader_unix.h"
#include "systemlog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
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

// Streams the database for the names of the wanted devices of one vendor and stops as soon as
// they are all found or the vendor's section ends.
QHash<uint, QString> deviceNames(QFile &database, uint vendor, QVector<uint> wanted)
{
    QHash<uint, QString> names;
    bool inVendor = false;
    QByteArray line;
    while (!wanted.isEmpty() && database.pos() < MaxDatabaseBytes && nextLine(database, &line)) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.at(0) != '\t') {
            // A vendor line, or the class section at the end of the file.
            if (inVendor)
                break;
            inVendor = entryId(line, 0) == int(vendor);
            continue;
        }
        // Device lines have one tab; subsystem lines two.
        if (!inVendor || line.startsWith("\t\t"))
            continue;
        const int device = entryId(line, 1);
        if (device >= 0 && wanted.removeAll(uint(device)) > 0)
            names.insert(uint(device), QString::fromUtf8(line.mid(5)).trimmed());
    }
    return names;
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
    QVector<uint> devices;
    const QDir root(mPaths.pciDevices);
    const QStringList entries = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &entry : entries) {
        const QString base = root.filePath(entry) + QLatin1Char('/');
        uint deviceClass = 0;
        uint deviceVendor = 0;
        uint device = 0;
        // Class 0x03: display controllers (VGA, 3D and other display devices).
        if (readHexAttribute(base + QLatin1String("class"), &deviceClass)
            && (deviceClass >> 16) == 0x03
            && readHexAttribute(base + QLatin1String("vendor"), &deviceVendor)
            && deviceVendor == vendor && readHexAttribute(base + QLatin1String("device"), &device))
            devices << device;
    }
    if (devices.isEmpty())
        return QStringList();

    for (const QString &path : mPaths.pciIds) {
        // A named pipe or a device would never end, or block the reader.
        QFile database(path);
        if (!QFileInfo(path).isFile() || !database.open(QIODevice::ReadOnly))
            continue;
        const QHash<uint, QString> names = deviceNames(database, vendor, devices);
        QStringList descriptions;
        for (uint device : qAsConst(devices)) {
            const QString name = names.value(device);
            if (name.isEmpty()) {
                qCWarning(lcSystem, "display adapter %04x:%04x is not in %s", vendor, device,
                          qPrintable(path));
                continue;
            }
            descriptions << name;
        }
        return descriptions;
    }
    qCWarning(lcSystem) << "no PCI name database among" << mPaths.pciIds
                        << "; the display adapters stay unnamed";
    return QStringList();
}

std::unique_ptr<PlatformReader> createPlatformReader()
{
    return std::make_unique<UnixPlatformReader>();
}
