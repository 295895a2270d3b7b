// Names of event types and severities as exports and the command line write them.
#include "drivingevent.h"

QString DrivingEvent::typeName(Type type)
{
    switch (type) {
    case Braking:
        return QStringLiteral("braking");
    case Acceleration:
        return QStringLiteral("acceleration");
    case Cornering:
        return QStringLiteral("cornering");
    case Impact:
        return QStringLiteral("impact");
    }
    return QString();
}

QString DrivingEvent::severityName(Severity severity)
{
    switch (severity) {
    case NoSeverity:
        return QString();
    case Minor:
        return QStringLiteral("minor");
    case Major:
        return QStringLiteral("major");
    }
    return QString();
}
