// Tile layers of the map pages (world map, map file, OpenStreetMap) and the style of vector tiles.
(function () {
    'use strict';

    var PM = window.protomapsL;
    var DEEPEST_ZOOM = 19;

    var colours = {
        ocean: '#aad3df',
        land: '#f2efe9',
        border: '#a08da8',
        region: '#c3b4c7',
        park: '#cdebb0',
        wood: '#add19e',
        farmland: '#eef0d5',
        residential: '#e3e0dc',
        commercial: '#f2dad9',
        industrial: '#ebdbe8',
        sand: '#f5e9c6',
        ice: '#e8f2f2',
        wetland: '#d6e6d3',
        building: '#d9d0c9',
        buildingEdge: '#c4b6ab',
        casing: '#c9bdb1',
        motorway: '#e892a2',
        trunk: '#f9b29c',
        primary: '#fcd6a4',
        secondary: '#f7fabf',
        minor: '#ffffff',
        path: '#e07a6a',
        rail: '#9a9a9a',
        text: '#333333',
        waterText: '#4a7fa8',
        halo: 'rgba(255, 255, 255, 0.85)'
    };

    // Attribution comes from the map file, so only its text and its web links survive; links open
    // through the viewer's pop-up filter in the desktop browser.
    function sanitizeAttribution(html) {
        var parsed = new DOMParser().parseFromString(String(html || ''), 'text/html');
        var out = document.createElement('span');
        (function copy(from, into) {
            Array.prototype.forEach.call(from.childNodes, function (node) {
                if (node.nodeType === Node.TEXT_NODE) {
                    into.appendChild(document.createTextNode(node.data));
                    return;
                }
                if (node.nodeType !== Node.ELEMENT_NODE)
                    return;
                var name = node.localName;
                if (name === 'script' || name === 'style' || name === 'template' || name === 'noscript')
                    return;
                var target = into;
                if (name === 'a') {
                    var href = null;
                    try {
                        href = new URL(node.getAttribute('href'));
                    } catch (error) {
                        href = null;
                    }
                    if (href && (href.protocol === 'http:' || href.protocol === 'https:')) {
                        target = document.createElement('a');
                        target.href = href.href;
                        target.target = '_blank';
                        target.rel = 'noopener';
                        into.appendChild(target);
                    }
                }
                copy(node, target);
            });
        }(parsed.body, out));
        return out.innerHTML.trim();
    }

    // The web engine's fetch() refuses custom URL schemes, which the renderer's own fetcher relies
    // on; XMLHttpRequest reaches them. A tile missing from the file is an empty tile, not an error.
    function requestTiles(template) {
        return {
            getZxy: function (z, x, y, signal) {
                return new Promise(function (resolve, reject) {
                    var request = new XMLHttpRequest();
                    request.open('GET', template.replace('{z}', z).replace('{x}', x).replace('{y}', y));
                    request.responseType = 'arraybuffer';
                    request.timeout = 30000;
                    request.onload = function () {
                        resolve(request.status === 200 && request.response
                            ? { data: request.response } : undefined);
                    };
                    request.onerror = request.ontimeout = function () {
                        resolve(undefined);
                    };
                    if (signal) {
                        signal.addEventListener('abort', function () {
                            request.abort();
                            reject(new DOMException('tile no longer needed', 'AbortError'));
                        });
                    }
                    request.send();
                });
            }
        };
    }

    function zoomLevel(value, fallback) {
        var number = Number(value);
        return isFinite(number) ? Math.max(0, Math.min(DEEPEST_ZOOM, Math.round(number))) : fallback;
    }

    function boundsOf(bounds) {
        if (!Array.isArray(bounds) || bounds.length !== 4 || !bounds.every(isFinite))
            return null;
        return L.latLngBounds([bounds[1], bounds[0]], [bounds[3], bounds[2]]);
    }

    // OpenMapTiles builders write the local name as "name", or only its Latin form.
    var nameProps = ['name', 'name:latin', 'name_int', 'name_en'];

    function name(feature) {
        for (var i = 0; i < nameProps.length; ++i) {
            if (feature.props[nameProps[i]])
                return feature.props[nameProps[i]];
        }
        return undefined;
    }

    // Width in pixels growing with the zoom, between the given stops.
    function widths(stops) {
        return PM.exp(1.5, stops);
    }

    // Roads of both schemas in one set of classes.
    var roadClasses = {
        // OpenMapTiles
        motorway: 'motorway', trunk: 'trunk', primary: 'primary', secondary: 'secondary',
        tertiary: 'secondary', minor: 'minor', service: 'minor', track: 'minor', raceway: 'minor',
        busway: 'minor', path: 'path', rail: 'rail', transit: 'rail',
        // Protomaps
        highway: 'motorway', major_road: 'primary', medium_road: 'secondary', minor_road: 'minor',
        other: 'minor'
    };

    function roadClass(feature) {
        var props = feature.props;
        var kind = String(props['class'] || props.kind || '').replace(/_construction$/, '');
        if (kind === 'highway' && props.kind_detail === 'trunk')
            return 'trunk';
        return roadClasses[kind] || null;
    }

    function roadRules(layer) {
        var roadStyles = {
            motorway: { colour: colours.motorway, from: 4, width: widths([[4, 0.6], [10, 2.2], [14, 6], [18, 20]]) },
            trunk: { colour: colours.trunk, from: 5, width: widths([[5, 0.5], [10, 2], [14, 5.5], [18, 18]]) },
            primary: { colour: colours.primary, from: 7, width: widths([[7, 0.5], [10, 1.5], [14, 5], [18, 16]]) },
            secondary: { colour: colours.secondary, from: 9, width: widths([[9, 0.5], [12, 1.5], [14, 4], [18, 14]]) },
            minor: { colour: colours.minor, from: 12, width: widths([[12, 0.5], [14, 2.5], [18, 11]]) }
        };
        var casings = [];
        var fills = [];
        // Minor roads first, so that the larger ones are drawn over them.
        Object.keys(roadStyles).reverse().forEach(function (key) {
            var style = roadStyles[key];
            var isClass = function (z, feature) {
                return roadClass(feature) === key;
            };
            // Casings only once the roads are wide enough to read as areas.
            casings.push({ dataLayer: layer, minzoom: Math.max(style.from, 12), filter: isClass,
                symbolizer: new PM.LineSymbolizer({ color: colours.casing, lineCap: 'round',
                    width: function (z) { return style.width(z) + 1.5; } }) });
            fills.push({ dataLayer: layer, minzoom: style.from, filter: isClass,
                symbolizer: new PM.LineSymbolizer({ color: style.colour, width: style.width,
                    lineCap: 'round', lineJoin: 'round' }) });
        });
        return [
            { dataLayer: layer, minzoom: 14,
                filter: function (z, feature) { return roadClass(feature) === 'path'; },
                symbolizer: new PM.LineSymbolizer({ color: colours.path, width: 1, dash: [3, 2] }) },
            { dataLayer: layer, minzoom: 10,
                filter: function (z, feature) { return roadClass(feature) === 'rail'; },
                symbolizer: new PM.LineSymbolizer({ color: colours.rail,
                    width: widths([[10, 0.6], [18, 2.5]]) }) }
        ].concat(casings, fills);
    }

    // Area colours of land cover and land use, by class (OpenMapTiles) or kind (Protomaps).
    var areaColours = {
        grass: colours.park, park: colours.park, meadow: colours.park, grassland: colours.park,
        garden: colours.park, playground: colours.park, pitch: colours.park, golf_course: colours.park,
        nature_reserve: colours.park, national_park: colours.park, protected_area: colours.park,
        recreation_ground: colours.park, cemetery: '#aacbaf',
        wood: colours.wood, forest: colours.wood, scrub: '#c8d7ab',
        farmland: colours.farmland, farm: colours.farmland, orchard: '#aedfa3', vineyard: '#aedfa3',
        residential: colours.residential, suburb: colours.residential, urban_area: colours.residential,
        neighbourhood: colours.residential,
        commercial: colours.commercial, retail: '#ffd6d1', industrial: colours.industrial,
        railway: colours.industrial, military: '#f3e3dd',
        hospital: '#f7ecec', school: '#f7f0d8', university: '#f7f0d8', college: '#f7f0d8',
        kindergarten: '#f7f0d8', stadium: colours.park,
        sand: colours.sand, beach: colours.sand, barren: '#eee5dc', rock: '#e4ddd6',
        ice: colours.ice, glacier: colours.ice, wetland: colours.wetland
    };

    function areaColour(feature) {
        return areaColours[feature.props['class'] || feature.props.kind] || null;
    }

    function areaRules(layer) {
        return [{ dataLayer: layer, filter: function (z, feature) { return areaColour(feature) !== null; },
            symbolizer: new PM.PolygonSymbolizer({ fill: function (z, feature) { return areaColour(feature); } }) }];
    }

    function isPoint(z, feature) {
        return feature.geomType === 1;
    }

    function isArea(z, feature) {
        return feature.geomType === 3;
    }

    function textSymbolizer(size, options) {
        var settings = { labelProps: nameProps, fill: colours.text, stroke: colours.halo, width: 2,
            fontFamily: 'sans-serif', fontSize: size };
        Object.keys(options || {}).forEach(function (key) {
            settings[key] = options[key];
        });
        return settings;
    }

    // Smallest display zoom of a place label, by its class (OpenMapTiles) or kind (Protomaps).
    var placeZooms = {
        continent: 0, country: 2, state: 5, region: 5, province: 5, city: 5, town: 9, locality: 9,
        village: 11, suburb: 12, quarter: 13, neighbourhood: 13, hamlet: 13, isolated_dwelling: 15
    };
    var placeSizes = { country: 13, state: 11, region: 11, province: 11, city: 14, town: 12 };

    function placeKind(feature) {
        var props = feature.props;
        if (props.kind === 'locality' && props.kind_detail)
            return props.kind_detail in placeZooms ? props.kind_detail : 'village';
        return props['class'] || props.kind;
    }

    function placeShown(z, feature) {
        var from = feature.props.min_zoom !== undefined ? Number(feature.props.min_zoom)
            : placeZooms[placeKind(feature)];
        return from !== undefined && z >= from;
    }

    function placeRule(layer) {
        return { dataLayer: layer, filter: placeShown,
            symbolizer: new PM.CenteredTextSymbolizer(textSymbolizer(
                function (z, feature) { return placeSizes[placeKind(feature)] || 11; },
                { fontWeight: function (z, feature) {
                    return placeKind(feature) === 'country' ? 600 : 400;
                }, fill: function (z, feature) {
                    return placeKind(feature) === 'country' || placeKind(feature) === 'state'
                        || placeKind(feature) === 'region' ? '#5c4b63' : colours.text;
                } })) };
    }

    function roadNameRule(layer) {
        return { dataLayer: layer, minzoom: 13, filter: function (z, feature) { return !!name(feature); },
            symbolizer: new PM.LineLabelSymbolizer(textSymbolizer(11,
                { fill: '#444444', stroke: '#ffffff', position: PM.LineLabelPlacement.Center })) };
    }

    function waterNameRule(layer, filter) {
        return { dataLayer: layer, filter: filter,
            symbolizer: new PM.CenteredTextSymbolizer(textSymbolizer(12,
                { fill: colours.waterText, fontStyle: 'italic' })) };
    }

    function boundaryRules(layer) {
        var level = function (feature) {
            return Number(feature.props.admin_level || feature.props.kind_detail
                || (feature.props.kind === 'country' ? 2 : 4));
        };
        var onLand = function (feature) {
            return !Number(feature.props.maritime);
        };
        return [
            { dataLayer: layer, minzoom: 5,
                filter: function (z, feature) { return level(feature) > 2 && level(feature) <= 4 && onLand(feature); },
                symbolizer: new PM.LineSymbolizer({ color: colours.region, width: 1, dash: [4, 3] }) },
            { dataLayer: layer,
                filter: function (z, feature) { return level(feature) <= 2 && onLand(feature); },
                symbolizer: new PM.LineSymbolizer({ color: colours.border,
                    width: widths([[2, 0.7], [10, 1.6], [16, 2.5]]) }) }
        ];
    }

    function buildingRules(layer) {
        return [{ dataLayer: layer, minzoom: 14, symbolizer: new PM.PolygonSymbolizer({
            fill: colours.building, stroke: colours.buildingEdge, width: 0.5 }) }];
    }

    // Paint and label rules per vector layer name, drawn in this order: land first, labels last.
    // Built on first use, so that the online map and the track still work when the renderer's
    // file failed to load.
    var styleRules = null;

    function vectorRules() {
        if (styleRules)
            return styleRules;
        var paintLayers = {
            // The built-in world map
            countries: [
                { dataLayer: 'countries', symbolizer: new PM.PolygonSymbolizer({ fill: colours.land }) },
                { dataLayer: 'countries', symbolizer: new PM.LineSymbolizer({ color: colours.border,
                    width: widths([[0, 0.5], [5, 1], [10, 1.5]]) }) }
            ],
            // Protomaps
            earth: [{ dataLayer: 'earth', symbolizer: new PM.PolygonSymbolizer({ fill: colours.land }) }],
            landcover: areaRules('landcover'),
            landuse: areaRules('landuse'),
            natural: areaRules('natural'),
            park: [{ dataLayer: 'park', symbolizer: new PM.PolygonSymbolizer({ fill: colours.park }) }],
            water: [{ dataLayer: 'water', filter: isArea,
                symbolizer: new PM.PolygonSymbolizer({ fill: colours.ocean }) }],
            waterway: [
                { dataLayer: 'waterway', minzoom: 8,
                    filter: function (z, feature) { return feature.props['class'] === 'river'; },
                    symbolizer: new PM.LineSymbolizer({ color: colours.ocean,
                        width: widths([[8, 0.7], [14, 3], [18, 8]]) }) },
                { dataLayer: 'waterway', minzoom: 12,
                    filter: function (z, feature) { return feature.props['class'] !== 'river'; },
                    symbolizer: new PM.LineSymbolizer({ color: colours.ocean, width: widths([[12, 0.5], [18, 3]]) }) }
            ],
            building: buildingRules('building'),
            buildings: buildingRules('buildings'),
            transportation: roadRules('transportation'),
            roads: roadRules('roads'),
            boundary: boundaryRules('boundary'),
            boundaries: boundaryRules('boundaries'),
            cities: [{ dataLayer: 'cities', minzoom: 4, symbolizer: new PM.CircleSymbolizer({
                radius: 2.5, fill: '#555555', stroke: '#ffffff', width: 1 }) }]
        };

        var labelLayers = {
            country_labels: [{ dataLayer: 'country_labels', minzoom: 2,
                symbolizer: new PM.CenteredTextSymbolizer(textSymbolizer(
                    function (z) { return z < 4 ? 11 : 13; }, { fill: '#5c4b63', fontWeight: 600 })) }],
            cities: [{ dataLayer: 'cities', minzoom: 4,
                symbolizer: new PM.OffsetTextSymbolizer(textSymbolizer(12, { offsetX: 5, offsetY: 5 })) }],
            place: [placeRule('place')],
            places: [placeRule('places')],
            water_name: [waterNameRule('water_name')],
            water: [waterNameRule('water', isPoint)],
            transportation_name: [roadNameRule('transportation_name')],
            roads: [roadNameRule('roads')]
        };
        styleRules = { paint: paintLayers, label: labelLayers };
        return styleRules;
    }

    // Rules of the layers the file has; all of them when it does not list its layers.
    function rulesFor(table, names) {
        var rules = [];
        Object.keys(table).forEach(function (layer) {
            if (!names.length || names.indexOf(layer) >= 0)
                rules = rules.concat(table[layer]);
        });
        return rules;
    }

    // Null without the renderer.
    function vectorLayer(spec, options) {
        if (!PM)
            return null;
        var names = Array.isArray(spec.layers) ? spec.layers.map(String) : [];
        var rules = vectorRules();
        return PM.leafletLayer({
            url: requestTiles(spec.url),
            maxDataZoom: zoomLevel(spec.maxZoom, 14),
            paintRules: rulesFor(rules.paint, names),
            labelRules: rulesFor(rules.label, names),
            attribution: options.attribution,
            bounds: options.bounds || undefined,
            // Without a land layer, land is what the water leaves: inside the file's bounds the
            // world map's coarse coasts must not show through.
            backgroundColor: options.bounds && names.indexOf('earth') < 0 && names.indexOf('water') >= 0
                ? colours.land : undefined,
            zIndex: options.zIndex
        });
    }

    window.MapSources = {
        sanitizeAttribution: sanitizeAttribution,

        baseLayer: function (spec) {
            return vectorLayer({ url: spec.url, maxZoom: spec.maxZoom,
                layers: ['countries', 'country_labels', 'cities'] }, {
                attribution: '<a href="https://www.naturalearthdata.com" target="_blank" rel="noopener">'
                    + 'Natural Earth</a>',
                zIndex: 1
            });
        },

        // The file's or the online layer over the world map; null for a kind this page cannot draw.
        // OpenStreetMap's attribution comes in the page's language.
        layer: function (spec, osmAttribution) {
            if (typeof spec.url !== 'string')
                return null;
            if (spec.kind === 'online') {
                return L.tileLayer(spec.url, { maxZoom: DEEPEST_ZOOM, attribution: osmAttribution,
                    zIndex: 2 });
            }
            var bounds = boundsOf(spec.bounds);
            var attribution = sanitizeAttribution(spec.attribution);
            if (spec.kind === 'vector')
                return vectorLayer(spec, { attribution: attribution, bounds: bounds, zIndex: 2 });
            if (spec.kind !== 'raster')
                return null;
            var minZoom = zoomLevel(spec.minZoom, 0);
            var maxZoom = Math.max(minZoom, zoomLevel(spec.maxZoom, DEEPEST_ZOOM));
            return L.tileLayer(spec.url, {
                minNativeZoom: minZoom,
                maxNativeZoom: maxZoom,
                // Far out from its shallowest level the file would be asked for thousands of tiles
                // to shrink into a few; the world map stands in there.
                minZoom: Math.max(0, minZoom - 2),
                maxZoom: DEEPEST_ZOOM,
                bounds: bounds || undefined,
                attribution: attribution,
                zIndex: 2
            });
        }
    };
}());
