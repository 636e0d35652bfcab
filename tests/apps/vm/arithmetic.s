; arithmetic.s: integer arithmetic with the division and shift rules, and comparisons.
; Each case logs its result in order.
;! log "42"
;! log "-2147483648"
;! log "-5"
;! log "-2"
;! log "-3"
;! log "-2147483648"
;! log "-1"
;! log "0"
;! log "-2147483648"
;! log "-2147483648"
;! log "0"
;! log "-4"
;! log "0"
;! log "0"
;! log "-1"
;! log "24"
;! log "8"
;! log "14"
;! log "6"
;! log "-1"
;! log "0"
;! log "-1"
;! log "0"
;! log "0"
;! log "-1"
;! log "-1"
;! log "0"
.method "main", main, frame
.descriptor frame
    .lengths 0, 0, 0
.code
main:
    push 40
    push 2
    add                         ; add
    extcall 99, 1
    push 0x7FFFFFFF
    push 1
    add                         ; add wraps
    extcall 99, 1
    push 3
    push 8
    sub
    extcall 99, 1
    push 0x7FFFFFFF
    push 2
    mul                         ; mul wraps
    extcall 99, 1
    push -7
    push 2
    div                         ; truncates toward zero
    extcall 99, 1
    push 0x80000000
    push -1
    div                         ; INT_MIN / -1
    extcall 99, 1
    push -7
    push 2
    rem                         ; takes the dividend's sign
    extcall 99, 1
    push 0x80000000
    push -1
    rem                         ; INT_MIN % -1
    extcall 99, 1
    push 0x80000000
    neg                         ; neg INT_MIN
    extcall 99, 1
    push 1
    push 31
    shl
    extcall 99, 1
    push 1
    push 32
    shl                         ; a count of 32 or more: 0
    extcall 99, 1
    push -16
    push -2
    shl                         ; a negative count shifts right
    extcall 99, 1
    push -16
    push -40
    shl
    extcall 99, 1
    push -16
    push 32
    shr                         ; 0 even for a negative value
    extcall 99, 1
    push -1
    push 31
    shr
    extcall 99, 1
    push 3
    push -3
    shr                         ; a negative count shifts left
    extcall 99, 1
    push 12
    push 10
    and
    extcall 99, 1
    push 12
    push 10
    or
    extcall 99, 1
    push 12
    push 10
    xor
    extcall 99, 1
    push 5
    push 5
    eq                          ; true is -1
    extcall 99, 1
    push 5
    push 6
    eq
    extcall 99, 1
    push -1
    push 0
    lt
    extcall 99, 1
    push 4
    push 4
    ne
    extcall 99, 1
    push 0x80000000
    push 1
    gt                          ; signed
    extcall 99, 1
    push 1
    push 1
    ge
    extcall 99, 1
    push 0
    not
    extcall 99, 1
    push 5
    not
    extcall 99, 1
    ret 0, 1
