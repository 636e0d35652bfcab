; vm_errors.s: VM errors reach bytecode through the image's
; "vminternalthrow<int>,<string>", which here logs the code and text and
; resumes after the failing instruction; once global 1 is set it throws a
; VMError instead, which a catch-all handler catches.
;! exits
;! log "10 VMException: Number:2"
;! log "10 VMException: Stack underflow"
;! log "3 DivisionByZeroException"
;! log "3 DivisionByZeroException"
;! log "3 DivisionByZeroException: Division by zero."
;! log "1 NullPointerException: NULL pointer"
;! log "3 DivisionByZeroException: Division by zero."
;! log "1 NullPointerException: NULL pointer"
;! log "1 NullPointerException: NULL pointer"
;! log "5"
;! log "1 NullPointerException: NULL pointer"
;! log "1 NullPointerException: NULL pointer"
;! log "1 NullPointerException: NULL pointer"
;! log "1 NullPointerException: NULL pointer"
;! log "1 NullPointerException: NULL pointer"
;! log "1 NullPointerException: NULL pointer"
;! log "10 VMException: Dll not supported"
;! log "42 UnknownException (CODE:42): x"
;! log "11 UNEXPECTED EXCEPTION"
;! log "11 UNEXPECTED EXCEPTION"
;! log "10 VMException: Stack overflow"
;! log "6 InvalidArgumentException"
;! log "6 InvalidArgumentException"
;! log "10 VMException: Handler stack overflow"
;! log "stack 77 127"
;! log "after the handlers"
.globals 2
.method "main", main, frame
.method "vminternalthrow<int>,<*string>", vmthrow, frame2
.class VMError
.descriptor frame
    .lengths 0, 0, 0
.descriptor frame2
    .lengths 2, 0, 0
    .refs 1
.string x "x"
.string after "after the handlers"

.code
main:
    native Number, 250          ; first: the program counter in the text is 2
    adjsp -5                    ; nothing below: underflow
    push 7
    push 0
    div
    ldglobals
    push 0
    divm
    push 7
    push 0x100                  ; low byte 0
    div8
    push 0                      ; null address and zero divisor: the address first
    push 0
    divm8
    ldglobals
    push 0
    remm8
    push 0
    deref
    ldglobals
    push 5
    store
    push 0
    ldglobals
    deref                       ; 5, a bad value but written nowhere
    store
    ldglobals
    deref
    extcall 99, 1
    push 0
    fielda 2
    push 0
    box
    ldlocd1f -1, 1
    ldglobals
    push 0
    copyn 1
    push 0
    push 1
    push 2
    storen 2
    push 0
    storez16
    push 0
    newvec 4
    extcall 21, 1
    push 42
    ldstr x
    extcall 99, 8               ; the host raises code 42 with the message "x"
    extcall 99, 10              ; the host throws something that is no VM error
    extcall 99, 18              ; ... nor even a standard exception
    adjsp_w 20000
    alloc 2, 0x40000000         ; more than the VM memory can ever hold
    .byte 21, 0x63, 0, 0, 0     ; ldstr 99: no such string constant
    ; 127 handlers fit; pushing the 128th raises, and the 127th catches it,
    ; resetting the stack to its saved pointer: the counter's slot, now 127
    ldglobals
    fielda 1
    ldm1
    store
    push 77
    push 0
hloop:
    try -1, hcaught
    push 1
    add
    jmp hloop
hcaught:
    adjsp -1
    push 2
    extcall 99, 16
    adjsp -2
    droph -126
    ldstr after
    extcall 99, 2
    extcall 99, 9               ; exit: the resumed errors left words on the stack

; vminternalthrow(code, message cell): log both, then resume or throw a VMError
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
resume:
    ret 0, 3
