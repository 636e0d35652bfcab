; queue.s: calls that arrive while bytecode runs wait in the queue and run, in
; order, right after the current call; draw and system-timer events refuse to
; nest and halt with "VM concurrency error"; exit ends the call.
;! log "main starts"
;! log "queued 0"
;! log "queued 2"
;! log "main ends"
;! log "first 11"
;! log "second 22"
;! log "key pressed"
;! log "describe on a Circle"
;! log "stack 2 30 40"
;! call "draw now"
;! halts "VM concurrency error"
;! call "timer now"
;! halts "VM concurrency error"
;! call "exit now"
;! exits
;! log "before exit"
;! call "first<int>" args 5
;! log "first 5"
.method "main", main, frame
.method "first<int>", first, frame1
.method "second<int>", second, frame1
.method "draw now", drawnow, frame
.method "timer now", timernow, frame
.method "exit now", exitnow, frame
.method "<*systemtimerlistener>.systemtimerevent", first, frame1
.method "<*application>.draw to<canvas>", first, frame1
.method "<*application>.key pressed<keyevent>", keypressed, frame2
.method "<*application>.pointer event<int>at x<int>y<int>modifiers<int>", pointer, frame5
.selector describe "<*Shape>.describe"
    .impl Circle, circle_describe, frame1
.class Shape
.class Circle
    .super Shape
.descriptor frame
    .lengths 0, 0, 0
.descriptor frame1
    .lengths 1, 0, 0
.descriptor frame2
    .lengths 2, 0, 0
.descriptor frame5
    .lengths 5, 0, 0
.string starts "main starts"
.string ends "main ends"
.string queued "queued "
.string sfirst "first<int>"
.string ssecond "second<int>"
.string tfirst "first "
.string tsecond "second "
.string key "key pressed"
.string bexit "before exit"
.string sdescribe "<Shape>.describe"
.string tdescribe "describe on a Circle"

.code
main:
    ldstr starts
    extcall 99, 2
    ldstr queued
    extcall 99, 11
    itos
    extcall 99, 14
    push 11
    push 1
    ldstr sfirst
    extcall 99, 3
    push 22
    push 1
    ldstr ssecond
    extcall 99, 3
    ldstr queued
    extcall 99, 11
    itos
    extcall 99, 14
    alloc 2, 1
    extcall 99, 6               ; the application object
    push 0
    push -1
    extcall 99, 7               ; a key press: queued as well
    push 0
    push 0
    extcall 99, 7               ; a key release: the image has no method for it
    alloc 1, 1                  ; a virtual method, dispatched on the receiver's class
    dup
    setclass Circle
    push 1
    ldstr sdescribe
    extcall 99, 3
    push 2
    push 30
    push 40
    push 0
    extcall 99, 13              ; a pointer event
    ldstr ends
    extcall 99, 2
    ret 0, 1

first:
    ldstr tfirst
    ldloc -3
    itos
    extcall 99, 14
    ret 0, 2
second:
    ldstr tsecond
    ldloc -3
    itos
    extcall 99, 14
    ret 0, 2
keypressed:
    ldstr key
    extcall 99, 2
    ret 0, 3
drawnow:
    push 0
    extcall 99, 4
    ret 0, 1
timernow:
    alloc 2, 1
    extcall 99, 5
    ret 0, 1
; (application, kind, x, y, modifiers): logs kind, x and y
pointer:
    ldloc -5
    ldloc -5
    ldloc -5
    push 3
    extcall 99, 16
    adjsp -3
    ret 0, 6
circle_describe:
    ldstr tdescribe
    extcall 99, 2
    ret 0, 2
exitnow:
    ldstr bexit
    extcall 99, 2
    extcall 99, 9
    ret 0, 1
