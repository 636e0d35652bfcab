; gc_odd_frames.s: unchecked descriptor lengths and offsets reaching below, past or
; backwards are scanned within the stack only; words no frame covers still count.
;! log "alive 1 1"
.method "main", main, backwards
.descriptor backwards
    .lengths 0, 0, -5
    .refs -7, 100000
    .pairs ref 0x7FFFFFFF, val -1
.descriptor huge
    .lengths 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF
    .maybe -0x80000000, 0x7FFFFFFF
    .arrays ref 0x7FFFFFFF
.code
main:
    alloc 2, 1
    extcall 99, 20
    call f, huge
    ret 1, 2
f:
    alloc 2, 1
    extcall 99, 20
    extcall 99, 21
    adjsp -1
    ret 0, 1
