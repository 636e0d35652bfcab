; halting.s: in main a VM error calls "vminternalthrow" (code and message cell at its
; parameter levels) and goes on after the failing instruction, its operands still there;
; later faults halt their entry call through the runtime-error report.
;! log "3"
;! log "DivisionByZeroException"
;! log "1"
;! log "NullPointerException: NULL pointer"
;! log "stack 7 0 0"
;! log "descriptors [0] frames [0]"
;! call "opcode -1"
;! halts "Internal error: invalid opcode -1"
;! call "group 0"
;! halts "Internal error: invalid group in native call: 0"
;! call "group 37"
;! halts "Internal error: invalid group in native call: 37"
;! call "group 2"
;! halts "Internal error: invalid group in native call: 2"
;! call "no implementation"
;! halts "Invalid type in virtual method call"
;! call "alloc 8"
;! halts "Invalid mem alloc gc code"
;! call "alloc 18"
;! halts "Invalid mem alloc gc code"
;! call "element size 3"
;! halts "Internal error: invalid vector element size 3"
;! call "jump outside"
;! halts "Internal error: jump outside the code"
;! call "call outside"
;! halts "Internal error: call outside the code"
;! call "return outside"
;! halts "Internal error: return outside the code"
;! call "endless loop"
;! halts "Instruction budget exhausted"
;! call "endless recursion"
;! halts
;! call "uncaught without a printer"
;! halts "Uncaught exception"
;! call "off the end"
;! halts "Internal error: execution ran past the end of the code"
.method "main", m_main, frame
.method "vminternalthrow<*int>,<**string>", vmthrow, frame2
.method "opcode -1", m_negative, frame
.method "group 0", m_group0, frame
.method "group 37", m_group37, frame
.method "group 2", m_group2, frame
.method "no implementation", m_virtual, frame
.method "alloc 8", m_alloc8, frame
.method "alloc 18", m_alloc18, frame
.method "element size 3", m_newvec, frame
.method "jump outside", m_jump, frame
.method "call outside", m_call, frame
.method "return outside", m_return, frame
.method "endless loop", m_loop, frame
.method "endless recursion", m_recursion, frame
.method "uncaught without a printer", m_uncaught, frame
.method "off the end", m_end, frame
.selector draw "<*Shape>.draw"
    .impl Circle, m_end, frame
.class Shape
.class Circle
    .super Shape
.class Square
    .super Shape
.descriptor frame
.descriptor frame2
    .lengths 2, 0, 0
.code
m_negative: .byte 0xFF
m_group0: native 0, 1
m_group37: native 37, 1
m_group2: native 2, 1
m_virtual: push 3               ; Square has no draw
    callv draw
m_alloc8: alloc 8, 1
m_alloc18: alloc 18, 1
m_newvec: alloc 2, 2
    newvec 3
m_jump: jmp_w 100000
m_call: call 100000, frame
m_return: push 100000
    ret 0, 2
m_loop: jmp m_loop
m_recursion: call m_recursion, frame
m_uncaught: alloc 1, 1
    dup
    setclass Circle
    throw
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
m_end: nop
