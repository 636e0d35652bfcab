; hello.s: counts down from 3, logging each step, and catches what it throws.
.identifier "hello-example-image!"
.widths 4, 4, 4, 4, 4, 4, 4, 4, 4
.globals 1

.method "main", main, frame
.selector exit "<*application>.exit event"
    .impl Error, on_exit, frame2

.class Throwable
    .fieldwidth 1
    .reffields 1
.class Error
    .super Throwable

.descriptor frame                 ; no locals
    .lengths 0, 0, 0
.descriptor frame2                ; one parameter below the return slot
    .lengths 1, 0, 0
    .refs 0

.string tick "tick\n"

.code
main:
    push 3
loop:                             ; counter on top
    dup
    jz done                       ; pops the copy; leaves the loop at 0
    ldstr tick
    native Debug.log
    push 1
    sub
    jmp loop
done:
    adjsp -1
    try Throwable, caught         ; catches Throwable and its subclasses
    alloc 2, 2
    dup
    setclass Error
    throw
    droph -1
caught:                           ; the thrown object is on top
    adjsp -1
    ret 0, 1

on_exit:                          ; receiver below the return address
    ret 0, 2
