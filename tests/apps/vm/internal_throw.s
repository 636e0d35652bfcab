; internal_throw.s: how a VM error reaches "vminternalthrow<int>,<string>": the
; code and the message cell converted to the method's parameter levels, called
; from the failing instruction, which it returns past when it does not throw.
;! log "code 3"
;! log "DivisionByZeroException"
;! log "stack 7 0"
;! log "code 1"
;! log "NullPointerException: NULL pointer"
;! log "stack 0"
;! log "descriptors [0] frames [0]"
.method "main", main, frame
.method "vminternalthrow<*int>,<**string>", vmthrow, frame2
.descriptor frame
    .lengths 0, 0, 0
.descriptor frame2
    .lengths 2, 0, 0
.string level "code "

.code
main:
    push 7
    push 0
    div                         ; the routine returns: on after div, operands still there
    push 2
    extcall 99, 16
    adjsp -2
    push 0
    deref
    push 1
    extcall 99, 16
    adjsp -1
    extcall 99, 12              ; the routine's call entries went with its return
    ret 0, 1

; (code cell, cell of the message cell): both one level up from a value
vmthrow:
    ldstr level
    ldlocd1 -4                  ; the code, through its cell
    itos
    extcall 99, 14
    ldlocd1 -2                  ; the message cell, through the extra cell
    extcall 99, 2
    ret 0, 3
