// Which parts of the telemetry an exported video shows, and in which speed unit.
#include "overlayoptions.h"

bool OverlayOptions::any() const
{
    return dateTime || utc || speed || coordinates || heading || gMeter || miniMap;
}

QStringList OverlayOptions::partNames()
{
    return {QStringLiteral("time"),        QStringLiteral("utc"),     QStringLiteral("speed"),
            QStringLiteral("coordinates"), QStringLiteral("heading"), QStringLiteral("g"),
            QStringLiteral("map")};
}

QStringList OverlayOptions::names() const
{
    const bool parts[] = {dateTime, utc, speed, coordinates, heading, gMeter, miniMap};
    QStringList names;
    for (int i = 0; i < partNames().size(); ++i) {
        if (parts[i])
            names << partNames().at(i);
    }
    return names;
}

bool OverlayOptions::fromNames(const QStringList &names, OverlayOptions *options)
{
    bool *parts[] = {&options->dateTime, &options->utc,    &options->speed,  &options->coordinates,
                     &options->heading,  &options->gMeter, &options->miniMap};
    for (const QString &name : names) {
        if (!partNames().contains(name))
            return false;
    }
    for (int i = 0; i < partNames().size(); ++i)
        *parts[i] = names.contains(partNames().at(i));
    return true;
}
