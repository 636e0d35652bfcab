; blocks.s: block instructions 79 to 86 on A, which reset() sets to [1 2 3 4 5].
;! log "0 0 0 4 5"
;! log "1 2 3 4 5"
;! log "1 2 1 2 5"
;! log "stack 77 -1"
;! log "2 3 4 4 5"
;! log "stack 77 1 2 3"
;! log "stack 77 5"
;! log "1 8 9 4 5"
;! log "stack 77"
;! log "7 8 9 4 5"
.globals 1
.method "main", main, frame
.descriptor frame
    .lengths 0, 0, 0
.string none ""

.code
main:
    push 1
    push 2
    push 3
    push 4
    push 5
    pack 5
    ldglobals
    ldloc -2
    store                       ; global 0 = A
    adjsp -1
    push 77                     ; a marker below each case's words
    call reset, frame
    ldglobals
    deref
    zeron 3
    call show, frame
    call reset, frame
    ldglobals
    deref
    zeron_w 0
    call show, frame
    ; copyn: s1 destination, s0 source; only the source is popped
    call reset, frame
    ldglobals
    deref
    fielda 2
    ldglobals
    deref
    copyn 2
    ldglobals
    deref
    fielda 2
    eq                          ; the destination stayed on the stack
    call show, frame
    push 2
    extcall 99, 16              ; 77 and the comparison
    adjsp -1
    call reset, frame
    ldglobals
    deref
    dup
    fielda 1
    copyn_w 3
    adjsp -1
    call show, frame
    ; loadn: the first word takes the address's slot, sp ends on the last word
    call reset, frame
    ldglobals
    deref
    loadn 3
    push 4
    extcall 99, 16
    adjsp -3
    ldglobals
    deref
    fielda 4
    loadn_w 1
    push 2
    extcall 99, 16
    adjsp -1
    ; storen: the address lies below the n words; all n + 1 go
    call reset, frame
    ldglobals
    deref
    fielda 1
    push 8
    push 9
    storen 2
    call show, frame
    push 1
    extcall 99, 16
    call reset, frame
    ldglobals
    deref
    push 7
    push 8
    push 9
    storen_w 3
    call show, frame
    adjsp -1
    ret 0, 1

; reset(): A = [1 2 3 4 5]
reset:
    ldglobals
    deref
    push 1
    push 2
    push 3
    push 4
    push 5
    storen 5
    ret 0, 1

; show(): logs the five words of A.
show:
    ldstr none
    ldglobals
    deref
    push 5
    extcall 99, 15
    ret 0, 1
