; alloc.s: heap blocks from bytecode: alloc, pack, box and boxp, allocto with
; levels, free and freecell, newvec's two-word block, and strings from ldstr and itos.
;! log "alloc 3: 0 0 0"
;! log "pack 3, lowest slot first: 7 8 9"
;! log "pack_w 2: 5 6"
;! log "pack 0 pushes a block: "
;! log "stack -1"
;! log "box holds: 42"
;! log "boxp holds: 43"
;! log "allocto level 0 stores the block: "
;! log "stack -1"
;! log "allocto level 1 stores a cell holding it: "
;! log "stack -1"
;! log "allocto level 2: "
;! log "stack -1"
;! log "allocto_k keeps the address: "
;! log "stack -1"
;! log "newvec 4: element size 4"
;! log ", vector set -1"
;! log "free 0 does nothing"
;! log "freed"
;! log "freed a cell that holds itself"
;! global 0 string "hello, world"
;! global 1 string "-2147483648"
;! global 2 string "0"
;! global 3 string "été"
.globals 8
.method "main", main, frame
.descriptor frame
    .lengths 0, 0, 0
.string a1 "alloc 3: "
.string p3 "pack 3, lowest slot first: "
.string p2 "pack_w 2: "
.string p0 "pack 0 pushes a block: "
.string bx "box holds: "
.string bp "boxp holds: "
.string at0 "allocto level 0 stores the block: "
.string at1 "allocto level 1 stores a cell holding it: "
.string at2 "allocto level 2: "
.string atk "allocto_k keeps the address: "
.string nv "newvec 4: element size "
.string nv2 ", vector set "
.string f0 "free 0 does nothing"
.string freed "freed"
.string selfcell "freed a cell that holds itself"
.string hello "hello, world"
.string ete "\u{e9}t\u{e9}"

.code
main:
    ldstr a1
    alloc 2, 3
    push 3
    extcall 99, 15
    ldstr p3
    push 7
    push 8
    push 9
    pack 3
    push 3
    extcall 99, 15
    ldstr p2
    push 5
    push 6
    pack_w 2
    push 2
    extcall 99, 15
    ldstr p0
    extcall 99, 2
    push 77
    pack 0
    ne                          ; a non-null block above the 77
    push 1
    extcall 99, 16
    adjsp -1
    ldstr bx
    push 42
    box
    push 1
    extcall 99, 15
    ldstr bp
    push 43
    boxp
    push 1
    extcall 99, 15
    ; allocto: the new block (or cells around it) goes to the address on top
    ldstr at0
    extcall 99, 2
    ldglobals
    fielda 4
    allocto 2, 2, 0
    ldglobals
    fielda 4
    deref
    push 0
    ne
    push 1
    extcall 99, 16
    adjsp -1
    ldstr at1
    extcall 99, 2
    ldglobals
    fielda 5
    allocto 2, 2, 1
    ldglobals
    fielda 5
    deref2                      ; through the cell to the block
    push 0
    ne
    push 1
    extcall 99, 16
    adjsp -1
    ldstr at2
    extcall 99, 2
    ldglobals
    fielda 6
    allocto 2, 2, 2
    ldglobals
    fielda 6
    deref3
    push 0
    ne
    push 1
    extcall 99, 16
    adjsp -1
    ldstr atk
    extcall 99, 2
    ldglobals
    fielda 7
    allocto_k 2, 1, 0
    ldglobals
    fielda 7
    eq
    push 1
    extcall 99, 16
    adjsp -1
    ; newvec fills a two-word block: word 0 the vector, word 1 the element size
    alloc 2, 2
    dup
    newvec 4
    ldstr nv
    ldloc -2
    fielda 1
    deref
    itos
    extcall 99, 14
    ldstr nv2
    ldloc -2
    deref
    push 0
    ne
    itos
    extcall 99, 14
    adjsp -1
    ; free and freecell
    push 0
    free
    ldstr f0
    extcall 99, 2
    alloc 2, 4
    free
    push 9
    box
    box
    freecell
    ldstr freed
    extcall 99, 2
    alloc 14, 1                 ; a cell holding its own reference is freed once
    dup
    dup
    store
    freecell
    ldstr selfcell
    extcall 99, 2
    ; strings: ldstr copies the constant, itos writes decimal text
    ldglobals
    ldstr hello
    store
    ldglobals
    fielda 1
    push 0x80000000
    itos
    store
    ldglobals
    fielda 2
    push 0
    itos
    store
    ldglobals
    fielda 3
    ldstr ete
    store
    ret 0, 1
