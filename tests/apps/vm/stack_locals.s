; stack_locals.s: pushes, local loads and addresses, stack adjustment.
; "stack" lines list the top words, the deepest first.
;! log "42"
;! log "7"
;! log "stack 0 0"
;! log "stack 11 22"
;! log "stack -1 0 -1"
;! log "99"
;! log "stack 5 305419896"
;! log "stack -2 -128 127"
;! log "200"
;! log "127"
.method "main", main, frame
.descriptor frame
    .lengths 0, 0, 0

.code
main:
    nop
    ; ldloc k reads slot (new sp + k): -1 is the word that was on top
    push 42
    ldloc -1
    extcall 99, 1
    push 7
    push 8
    ldloc_w -2                  ; the 7, below the 8
    extcall 99, 1
    adjsp -3
    ; adjsp with a positive count leaves zero words, even over old values
    push 5
    push 6
    adjsp -2
    adjsp 2
    push 2
    extcall 99, 16
    adjsp_w -2
    ; ldloca: the address of a slot; writing through it changes the slot
    push 11
    push 0
    ldloca -1                   ; address of the 0 slot
    push 22
    store
    push 2
    extcall 99, 16
    adjsp -2
    ; the three ways to push booleans and minus one
    ldtrue
    ldfalse
    ldm1
    push 3
    extcall 99, 16
    adjsp -3
    ; dup and ldloca_w
    push 99
    dup
    ldloca_w -2
    deref
    extcall 99, 1
    adjsp -2
    ; push64 puts the first word lower
    push64 5, 0x12345678
    push 2
    extcall 99, 16
    adjsp -2
    ; sext8 works on the top n words, zext8 on the top word
    push 0x1FE
    push 0x80
    push 0x17F
    sext8 3
    push 3
    extcall 99, 16
    adjsp -3
    push 0x3C8
    zext8
    extcall 99, 1
    push 0xFFFF7F
    sext8 1
    extcall 99, 1
    ret 0, 1
