; memory_ops.s: read-modify-write of a word through its address (32 to 38, 50 to 54),
; here the address of a boxed word; each result is logged.
;! log "11"
;! log "15"
;! log "5"
;! log "-30"
;! log "-3"
;! log "-1"
;! log "12"
;! log "62"
;! log "54"
;! log "0"
;! log "-4"
;! log "2147483647"
;! log "-2147483648"
;! log "40"
;! log "0"
;! log "0"
.method "main", main, frame
.descriptor frame
    .lengths 0, 0, 0

.code
main:
    push 10
    box
    dup
    incm
    deref
    extcall 99, 1
    push 10
    box
    dup
    push 5
    addm
    deref
    extcall 99, 1
    push 10
    box
    dup
    push 5
    subm
    deref
    extcall 99, 1
    push 10
    box
    dup
    push -3
    mulm
    deref
    extcall 99, 1
    push -7
    box
    dup
    push 2
    divm
    deref
    extcall 99, 1
    push -7
    box
    dup
    push 2
    remm
    deref
    extcall 99, 1
    push 0x0E
    box
    dup
    push 0x3C
    andm
    deref
    extcall 99, 1
    push 0x0E
    box
    dup
    push 0x3C
    orm
    deref
    extcall 99, 1
    push 0x0A
    box
    dup
    push 0x3C
    xorm
    deref
    extcall 99, 1
    push 1
    box
    dup
    push 32
    shlm                        ; count above 31
    deref
    extcall 99, 1
    push -16
    box
    dup
    push 2
    shrm
    deref
    extcall 99, 1
    push 0x80000000
    box
    dup
    decm                        ; wraps to INT_MAX
    deref
    extcall 99, 1
    push 0x80000000
    box
    dup
    push -1
    divm                        ; INT_MIN / -1 stays INT_MIN
    deref
    extcall 99, 1
    push 5
    box
    dup
    push -3
    shrm                        ; a negative count shifts left
    deref
    extcall 99, 1
    push 0x80000000
    box
    dup
    push -1
    remm
    deref
    extcall 99, 1
    push -1
    box
    dup
    push 40
    shrm                        ; 0 even for a negative word
    deref
    extcall 99, 1
    ret 0, 1
