; hostile_code.s: code no compiler writes must fail as a VM error, never touch
; memory outside what it names. Here "vminternalthrow" logs the error and exits,
; so each case is its own entry call.
;! call "zeron_w beyond the address space"
;! exits
;! log "10"
;! call "copyn_w beyond the address space"
;! exits
;! log "10"
;! call "alloc of 2^30 + 1 words"
;! exits
;! log "6"
;! call "callv on an empty stack"
;! exits
;! log "10 VMException: Stack underflow"
;! call "loadn on an empty stack"
;! exits
;! log "10 VMException: Stack underflow"
;! call "ldloca_w far away"
;! log "no fault"
;! call "16-bit stores at an odd address"
;! global 0 == 0x00123400
;! global 1 == 0x00000012
.globals 3
.method "main", main, frame
.method "vminternalthrow<int>,<*string>", vmthrow, frame2
.method "zeron_w beyond the address space", zeronbig, frame
.method "copyn_w beyond the address space", copynbig, frame
.method "alloc of 2^30 + 1 words", allocbig, frame
.method "callv on an empty stack", callvempty, frame
.method "loadn on an empty stack", loadnempty, frame
.method "ldloca_w far away", ldlocabig, frame
.method "16-bit stores at an odd address", oddhalf, frame
.selector sel "<*Shape>.describe"
    .impl Shape, main, frame
.class Shape
.descriptor frame
    .lengths 0, 0, 0
.descriptor frame2
    .lengths 2, 0, 0
.string nofault "no fault"

.code
main:
    ret 0, 1
zeronbig:
    ldglobals
    zeron_w 0x40000001
    ret 0, 1
copynbig:
    ldglobals
    ldglobals
    copyn_w 0x40000001
    ret 0, 1
allocbig:
    alloc 2, 0x40000001
    ret 0, 1
callvempty:
    call fulltext, frame
    adjsp -1
    callv sel
loadnempty:
    call fulltext, frame
    adjsp -1
    loadn 1
ldlocabig:
    ldloca_w 0x7FFFFFFF
    adjsp -1
    ldstr nofault
    extcall 99, 2
    ret 0, 1
oddhalf:
    ldglobals
    push 1
    add
    push 0x51234
    store16
    ldglobals
    push 3
    add
    storez16
    ldglobals
    push 4
    add
    push 0x12
    store16
    ret 0, 1

; logs the code and, when global 2 is set, the text (which for some faults
; holds an address that depends on the heap's layout)
vmthrow:
    ldglobals
    fielda 2
    deref
    jz codeonly
    ldloc -3
    ldloc -3
    extcall 99, 17
    extcall 99, 9
codeonly:
    ldloc -3
    extcall 99, 1
    extcall 99, 9
fulltext:
    ldglobals
    fielda 2
    ldm1
    store
    ret 0, 1
