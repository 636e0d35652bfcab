; jumps.s: conditional and plain jumps in both widths and directions. A jump
; lands at (its last operand byte + offset); numeric offsets below pin that rule
; down, with invalid opcodes (56) on the bytes a jump must skip. Case k logs 100 + k;
; the loop logs its counter.
;! log "101"
;! log "102"
;! log "103"
;! log "104"
;! log "105"
;! log "106"
;! log "107"
;! log "3"
;! log "2"
;! log "1"
;! log "109"
;! log "110"
.method "main", main, frame
.descriptor frame
    .lengths 0, 0, 0
.string wrong "WRONG"

.code
main:
    push 0
    jz a1
    ldstr wrong
    extcall 99, 2
a1:
    push 101
    extcall 99, 1
    push 77                     ; marks the stack: jz must pop its condition
    push 5
    jz bad
    push 77
    eq
    jz bad
    push 102
    extcall 99, 1
    ldm1
    jz bad
    push 103
    extcall 99, 1
    push 0
    jz_w a4
    jmp bad
a4:
    push 104
    extcall 99, 1
    ; jmp at A has its last operand byte at A+2: offset 3 lands on A+5
    jmp 3
    .byte 56, 56
    push 105
    extcall 99, 1
    ; jmp_w at A: last operand byte A+4, offset 3 lands on A+7
    jmp_w 3
    .byte 56, 56
    push 106
    extcall 99, 1
    ; jz at A: last operand byte A+2; offset 2 skips one byte
    push 0
    jz 2
    .byte 56
    push 107
    extcall 99, 1
    ; a backward conditional loop
    push 3
loop:
    ldloc -1
    extcall 99, 1
    push 1
    sub
    dup
    not
    jz loop
    adjsp -1
    jmp_w fwd
back:
    push 109
    extcall 99, 1
    jmp_w end
fwd:
    jmp_w back
end:
    push 110
    extcall 99, 1
    ret 0, 1
bad:
    ldstr wrong
    extcall 99, 2
    ret 0, 1
