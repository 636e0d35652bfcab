// What the desktop player's tests share: a scene application whose frames
// show everything it received, runs of the player binary with options, and
// reading recordings.
#pragma once

#include "HostTestSupport.h"
#include "host/Recording.h"

namespace hosttest {

// Global 1 counts ticks of a timer of `period` ms (the run ends at tick `last`,
// never when 0); each tick keeps the elapsed time (5), a random number (6) and
// the tilt's X (7, its two words added), logs the first two and asks for a
// repaint. A key press
// keeps its code (4), a pointer event its position (2, 3); each is logged.
// Every frame is black with a square moving 7 pixels a tick (its green and
// blue from the random number, its red from the tilt), a green mark at the pointer and a white bar
// as long as the last key code's low bits.
inline std::string sceneApp(int period, int last) {
    return R"(
.globals 9
.method "main", main, frame0
.method "<*application>.draw to<canvas>", draw, frame2
.method "<*application>.key pressed<keyevent>", keyPressed, frame2
.method "<*application>.pointer event<int>at x<int>y<int>modifiers<int>", pointer, frame5
.method "<*application>.foreground event", foreground, frame1
.method "<*application>.background event", background, frame1
.method "<*systemtimerlistener>.systemtimerevent", tick, frame1
.class App
.descriptor frame0
.descriptor frame1
    .lengths 1, 0, 0
    .refs 0
.descriptor frame2
    .lengths 2, 0, 0
    .refs 0, 1
.descriptor frame5
    .lengths 5, 0, 0
    .refs 0
.string ready "ready"
.string fg "foreground"
.string bg "background"
.code
main:
    ldglobals
    alloc 1, 1
    dup
    setclass App
    store
    ldglobals
    deref
    native System.set_application
    ldglobals
    fielda 8
    ldglobals
    deref
    push )" + std::to_string(period) + R"(
    native Timer.add
    store
    ldstr ready
    native Debug.log
    ret 0, 1
tick:
    ldglobals
    fielda 1
    incm
    ldglobals
    fielda 5
    native System.elapsed_millis
    store
    ldglobals
    fielda 6
    push 0
    push 255
    native Math.random_int
    store
    ldglobals
    fielda 7
    extcall 20, 11
    add
    store
    ldglobals
    fielda 5
    deref
    itos
    native Debug.log
    ldglobals
    fielda 6
    deref
    itos
    native Debug.log
    native Screen.repaint
    push )" + std::to_string(last) + R"(
    jz more
    ldglobals
    fielda 1
    deref
    push )" + std::to_string(last) + R"(
    lt
    jz finish
more:
    ret 0, 2
finish:
    native System.exit
    ret 0, 2
keyPressed:
    ldglobals
    fielda 4
    ldloca -3
    native KeyEvent.key_code
    store
    ldglobals
    fielda 4
    deref
    itos
    native Debug.log
    native Screen.repaint
    ret 0, 3
pointer:
    ldglobals
    fielda 2
    ldloc -5
    store
    ldglobals
    fielda 3
    ldloc -4
    store
    ldloc -5                      ; kind * 1000000 + x * 1000 + y
    push 1000
    mul
    ldloc -5
    add
    push 1000
    mul
    ldloc -4
    add
    itos
    native Debug.log
    native Screen.repaint
    ret 0, 6
draw:
    ldloca -2
    push 0xFF000000
    native Graphics.clear
    ldloca -2
    ldglobals
    fielda 1
    deref
    push 7
    mul
    push 780
    rem
    push 10
    push 20
    push 20
    ldglobals
    fielda 6
    deref
    push 257
    mul
    ldglobals
    fielda 7
    deref
    push 128
    rem
    push 128
    add
    push 65536
    mul
    add
    push 0xFF000000
    add
    native Graphics.fill_rect
    ldloca -2
    ldglobals
    fielda 2
    deref
    ldglobals
    fielda 3
    deref
    push 8
    push 8
    push 0xFF00FF00
    native Graphics.fill_rect
    ldloca -2
    push 0
    push 200
    ldglobals
    fielda 4
    deref
    push 511
    rem
    push 6
    push 0xFFFFFFFF
    native Graphics.fill_rect
    ret 0, 3
foreground:
    ldstr fg
    native Debug.log
    ret 0, 2
background:
    ldstr bg
    native Debug.log
    ret 0, 2
)";
}

// The lines of a recording that hold `kind` events, without their times.
inline Lines eventsOf(const std::string& file, const std::string& kind) {
    Lines out;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        size_t space = line.find(' ');
        std::string event = space == std::string::npos ? "" : line.substr(space + 1);
        if (event == kind || event.rfind(kind + " ", 0) == 0) out.push_back(event);
    }
    return out;
}

inline QImage readPng(const std::string& path) { return QImage(QString::fromStdString(path)); }

}  // namespace hosttest
