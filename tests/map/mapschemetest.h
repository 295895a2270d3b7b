// Test entry point for tests that show the map: its scheme must be registered before QApplication.
#pragma once

#include "map/maptileschemehandler.h"

#include <QApplication>
#include <QtTest>

// QTEST_MAIN for a widget test, with the map's scheme registered first as the viewer does.
#define VELQOR_MAP_TEST_MAIN(TestObject) \
    int main(int argc, char *argv[]) \
    { \
        MapTileSchemeHandler::registerScheme(); \
        QApplication app(argc, argv); \
        app.setAttribute(Qt::AA_Use96Dpi, true); \
        TestObject test; \
        return QTest::qExec(&test, argc, argv); \
    }
