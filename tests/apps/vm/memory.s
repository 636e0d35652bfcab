; memory.s: strings, block instructions on A = global 0, field addresses and reference
; chains; init runs before main. (Heap blocks, one instruction at a time: InstructionsTest.cpp.)
;! log "stack 5"
;! log "stack -1 1 2 1 2 5 2 0 0 2 5 7 8 9 2 5 5"
;! log "stack 55 55 55 55 55 55 55 55 55 66"
;! global 1 string "été"
;! global 2 string "-2147483648"
.globals 9
.method "main", main, frame
.method "::global::init", init, frame
.descriptor frame
.string ete "\u{e9}t\u{e9}"
.code
init:
    ldglobals
    fielda 7
    push 5
    store
    ret 0, 1
main:
    ldglobals
    fielda 7
    deref                       ; 5, stored by init
    push 1
    extcall 99, 16
    ldglobals
    fielda 1
    ldstr ete
    store
    ldglobals
    fielda 2
    push 0x80000000
    itos
    store
    ldglobals
    push64 1, 2
    push64 3, 4
    push 5
    pack 5
    store                       ; A = [1 2 3 4 5]
    ldglobals
    deref
    zeron_w 0
    ldglobals
    deref
    fielda 2
    ldglobals
    deref
    copyn 2                     ; s1 destination, s0 source: [1 2 1 2 5]
    ldglobals
    deref
    fielda 2
    eq                          ; only the source was popped
    ldglobals
    deref
    loadn 5
    ldglobals
    deref
    dup
    fielda 1
    copyn_w 3                   ; [2 1 2 2 5]
    adjsp -1
    ldglobals
    deref
    fielda 1
    zeron 2                     ; [2 0 0 2 5]
    ldglobals
    deref
    loadn 5
    ldglobals
    deref
    push64 7, 8
    push 9
    storen_w 3                  ; the address goes with the words: [7 8 9 2 5]
    ldglobals
    deref
    loadn 5                     ; the first word takes the address's slot
    ldglobals
    deref
    fielda 4
    loadn_w 1
    push 17
    extcall 99, 16
    alloc 2, 3                  ; B, word 2 = 55, and cells c1 -> B, c2 -> c1, c3 -> c2
    dup
    fielda 2
    push 55
    store
    dup
    box
    dup
    box
    dup
    box
    extcall 99, 19              ; B and the cells stay: words above the frame count
    ldloc -4                    ; B
    fielda_w 2
    deref
    ldloc -3                    ; c2
    deref2
    fielda 2
    deref
    ldloc -3                    ; c3
    deref3
    fielda 2
    deref
    ldlocd1 -6                  ; c1
    fielda 2
    deref
    ldlocd2 -6
    fielda 2
    deref
    ldlocd3 -6
    fielda 2
    deref
    ldlocd1f -9, 2
    deref
    ldlocd2f -9, 2
    deref
    ldlocd3f -9, 2
    deref
    ldglobals
    fielda 8
    push 66
    store_b
    ldglobals
    fielda 9
    fielda -1                   ; backwards
    deref
    push 10
    extcall 99, 16
    ret 32, 33
