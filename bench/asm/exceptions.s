; exceptions.s: one round of 25000 checked calls under a handler; three calls in four
; throw an error object (a subclass of the class the handler catches) from two calls
; down, and the handler adds its code. Global 0 receives the number caught in the
; round (18750), global 1 the sum of the results and codes (156226).
.globals 2
.method "main", main, frame

.class Throwable                  ; word 1: code
    .fieldwidth 1
.class Error
    .fieldwidth 1
    .super Throwable
.class CheckError
    .fieldwidth 1
    .super Error

.descriptor frame                 ; caught, sum, i above the return slot
    .lengths 0, 0, 3
.descriptor argframe              ; i below the return slot, the result below it
    .lengths 1, 0, 0

.code
main:                             ; slot 0: return address
    push 0                        ; slot 1: caught
    push 0                        ; slot 2: sum
    push 0                        ; slot 3: i
loop:
    ldloc -1                      ; for i = 0 .. 24999
    push 25000
    lt
    jz done
    try Error, caught_one         ; try { sum += check(i) }
    ldloca -2
    push 0
    ldloc -3
    call check, argframe
    addm
    droph -1
    jmp next
caught_one:                       ; catch (Error e) { caught += 1; sum += e.code }
    ldloca -4
    incm
    ldloca -3
    ldloc -2
    fielda 1
    deref
    addm
    adjsp -1
next:
    ldloca -1
    incm
    jmp loop
done:
    ldglobals
    ldloc -4
    store
    ldglobals
    fielda 1
    ldloc -3
    store
    ret 3, 4

check:                            ; [result] [i] [return]: result = validate(i) + 1
    ldloca -3
    push 0
    ldloc -4
    call validate, argframe
    push 1
    add
    store
    ret 0, 2

validate:                         ; [result] [i] [return]
    ldloc -2                      ; if i & 3 != 0: throw new CheckError(i & 15)
    push 3
    and
    jz valid
    alloc 1, 2
    dup
    setclass CheckError
    dup
    fielda 1
    ldloc -4
    push 15
    and
    store
    throw
valid:                            ; result = i & 1
    ldloca -3
    ldloc -3
    push 1
    and
    store
    ret 0, 2
