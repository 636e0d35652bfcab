; jumps.s: conditional and plain jumps in both widths and directions. A jump
; lands at (its last operand byte + offset); numeric offsets below pin that rule
; down, with invalid opcodes (56) on the bytes a jump must skip.
;! log "jz taken on 0"
;! log "jz not taken on 5, popped"
;! log "jz not taken on -1"
;! log "jz_w taken"
;! log "jmp forward by offset"
;! log "jmp_w forward by offset"
;! log "jz offset taken"
;! log "loop 3"
;! log "loop 2"
;! log "loop 1"
;! log "jmp_w backward"
;! log "done"
.method "main", main, frame
.descriptor frame
    .lengths 0, 0, 0
.string t1 "jz taken on 0"
.string t2 "jz not taken on 5, popped"
.string t3 "jz not taken on -1"
.string t4 "jz_w taken"
.string t5 "jmp forward by offset"
.string t6 "jmp_w forward by offset"
.string t7 "jz offset taken"
.string t8 "loop "
.string t9 "jmp_w backward"
.string t10 "done"
.string wrong "WRONG"

.code
main:
    push 0
    jz a1
    ldstr wrong
    extcall 99, 2
a1:
    ldstr t1
    extcall 99, 2
    push 77                     ; marks the stack: jz must pop its condition
    push 5
    jz bad
    push 77
    eq
    jz bad
    ldstr t2
    extcall 99, 2
    ldm1
    jz bad
    ldstr t3
    extcall 99, 2
    push 0
    jz_w a4
    jmp bad
a4:
    ldstr t4
    extcall 99, 2
    ; jmp at A has its last operand byte at A+2: offset 3 lands on A+5
    jmp 3
    .byte 56, 56
    ldstr t5
    extcall 99, 2
    ; jmp_w at A: last operand byte A+4, offset 3 lands on A+7
    jmp_w 3
    .byte 56, 56
    ldstr t6
    extcall 99, 2
    ; jz at A: last operand byte A+2; offset 2 skips one byte
    push 0
    jz 2
    .byte 56
    ldstr t7
    extcall 99, 2
    ; a backward conditional loop
    push 3
loop:
    ldstr t8
    ldloc -2
    itos
    extcall 99, 14
    push 1
    sub
    dup
    not
    jz loop
    adjsp -1
    jmp_w fwd
back:
    ldstr t9
    extcall 99, 2
    jmp_w end
fwd:
    jmp_w back
end:
    ldstr t10
    extcall 99, 2
    ret 0, 1
bad:
    ldstr wrong
    extcall 99, 2
    ret 0, 1
