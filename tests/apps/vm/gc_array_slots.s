; gc_array_slots.s: a two-word array slot (1-2, 3-4) is an array handle; a one-word slot
; (5, 6) holds the address of a global referring to a vector: elements are traced only
; where the flag says references; after the run the globals keep the vectors (recorded
; last) but not their elements.
;! log "alive 1 0 1 1 0"
;! call "check"
;! log "alive 0 0 0 0 0 1 1"
.globals 4
.method "main", main, frame
.method "check", check, none
.descriptor none
.descriptor frame
    .lengths 0, 0, 6
    .pairs ref 1, val 3
    .arrays ref 5, val 6
.code
main:
    adjsp 4
    ldloca -4           ; slots 1 and 2
    newvec 4
    ldloca -2           ; slots 3 and 4
    newvec 4
    ldloca -4
    alloc 2, 1
    extcall 99, 20
    extcall 99, 23
    adjsp -1
    ldloca -2
    alloc 2, 1
    extcall 99, 20
    extcall 99, 23
    adjsp -1
    ldloc -4
    extcall 99, 20      ; the first vector
    adjsp -1
    ldglobals
    newvec 4
    ldglobals
    fielda 2
    newvec 4
    ldglobals           ; slot 5: elements are references
    alloc 2, 1
    extcall 99, 20
    extcall 99, 23
    ldglobals
    fielda 2            ; slot 6: elements are values
    alloc 2, 1
    extcall 99, 20
    extcall 99, 23
    extcall 99, 21
    ret 6, 7
check:                  ; the vectors of globals 0 and 2
    ldglobals
    deref
    extcall 99, 20
    ldglobals
    fielda 2
    deref
    extcall 99, 20
    extcall 99, 22
    ret 2, 1
