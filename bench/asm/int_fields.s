; int_fields.s: a loop whose counter and accumulators are fields of one instance:
; while o.i < 15 * 10^6: o.sum += o.i & o.mask; o.odd += o.i & 1; o.i += 1.
; Global 0 receives o.sum + o.odd.
.globals 1
.method "main", main, frame

.class Counter                    ; word 1: i, 2: sum, 3: odd, 4: mask
    .fieldwidth 1

.descriptor frame                 ; o above the return slot
    .lengths 0, 0, 1
    .refs 1

.code
main:                             ; slot 0: return address
    alloc 1, 5                    ; slot 1: o = new Counter, mask 0xFF
    dup
    setclass Counter
    dup
    fielda 4
    push 0xFF
    store
loop:
    ldloc -1                      ; while o.i < 15000000
    fielda 1
    deref
    push 15000000
    lt
    jz done
    ldloc -1                      ; o.sum += o.i & o.mask
    fielda 2
    ldloc -2
    fielda 1
    deref
    ldloc -3
    fielda 4
    deref
    and
    addm
    ldloc -1                      ; o.odd += o.i & 1
    fielda 3
    ldloc -2
    fielda 1
    deref
    push 1
    and
    addm
    ldloc -1                      ; o.i += 1
    fielda 1
    incm
    jmp loop
done:
    ldglobals                     ; global 0 = o.sum + o.odd
    ldloc -2
    fielda 2
    deref
    ldloc -3
    fielda 3
    deref
    add
    store
    ret 1, 2
