; field_rw.s: a body bouncing in a 100000 x 70000 box for 11 million steps, its
; position, velocity and bounce count in fields that every step reads and writes.
; The body is reached through a reference cell (a variable passed by reference),
; so the fields are addressed with ldlocd1f. Global 0 receives
; x + y * 7 + bounces * 1000.
.globals 1
.method "main", main, frame

.class Body                       ; word 1: x, 2: y, 3: vx, 4: vy, 5: bounces
    .fieldwidth 1

.descriptor frame                 ; the cell and the step above the return slot
    .lengths 0, 0, 2
    .refs 1

.code
main:                             ; slot 0: return address
    alloc 1, 6                    ; a new Body at (5, 7) moving by (13, -11)
    dup
    setclass Body
    dup
    fielda 1
    push 5
    store
    dup
    fielda 2
    push 7
    store
    dup
    fielda 3
    push 13
    store
    dup
    fielda 4
    push -11
    store
    box                           ; slot 1: a cell holding it
    push 0                        ; slot 2: step
loop:
    ldloc -1                      ; while step < 11000000
    push 11000000
    lt
    jz done
    ldlocd1f -2, 1                ; o.x = o.x + o.vx
    ldlocd1f -3, 1
    deref
    ldlocd1f -4, 3
    deref
    add
    store
    ldlocd1f -2, 1                ; if o.x < 0 || o.x > 100000
    deref
    push 0
    lt
    ldlocd1f -3, 1
    deref
    push 100000
    gt
    lor
    jz x_inside
    ldlocd1f -2, 3                ; o.vx = -o.vx
    ldlocd1f -3, 3
    deref
    neg
    store
    ldlocd1f -2, 5                ; o.bounces += 1
    incm
x_inside:
    ldlocd1f -2, 2                ; o.y = o.y + o.vy
    ldlocd1f -3, 2
    deref
    ldlocd1f -4, 4
    deref
    add
    store
    ldlocd1f -2, 2                ; if o.y < 0 || o.y > 70000
    deref
    push 0
    lt
    ldlocd1f -3, 2
    deref
    push 70000
    gt
    lor
    jz y_inside
    ldlocd1f -2, 4                ; o.vy = -o.vy
    ldlocd1f -3, 4
    deref
    neg
    store
    ldlocd1f -2, 5                ; o.bounces += 1
    incm
y_inside:
    ldloca -1                     ; step += 1
    incm
    jmp loop
done:
    ldglobals                     ; global 0 = o.x + o.y * 7 + o.bounces * 1000
    ldlocd1f -3, 1
    deref
    ldlocd1f -4, 2
    deref
    push 7
    mul
    add
    ldlocd1f -4, 5
    deref
    push 1000
    mul
    add
    store
    ret 2, 3
