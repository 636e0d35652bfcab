; calls.s: direct and virtual calls from bytecode and from the host: frames,
; results, recursion, parameter and result levels, and finding methods by signature.
; A method with a result has a result slot below its arguments, as entry calls have.
;! log "610"
;! log "3"
;! log "4"
;! log "descriptors [0,2] frames [0,1]"
;! find "nothing" -> none
;! find "pick one" -> "pick one, the first"
;! find "(int)twice" -> "(int)twice<int>" levels none resultlevel 0
;! find "<a>.m<b>" -> "<**a>.m<*b>" levels 2, 1 handle 3
; a later signature for the same method gets the first handle, levels and all
;! find "<a>.m" -> "<**a>.m<*b>" levels 2, 1 handle 3
;! find "odd<" -> "odd<*" levels 0
;! call "(int)fib<int>" args 20 resultlevel 0
;! result == 6765
;! call "(int)deref<int>" args 7 levels 0 resultlevel 0
;! result == 7
;! call "(string)greeting" resultlevel 1
;! result string "hello"
;! call "(int)boxed<int>" args 5 resultlevel 0
;! result == 5
;! call "(string)greeting" resultlevel 1
;! result string "hello"
.globals 2
.method "main", main, frame
.method "(int)fib<int>", fib, frame1
.method "(int)twice<int>", twice, frame1
.method "(int)deref<**int>", deref, frame1
.method "(*int)boxed<int>", boxed, frame1
.method "(*string)greeting", greeting, frame
.method "pick one, the first", main, frame
.method "pick one, the second", main, frame
.method "<**a>.m<*b>", main, frame
.method "odd<*", main, frame
.selector area "(int)<*Shape>.area"
    .impl Circle, circle_area, frame1
    .impl Square, square_area, frame1
.class Shape
.class Circle
    .super Shape
.class Square
    .super Shape
.descriptor frame
    .lengths 0, 0, 0
.descriptor frame1
    .lengths 1, 0, 0
.descriptor frame1x
    .lengths 1, 0, 0
.string hello "hello"

.code
main:
    push 0                      ; fib(15)
    push 15
    call fib, frame1
    extcall 99, 1
    ; virtual calls: result slot, receiver, then its class index, which the
    ; call replaces by the return address
    push 0
    alloc 1, 1
    dup
    setclass Circle
    dup
    deref
    callv area
    extcall 99, 1
    push 0
    alloc 1, 1
    dup
    setclass Square
    dup
    deref
    callv area
    extcall 99, 1
    push 1
    call frames, frame1x        ; descriptor 2, frame base = its argument's slot
    adjsp -1
    ret 0, 1

; fib(n) = n < 2 ? n : fib(n - 1) + fib(n - 2)
fib:
    ldloc -2
    push 2
    lt
    jz fib_rec
    ldloca -3
    ldloc -3
    store
    ret 0, 2
fib_rec:
    push 0
    ldloc -3
    push 1
    sub
    call fib, frame1
    push 0
    ldloc -4
    push 2
    sub
    call fib, frame1
    add
    ldloca -4
    ldloc -2
    store
    adjsp -1
    ret 0, 2

twice:
    ldloca -3
    ldloc -3
    push 2
    mul
    store
    ret 0, 2

; the argument comes through two reference cells
deref:
    ldloca -3
    ldlocd2 -3
    store
    ret 0, 2

; the result goes back in a new cell
boxed:
    ldloca -3
    ldloc -3
    box
    store
    ret 0, 2

greeting:
    ldloca -2
    ldstr hello
    store
    ret 0, 1

circle_area:
    ldloca -3
    push 3
    store
    ret 0, 2
square_area:
    ldloca -3
    push 4
    store
    ret 0, 2

frames:
    extcall 99, 12
    ret 0, 1
