; int_array.s: a loop whose counter and sum are elements of an int array a, read and
; written through element addresses, with a 16-bucket histogram h:
; while a[0] < 15 * 10^6: h[a[0] & 15] += a[0] >> 4 & 3; a[1] += h[a[0] & 15];
; a[0] += 1. Global 0 receives a[1] & 0x7FFFFFFF.
.globals 1
.method "main", main, frame

.descriptor frame                 ; the arrays a and h above the return slot
    .lengths 0, 0, 2
    .refs 1, 2

.code
main:                             ; slot 0: return address
    alloc 6, 2                    ; slot 1: a = two zeros
    dup
    newvec 4
    ldloc -1
    push 0
    push 2
    native IntVector.set_filled
    alloc 6, 2                    ; slot 2: h = sixteen zeros
    dup
    newvec 4
    ldloc -1
    push 0
    push 16
    native IntVector.set_filled
loop:
    ldloc -2                      ; while a[0] < 15000000
    push 0
    native IntVector.element_at
    deref
    push 15000000
    lt
    jz done
    ldloc -1                      ; h[a[0] & 15] += a[0] >> 4 & 3
    ldloc -3
    push 0
    native IntVector.element_at
    deref
    push 15
    and
    native IntVector.element_at
    ldloc -3
    push 0
    native IntVector.element_at
    deref
    push 4
    shr
    push 3
    and
    addm
    ldloc -2                      ; a[1] += h[a[0] & 15]
    push 1
    native IntVector.element_at
    ldloc -2
    ldloc -4
    push 0
    native IntVector.element_at
    deref
    push 15
    and
    native IntVector.element_at
    deref
    addm
    ldloc -2                      ; a[0] += 1
    push 0
    native IntVector.element_at
    incm
    jmp loop
done:
    ldglobals                     ; global 0 = a[1] & 0x7FFFFFFF
    ldloc -3
    push 1
    native IntVector.element_at
    deref
    push 0x7FFFFFFF
    and
    store
    ret 2, 3
