; int_loop.s: sums 0 .. 10^8 - 1 into global 0 with a counting loop laid out as
; compiled code lays it out: test at the top, two locals updated in place.
.globals 1
.method "main", main, frame

.descriptor frame                 ; sum and i above the return slot
    .lengths 0, 0, 2

.code
main:                             ; slot 0: return address
    push 0                        ; slot 1: sum
    push 0                        ; slot 2: i
loop:
    ldloc -1                      ; i < 100000000 ?
    push 100000000
    lt
    jz done
    ldloca -2                     ; sum += i
    ldloc -2
    addm
    ldloca -1                     ; i += 1
    incm
    jmp loop
done:
    ldglobals
    ldloc -3                      ; sum
    store
    ret 2, 3
