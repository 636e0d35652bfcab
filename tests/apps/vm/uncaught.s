; uncaught.s: a throw that no handler catches calls the image's
; "vmprintthrowableandexit<throwable>" with the object, from after the throw.
;! log "printing class 1"
;! exits
.method "main", main, frame
.method "vmprintthrowableandexit<*throwable>", printexit, frame1
.class Throwable
.descriptor frame
    .lengths 0, 0, 0
.descriptor frame1
    .lengths 1, 0, 0
.string printing "printing class "

.code
main:
    alloc 1, 1
    dup
    setclass Throwable
    throw
    ret 0, 1

; the object arrives as a cell (level 1 minus 1 = the object itself here)
printexit:
    ldstr printing
    ldlocd1 -3
    itos
    extcall 99, 14
    extcall 99, 9
