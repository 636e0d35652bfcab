; memory_ops.s: read-modify-write of a word through its address (32 to 38, 50 to 54).
;! global 0 == 11
;! global 1 == 9
;! global 2 == 15
;! global 3 == 5
;! global 4 == -30
;! global 5 == -3
;! global 6 == -1
;! global 7 == 0x0C
;! global 8 == 0x3E
;! global 9 == 0x36
;! global 10 == 0
;! global 11 == -4
;! global 12 == 0x7FFFFFFF
;! global 13 == -2147483648
;! global 14 == 40
;! global 15 == 0
;! global 16 == 0
.globals 17
.method "main", main, frame
.descriptor frame
    .lengths 0, 0, 0

.code
main:
    ; preset: global i = value
    ldglobals
    push 10
    store
    ldglobals
    incm                        ; global 0: 10 -> 11
    ldglobals
    fielda 1
    push 10
    store
    ldglobals
    fielda 1
    decm                        ; 10 -> 9
    ldglobals
    fielda 2
    push 10
    store
    ldglobals
    fielda 2
    push 5
    addm                        ; 15
    ldglobals
    fielda 3
    push 10
    store
    ldglobals
    fielda 3
    push 5
    subm                        ; 5
    ldglobals
    fielda 4
    push 10
    store
    ldglobals
    fielda 4
    push -3
    mulm                        ; -30
    ldglobals
    fielda 5
    push -7
    store
    ldglobals
    fielda 5
    push 2
    divm                        ; -3
    ldglobals
    fielda 6
    push -7
    store
    ldglobals
    fielda 6
    push 2
    remm                        ; -1
    ldglobals
    fielda 7
    push 0x0E
    store
    ldglobals
    fielda 7
    push 0x3C
    andm                        ; 0x0C
    ldglobals
    fielda 8
    push 0x0E
    store
    ldglobals
    fielda 8
    push 0x3C
    orm                         ; 0x3E
    ldglobals
    fielda 9
    push 0x0A
    store
    ldglobals
    fielda 9
    push 0x3C
    xorm                        ; 0x36
    ldglobals
    fielda 10
    push 1
    store
    ldglobals
    fielda 10
    push 32
    shlm                        ; 0: count above 31
    ldglobals
    fielda 11
    push -16
    store
    ldglobals
    fielda 11
    push 2
    shrm                        ; -4
    ldglobals
    fielda 12
    push 0x80000000
    store
    ldglobals
    fielda 12
    decm                        ; wraps to INT_MAX
    ldglobals
    fielda 13
    push 0x80000000
    store
    ldglobals
    fielda 13
    push -1
    divm                        ; INT_MIN / -1 stays INT_MIN
    ldglobals
    fielda 14
    push 5
    store
    ldglobals
    fielda 14
    push -3
    shrm                        ; a negative count shifts left: 40
    ldglobals
    fielda 15
    push 0x80000000
    store
    ldglobals
    fielda 15
    push -1
    remm                        ; 0
    ldglobals
    fielda 16
    push -1
    store
    ldglobals
    fielda 16
    push 40
    shrm                        ; 0 even for a negative word
    ret 0, 1
