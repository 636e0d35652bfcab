; fixed_math.s: a fixed-point loop of multiply, divide, square root and sine.
; Each of 2000000 rounds takes y = x * 1.25 / 1.125, adds sqrt(y) and sin(y) to
; s, and moves x on by 2^-20. Globals: x (0-1), y (2-3), s (4-5), fixed values.
.globals 6
.method "main", main, frame

.descriptor frame                 ; the round counter above the return slot
    .lengths 0, 0, 1

.code
main:
    ldglobals                     ; x = 0.5
    push64 0x80000000, 0
    storen 2
    ldglobals                     ; s = 0
    fielda 4
    push64 0, 0
    storen 2
    push 2000000                  ; slot 1: rounds left
loop:
    ldloc -1
    jz done
    ldglobals                     ; y = x * 1.25 / 1.125
    fielda 2
    ldglobals
    loadn 2
    push64 0x40000000, 1
    native Fixed.mul
    push64 0x20000000, 1
    native Fixed.div
    storen 2
    ldglobals                     ; s += sqrt(y)
    fielda 4
    ldglobals
    fielda 2
    loadn 2
    native Math.sqrt
    native Fixed.add_into
    ldglobals                     ; s += sin(y)
    fielda 4
    ldglobals
    fielda 2
    loadn 2
    native Math.sin
    native Fixed.add_into
    ldglobals                     ; x += 2^-20
    push64 0x1000, 0
    native Fixed.add_into
    ldloca -1                     ; one round less
    decm
    jmp loop
done:
    ret 1, 2
