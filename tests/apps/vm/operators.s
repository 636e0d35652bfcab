; operators.s: integer, byte and 16-bit operators, stack and local instructions,
; and read-modify-write through an address (here a stack slot, copied after most
; steps). Results stay on the stack; "stack" lines log them, deepest first.
;! log "stack -2147483648 -5 -2 -3 -2147483648 -1 0 -2147483648 8 14 6 -2147483648 0 -4 0 0 -1 24 -1 -1 0 0 -1 -1 0"
;! log "stack -3 -1 128 -16 0 -254 -16 -1 0 -1 -1 -1 0 -1 -1 0 -1 0 -1 0 -1 0 -1 7 8 7 0 0 -2 -128 127 200 99 99"
;! log "stack -3 9 15 29 132 17 16 2005445581 2005401838 1996488942 287454079 287454080 287453952 287454078 287454206 287454176 287454079 287454144 287453952"
.method "main", main, frame
.descriptor frame
.code
main:
    push64 0x7FFFFFFF, 1
    add                         ; wraps
    push64 3, 8
    sub
    push64 0x7FFFFFFF, 2
    mul
    push64 -7, 2
    div                         ; toward zero
    push64 0x80000000, -1
    div
    push64 -7, 2
    rem                         ; the dividend's sign
    push64 0x80000000, -1
    rem
    push 0x80000000
    neg
    push64 12, 10
    and
    push64 12, 10
    or
    push64 12, 10
    xor
    push64 1, 31
    shl
    push64 1, 32
    shl                         ; counts above 31 give 0
    push64 -16, -2
    shl                         ; a negative count shifts the other way
    push64 -16, -40
    shl
    push64 -16, 32
    shr
    push64 -1, 31
    shr
    push64 3, -3
    shr
    push64 5, 5
    eq                          ; true is -1
    push64 -1, 0
    lt
    push64 4, 4
    ne
    push64 0x80000000, 1
    gt                          ; signed
    push64 1, 1
    ge
    push64 1, 1
    le
    push 5
    not
    push 25
    extcall 99, 16
    push64 0x1F6, 3
    div8                        ; low bytes: -10 / 3
    push64 0x1F6, 0x303
    rem8
    push64 0x80, 0xFF           ; -128 / -1 = 128, an int result
    div8
    push64 0xFF, 4
    shl8
    push64 0xFF, 0x120          ; the count's low byte: 32 gives 0
    shl8
    push64 0x81, 0x101          ; -127 << 1, not cut to a byte
    shl8
    push64 0x80, 3
    shr8
    push64 0x80, 40             ; 32 or more keeps only the sign
    shr8
    push64 0x7F, 0x1FF          ; count 255
    shr8
    push64 0x1FF, 0xFF
    eq8                         ; byte equality unsigned, order signed
    push64 0x80, 0x7F
    lt8
    push64 0x280, 0x80
    ge8
    push64 0x80, 1
    gt8
    push64 0x12, 0x13
    ne8
    push64 0xFE, 0xFF
    le8
    push64 0x12345, 0x2346
    eq16                        ; the low halves, signed
    push64 0x8000, 1
    lt16
    push64 0x18000, 0x7FFF
    ge16
    push64 0x7FFF, 0xFFFF
    gt16
    push64 5, 0x10005
    ne16
    ldtrue
    ldfalse
    ldm1
    push64 7, 8
    ldloc_w -2                  ; ldloc k reads slot (new sp + k)
    push64 5, 6
    adjsp -2
    adjsp 2                     ; zero words, even over old values
    push64 0x1FE, 0x80
    push 0x17F
    sext8 3                     ; each of the top n words
    push 0x3C8
    zext8
    push 99
    ldloca_w -1
    deref
    push 34
    extcall 99, 16
    push -7
    ldloca -1
    push 2
    divm
    dup
    ldloca -1
    push 2
    remm
    ldloca -1
    push 10
    addm
    dup
    ldloca -1
    push 12
    subm
    ldloca -1
    push -5
    mulm
    dup
    ldloca -1
    push 0x3C
    andm
    ldloca -1
    push 0x11
    orm
    dup
    ldloca -1
    push 0x3C
    xorm
    ldloca -1
    push 2
    shlm
    dup
    ldloca -1
    push 3
    shrm
    ldloca -1
    incm
    dup
    ldloca -1
    decm
    push 0x11223344
    ldloca -1
    push 0x5ABCD
    store16                     ; the low half
    ldloca -1
    push 2
    add
    push 0x7788
    store16                     ; the high half
    dup
    ldloca -1
    storez16
    ldloca -1
    push 0x7EE
    store8
    dup
    ldloca -1
    push 2
    add
    storez8
    push 0x11223344             ; byte steps on the low byte 0x44
    ldloca -1
    push 0x34
    subm8
    ldloca -1
    push 0x6F
    addm8
    dup
    ldloca -1
    incm8                       ; 7F + 1 wraps to 80
    dup
    ldloca -1
    push -1
    divm8                       ; -128 / -1 stays 80
    ldloca -1
    push -1
    remm8
    dup
    ldloca -1
    decm8
    ldloca -1
    push 0x81
    xorm8
    dup
    ldloca -1
    push 2
    mulm8
    ldloca -1
    push 1
    shrm8                       ; FC >> 1 = FE
    dup
    ldloca -1
    push 0x30
    shrm8                       ; above 7 only the sign stays
    ldloca -1
    push 5
    shlm8
    dup
    ldloca -1
    push 0xFF
    shlm8                       ; a negative count: -1 for a negative byte
    ldloca -1
    push 0x7F
    andm8
    dup
    ldloca -1
    push 0x80
    shlm8                       ; ... and 0 for a positive one
    ldloca -1
    push 0xC0
    orm8
    dup
    ldloca -1
    push 0x80
    shrm8                       ; shifting right by a negative count: 0
    push 19
    extcall 99, 16
    ret 77, 78
