#pragma once

#include <QGuiApplication>

// One Qt application object for the whole test program.
inline QGuiApplication& testApp() {
    static int argc = 1;
    static char arg0[] = "zelvo-test";
    static char* argv[] = {arg0, nullptr};
    static QGuiApplication instance(argc, argv);
    return instance;
}
