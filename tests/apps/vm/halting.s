; halting.s: in main a VM error calls "vminternalthrow" (code and message cell at its
; parameter levels) and goes on after the failing instruction, its operands still there.
; (Faults that halt an entry call through the runtime-error report: HaltingTest.cpp.)
;! log "3"
;! log "DivisionByZeroException"
;! log "1"
;! log "NullPointerException: NULL pointer"
;! log "stack 7 0 0"
;! log "descriptors [0] frames [0]"
.method "main", m_main, frame
.method "vminternalthrow<*int>,<**string>", vmthrow, frame2
.descriptor frame
.descriptor frame2
    .lengths 2, 0, 0
.code
m_main: push64 7, 0
    div
    push 0
    deref
    push 3
    extcall 99, 16
    extcall 99, 12              ; the routine's call entries went with its return
    ret 3, 4
vmthrow: ldlocd1 -3             ; (code cell, cell of the message cell)
    extcall 99, 1
    ldlocd1 -2
    extcall 99, 2
    ret 0, 3
