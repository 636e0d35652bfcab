; halting.s: faults that halt the entry call through the runtime-error report
; instead of becoming bytecode exceptions. Each is its own entry call.
;! call "invalid opcode"
;! halts "Internal error: invalid opcode 56"
;! call "negative opcode"
;! halts "Internal error: invalid opcode -1"
;! call "group 0"
;! halts "Internal error: invalid group in native call: 0"
;! call "group 37"
;! halts "Internal error: invalid group in native call: 37"
;! call "group 2"
;! halts "Internal error: invalid group in native call: 2"
;! call "virtual call without implementation"
;! halts "Invalid type in virtual method call"
;! call "alloc code 8"
;! halts "Invalid mem alloc gc code"
;! call "alloc code 18"
;! halts "Invalid mem alloc gc code"
;! call "allocto code 0"
;! halts "Invalid mem alloc gc code"
;! call "vector element size 3"
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
;! call "still works"
;! log "still works"
;! call "off the end"
;! halts "Internal error: execution ran past the end of the code"
.method "main", main, frame
.method "vminternalthrow<int>,<*string>", vmthrow, frame2
.method "invalid opcode", m_opcode, frame
.method "negative opcode", m_negative, frame
.method "group 0", m_group0, frame
.method "group 37", m_group37, frame
.method "group 2", m_group2, frame
.method "virtual call without implementation", m_virtual, frame
.method "alloc code 8", m_alloc8, frame
.method "alloc code 18", m_alloc18, frame
.method "allocto code 0", m_allocto0, frame
.method "vector element size 3", m_newvec, frame
.method "jump outside", m_jump, frame
.method "call outside", m_call, frame
.method "return outside", m_return, frame
.method "endless loop", m_loop, frame
.method "endless recursion", m_recursion, frame
.method "uncaught without a printer", m_uncaught, frame
.method "still works", m_works, frame
.method "off the end", m_end, frame
.selector draw "<*Shape>.draw"
    .impl Circle, m_works, frame
.class Shape
.class Circle
    .super Shape
.class Square
    .super Shape
.descriptor frame
    .lengths 0, 0, 0
.descriptor frame2
    .lengths 2, 0, 0
.string works "still works"

.code
main:
    ret 0, 1
m_opcode:
    .byte 56
m_negative:
    .byte 0xFF
m_group0:
    native 0, 1
m_group37:
    native 37, 1
m_group2:
    native 2, 1
m_virtual:
    push 3                      ; Square has no draw
    callv draw
m_alloc8:
    alloc 8, 1
m_alloc18:
    alloc 18, 1
m_allocto0:
    ldglobals
    allocto 0, 1, 0
m_newvec:
    alloc 2, 2
    newvec 3
m_jump:
    jmp_w 100000
m_call:
    call 100000, frame
m_return:
    push 100000
    ret 0, 2
m_loop:
    jmp m_loop
m_recursion:
    call m_recursion, frame
m_uncaught:
    alloc 1, 1
    dup
    setclass Circle
    throw
m_works:
    ldstr works
    extcall 99, 2
    ret 0, 1
vmthrow:
    ret 0, 3
m_end:
    nop
