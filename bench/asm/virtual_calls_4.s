; virtual_calls_4.s: a ring of four instances of four classes; each of
; 12.5 million turns moves to the next node and adds its get(i) to a sum, so the
; call site sees four receiver classes in turn. Global 0 receives the sum.
.globals 1
.method "main", main, frame
.selector get "<shape>.get<int>"
    .impl A, a_get, getframe
    .impl B, b_get, getframe
    .impl C, c_get, getframe
    .impl D, d_get, getframe

.class Shape                     ; word 1: v, word 2: next
    .fieldwidth 1
    .reffields 2
.class A
    .fieldwidth 1
    .reffields 2
    .super Shape
.class B
    .fieldwidth 1
    .reffields 2
    .super Shape
.class C
    .fieldwidth 1
    .reffields 2
    .super Shape
.class D
    .fieldwidth 1
    .reffields 2
    .super Shape

.descriptor frame                 ; four nodes, o, sum, i above the return slot
    .lengths 0, 0, 7
    .refs 1, 2, 3, 4, 5
.descriptor getframe              ; self, x below the return slot; the result
    .lengths 2, 0, 0              ; goes into self's slot
    .refs 0

.code
main:                             ; slot 0: return address
    alloc 1, 3                    ; slot 1: node 1, v = 1
    dup
    setclass A
    dup
    fielda 1
    push 1
    store
    alloc 1, 3                    ; slot 2: node 2, v = 2
    dup
    setclass B
    dup
    fielda 1
    push 2
    store
    alloc 1, 3                    ; slot 3: node 3, v = 3
    dup
    setclass C
    dup
    fielda 1
    push 3
    store
    alloc 1, 3                    ; slot 4: node 4, v = 4
    dup
    setclass D
    dup
    fielda 1
    push 4
    store
    ldloc -4                      ; link the nodes into a ring
    fielda 2
    ldloc -4
    store
    ldloc -3
    fielda 2
    ldloc -3
    store
    ldloc -2
    fielda 2
    ldloc -2
    store
    ldloc -1
    fielda 2
    ldloc -5
    store
    ldloc -4                      ; slot 5: o = node 1
    push 0                        ; slot 6: sum
    push 0                        ; slot 7: i
loop:
    ldloc -1                      ; while i < 12500000
    push 12500000
    lt
    jz done
    ldloca -3                     ; o = o.next
    ldloc -4
    fielda 2
    deref
    store
    ldloca -2                     ; sum += o.get(i)
    ldloc -4
    ldloc -3
    ldloc -2                      ; o's class
    deref
    callv get
    addm
    ldloca -1                     ; i += 1
    incm
    jmp loop
done:
    ldglobals
    ldloc -3
    store
    ret 7, 8

a_get:                            ; self.v + (x & 7)
    ldloca -3
    ldloc -4
    fielda 1
    deref
    ldloc -4
    push 7
    and
    add
    store
    ret 0, 2

b_get:                            ; self.v * 2 - (x & 3)
    ldloca -3
    ldloc -4
    fielda 1
    deref
    push 2
    mul
    ldloc -4
    push 3
    and
    sub
    store
    ret 0, 2

c_get:                            ; (x ^ self.v) & 31
    ldloca -3
    ldloc -3
    ldloc -5
    fielda 1
    deref
    xor
    push 31
    and
    store
    ret 0, 2

d_get:                            ; self.v
    ldloca -3
    ldloc -4
    fielda 1
    deref
    store
    ret 0, 2
