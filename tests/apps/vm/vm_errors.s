; vm_errors.s: VM errors become bytecode exceptions through the image's
; "vminternalthrow<int>,<string>", which here logs the code and text and throws
; a VMError that main catches with a catch-all handler.
;! log "10 VMException: Number:11"
;! log "3 DivisionByZeroException"
;! log "3 DivisionByZeroException"
;! log "3 DivisionByZeroException"
;! log "3 DivisionByZeroException: Division by zero."
;! log "3 DivisionByZeroException: Division by zero."
;! log "1 NullPointerException: NULL pointer"
;! log "3 DivisionByZeroException: Division by zero."
;! log "1 NullPointerException: NULL pointer"
;! log "1 NullPointerException: NULL pointer"
;! log "global 0 untouched 5"
;! log "1 NullPointerException: NULL pointer"
;! log "1 NullPointerException: NULL pointer"
;! log "1 NullPointerException: NULL pointer"
;! log "1 NullPointerException: NULL pointer"
;! log "1 NullPointerException: NULL pointer"
;! log "1 NullPointerException: NULL pointer"
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
;! log "10 VMException: Stack underflow"
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
.string untouched "global 0 untouched "
.string after "after the handlers"
.string noerror "NO ERROR"

.code
main:
    ; first, so that the program counter in the text stays 11 (last byte of the native)
    try -1, c0
    native Number, 250
    droph -1
    jmp bad
c0:
    adjsp -1
    try -1, c1
    push 7
    push 0
    div
    droph -1
    jmp bad
c1:
    adjsp -1
    try -1, c2
    push 7
    push 0
    rem
    droph -1
    jmp bad
c2:
    adjsp -1
    try -1, c3
    ldglobals
    push 0
    divm
    droph -1
    jmp bad
c3:
    adjsp -1
    try -1, c4
    push 7
    push 0x100                  ; low byte 0
    div8
    droph -1
    jmp bad
c4:
    adjsp -1
    try -1, c5
    push 7
    push 0x200
    rem8
    droph -1
    jmp bad
c5:
    adjsp -1
    try -1, c6
    push 0                      ; null address and zero divisor: the address first
    push 0
    divm8
    droph -1
    jmp bad
c6:
    adjsp -1
    try -1, c7
    ldglobals
    push 0
    remm8
    droph -1
    jmp bad
c7:
    adjsp -1
    try -1, c8
    push 0
    deref
    droph -1
    jmp bad
c8:
    adjsp -1
    ldglobals
    push 5
    store
    try -1, c9
    push 0
    ldglobals
    deref                       ; 5, a bad value but written nowhere
    store
    droph -1
    jmp bad
c9:
    adjsp -1
    ldstr untouched
    ldglobals
    deref
    itos
    extcall 99, 14
    try -1, c10
    push 0
    fielda 2
    droph -1
    jmp bad
c10:
    adjsp -1
    try -1, c11
    push 0
    incm
    droph -1
    jmp bad
c11:
    adjsp -1
    try -1, c12
    push 0
    box
    ldlocd1f -1, 1
    droph -1
    jmp bad
c12:
    adjsp -1
    try -1, c13
    push 0
    zeron 2
    droph -1
    jmp bad
c13:
    adjsp -1
    try -1, c14
    ldglobals
    push 0
    copyn 1
    droph -1
    jmp bad
c14:
    adjsp -1
    try -1, c15
    push 0
    loadn 2
    droph -1
    jmp bad
c15:
    adjsp -1
    try -1, c16
    push 0
    push 1
    push 2
    storen 2
    droph -1
    jmp bad
c16:
    adjsp -1
    try -1, c17
    push 0
    push 1
    store8
    droph -1
    jmp bad
c17:
    adjsp -1
    try -1, c18
    push 0
    storez16
    droph -1
    jmp bad
c18:
    adjsp -1
    try -1, c19
    push 0
    freecell
    droph -1
    jmp bad
c19:
    adjsp -1
    try -1, c20
    push 0
    deref3
    droph -1
    jmp bad
c20:
    adjsp -1
    try -1, c21
    push 0
    newvec 4
    droph -1
    jmp bad
c21:
    adjsp -1
    try -1, c22
    extcall 21, 1
    droph -1
    jmp bad
c22:
    adjsp -1
    try -1, c23
    push 42
    ldstr x
    extcall 99, 8               ; the host raises code 42 with the message "x"
    droph -1
    jmp bad
c23:
    adjsp -1
    try -1, c24
    extcall 99, 10              ; the host throws something that is no VM error
    droph -1
    jmp bad
c24:
    adjsp -1
    try -1, c24b
    extcall 99, 18              ; ... nor even a standard exception
    droph -1
    jmp bad
c24b:
    adjsp -1
    try -1, c25
    adjsp_w 20000
    droph -1
    jmp bad
c25:
    adjsp -1
    try -1, c26
    adjsp -5
    droph -1
    jmp bad
c26:
    adjsp -1
    try -1, c27
    alloc 2, 0x40000000         ; more than the VM memory can ever hold
    droph -1
    jmp bad
c27:
    adjsp -1
    try -1, c28
    .byte 21, 0x63, 0, 0, 0     ; ldstr 99: no such string constant
    droph -1
    jmp bad
c28:
    adjsp -1
    ; 127 handlers fit; pushing the 128th raises, and the 127th catches it,
    ; resetting the stack to its saved pointer: the counter's slot, now 127
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
    ret 0, 1
bad:
    ldstr noerror
    extcall 99, 2
    ret 0, 1

; vminternalthrow(code, message cell): log both, throw a VMError
vmthrow:
    ldloc -3
    ldloc -3
    extcall 99, 17
    alloc 1, 1
    dup
    setclass VMError
    throw
