; fields_deref.s: field addresses, dereference chains through reference cells,
; the fused local-dereference instructions, class stamps and plain stores.
; Block A has 3 words, word 2 = 55; cells c1 -> A, c2 -> c1, c3 -> c2.
;! global 0 == 55
;! global 1 == 55
;! global 2 == 55
;! global 3 == 55
;! global 4 == 55
;! global 5 == 55
;! global 6 == 55
;! global 7 == 55
;! global 8 == 55
;! global 9 == 2
;! global 10 == 0
;! global 11 == 66
;! global 12 == 1
;! global 13 == 3
.globals 16
.method "main", main, frame
.descriptor frame
    .lengths 0, 0, 0
.class First
.class Second
    .super First
.class Third

.code
main:
    alloc 2, 3                  ; A
    dup
    fielda 2
    push 55
    store
    dup
    box                         ; c1
    dup
    box                         ; c2
    dup
    box                         ; c3
    ; stack: A c1 c2 c3 (c3 on top); with one word above them ldloc -5 reads A, -2 reads c3
    ldglobals                   ; 0: [A + 8] through fielda_w
    ldloc -5
    fielda_w 2
    deref
    store
    ldglobals                   ; 1: [[c1]+8]
    fielda 1
    ldloc -4
    deref
    fielda 2
    deref
    store
    ldglobals                   ; 2: deref2 of c2
    fielda 2
    ldloc -3
    deref2
    fielda 2
    deref
    store
    ldglobals                   ; 3: deref3 of c3
    fielda 3
    ldloc -2
    deref3
    fielda 2
    deref
    store
    ldglobals                   ; 4: ldlocd1 of c1
    fielda 4
    ldlocd1 -4
    fielda 2
    deref
    store
    ldglobals                   ; 5: ldlocd2 of c2
    fielda 5
    ldlocd2 -3
    fielda 2
    deref
    store
    ldglobals                   ; 6: ldlocd3 of c3
    fielda 6
    ldlocd3 -2
    fielda 2
    deref
    store
    ldglobals                   ; 7: ldlocd1f of c1, word 2
    fielda 7
    ldlocd1f -4, 2
    deref
    store
    ldglobals                   ; 8: ldlocd2f of c2 and ldlocd3f of c3 must agree
    fielda 8
    ldlocd2f -3, 2
    ldlocd3f -3, 2
    eq
    jz bad
    ldlocd3f -2, 2
    deref
    store
    ; setclass stamps word 0 with the loaded class index (classes count from 1)
    ldloc -4
    setclass Second
    ldglobals
    fielda 9
    ldloc -5
    deref
    store
    ; storez clears a word, store_b stores like store
    ldloc -4
    fielda 2
    storez
    ldglobals
    fielda 10
    ldlocd1f -4, 2
    deref
    store
    ldglobals
    fielda 11
    push 66
    store_b
    ; a field address with a negative index reaches backwards
    ldglobals
    fielda 12
    ldglobals
    fielda 13
    fielda -1
    ldloc -2
    eq
    neg
    store
    ldglobals
    fielda 13
    push 3
    store
    adjsp -4
    ret 0, 1
bad:
    adjsp -4
    ret 0, 1
