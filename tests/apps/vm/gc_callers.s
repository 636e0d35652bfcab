; gc_callers.s: a call abandoned by a catch leaves no stale frame; a caller's frame spans
; its outgoing argument; callers' frames survive a collection in a callee, the run goes
; on, and nothing recorded outlives it.
;! log "alive 0 1 1 1 0 1"
;! global 0 == 77
;! call "check"
;! log "alive 0 0 0 0 0 0"
.globals 1
.method "main", main, frame
.method "check", check, none
.class Thrown
.descriptor none
.descriptor frame       ; slot 2, the outgoing argument, declared as nothing
    .lengths 0, 0, 2
    .refs 1
.descriptor deep
    .lengths 0, 0, 2
    .refs 1, 2
.descriptor leaf        ; called with one argument below its return address
    .lengths 1, 0, 1
    .refs 0, 2
.code
main:
    try -1, caught
    call t, deep
caught:                 ; the thrown object is on top
    adjsp -1
    alloc 2, 1
    extcall 99, 20
    dup
    push 77
    store
    alloc 2, 1          ; the argument
    extcall 99, 20
    call f, leaf
    ldglobals
    ldloc -2
    deref
    store
    ret 1, 2
f:                      ; argument, return address, one local
    alloc 2, 1
    extcall 99, 20
    alloc 2, 1          ; a temporary above the frame
    extcall 99, 20
    adjsp -1
    call g, -1
    adjsp -1
    ret 0, 2
t:
    alloc 2, 1
    extcall 99, 20
    alloc 1, 1
    dup
    setclass Thrown
    throw
g:                      ; no descriptor: its words are scanned conservatively
    alloc 2, 1
    extcall 99, 20
    extcall 99, 21
    adjsp -1
    ret 0, 1
check:
    extcall 99, 22
    ret 0, 1
