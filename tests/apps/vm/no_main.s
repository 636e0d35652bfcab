; no_main.s: an image without "main" does not run; the load halts outside any
; entry call, so the halt leaves as a VM error to the host.
;! raises "UnknownException (CODE:11)"
;! global 0 == 0
.globals 1
.method "::global::init", init, frame
.descriptor frame
.code
init:
    ldglobals
    push 5
    store
    ret 0, 1
