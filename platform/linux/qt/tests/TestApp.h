#pragma once

#include <QGuiApplication>

// One Qt application object for the whole test program. It is never
// destroyed: Qt's own static objects go first at exit, and tearing the
// application down after them crashes.
inline QGuiApplication& testApp() {
    static int argc = 1;
    static char arg0[] = "zelvo-test";
    static char* argv[] = {arg0, nullptr};
    static auto* instance = new QGuiApplication(argc, argv);
    return *instance;
}
