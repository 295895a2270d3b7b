// Script statements that the map view runs in its page, built from numbers only.
#pragma once

#include "mappoint.h"

#include <QJsonObject>
#include <QPointF>
#include <QString>
#include <QUrl>
#include <QVector>

namespace MapScript {

// Each returns an empty string when a coordinate is not a finite number: "nan" or "inf" in a
// statement would be read by the page as a variable name, not as a number.
QString addPoint(const MapPoint &point);
QString setCurrentPoint(const MapPoint &point);
QString setCenter(double longitude, double latitude);

QString clearAll();

// The whole drive as a faint line under the recording's track: points as x longitude, y
// latitude; points that are not finite are left out.
QString setDriveTrack(const QVector<QPointF> &track);
// Event markers; a marker reports a click by its place in the list. Those without finite
// coordinates are left out, and the others keep their places.
QString setEvents(const QVector<MapEvent> &events);

// The page's layers: source is the object that mapSetSource takes. Text reaches the page only
// as JSON, so no path or message can end the statement early.
QString setSource(const QJsonObject &source);
// Plain text for the page's notice box; an empty text hides it.
QString showMessage(const QString &text);
// True once the page's functions exist in the document of load number load at the address page,
// and false in a document that an earlier load already took or that has another address. An
// empty page accepts any address, for a load that the view did not ask for.
QString adoptPage(int load, const QUrl &page);
// The page's layers as mapState() reports them, as JSON text; empty without the function.
QString shownSource();

} // namespace MapScript
