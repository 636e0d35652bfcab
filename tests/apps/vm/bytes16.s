; bytes16.s: byte arithmetic and shifts (73-76), byte and 16-bit compares,
; byte and 16-bit stores, and byte read-modify-write through an address.
; Operator results are logged; globals 20-39 hold words changed in one byte or half.
;! log "-3"
;! log "-1"
;! log "128"
;! log "-16"
;! log "0"
;! log "-254"
;! log "-16"
;! log "-1"
;! log "0"
;! log "-1"
;! log "-1"
;! log "-1"
;! log "0"
;! log "-1"
;! log "-1"
;! log "0"
;! log "-1"
;! log "0"
;! log "-1"
;! log "0"
;! global 20 == 0x1122ABCD
;! global 21 == 0xABCD3344
;! global 22 == 0x11220000
;! global 23 == 0x112233EE
;! global 24 == 0x11003344
;! global 25 == 0x112233F8
;! global 26 == 0x112233E0
;! global 27 == 0x112233FF
;! global 28 == 0x11223300
;! global 29 == 0x112233C0
;! global 30 == 0x11223380
;! global 31 == 0x112233F7
;! global 32 == 0x11223300
;! global 33 == 0x11223380
;! global 34 == 0x112233FE
;! global 35 == 0x11223310
;! global 36 == 0x1122337F
;! global 37 == 0x11223380
;! global 38 == 0x112233FF
.globals 40
.method "main", main, frame
.descriptor frame
    .lengths 0, 0, 0

.code
main:
    ; --- operators on values ---
    push 0x1F6                  ; low byte -10
    push 3
    div8
    extcall 99, 1
    push 0x1F6
    push 0x303                  ; low byte 3
    rem8
    extcall 99, 1
    push 0x80
    push 0xFF                   ; -128 / -1 = 128, an int result
    div8
    extcall 99, 1
    push 0xFF
    push 4
    shl8
    extcall 99, 1
    push 0xFF
    push 0x120                  ; count 32: 0
    shl8
    extcall 99, 1
    push 0x81
    push 0x101                  ; count 1: -127 << 1
    shl8
    extcall 99, 1
    push 0x80
    push 3
    shr8
    extcall 99, 1
    push 0x80
    push 40                     ; a count of 32 or more keeps only the sign
    shr8
    extcall 99, 1
    push 0x7F
    push 0x1FF                  ; count 255
    shr8
    extcall 99, 1
    ; --- byte compares: equality unsigned, ordering signed ---
    push 0x1FF
    push 0xFF
    eq8
    extcall 99, 1
    push 0x80
    push 0x7F
    lt8
    extcall 99, 1
    push 0x280
    push 0x80
    ge8
    extcall 99, 1
    push 0x80
    push 0x01
    gt8
    extcall 99, 1
    push 0x12
    push 0x13
    ne8
    extcall 99, 1
    push 0xFE
    push 0xFF
    le8
    extcall 99, 1
    ; --- 16-bit compares on the low halves ---
    push 0x12345
    push 0x2346
    eq16
    extcall 99, 1
    push 0x8000
    push 1
    lt16                        ; signed: -32768 < 1
    extcall 99, 1
    push 0x18000
    push 0x7FFF
    ge16
    extcall 99, 1
    push 0x7FFF
    push 0xFFFF
    gt16
    extcall 99, 1
    push 0x5
    push 0x10005
    ne16
    extcall 99, 1
    ; --- words 20 to 39 start as 0x11223344 ---
    push 20
loop:
    dup
    push 40
    lt
    jz filled
    ldglobals
    ldloc -2
    push 4
    mul
    add
    push 0x11223344
    store
    push 1
    add
    jmp loop
filled:
    adjsp -1
    ; 16-bit stores write the half at the address
    ldglobals
    fielda 20
    push 0x5ABCD
    store16                     ; low half
    ldglobals
    fielda 21
    push 2
    add
    push 0xABCD
    store16                     ; high half
    ldglobals
    fielda 22
    storez16
    ; byte stores
    ldglobals
    fielda 23
    push 0x7EE
    store8
    ldglobals
    fielda 24
    push 2
    add
    storez8
    ; byte shifts through the address: the byte is 0x44 before each unless preset
    ldglobals
    fielda 25
    push 0xF1
    store8                      ; byte -15
    ldglobals
    fielda 25
    push 1
    shrm8                       ; -15 >> 1 = -8: F8
    ldglobals
    fielda 26
    push 0x81
    store8
    ldglobals
    fielda 26
    push 0x30                   ; count 48: only the sign stays
    shrm8
    ldglobals
    fielda 26
    push 5
    shlm8                       ; FF << 5 = E0
    ldglobals
    fielda 27
    push 0x90                   ; -112
    store8
    ldglobals
    fielda 27
    push 0xFF                   ; count -1: a negative byte becomes -1
    shlm8
    ldglobals
    fielda 28
    push 0x80                   ; count -128 on 0x44: 0
    shlm8
    ldglobals
    fielda 29
    push 0x80                   ; count -128 on 0x44 (shift right): 0
    shrm8
    ldglobals
    fielda 29
    push 0xC0
    orm8                        ; 0 | C0
    ldglobals
    fielda 30
    push 0xC4
    xorm8                       ; 44 ^ C4 = 80
    ldglobals
    fielda 31
    push 0x7F
    store8
    ldglobals
    fielda 31
    push 0xF7
    andm8                       ; 7F & F7 = 77 ... then
    ldglobals
    fielda 31
    push 0x80
    orm8                        ; F7
    ldglobals
    fielda 32
    push 0x80
    store8
    ldglobals
    fielda 32
    push -1
    remm8                       ; by -1: 0
    ldglobals
    fielda 33
    push 0x80
    store8
    ldglobals
    fielda 33
    push -1
    divm8                       ; -128 / -1 = 128, stored as the byte 80
    ldglobals
    fielda 34
    push 0x7F
    store8
    ldglobals
    fielda 34
    push 2
    mulm8                       ; 7F * 2 = FE
    ldglobals
    fielda 35
    push 0x34                   ; 44 - 34 = 10
    subm8
    ldglobals
    fielda 36
    push 0x3B                   ; 44 + 3B = 7F
    addm8
    ldglobals
    fielda 37
    push 0x7F
    store8
    ldglobals
    fielda 37
    incm8                       ; 7F + 1 wraps to 80
    ldglobals
    fielda 38
    storez8
    ldglobals
    fielda 38
    decm8                       ; 00 - 1 = FF
    ret 0, 1
