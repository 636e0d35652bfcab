; ticker.s: an application that logs when it starts and draws, ticks five
; times on a 100 ms system timer, logging each tick, and then exits.
.identifier "ticker-example-image"
.globals 3                        ; 0: application, 1: timer id, 2: ticks

.method "main", main, frame0
.method "<*application>.draw to<canvas>", draw, frame2
.method "<*systemtimerlistener>.systemtimerevent", tick, frame1

.class App

.descriptor frame0
    .lengths 0, 0, 0
.descriptor frame1                ; the receiver
    .lengths 1, 0, 0
    .refs 0
.descriptor frame2                ; the receiver and the canvas
    .lengths 2, 0, 0
    .refs 0, 1

.string started "ticker started"
.string drawn "draw"
.string bye "ticker done"

.code
main:
    ldglobals
    alloc 1, 1                    ; the application object
    dup
    setclass App
    store                         ; global 0
    ldglobals
    deref
    native System.set_application
    ldstr started
    native Debug.log
    ldglobals
    fielda 1
    ldglobals
    deref                         ; the application listens to the timer
    push 100
    native Timer.add
    store                         ; global 1: the timer id
    ret 0, 1

draw:
    ldstr drawn
    native Debug.log
    ret 0, 3

tick:
    ldglobals
    fielda 2
    incm
    ldglobals
    fielda 2
    deref
    itos
    native Debug.log
    ldglobals
    fielda 2
    deref
    push 5
    lt
    jz finish
    ret 0, 2
finish:
    ldstr bye
    native Debug.log
    native System.exit
    ret 0, 2
