; fields_deref.s: field addresses, dereference chains through reference cells,
; the fused local-dereference instructions, class stamps and plain stores.
; Block A has 3 words, word 2 = 55; cells c1 -> A, c2 -> c1, c3 -> c2.
;! log "55"
;! log "55"
;! log "55"
;! log "55"
;! log "55"
;! log "55"
;! log "55"
;! log "55"
;! log "55"
;! log "2"
;! log "0"
;! log "-1"
;! global 0 == 66
.globals 2
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
    ; stack: A c1 c2 c3: ldloc -4 reads A, -1 reads c3
    ldloc -4                    ; [A + 8] through fielda_w
    fielda_w 2
    deref
    extcall 99, 1
    ldloc -3                    ; [[c1]+8]
    deref
    fielda 2
    deref
    extcall 99, 1
    ldloc -2                    ; deref2 of c2
    deref2
    fielda 2
    deref
    extcall 99, 1
    ldloc -1                    ; deref3 of c3
    deref3
    fielda 2
    deref
    extcall 99, 1
    ldlocd1 -3                  ; ldlocd1 of c1
    fielda 2
    deref
    extcall 99, 1
    ldlocd2 -2                  ; ldlocd2 of c2
    fielda 2
    deref
    extcall 99, 1
    ldlocd3 -1                  ; ldlocd3 of c3
    fielda 2
    deref
    extcall 99, 1
    ldlocd1f -3, 2              ; ldlocd1f of c1, word 2
    deref
    extcall 99, 1
    ldlocd2f -2, 2              ; ldlocd2f of c2 and ldlocd3f of c3 must agree
    ldlocd3f -2, 2
    eq
    jz bad
    ldlocd3f -1, 2
    deref
    extcall 99, 1
    ; setclass stamps word 0 with the loaded class index (classes count from 1)
    ldloc -4
    setclass Second
    ldloc -4
    deref
    extcall 99, 1
    ; storez clears a word, store_b stores like store
    ldloc -4
    fielda 2
    storez
    ldlocd1f -3, 2
    deref
    extcall 99, 1
    ldglobals
    push 66
    store_b
    ; a field address with a negative index reaches backwards
    ldglobals
    fielda 1
    fielda -1
    ldglobals
    eq
    extcall 99, 1
bad:
    adjsp -4
    ret 0, 1
