; alloc.s: heap blocks from bytecode: alloc, pack, box and boxp, allocto with
; levels, free and freecell, newvec's two-word block, and strings from ldstr and itos.
; In order: alloc 3 zeroed; pack 3 lowest slot first; pack_w 2; pack 0 pushes a
; block; box; boxp; allocto at levels 0, 1 (a cell holding the block), 2;
; allocto_k keeps the address; newvec's element size and vector.
;! log "0 0 0"
;! log "7 8 9"
;! log "5 6"
;! log "-1"
;! log "42"
;! log "43"
;! log "-1"
;! log "-1"
;! log "-1"
;! log "-1"
;! log "4"
;! log "-1"
;! log "freed"
;! global 0 string "hello, world"
;! global 1 string "-2147483648"
;! global 2 string "0"
;! global 3 string "été"
.globals 8
.method "main", main, frame
.descriptor frame
    .lengths 0, 0, 0
.string none ""
.string freed "freed"
.string hello "hello, world"
.string ete "\u{e9}t\u{e9}"

.code
main:
    ldstr none
    alloc 2, 3
    push 3
    extcall 99, 15
    ldstr none
    push 7
    push 8
    push 9
    pack 3
    push 3
    extcall 99, 15
    ldstr none
    push 5
    push 6
    pack_w 2
    push 2
    extcall 99, 15
    push 77
    pack 0
    ne                          ; a non-null block above the 77
    extcall 99, 1
    push 42
    box
    deref
    extcall 99, 1
    push 43
    boxp
    deref
    extcall 99, 1
    ; allocto: the new block (or cells around it) goes to the address on top
    ldglobals
    fielda 4
    allocto 2, 2, 0
    ldglobals
    fielda 4
    deref
    push 0
    ne
    extcall 99, 1
    ldglobals
    fielda 5
    allocto 2, 2, 1
    ldglobals
    fielda 5
    deref2                      ; through the cell to the block
    push 0
    ne
    extcall 99, 1
    ldglobals
    fielda 6
    allocto 2, 2, 2
    ldglobals
    fielda 6
    deref3
    push 0
    ne
    extcall 99, 1
    ldglobals
    fielda 7
    allocto_k 2, 1, 0
    ldglobals
    fielda 7
    eq
    extcall 99, 1
    ; newvec fills a two-word block: word 0 the vector, word 1 the element size
    alloc 2, 2
    dup
    newvec 4
    dup
    fielda 1
    deref
    extcall 99, 1
    deref
    push 0
    ne
    extcall 99, 1
    ; free and freecell; free 0 does nothing
    push 0
    free
    alloc 2, 4
    free
    push 9
    box
    box
    freecell
    alloc 14, 1                 ; a cell holding its own reference is freed once
    dup
    dup
    store
    freecell
    ldstr freed
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
