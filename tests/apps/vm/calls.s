; calls.s: calls (a result slot below the arguments), entry calls with levels, finding
; methods, host calls queued while bytecode runs (a draw event refuses to nest).
; "control": jumps (landing at the last operand byte + offset; opcode 56 traps a wrong
; landing), try/droph/throw up the superclass chain; "uncaught": to "vmprintthrowableandexit".
;! log "stack 3 4 0 2"
;! log "11"
;! log "22"
;! log "key pressed"
;! log "2"
;! call "control"
;! log "stack 77 3 2 1 0 9"
;! log "descriptors [0] frames [0]"
;! log "descriptors [0,1] frames [0,7]"
;! log "stack 4 2 3 0 2 4"
;! call "uncaught"
;! exits
;! log "3"
;! find "nothing" -> none
;! find "pick one" -> "pick one, the first"
;! find "(int)twice" -> "(int)twice<int>" levels none resultlevel 0
;! find "<a>.m<b>" -> "<**a>.m<*b>" levels 2, 1 handle 10
; a later signature for the same method gets the first handle, levels and all
;! find "<a>.m" -> "<**a>.m<*b>" levels 2, 1 handle 10
;! find "odd<" -> "odd<*" levels 0
;! call "(int)sum<int>" args 100 resultlevel 0
;! result == 5050
;! call "(int)deref<int>" args 7 levels 0 resultlevel 0
;! result == 7
;! call "(string)greeting" resultlevel 1
;! result string "hello"
;! call "(int)boxed<int>" args 5 resultlevel 0
;! result == 5
;! call "draw now"
;! halts "VM concurrency error"
;! call "log<int>" args 5
;! log "5"
.method "main", main, frame
.method "(int)sum<int>", sum, frame1
.method "control", control, frame
.method "uncaught", uncaught, frame
.method "vmprintthrowableandexit<*throwable>", printexit, frame1
.method "(int)twice<int>", main, frame1
.method "(int)deref<**int>", deref, frame1
.method "(*int)boxed<int>", boxed, frame1
.method "(*string)greeting", greeting, frame
.method "pick one, the first", main, frame
.method "pick one, the second", main, frame
.method "<**a>.m<*b>", main, frame
.method "odd<*", main, frame
.method "log<int>", logint, frame1
.method "draw now", drawnow, frame
.method "<*application>.draw to<canvas>", logint, frame1
.method "<*application>.key pressed<keyevent>", keypressed, frame2
.selector area "(int)<*Shape>.area"
    .impl Circle, circle_area, frame1
    .impl Square, square_area, frame1
.selector describe "<*Shape>.describe"
    .impl Circle, circle_describe, frame1
.class Shape
.class Circle
    .super Shape
.class Square
    .super Shape
.class Leaf
    .super Circle
.descriptor frame
.descriptor frame1
    .lengths 1, 0, 0
.descriptor frame2
    .lengths 2, 0, 0
.string hello "hello"
.string slog "log<int>"
.string sdescribe "<Shape>.describe"
.string key "key pressed"
.code
main:
    push 0                      ; virtual: result slot, receiver, its class index,
    alloc 1, 1                  ; which the call replaces by the return address
    dup
    setclass Circle
    dup
    deref
    callv area
    push 0
    alloc 1, 1
    dup
    setclass Square
    dup
    deref
    callv area
    extcall 99, 11              ; queued calls: 0
    push64 11, 1
    ldstr slog
    extcall 99, 3
    push64 22, 1
    ldstr slog
    extcall 99, 3
    extcall 99, 11
    alloc 2, 1
    extcall 99, 6               ; the application object
    push64 0, -1
    extcall 99, 7               ; a key press: queued as well
    push64 0, 0
    extcall 99, 7               ; a release: the image has no method for it
    alloc 1, 1                  ; a virtual method, on the receiver's class
    dup
    setclass Circle
    push 1
    ldstr sdescribe
    extcall 99, 3
    push 4
    extcall 99, 16
    ret 4, 5
sum:                            ; n + sum(n - 1), sum(0) = 0
    ldloca -3                   ; the result slot
    ldloc -3
    dup
    jz sum_store
    push 0
    ldloc -2
    push 1
    sub
    call sum, frame1
    add
sum_store:
    store
    ret 0, 2
deref:                          ; the argument comes through two cells
    ldloca -3
    ldlocd2 -3
    store
    ret 0, 2
boxed:                          ; the result goes back in a new cell
    ldloca -3
    ldloc -3
    box
    store
    ret 0, 2
greeting:
    ldloca -2
    ldstr hello
    store
    ret 0, 1
circle_area:
    ldloca -3
    push 3
    store
    ret 0, 2
square_area:
    ldloca -3
    push 4
    store
    ret 0, 2
logint:
    ldloc -2
    extcall 99, 1
    ret 0, 2
circle_describe:                ; logs the receiver's class
    ldloc -2
    deref
    extcall 99, 1
    ret 0, 2
keypressed:
    ldstr key
    extcall 99, 2
    ret 0, 3
drawnow:
    push 0
    extcall 99, 4
control:
    push64 77, 0
    jz_w t1                     ; taken; pops its condition
    .byte 56
t1: push 5
    jz trap
    jmp 3                       ; past two bytes
    .byte 56, 56
    jmp_w 3
    .byte 56, 56
    push 0
    jz 2
    .byte 56
    push 3
loop: dup                       ; logs 3 2 1 0
    push 1
    sub
    dup
    not
    jz loop
    jmp_w fwd
back: push 9
    jmp_w end
fwd: jmp_w back
end: push 6
    extcall 99, 16
    adjsp -6
    try Shape, h1               ; the handler gets the object; deref gives its class
    alloc 1, 1
    dup
    setclass Leaf
    throw
h1: deref
    try Shape, h2
    try Square, trap            ; not on the chain: dropped
    alloc 1, 1
    dup
    setclass Circle
    throw
h2: deref
    try -1, h3                  ; catches everything
    alloc 1, 1
    dup
    setclass Square
    throw
h3: deref
    push 0
    throw                       ; null: nothing, and it stays
    try -1, h5
    try Shape, trap
    droph -1
    alloc 1, 1
    dup
    setclass Circle
    throw
h5: deref
    try Circle, h6
    push 5
    call level1, frame1
trap: .byte 56
h6: deref                       ; the stack as at the try, the calls gone
    extcall 99, 12
    push 9
    call level2, frame1         ; and calls work on
    push 6
    extcall 99, 16
    ret 6, 7
level1:
    push 6
    call level2throw, frame1
level2throw:
    alloc 1, 1
    dup
    setclass Leaf
    throw
level2:
    extcall 99, 19              ; a collection with every frame live
    extcall 99, 12
    ret 0, 2
uncaught:
    alloc 1, 1
    dup
    setclass Square
    throw
printexit:                      ; the object arrives as a cell
    ldlocd1 -2
    extcall 99, 1
    extcall 99, 9
