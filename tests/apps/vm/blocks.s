; blocks.s: block instructions 79 to 86 on A, which reset() sets to [1 2 3 4 5].
;! log "zeron 3: 0 0 0 4 5"
;! log "zeron_w 0: 1 2 3 4 5"
;! log "copyn 2 to A+8: 1 2 1 2 5"
;! log "stack 77 -1"
;! log "copyn_w 3 from A+4 to A: 2 3 4 4 5"
;! log "stack 77 1 2 3"
;! log "stack 77 5"
;! log "storen 2 at A+4: 1 8 9 4 5"
;! log "stack 77"
;! log "storen_w 3 at A: 7 8 9 4 5"
.globals 1
.method "main", main, frame
.descriptor frame
    .lengths 0, 0, 0
.string s1 "zeron 3: "
.string s2 "zeron_w 0: "
.string s3 "copyn 2 to A+8: "
.string s4 "copyn_w 3 from A+4 to A: "
.string s7 "storen 2 at A+4: "
.string s8 "storen_w 3 at A: "

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
    ldstr s1
    call show, frame
    call reset, frame
    ldglobals
    deref
    zeron_w 0
    ldstr s2
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
    ldstr s3
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
    ldstr s4
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
    ldstr s7
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
    ldstr s8
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

; show(label): logs the label and the five words of A.
show:
    ldloc -2
    ldglobals
    deref
    push 5
    extcall 99, 15
    ret 0, 2
