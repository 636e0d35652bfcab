; Every instruction of the set once, in table order, with operands of each kind:
; labels for jumps (forward and backward), calls and handlers, named classes,
; descriptors, selectors and strings, native and extension calls by name.
; It is never run: it pins the encoding of each operand kind.
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
op0:
    nop
op1:
    ldloc -3
op2:
    ldloc_w -100000
op3:
    ldloca -3
op4:
    ldloca_w -100000
op5:
    fielda -3
op6:
    fielda_w -100000
op7:
    deref
op8:
    adjsp -3
op9:
    adjsp_w -100000
op10:
    jz op17
op11:
    jz_w op54
op12:
    jmp op91
op13:
    jmp_w op128
op14:
    call op0, frame
op15:
    callv draw
op16:
    ret -100000, -100000
op17:
    alloc 2, 4000000000
op18:
    dup
op19:
    not
op20:
    push -100000
op21:
    ldstr greeting
op22:
    setclass Widget
op23:
    store
op24:
    storez
op25:
    store_b
op26:
    add
op27:
    sub
op28:
    mul
op29:
    div
op30:
    rem
op31:
    neg
op32:
    incm
op33:
    decm
op34:
    addm
op35:
    subm
op36:
    mulm
op37:
    divm
op38:
    remm
op39:
    eq
op40:
    lt
op41:
    le
op42:
    ne
op43:
    gt
op44:
    ge
op45:
    and
op46:
    or
op47:
    xor
op48:
    shl
op49:
    shr
op50:
    andm
op51:
    orm
op52:
    xorm
op53:
    shlm
op54:
    shrm
op55:
    itos
op56:
    zext8
op57:
    ldtrue
op58:
    ldfalse
op59:
    land
op60:
    lor
op61:
    lxor
op62:
    booleq
op63:
    boolne
op64:
    push64 -100000, -100000
op65:
    div8
op66:
    rem8
op67:
    shl8
op68:
    shr8
op69:
    native Math.sqrt
op70:
    zeron -3
op71:
    zeron_w -100000
op72:
    copyn -3
op73:
    copyn_w -100000
op74:
    loadn -3
op75:
    loadn_w -100000
op76:
    storen -3
op77:
    storen_w -100000
op78:
    extcall Accelerometer.x
op79:
    sext8 -3
op80:
    newvec 8
op81:
    ldm1
op82:
    try Widget, catch
op83:
    droph -3
op84:
    throw
op85:
    free
op86:
    ldglobals
op87:
    box
op88:
    pack_w -100000
op89:
    pack -3
op90:
    ge16
op91:
    gt16
op92:
    ne16
op93:
    le16
op94:
    lt16
op95:
    eq16
op96:
    store16
op97:
    storez16
op98:
    ge8
op99:
    gt8
op100:
    ne8
op101:
    le8
op102:
    lt8
op103:
    eq8
op104:
    store8
op105:
    storez8
op106:
    shrm8
op107:
    shlm8
op108:
    xorm8
op109:
    orm8
op110:
    andm8
op111:
    remm8
op112:
    divm8
op113:
    mulm8
op114:
    subm8
op115:
    addm8
op116:
    decm8
op117:
    incm8
op118:
    boxp
op119:
    allocto_k 2, 4000000000, 1
op120:
    allocto 2, 4000000000, 1
op121:
    freecell
op122:
    deref3
op123:
    deref2
op124:
    ldlocd3f -3, -3
op125:
    ldlocd2f -3, -3
op126:
    ldlocd1f -3, -3
op127:
    ldlocd3 -3
op128:
    ldlocd2 -3
op129:
    ldlocd1 -3
catch:
    ret 0, 1
