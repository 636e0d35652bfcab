; virtual_calls.s: two instances of different classes answer the selector get
; on every turn of a 10^7 loop; global 0 receives the sum, 8 * 10^7.
.globals 1
.method "main", main, frame
.selector get "<shape>.get<int>"
    .impl Square, square_get, getframe
    .impl Circle, circle_get, getframe

.class Shape
.class Square                     ; word 1: v
    .super Shape
.class Circle
    .super Shape

.descriptor frame                 ; a, b, sum, i above the return slot
    .lengths 0, 0, 4
    .refs 1, 2
.descriptor getframe              ; self, x below the return slot
    .lengths 2, 0, 0
    .refs 0

.code
main:                             ; slot 0: return address
    alloc 1, 2                    ; slot 1: a = new Square, v = 3
    dup
    setclass Square
    dup
    fielda 1
    push 3
    store
    alloc 1, 2                    ; slot 2: b = new Circle, v = 5
    dup
    setclass Circle
    dup
    fielda 1
    push 5
    store
    push 0                        ; slot 3: sum
    push 0                        ; slot 4: i
loop:
    ldloc -1
    push 10000000
    lt
    jz done
    ldloca -2                     ; sum += a.get(i)
    push 0
    ldloc -6
    ldloc -4
    ldlocd1 -8                    ; a's class
    callv get
    addm
    ldloca -2                     ; sum += b.get(i)
    push 0
    ldloc -5
    ldloc -4
    ldlocd1 -7                    ; b's class
    callv get
    addm
    ldloca -1                     ; i += 1
    incm
    jmp loop
done:
    ldglobals
    ldloc -3
    store
    ret 4, 5

square_get:                       ; [result] [self] [x] [return]: result = self.v + x
    ldloca -4
    ldloc -4
    fielda 1
    deref
    ldloc -4
    add
    store
    ret 0, 3

circle_get:                       ; result = self.v - x
    ldloca -4
    ldloc -4
    fielda 1
    deref
    ldloc -4
    sub
    store
    ret 0, 3
