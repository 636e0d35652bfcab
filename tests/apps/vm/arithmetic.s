; arithmetic.s: integer arithmetic with the division and shift rules, and comparisons.
; Each case logs its result, so a failure shows which one differs.
;! log "add 42"
;! log "add wraps -2147483648"
;! log "sub -5"
;! log "mul wraps -2"
;! log "mul -21"
;! log "div -3"
;! log "div INT_MIN by -1 -2147483648"
;! log "div by -1 -7"
;! log "rem -1"
;! log "rem by -1 0"
;! log "rem INT_MIN by -1 0"
;! log "neg -9"
;! log "neg INT_MIN -2147483648"
;! log "shl 1 by 31 -2147483648"
;! log "shl by 32 0"
;! log "shl by 100 0"
;! log "shl by -2 -4"
;! log "shl by -40 0"
;! log "shr -16 by 2 -4"
;! log "shr -16 by 32 0"
;! log "shr -1 by 31 -1"
;! log "shr 3 by -3 24"
;! log "and 8"
;! log "or 14"
;! log "xor 6"
;! log "eq -1"
;! log "eq 0"
;! log "lt -1"
;! log "le -1"
;! log "ne 0"
;! log "gt is signed 0"
;! log "ge -1"
;! log "not 0 -1"
;! log "not 5 0"
.method "main", main, frame
.descriptor frame
    .lengths 0, 0, 0
.string add "add "
.string addw "add wraps "
.string sub "sub "
.string mulw "mul wraps "
.string mul "mul "
.string div "div "
.string divmin "div INT_MIN by -1 "
.string divm1 "div by -1 "
.string rem "rem "
.string remm1 "rem by -1 "
.string remmin "rem INT_MIN by -1 "
.string neg "neg "
.string negmin "neg INT_MIN "
.string shl31 "shl 1 by 31 "
.string shl32 "shl by 32 "
.string shl100 "shl by 100 "
.string shlneg "shl by -2 "
.string shlneg40 "shl by -40 "
.string shr2 "shr -16 by 2 "
.string shr32 "shr -16 by 32 "
.string shr31 "shr -1 by 31 "
.string shrneg "shr 3 by -3 "
.string and "and "
.string or "or "
.string xor "xor "
.string eq "eq "
.string eq0 "eq "
.string lt "lt "
.string le "le "
.string ne "ne "
.string gt "gt is signed "
.string ge "ge "
.string not0 "not 0 "
.string not5 "not 5 "

.code
; Each case: push the label, compute, then "show" logs label + value.
main:
    ldstr add
    push 40
    push 2
    add
    call show, frame
    ldstr addw
    push 0x7FFFFFFF
    push 1
    add
    call show, frame
    ldstr sub
    push 3
    push 8
    sub
    call show, frame
    ldstr mulw
    push 0x7FFFFFFF
    push 2
    mul
    call show, frame
    ldstr mul
    push -7
    push 3
    mul
    call show, frame
    ldstr div
    push -7
    push 2
    div                         ; truncates toward zero
    call show, frame
    ldstr divmin
    push 0x80000000
    push -1
    div
    call show, frame
    ldstr divm1
    push 7
    push -1
    div
    call show, frame
    ldstr rem
    push -7
    push 2
    rem                         ; takes the dividend's sign
    call show, frame
    ldstr remm1
    push 7
    push -1
    rem
    call show, frame
    ldstr remmin
    push 0x80000000
    push -1
    rem
    call show, frame
    ldstr neg
    push 9
    neg
    call show, frame
    ldstr negmin
    push 0x80000000
    neg
    call show, frame
    ldstr shl31
    push 1
    push 31
    shl
    call show, frame
    ldstr shl32
    push 1
    push 32
    shl
    call show, frame
    ldstr shl100
    push 1
    push 100
    shl
    call show, frame
    ldstr shlneg
    push -16
    push -2
    shl                         ; a negative count shifts right
    call show, frame
    ldstr shlneg40
    push -16
    push -40
    shl
    call show, frame
    ldstr shr2
    push -16
    push 2
    shr
    call show, frame
    ldstr shr32
    push -16
    push 32
    shr                         ; 0 even for a negative value
    call show, frame
    ldstr shr31
    push -1
    push 31
    shr
    call show, frame
    ldstr shrneg
    push 3
    push -3
    shr                         ; a negative count shifts left
    call show, frame
    ldstr and
    push 12
    push 10
    and
    call show, frame
    ldstr or
    push 12
    push 10
    or
    call show, frame
    ldstr xor
    push 12
    push 10
    xor
    call show, frame
    ldstr eq
    push 5
    push 5
    eq
    call show, frame
    ldstr eq0
    push 5
    push 6
    eq
    call show, frame
    ldstr lt
    push -1
    push 0
    lt
    call show, frame
    ldstr le
    push 4
    push 4
    le
    call show, frame
    ldstr ne
    push 4
    push 4
    ne
    call show, frame
    ldstr gt
    push 0x80000000
    push 1
    gt
    call show, frame
    ldstr ge
    push 1
    push 1
    ge
    call show, frame
    ldstr not0
    push 0
    not
    call show, frame
    ldstr not5
    push 5
    not
    call show, frame
    ret 0, 1

; show(label, value): logs the label followed by the value's decimal text.
show:
    ldloc -3                    ; label
    ldloc -3                    ; value
    itos
    call concat_log, frame
    ret 0, 3

; concat_log(a, b): logs a and b as one line, by joining their texts in the host log.
concat_log:
    ldloc -3
    ldloc -3
    extcall 99, 14
    ret 0, 3
