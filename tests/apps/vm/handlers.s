; handlers.s: try/droph/throw: the superclass walk, catch-all handlers, handlers
; that do not match being dropped, throw null, and catches across calls.
;! log "Throwable caught a Leaf"
;! log "outer Throwable caught an Error past an Other handler"
;! log "catch-all caught an Other"
;! log "stack 0"
;! log "droph -1 left the catch-all"
;! log "caught in main from two calls down"
;! log "descriptors [0] frames [0]"
;! log "stack 77 88"
;! log "descriptors [0,1] frames [0,1]"
.method "main", main, frame
.class Throwable
.class Error
    .super Throwable
.class Leaf
    .super Error
.class Other
.descriptor frame
    .lengths 0, 0, 0
.descriptor frame1                    ; one argument below the return slot
    .lengths 1, 0, 0
.string m1 "Throwable caught a Leaf"
.string m2 "outer Throwable caught an Error past an Other handler"
.string m3 "catch-all caught an Other"
.string m5 "droph -1 left the catch-all"
.string m6 "caught in main from two calls down"
.string wrong "WRONG HANDLER"

.code
main:
    try Throwable, h1
    alloc 1, 1
    dup
    setclass Leaf
    throw
    droph -1
h1:
    ldlocd1 -1                ; class of the caught object
    push 3                    ; Leaf is the third class
    eq
    jz bad
    adjsp -1
    ldstr m1
    extcall 99, 2
    ; a handler whose class is not on the chain is dropped; the next one catches
    try Throwable, h2
    try Other, bad_h
    alloc 1, 1
    dup
    setclass Error
    throw
h2:
    adjsp -1
    ldstr m2
    extcall 99, 2
    try -1, h3
    alloc 1, 1
    dup
    setclass Other
    throw
h3:
    adjsp -1
    ldstr m3
    extcall 99, 2
    ; throw null does nothing and leaves the null
    push 0
    throw
    push 1
    extcall 99, 16
    adjsp -1
    ; droph -1 removes the inner handler
    try -1, h5
    try Throwable, bad_h
    droph -1
    alloc 1, 1
    dup
    setclass Error
    throw
h5:
    adjsp -1
    ldstr m5
    extcall 99, 2
    ; a throw two calls down unwinds the calls
    push 77
    try Error, h6
    push 5
    call level1, frame1
    droph -1
    jmp bad
h6:
    adjsp -1
    ldstr m6
    extcall 99, 2
    extcall 99, 12            ; the abandoned calls are gone
    push 88
    push 2
    extcall 99, 16            ; the stack is back to the try's
    adjsp -2
    push 9
    call level2, frame1       ; and calls work on
    ret 0, 1
bad_h:
    adjsp -1
bad:
    ldstr wrong
    extcall 99, 2
    ret 0, 1

level1:
    push 6
    call level2throw, frame1
    ret 0, 2

level2throw:
    alloc 1, 1
    dup
    setclass Leaf
    throw

level2:
    extcall 99, 12
    ret 0, 2
