; gc_globals.s: globals are scanned conservatively. Holder: word 0 class, 1-2 an array
; of references, 3-4 of values, 5 a reference field. A pair of kind 0 cannot be traced:
; a failed collection after an entry call leaves the machine idle, one in a run becomes
; a catchable VM error; no marks stay.
;! log "alive 1 0 1 1 0"
;! call "check"
;! log "alive 1 0 1 1 0"
;! call "keep"
;! raises "VMException"
;! call "forget"
;! log "alive 1 0 1 1 0"
;! call "count"
;! log "entries 9"
.globals 3
.method "main", main, frame
.method "keep", keep, frame
.method "forget", forget, frame
.method "check", check, frame
.method "count", count, frame
.method "vminternalthrow<int>,<string>", on_error, frame
.class Failure
.class Holder
    .fieldwidth 1
    .reffields 5
    .arrayfields ref 1, val 3
.descriptor frame
.code
main:
    ldglobals
    alloc 1, 6
    dup
    setclass Holder
    store
    ldglobals
    deref
    fielda 1
    newvec 4
    ldglobals
    deref
    fielda 3
    newvec 4
    ldglobals
    deref
    fielda 1
    alloc 2, 1          ; an element of the reference array
    extcall 99, 20
    extcall 99, 23
    adjsp -1
    ldglobals
    deref
    fielda 3
    alloc 2, 1          ; an element of the value array
    extcall 99, 20
    extcall 99, 23
    adjsp -1
    ldglobals
    deref
    fielda 5
    alloc 2, 1
    extcall 99, 20
    store
    ldglobals
    fielda 2
    alloc 2, 4
    extcall 99, 20
    push 12             ; an address inside the block is enough
    add
    store
    ldglobals
    fielda 1
    alloc 16, 3
    extcall 99, 20
    store
    try -1, caught
    extcall 99, 21
    droph -1
caught:
    adjsp -1
forget:
    ldglobals
    fielda 1
    storez
    extcall 99, 21      ; now it succeeds
    ret 0, 1
keep:
    ldglobals
    fielda 1
    alloc 16, 3
    store
    ret 0, 1
check:
    extcall 99, 22
    ret 0, 1
count:
    extcall 99, 24      ; globals, holder, both vectors and storages, 3 blocks
    ret 0, 1
on_error:
    alloc 1, 1
    dup
    setclass Failure
    throw
