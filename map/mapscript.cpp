// Statement formatting: six fixed decimals and a point whatever the locale, longitude first.
#include "mapscript.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>

namespace {

QString withCoordinates(const char *pattern, double longitude, double latitude)
{
    if (!std::isfinite(longitude) || !std::isfinite(latitude))
        return QString();
    // arg() with a plain %n placeholder ignores the locale, so no comma can split a number.
    return QString::fromLatin1(pattern)
            .arg(longitude, 0, 'f', 6, QLatin1Char(' '))
            .arg(latitude, 0, 'f', 6, QLatin1Char(' '));
}

// QJsonDocument writes only objects and arrays, so a lone value is written as the one element of
// an array and taken out of its brackets.
QString asJson(const QJsonValue &value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

QString withPoint(const char *pattern, const MapPoint &point)
{
    const QString statement = withCoordinates(pattern, point.longitude, point.latitude);
    return statement.isEmpty() ? statement : statement.arg(point.index, 0, 10);
}

} // namespace

namespace MapScript {

QString addPoint(const MapPoint &point)
{
    return withPoint("mapAddPoint(%1, %2, %3);", point);
}

QString setCurrentPoint(const MapPoint &point)
{
    return withPoint("mapSetCurrentPoint(%1, %2, %3);", point);
}

QString setCenter(double longitude, double latitude)
{
    return withCoordinates("setCenter(%1, %2);", longitude, latitude);
}

QString clearAll()
{
    return QStringLiteral("mapClearAll();");
}

QString setDriveTrack(const QVector<QPointF> &track)
{
    QJsonArray points;
    for (const QPointF &point : track) {
        if (std::isfinite(point.x()) && std::isfinite(point.y()))
            points.append(QJsonArray{point.x(), point.y()});
    }
    return QStringLiteral("mapSetDriveTrack(%1);").arg(asJson(points));
}

QString setEvents(const QVector<MapEvent> &events)
{
    QJsonArray markers;
    for (int i = 0; i < events.size(); ++i) {
        const MapEvent &event = events.at(i);
        if (!std::isfinite(event.longitude) || !std::isfinite(event.latitude))
            continue;
        markers.append(QJsonObject{{"longitude", event.longitude},
                                   {"latitude", event.latitude},
                                   {"colour", event.colour},
                                   {"title", event.title},
                                   {"index", i}});
    }
    return QStringLiteral("mapSetEvents(%1);").arg(asJson(markers));
}

QString setSource(const QJsonObject &source)
{
    return QStringLiteral("mapSetSource(%1);").arg(asJson(source));
}

QString showMessage(const QString &text)
{
    return QStringLiteral("mapShowMessage(%1);").arg(asJson(text));
}

QString adoptPage(int load, const QUrl &page)
{
    // The previous document answers until the new one replaces it; the mark tells them apart.
    // The engine escapes other characters of an address than QUrl does, so both are compared
    // parsed and unescaped.
    return QStringLiteral("(function () { if (typeof mapSetSource !== 'function') return false;"
                          " var page = %2;"
                          " var plain = function (address) { try {"
                          " return decodeURIComponent(new URL(address).href); }"
                          " catch (error) { return address; } };"
                          " if (page && plain(location.href) !== plain(page)) return false;"
                          " if (window.mapViewLoad === undefined) window.mapViewLoad = %1;"
                          " return window.mapViewLoad === %1; })()")
            .arg(QString::number(load), asJson(page.toString(QUrl::FullyEncoded)));
}

QString shownSource()
{
    return QStringLiteral(
            "typeof mapState === 'function' ? JSON.stringify(mapState().source) : ''");
}

} // namespace MapScript
