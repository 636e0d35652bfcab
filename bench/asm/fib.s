; fib.s: recursive fib(35) into global 0. The caller reserves the result slot
; below the argument; the callee stores into it and drops its argument.
.globals 1
.method "main", main, frame

.descriptor frame
    .lengths 0, 0, 0
.descriptor fibframe              ; n below the return slot
    .lengths 1, 0, 0

.code
main:
    ldglobals
    push 0                        ; result slot
    push 35
    call fib, fibframe
    store
    ret 0, 1

fib:                              ; [result] [n] [return]
    ldloc -2                      ; n < 2 ?
    push 2
    lt
    jz recurse
    ldloca -3                     ; result = n
    ldloc -3
    store
    ret 0, 2
recurse:
    ldloca -3                     ; result = fib(n - 1) + fib(n - 2)
    push 0
    ldloc -4
    push 1
    sub
    call fib, fibframe
    push 0
    ldloc -5
    push 2
    sub
    call fib, fibframe
    add
    store
    ret 0, 2
