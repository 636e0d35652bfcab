; int_inplace.s: a count-down loop whose locals change by compound assignment on
; their addresses (xorm, mulm, andm, addm, subm, orm, shlm, shrm, decm):
; h ^= n; h *= 5; h &= 0xFFFF; s += h; s -= n & 7; s &= 0x3FFFFFF; t |= h;
; t <<= 1; t >>= 2 for n from 3 * 10^7 down to 1; global 0 receives s ^ t.
.globals 1
.method "main", main, frame

.descriptor frame                 ; n, h, s, t above the return slot
    .lengths 0, 0, 4

.code
main:                             ; slot 0: return address
    push 30000000                 ; slot 1: n
    push 0x1234                   ; slot 2: h
    push 0                        ; slot 3: s
    push 1                        ; slot 4: t
loop:
    ldloc -4                      ; while n != 0
    jz done
    ldloca -3                     ; h ^= n
    ldloc -5
    xorm
    ldloca -3                     ; h *= 5
    push 5
    mulm
    ldloca -3                     ; h &= 0xFFFF
    push 0xFFFF
    andm
    ldloca -2                     ; s += h
    ldloc -4
    addm
    ldloca -2                     ; s -= n & 7
    ldloc -5
    push 7
    and
    subm
    ldloca -2                     ; s &= 0x3FFFFFF
    push 0x3FFFFFF
    andm
    ldloca -1                     ; t |= h
    ldloc -4
    orm
    ldloca -1                     ; t <<= 1
    push 1
    shlm
    ldloca -1                     ; t >>= 2
    push 2
    shrm
    ldloca -4                     ; n -= 1
    decm
    jmp loop
done:
    ldglobals                     ; global 0 = s ^ t
    ldloc -3
    ldloc -3
    xor
    store
    ret 4, 5
