; tak.s: the Takeuchi function, three times tak(26, 18, 9) + tak(24, 16, 8) +
; tak(23, 16, 8): 42 million calls of three arguments. The callee leaves its
; result in the slot of its first argument. Global 0 receives the sum (105).
.globals 1
.method "main", main, frame

.descriptor frame                 ; s and the round above the return slot
    .lengths 0, 0, 2
.descriptor takframe              ; x, y, z below the return slot
    .lengths 3, 0, 0

.code
main:                             ; slot 0: return address
    push 0                        ; slot 1: s
    push 0                        ; slot 2: round
loop:
    ldloc -1                      ; while round < 3
    push 3
    lt
    jz done
    ldloca -2                     ; s += tak(26, 18, 9) + tak(24, 16, 8) + tak(23, 16, 8)
    push 26
    push 18
    push 9
    call tak, takframe
    push 24
    push 16
    push 8
    call tak, takframe
    add
    push 23
    push 16
    push 8
    call tak, takframe
    add
    addm
    ldloca -1
    incm
    jmp loop
done:
    ldglobals
    ldloc -3
    store
    ret 2, 3

tak:                              ; [x] [y] [z] [return]
    ldloc -3                      ; y < x ?
    ldloc -5
    lt
    jz base
    ldloca -4                     ; x = tak(tak(x - 1, y, z), tak(y - 1, z, x), tak(z - 1, x, y))
    ldloc -5
    push 1
    sub
    ldloc -5
    ldloc -5
    call tak, takframe
    ldloc -5
    push 1
    sub
    ldloc -5
    ldloc -8
    call tak, takframe
    ldloc -5
    push 1
    sub
    ldloc -8
    ldloc -8
    call tak, takframe
    call tak, takframe
    store
    ret 0, 3
base:
    ldloca -4                     ; x = z
    ldloc -3
    store
    ret 0, 3
