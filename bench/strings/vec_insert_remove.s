; vec_insert_remove.s: fills an int vector with 0 .. 99, then 200000 times inserts
; the next number in its middle and removes its first element, so the size stays
; 100; global 0 receives the first element at the end (200050), global 1 the size.
.globals 2
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
    push 100
    lt
    jz churn
    ldloc -2                      ; v.append(i)
    ldloc -2
    native IntVector.append
    ldloca -1
    incm
    jmp fill
churn:
    ldloc -1
    push 200100
    lt
    jz done
    ldloc -2                      ; v.insert(i, v.size / 2)
    ldloc -2
    ldloc -4
    native IntVector.size
    push 2
    div
    native IntVector.insert
    ldloc -2                      ; v.removeAt(0)
    push 0
    native IntVector.remove_at
    ldloca -1
    incm
    jmp churn
done:
    ldglobals                     ; global 0 = v.first
    ldloc -3
    native IntVector.first_value
    store
    ldglobals                     ; global 1 = v.size
    fielda 1
    ldloc -3
    native IntVector.size
    store
    ret 2, 3
