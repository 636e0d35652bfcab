; object_graph.s: one round of the object-graph benchmark: builds eight binary trees
; of depth 12 bottom up and counts their nodes recursively, beside one long-lived
; tree of depth 15 made in the first round and kept in global 0. The runner
; collects after each round. Global 1 receives the nodes counted in the round
; (8 * 8191 + 65535 = 131063).
.globals 2
.method "main", main, frame

.class Node                       ; word 1: left, word 2: right
    .fieldwidth 1
    .reffields 1, 2

.descriptor frame                 ; nodes and t above the return slot
    .lengths 0, 0, 2
.descriptor argframe              ; one argument below the return slot, the result below it
    .lengths 1, 0, 0
    .maybe 0

.code
main:                             ; slot 0: return address
    ldglobals                     ; if kept == null: kept = make(15)
    deref
    jz make_kept
    jmp have_kept
make_kept:
    ldglobals
    push 0
    push 15
    call make, argframe
    store
have_kept:
    push 0                        ; slot 1: nodes
    push 0                        ; slot 2: t
trees:
    ldloc -1                      ; for t = 0 .. 7: nodes += count(make(12))
    push 8
    lt
    jz trees_done
    ldloca -2
    push 0
    push 0
    push 12
    call make, argframe
    call count, argframe
    addm
    ldloca -1
    incm
    jmp trees
trees_done:
    ldglobals                     ; global 1 = nodes + count(kept)
    fielda 1
    ldloc -3
    push 0
    ldglobals
    deref
    call count, argframe
    add
    store
    ret 2, 3

make:                             ; [result] [d] [return]
    ldloc -2
    jz leaf
    ldloca -3                     ; result = new Node(make(d - 1), make(d - 1))
    alloc 1, 3
    dup
    setclass Node
    dup
    fielda 1
    push 0
    ldloc -6
    push 1
    sub
    call make, argframe
    store
    dup
    fielda 2
    push 0
    ldloc -6
    push 1
    sub
    call make, argframe
    store
    store
    ret 0, 2
leaf:                             ; result = new Node(null, null)
    ldloca -3
    alloc 1, 3
    dup
    setclass Node
    store
    ret 0, 2

count:                            ; [result] [n] [return]
    ldloc -2                      ; a leaf counts 1
    fielda 1
    deref
    jz count_leaf
    ldloca -3                     ; result = 1 + count(n.left) + count(n.right)
    push 1
    push 0
    ldloc -5
    fielda 1
    deref
    call count, argframe
    add
    push 0
    ldloc -5
    fielda 2
    deref
    call count, argframe
    add
    store
    ret 0, 2
count_leaf:
    ldloca -3
    push 1
    store
    ret 0, 2
