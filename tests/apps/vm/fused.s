; fused.s: sequences the prepared code runs as one step (load-local, push,
; compare, branch; address-of-local, increment) behave exactly as their plain
; instructions: every compare, both outcomes, a jump into the middle of one,
; and the scratch words they leave above the stack.
;! global 0 == 10
;! global 1 == 10
;! global 2 == 1
;! global 3 == 100
;! budget -1
.globals 4
.method "main", main, frame
.descriptor frame
    .lengths 0, 0, 1
.code
main:
    push 0                        ; slot 1: i
loop:                             ; i += 1 until i == 10, counting passes
    ldloca -1
    incm
    ldglobals
    fielda 1
    incm
    ldloc -1
    push 10
    lt
    jz after
    jmp loop
after:
    ldloc -1                      ; i >= 10: not taken
    push 10
    ge
    jz wrong
    ldloc -1                      ; i > 10: taken
    push 10
    gt
    jz le_check
    jmp wrong
le_check:
    ldloc -1
    push 10
    le
    jz wrong
    ldloc -1
    push 9
    ne
    jz wrong
    ldloc -1
    push 10
    eq
    jz wrong
    ldloc -1                      ; leaves the constant as a scratch word
    push 100
    eq
    jz scratch
    jmp wrong
scratch:
    ldglobals
    fielda 3
    ldloc 0                       ; the word above: the constant the sequence pushed
    store
    push 7                        ; jump into the middle: to the push
    jmp middle_entry
    ldloc -1
middle_entry:
    push 7
    eq
    jz wrong
    ldglobals
    fielda 2
    incm
    ldglobals                     ; global 0 = i
    ldloc -2
    store
    ret 1, 2
wrong:
    ldglobals
    push -99
    store
    ret 1, 2
