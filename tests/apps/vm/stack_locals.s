; stack_locals.s: pushes, local loads and addresses, stack adjustment.
;! global 0 == 42
;! global 1 == 7
;! global 2 == 0
;! global 3 == 0
;! global 4 == 11
;! global 5 == 22
;! global 6 == -1
;! global 7 == 0
;! global 8 == -1
;! global 9 == 99
;! global 10 == 5
;! global 11 == 0x12345678
;! global 12 == -2
;! global 13 == -128
;! global 14 == 127
;! global 15 == 200
;! global 16 == 0x7F
.globals 17
.method "main", main, frame
.descriptor frame
    .lengths 0, 0, 0

.code
main:
    nop
    ; ldloc k reads slot (new sp + k): -1 is the word that was on top
    push 42
    ldglobals
    ldloc -2                    ; the 42
    store
    adjsp -1
    push 7
    push 8
    ldglobals
    fielda 1
    ldloc_w -3                  ; the 7, two slots below the address
    store
    adjsp -2
    ; adjsp with a positive count leaves zero words, even over old values
    push 5
    push 6
    adjsp -2
    adjsp 2
    ldglobals
    fielda 2
    ldloc -3                    ; was 5, now 0
    store
    ldglobals
    fielda 3
    ldloc -2                    ; was 6, now 0
    store
    adjsp_w -2
    ; ldloca: the address of a slot; writing through it changes the slot
    push 11
    push 0
    ldloca -1                   ; address of the 0 slot
    push 22
    store
    ldglobals
    fielda 4
    ldloc -3                    ; the 11
    store
    ldglobals
    fielda 5
    ldloc -2                    ; the 22 stored through the address
    store
    adjsp -2
    ; the three ways to push booleans and minus one
    ldglobals
    fielda 6
    ldtrue
    store
    ldglobals
    fielda 7
    ldfalse
    store
    ldglobals
    fielda 8
    ldm1
    store
    ; dup and ldloca_w
    push 99
    dup
    ldloca_w -2
    ldglobals
    fielda 9
    ldloc -2                    ; the address of the copy
    deref
    store
    adjsp -3
    ; push64 puts the first word lower
    push64 5, 0x12345678
    ldglobals
    fielda 11
    ldloc -2
    store
    ldglobals
    fielda 10
    ldloc -3
    store
    adjsp -2
    ; sext8 works on the top n words, zext8 on the top word
    push 0x1FE
    push 0x80
    push 0x17F
    sext8 3
    ldglobals
    fielda 14
    ldloc -2
    store
    ldglobals
    fielda 13
    ldloc -3
    store
    ldglobals
    fielda 12
    ldloc -4
    store
    adjsp -3
    push 0x3C8
    zext8
    ldglobals
    fielda 15
    ldloc -2
    store
    adjsp -1
    push 0xFFFF7F
    sext8 1
    ldglobals
    fielda 16
    ldloc -2
    store
    adjsp -1
    ret 0, 1
