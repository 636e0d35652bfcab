; hostile_code.s: code no compiler writes raises VM errors; "vminternalthrow" logs them
; and resumes after the instruction (once global 1 is set it throws a VMError that a
; catch-all catches).
;! exits
;! log "10 VMException: Stack underflow"
;! log "10 VMException: Stack underflow"
;! log "3 DivisionByZeroException"
;! log "3 DivisionByZeroException: Division by zero."
;! log "1 NullPointerException: NULL pointer"
;! log "1 NullPointerException: NULL pointer"
;! log "1 NullPointerException: NULL pointer"
;! log "42 UnknownException (CODE:42): x"
;! log "11 UNEXPECTED EXCEPTION"
;! log "11 UNEXPECTED EXCEPTION"
;! log "10 VMException: Stack overflow"
;! log "6 InvalidArgumentException"
;! log "6 InvalidArgumentException"
;! log "6 InvalidArgumentException"
;! log "10 VMException: Bad VM address 0x00000100"
;! log "10 VMException: Stack index out of range"
;! log "10 VMException: Handler stack overflow"
;! log "stack 77 127"
;! global 2 == 0xCD123400
;! global 3 == 0xAB
.globals 4
.method "main", main, frame
.method "vminternalthrow<int>,<*string>", vmthrow, frame2
.selector sel "<*VMError>.describe"
    .impl VMError, main, frame
.class VMError
.descriptor frame
.descriptor frame2
    .lengths 2, 0, 0
    .refs 1
.string x "x"
.code
main:
    adjsp -1                    ; an empty stack from here: main ends by exit
    callv sel
    adjsp -5
    push64 7, 0
    div
    push64 7, 0x100             ; low byte 0
    div8
    push64 0, 0                 ; null address and zero divisor: the address first
    divm8
    push 0
    fielda 2
    push 0
    box
    ldlocd1f -1, 1
    push 42
    ldstr x
    extcall 99, 8               ; the host raises code 42 with the message "x"
    extcall 99, 10              ; the host throws something that is no VM error
    extcall 99, 18              ; ... nor even a standard exception
    adjsp_w 20000
    alloc 2, 0x40000000         ; 2^32 bytes
    alloc 2, 0x40000001         ; 4 bytes once wrapped
    .byte 21, 0x63, 0, 0, 0     ; ldstr 99: no such string constant
    push 0x100
    zeron_w 0x40000001          ; beyond the address space
    ldloca_w 0x7FFFFFFF         ; far away, but no fault
    ldloc -100                  ; below the stack: a fault
    ldglobals                   ; 16-bit stores at odd addresses, one across two words
    fielda 2
    push 1
    add
    push 0x51234
    store16
    ldglobals
    fielda 2
    push 3
    add
    push 0xABCD
    store16
    ldglobals                   ; 127 handlers fit; the 128th raises, the 127th catches
    fielda 1                    ; the VMError and resets the stack to its saved
    ldm1                        ; pointer: the counter's slot, now 127
    store
    push64 77, 0
hloop: try -1, hcaught
    push 1
    add
    jmp hloop
hcaught: adjsp -1
    push 2
    extcall 99, 16
    extcall 99, 9
vmthrow:
    ldloc -3
    ldloc -3
    extcall 99, 17
    ldglobals
    fielda 1
    deref
    jz resume
    alloc 1, 1
    dup
    setclass VMError
    throw
resume: ret 0, 3
