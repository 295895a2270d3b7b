// Shared script of the local map pages: a Leaflet map on the tiles the viewer chooses (an offline
// map file over a built-in world map, or OpenStreetMap) that draws the track and the current position.
(function () {
    'use strict';

    var WORLD_ZOOM = 2;
    var STREET_ZOOM = 16;

    var element = document.getElementById('map');
    // Visible texts come from the page, so that the pages differ only in their language.
    var texts = element.dataset;
    var blank = ' target="_blank" rel="noopener"';

    // Whatever the tiles' deepest level, the user may zoom in to the street; deeper tiles are enlarged.
    var map = L.map(element, { worldCopyJump: true, maxZoom: 19 });
    map.attributionControl.setPrefix('<a href="https://leafletjs.com"' + blank + ' title="'
        + texts.libraryTitle + '">Leaflet</a>');
    map.setView([0, 0], WORLD_ZOOM);

    // The whole drive lies faintly under the recording's track, and its events above both: panes of
    // their own keep the drive under the track and the events over it.
    map.createPane('drive').style.zIndex = 350;
    map.createPane('events').style.zIndex = 450;
    var driveTrack = L.polyline([], {
        pane: 'drive', color: '#1f5fbf', weight: 6, opacity: 0.35, interactive: false
    }).addTo(map);
    var driveSets = 0;
    var track = L.polyline([], { color: '#e8402a', weight: 4, opacity: 0.85 }).addTo(map);
    var eventLayer = L.layerGroup().addTo(map);
    var events = [];
    var trackIndexes = [];
    var marker = null;
    var markerIndex = null;
    var centred = false;
    // False while the map shows the whole world; the first real position zooms in to the street.
    var located = false;

    function finite(longitude, latitude) {
        return isFinite(longitude) && isFinite(latitude);
    }

    // A polyline redraws itself whole for each point added, so a long recording's points are
    // collected and handed to it once, after the run of calls that brought them.
    var waitingPoints = [];
    var flushTimer = null;

    function flushTrack() {
        if (flushTimer !== null)
            clearTimeout(flushTimer);
        flushTimer = null;
        if (waitingPoints.length === 0)
            return;
        track.setLatLngs(track.getLatLngs().concat(waitingPoints));
        waitingPoints = [];
    }

    window.mapAddPoint = function (longitude, latitude, index) {
        if (!finite(longitude, latitude))
            return;
        waitingPoints.push(L.latLng(latitude, longitude));
        trackIndexes.push(index);
        if (flushTimer === null)
            flushTimer = setTimeout(flushTrack, 0);
    };

    window.mapSetCurrentPoint = function (longitude, latitude, index) {
        if (!finite(longitude, latitude))
            return;
        var position = L.latLng(latitude, longitude);
        if (marker)
            marker.setLatLng(position);
        else
            marker = L.marker(position, { title: texts.currentPosition, keyboard: false }).addTo(map);
        markerIndex = index;
        // The viewer re-centres only after a page load, so the map follows the marker itself.
        if (!located) {
            map.setView(position, STREET_ZOOM, { animate: false });
            located = true;
        } else if (!map.getBounds().pad(-0.1).contains(position)) {
            map.panTo(position);
        }
    };

    window.mapClearAll = function () {
        waitingPoints = [];
        flushTrack();
        track.setLatLngs([]);
        trackIndexes = [];
        if (marker)
            marker.remove();
        marker = null;
        markerIndex = null;
    };

    window.mapSetDriveTrack = function (points) {
        driveSets += 1;
        driveTrack.setLatLngs((points || []).filter(function (point) {
            return finite(point[0], point[1]);
        }).map(function (point) {
            return L.latLng(point[1], point[0]);
        }));
    };

    // A click goes to the viewer as a console line, which only the viewer reads.
    window.mapSetEvents = function (list) {
        eventLayer.clearLayers();
        events = (list || []).filter(function (each) {
            return finite(each.longitude, each.latitude);
        });
        events.forEach(function (each) {
            var marker = L.circleMarker([each.latitude, each.longitude], {
                pane: 'events', radius: 7, color: '#ffffff', weight: 2, fillColor: each.colour,
                fillOpacity: 0.95, className: 'map-event'
            });
            marker.bindTooltip(String(each.title));
            marker.on('click', function () {
                console.log('velqor:event-click:' + each.index);
            });
            eventLayer.addLayer(marker);
        });
    };

    window.setCenter = function (longitude, latitude) {
        if (!finite(longitude, latitude))
            return;
        centred = true;
        located = longitude !== 0 || latitude !== 0;
        map.setView([latitude, longitude], located ? Math.max(map.getZoom(), STREET_ZOOM) : WORLD_ZOOM,
            { animate: false });
    };

    // Tiles wait for the window's load, so that a tile server that never answers cannot keep the
    // page from finishing its load; only the last source asked for is applied.
    var windowLoaded = document.readyState === 'complete';
    var requestedSource = null;
    var sourceLayers = [];
    var source = { base: false, kind: null, url: null };

    function applySource(spec) {
        sourceLayers.forEach(function (layer) {
            map.removeLayer(layer);
        });
        sourceLayers = [];
        source = { base: false, kind: null, url: null };
        spec = spec || {};
        var base = spec.base && typeof spec.base.url === 'string' && MapSources.baseLayer(spec.base);
        if (base) {
            sourceLayers.push(base);
            source.base = true;
        }
        var layer = spec.layer && MapSources.layer(spec.layer, texts.mapData
            + ' &copy; <a href="https://www.openstreetmap.org/copyright"' + blank + '>OpenStreetMap</a> '
            + texts.contributors);
        if (layer) {
            sourceLayers.push(layer);
            source.kind = spec.layer.kind;
            source.url = spec.layer.url;
        }
        sourceLayers.forEach(function (each) {
            each.addTo(map);
        });
    }

    window.addEventListener('load', function () {
        windowLoaded = true;
        if (requestedSource)
            applySource(requestedSource.spec);
    });

    window.mapSetSource = function (spec) {
        requestedSource = { spec: spec };
        if (windowLoaded)
            applySource(spec);
    };

    // Plain text only: the box never interprets markup.
    var notice = L.DomUtil.create('div', 'map-notice', document.body);
    notice.hidden = true;
    notice.addEventListener('click', function () {
        window.mapShowMessage('');
    });

    window.mapShowMessage = function (text) {
        notice.textContent = text ? String(text) : '';
        notice.hidden = !text;
    };

    // Read-only view of what the page draws, for the viewer's tests.
    window.mapState = function () {
        flushTrack();
        var centre = map.getCenter();
        return {
            track: track.getLatLngs().map(function (point, i) {
                return [point.lng, point.lat, trackIndexes[i]];
            }),
            current: marker ? [marker.getLatLng().lng, marker.getLatLng().lat, markerIndex] : null,
            drive: driveTrack.getLatLngs().map(function (point) {
                return [point.lng, point.lat];
            }),
            driveSets: driveSets,
            events: events.map(function (each) {
                return [each.longitude, each.latitude, each.index, each.colour];
            }),
            center: [centre.lng, centre.lat],
            zoom: map.getZoom(),
            centred: centred,
            source: { base: source.base, kind: source.kind, url: source.url },
            message: notice.textContent
        };
    };
}());
