; Every instruction once, in table order, with operands of each kind: labels for jumps
; (forward and backward), calls and handlers, named classes, descriptors, selectors, strings.
.identifier "all-opcodes-image-01"
.widths 4, 4, 4, 4, 4, 4, 4, 4, 4
.globals 3

.method "main", op0, frame
.selector draw "<application>.draw to<canvas>"
    .impl Widget, op14, frame

.class Widget
    .fieldwidth 4
    .reffields 1

.descriptor frame
    .slotwidth 4
    .lengths 2, 1, 3
    .refs 0, 1

.string greeting "Hello"

.code
op0: nop
    ldloc -3
    ldloc_w -100000
    ldloca -3
    ldloca_w -100000
    fielda -3
    fielda_w -100000
    deref
    adjsp -3
    adjsp_w -100000
    jz op17
    jz_w op54
    jmp op91
    jmp_w op128
op14: call op0, frame
    callv draw
    ret -100000, -100000
op17: alloc 2, 4000000000
    dup
    not
    push -100000
    ldstr greeting
    setclass Widget
    store
    storez
    store_b
    add
    sub
    mul
    div
    rem
    neg
    incm
    decm
    addm
    subm
    mulm
    divm
    remm
    eq
    lt
    le
    ne
    gt
    ge
    and
    or
    xor
    shl
    shr
    andm
    orm
    xorm
    shlm
op54: shrm
    itos
    zext8
    ldtrue
    ldfalse
    land
    lor
    lxor
    booleq
    boolne
    push64 -100000, -100000
    div8
    rem8
    shl8
    shr8
    native Math.sqrt
    zeron -3
    zeron_w -100000
    copyn -3
    copyn_w -100000
    loadn -3
    loadn_w -100000
    storen -3
    storen_w -100000
    extcall Accelerometer.x
    sext8 -3
    newvec 8
    ldm1
    try Widget, catch
    droph -3
    throw
    free
    ldglobals
    box
    pack_w -100000
    pack -3
    ge16
op91: gt16
    ne16
    le16
    lt16
    eq16
    store16
    storez16
    ge8
    gt8
    ne8
    le8
    lt8
    eq8
    store8
    storez8
    shrm8
    shlm8
    xorm8
    orm8
    andm8
    remm8
    divm8
    mulm8
    subm8
    addm8
    decm8
    incm8
    boxp
    allocto_k 2, 4000000000, 1
    allocto 2, 4000000000, 1
    freecell
    deref3
    deref2
    ldlocd3f -3, -3
    ldlocd2f -3, -3
    ldlocd1f -3, -3
    ldlocd3 -3
op128: ldlocd2 -3
    ldlocd1 -3
catch: ret 0, 1
