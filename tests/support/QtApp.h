// The test process's one Qt application: offscreen, on one 800 x 480 screen.
#pragma once

#include "Scratch.h"

#include <QApplication>

namespace mcb {

inline void ensureQtApp() {
    static Scratch runtime;
    static int argc = 1;
    static char name[] = "mcb-test", *argv[] = {name, nullptr};
    if (QApplication::instance()) return;
    runtime.write("screen.json", R"({"screens":[{"name":"handset","x":0,"y":0,"width":800,"height":480,)"
                                 R"("logicalDpi":96,"logicalBaseDpi":96,"dpr":1}]})");
    qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString("offscreen:configfile=" + runtime.path("screen.json")));
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.root()));
    new QApplication(argc, argv);
}

}  // namespace mcb
