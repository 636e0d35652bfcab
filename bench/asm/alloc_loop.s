; alloc_loop.s: one round of the allocation benchmark. Builds a list of 10000
; nodes and keeps it in global 0 (the list of the round before becomes garbage);
; global 1 receives the value of the head. The runner collects after each round.
.globals 2
.method "main", main, frame

.class Node                       ; word 1: v, word 2: next
    .fieldwidth 1
    .reffields 2

.descriptor frame                 ; head and i above the return slot
    .lengths 0, 0, 2
    .refs 1

.code
main:                             ; slot 0: return address
    push 0                        ; slot 1: head
    push 0                        ; slot 2: i
loop:
    ldloc -1
    push 10000
    lt
    jz done
    ldloca -2                     ; head = new Node(i, head)
    alloc 1, 3
    dup
    setclass Node
    dup
    fielda 1
    ldloc -4                      ; i
    store
    dup
    fielda 2
    ldloc -5                      ; head
    store
    store
    ldloca -1                     ; i += 1
    incm
    jmp loop
done:
    ldglobals                     ; global 0 = head
    ldloc -3
    store
    ldglobals                     ; global 1 = head.v
    fielda 1
    ldloc -3
    fielda 1
    deref
    store
    ret 2, 3
