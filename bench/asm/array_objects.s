; array_objects.s: an object array of 1000 points; 20000 passes each read every
; point back from the array, add x * y to a sum and move the point:
; sum = (sum + p.x * p.y) & 0xFFFFFFF; p.x = (p.x + 1) & 31. Global 0 receives sum.
.globals 1
.method "main", main, frame

.class Point                      ; word 1: x, word 2: y
    .fieldwidth 1

.descriptor frame                 ; points, p, sum, pass, k above the return slot
    .lengths 0, 0, 5
    .refs 1, 2

.code
main:                             ; slot 0: return address
    alloc 7, 2                    ; slot 1: points, an object array
    dup
    newvec 4
    push 0                        ; slot 2: p
    push 0                        ; slot 3: sum
    push 0                        ; slot 4: pass
    push 0                        ; slot 5: k
fill:
    ldloc -1                      ; for k = 0 .. 999
    push 1000
    lt
    jz filled
    ldloc -5                      ; points.append(new Point(k % 17, k % 13))
    alloc 1, 3
    dup
    setclass Point
    dup
    fielda 1
    ldloc -4
    push 17
    rem
    store
    dup
    fielda 2
    ldloc -4
    push 13
    rem
    store
    native ObjectVector.append
    ldloca -1
    incm
    jmp fill
filled:
passes:
    ldloc -2                      ; for pass = 0 .. 19999
    push 20000
    lt
    jz done
    ldloca -1                     ; for k = 0 .. 999
    push 0
    store
points:
    ldloc -1
    push 1000
    lt
    jz points_done
    ldloca -4                     ; p = points[k]
    ldloc -6
    ldloc -3
    native ObjectVector.element_value
    store
    ldloca -3                     ; sum = (sum + p.x * p.y) & 0xFFFFFFF
    ldloc -4
    ldloc -6
    fielda 1
    deref
    ldloc -7
    fielda 2
    deref
    mul
    add
    push 0xFFFFFFF
    and
    store
    ldloc -4                      ; p.x = (p.x + 1) & 31
    fielda 1
    dup
    deref
    push 1
    add
    push 31
    and
    store
    ldloca -1
    incm
    jmp points
points_done:
    ldloca -2
    incm
    jmp passes
done:
    ldglobals
    ldloc -4
    store
    ret 5, 6
