// Windows reads for the decoder check: processor and adapter names from the registry.
#include "platformreader.h"

#include <QSettings>

namespace {

// A missing key or value reads as an empty string.
QString registryString(const QString &key, const QString &valueName)
{
    const QSettings settings(key, QSettings::NativeFormat);
    return settings.value(valueName).toString();
}

QString driverService(AdapterFamily family)
{
    switch (family) {
    case AdapterFamily::Intel:
        return QStringLiteral("igfx");
    case AdapterFamily::Nvidia:
        return QStringLiteral("nvlddmkm");
    case AdapterFamily::Amd:
        return QStringLiteral("amdkmdap");
    }
    return QString();
}

class RegistryPlatformReader : public PlatformReader
{
public:
    QString processorName() const override
    {
        return registryString(
                QStringLiteral(
                        "HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0"),
                QStringLiteral("ProcessorNameString"));
    }

    QStringList adapterDescriptions(AdapterFamily family) const override
    {
        // The driver service keeps its adapter's name in one of these keys, depending on the
        // driver's age and on which control set is current.
        const QString service = driverService(family);
        QStringList keys;
        for (const char *controlSet : {"CurrentControlSet", "ControlSet001"}) {
            for (const char *subKey : {"Device0", "Video"}) {
                keys << QStringLiteral("HKEY_LOCAL_MACHINE\\SYSTEM\\%1\\Services\\%2\\%3")
                                .arg(QLatin1String(controlSet), service, QLatin1String(subKey));
            }
        }
        QStringList descriptions;
        for (const char *valueName : {"DeviceDesc", "Device Description"}) {
            for (const QString &key : qAsConst(keys))
                descriptions << registryString(key, QLatin1String(valueName));
        }
        return descriptions;
    }
};

} // namespace

std::unique_ptr<PlatformReader> createPlatformReader()
{
    return std::make_unique<RegistryPlatformReader>();
}
