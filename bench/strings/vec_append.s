; vec_append.s: appends 0 .. 999999 to an int vector, then reads the last 1000
; back through their addresses; global 0 receives their sum (999499500).
.globals 1
.method "main", main, frame

.descriptor frame
    .lengths 0, 0, 0

.code
main:                             ; slot 0: return address
    alloc 6, 2                    ; slot 1: the vector's handle
    dup
    newvec 4
    push 0                        ; slot 2: i
fill:
    ldloc -1
    push 1000000
    lt
    jz filled
    ldloc -2                      ; v.append(i)
    ldloc -2
    native IntVector.append
    ldloca -1
    incm
    jmp fill
filled:
    push 0                        ; slot 3: sum
read:                             ; i counts down again over the last 1000
    ldloc -2
    push 999000
    gt
    jz done
    ldloca -2                     ; i -= 1
    decm
    ldloca -1                     ; sum += v[i]
    ldloc -4
    ldloc -4
    native IntVector.element_at
    deref
    addm
    jmp read
done:
    ldglobals
    ldloc -2
    store
    ret 3, 4
