; array_words.s: the product of two 280 x 280 int matrices, each held row by row in
; an int array that is a field of a Matrix instance (elements reached through their
; addresses); a[k] = k % 7 - 2, b[k] = k % 5 + 1. Global 0 receives the trace of
; the product.
.globals 1
.method "main", main, frame

.class Matrix                     ; words 1-2: the elements (an array field)
    .fieldwidth 1
    .arrayfields val 1

.descriptor frame                 ; A, B, C, i, j, k, s above the return slot
    .lengths 0, 0, 7
    .refs 1, 2, 3

.code
main:                             ; slot 0: return address
    alloc 1, 3                    ; slot 1: A
    dup
    setclass Matrix
    dup
    fielda 1
    newvec 4
    alloc 1, 3                    ; slot 2: B
    dup
    setclass Matrix
    dup
    fielda 1
    newvec 4
    alloc 1, 3                    ; slot 3: C
    dup
    setclass Matrix
    dup
    fielda 1
    newvec 4
    ldloc -3                      ; each holds 280 * 280 zeros
    fielda 1
    push 0
    push 78400
    native IntVector.set_filled
    ldloc -2
    fielda 1
    push 0
    push 78400
    native IntVector.set_filled
    ldloc -1
    fielda 1
    push 0
    push 78400
    native IntVector.set_filled
    push 0                        ; slot 4: i
    push 0                        ; slot 5: j
    push 0                        ; slot 6: k
    push 0                        ; slot 7: s
init:                             ; i runs over every element
    ldloc -4
    push 78400
    lt
    jz init_done
    ldloc -7                      ; A[i] = i % 7 - 2
    fielda 1
    ldloc -5
    native IntVector.element_at
    ldloc -5
    push 7
    rem
    push 2
    sub
    store
    ldloc -6                      ; B[i] = i % 5 + 1
    fielda 1
    ldloc -5
    native IntVector.element_at
    ldloc -5
    push 5
    rem
    push 1
    add
    store
    ldloca -4
    incm
    jmp init
init_done:
    ldloca -4                     ; for i = 0 .. 279
    push 0
    store
rows:
    ldloc -4
    push 280
    lt
    jz rows_done
    ldloca -3                     ; for j = 0 .. 279
    push 0
    store
cols:
    ldloc -3
    push 280
    lt
    jz cols_done
    ldloca -1                     ; s = 0
    push 0
    store
    ldloca -2                     ; for k = 0 .. 279
    push 0
    store
dot:
    ldloc -2
    push 280
    lt
    jz dot_done
    ldloca -1                     ; s += A[i * 280 + k] * B[k * 280 + j]
    ldloc -8
    fielda 1
    ldloc -6
    push 280
    mul
    ldloc -5
    add
    native IntVector.element_at
    deref
    ldloc -8
    fielda 1
    ldloc -5
    push 280
    mul
    ldloc -7
    add
    native IntVector.element_at
    deref
    mul
    addm
    ldloca -2
    incm
    jmp dot
dot_done:
    ldloc -5                      ; C[i * 280 + j] = s
    fielda 1
    ldloc -5
    push 280
    mul
    ldloc -5
    add
    native IntVector.element_at
    ldloc -2
    store
    ldloca -3
    incm
    jmp cols
cols_done:
    ldloca -4
    incm
    jmp rows
rows_done:
    ldloca -1                     ; s = the sum of C[i * 281]
    push 0
    store
    ldloca -4
    push 0
    store
trace:
    ldloc -4
    push 280
    lt
    jz trace_done
    ldloca -1
    ldloc -6
    fielda 1
    ldloc -6
    push 281
    mul
    native IntVector.element_at
    deref
    addm
    ldloca -4
    incm
    jmp trace
trace_done:
    ldglobals
    ldloc -2
    store
    ret 7, 8
