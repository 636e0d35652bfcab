; long_math.s: one round of a 64-bit linear congruential generator on boxed longs:
; 300000 steps of x = x * A + C (in place, wrapping) and s += x >> 40, where the
; shift makes a new long each step. Every 100 rounds start again from x = 1, s = 0.
; Globals: x (0), s (1), A (2), C (3), the shift 40 (4), the round count (5).
.globals 6
.method "main", main, frame

.descriptor frame                 ; the step above the return slot
    .lengths 0, 0, 1

.code
main:                             ; slot 0: return address
    ldglobals                     ; every 100 rounds: start again
    fielda 5
    deref
    push 100
    rem
    jz reset
    jmp ready
reset:
    ldglobals                     ; x = 1
    push 1
    native Long.from_int
    store
    ldglobals                     ; s = 0
    fielda 1
    push 0
    native Long.from_int
    store
    ldglobals                     ; A = 6364136223846793005
    fielda 2
    alloc 2, 2
    dup
    push64 0x4C957F2D, 0x5851F42D
    storen 2
    store
    ldglobals                     ; C = 1442695040888963407
    fielda 3
    alloc 2, 2
    dup
    push64 0xF767814F, 0x14057B7E
    storen 2
    store
    ldglobals
    fielda 4
    push 40
    native Long.from_int
    store
ready:
    ldglobals
    fielda 5
    incm
    push 0                        ; slot 1: step
loop:
    ldloc -1                      ; for step = 0 .. 299999
    push 300000
    lt
    jz done
    ldglobals                     ; x *= A
    deref
    ldglobals
    fielda 2
    deref
    native Long.mul_into
    ldglobals                     ; x += C
    deref
    ldglobals
    fielda 3
    deref
    native Long.add_into
    ldglobals                     ; s += x >> 40
    fielda 1
    deref
    ldglobals
    deref
    ldglobals
    fielda 4
    deref
    native Long.shr
    native Long.add_into
    ldloca -1
    incm
    jmp loop
done:
    ret 1, 2
