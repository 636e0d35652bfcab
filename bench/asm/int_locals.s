; int_locals.s: a loop whose state lives in locals, read with ldloc and assigned
; through their addresses: a = (a * 75 + 74) % 65537; b = (b + (a ^ i)) & 0xFFFFFF
; for i from 0 to 4 * 10^7 - 1; global 0 receives b.
.globals 1
.method "main", main, frame

.descriptor frame                 ; a, b, i above the return slot
    .lengths 0, 0, 3

.code
main:                             ; slot 0: return address
    push 1                        ; slot 1: a
    push 0                        ; slot 2: b
    push 0                        ; slot 3: i
loop:
    push 40000000                 ; while 40000000 > i
    ldloc -2
    gt
    jz done
    ldloca -3                     ; a = (a * 75 + 74) % 65537
    ldloc -4
    push 75
    mul
    push 74
    add
    push 65537
    rem
    store
    ldloca -2                     ; b = (b + (a ^ i)) & 0xFFFFFF
    ldloc -3
    ldloc -5
    ldloc -4
    xor
    add
    push 0xFFFFFF
    and
    store_b
    ldloca -1                     ; i = i + 1
    ldloc -2
    push 1
    add
    store
    jmp loop
done:
    ldglobals
    ldloc -3                      ; b
    store
    ret 3, 4
