; gc_stack_slots.s: each slot is scanned as its descriptor declares; a reference slot
; that holds no object halts the run, a stack address in one is skipped.
;! log "alive 1 1 0 1 0"
;! call "number in a reference slot"
;! halts
;! call "stack address in a reference slot"
.method "main", main, frame
.method "number in a reference slot", number, one
.method "stack address in a reference slot", address, one
.descriptor frame       ; return address in slot 0, locals in slots 1 to 5
    .lengths 0, 0, 5
    .refs 1
    .maybe 2, 3, 4
.descriptor one
    .lengths 0, 0, 1
    .refs 1
.code
main:
    alloc 2, 1          ; slot 1: a reference slot
    extcall 99, 20
    push 12345          ; slot 2: a plain integer
    alloc 2, 4          ; slot 3: an interior address
    extcall 99, 20
    push 4
    add
    ldloca -3           ; slot 4: an address on the stack itself
    alloc 2, 1          ; slot 5: inside the frame, declared as nothing
    extcall 99, 20
    alloc 2, 4          ; slot 6: above the frame, an interior address
    extcall 99, 20
    push 8
    add
    alloc 2, 4          ; popped
    extcall 99, 20
    adjsp -1
    push 4096           ; below every pool
    push -8             ; above every pool
    extcall 99, 21
    ret 8, 9
number:
    push 12345
    extcall 99, 19
    ret 1, 2
address:
    ldloca -1
    extcall 99, 19
    ret 1, 2
