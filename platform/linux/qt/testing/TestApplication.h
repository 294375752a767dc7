#pragma once

#include <QApplication>

namespace platform::qt {

// One widget application for the whole test program, made on first use
// unless the program already has one. It is never destroyed: Qt's own static
// objects go first at exit, and tearing the application down after them
// crashes.
inline QApplication& testApplication() {
    static int argc = 1;
    static char arg0[] = "zelvo-test";
    static char* argv[] = {arg0, nullptr};
    static auto* instance = qobject_cast<QApplication*>(QCoreApplication::instance())
                                ? qobject_cast<QApplication*>(QCoreApplication::instance())
                                : new QApplication(argc, argv);
    return *instance;
}

} // namespace platform::qt
