; loop_wide.s: nested loops written only with the 4-byte forms of the jumps, local
; accesses, stack adjustments and field addresses (jz_w, jmp_w, ldloc_w, ldloca_w,
; adjsp_w, fielda_w); the outer loop tests at its bottom, the inner one at its top:
; do { j = 0; while j < 5000 { s = (s + (i ^ j)) & 0xFFFFFFF; j += 3 } i += 1 }
; while i < 30000. Global 0 receives s.
.globals 1
.method "main", main, frame

.descriptor frame                 ; s, i and the inner j above the return slot
    .lengths 0, 0, 3

.code
main:                             ; slot 0: return address
    adjsp_w 2                     ; slot 1: s, slot 2: i
outer:
    adjsp_w 1                     ; slot 3: j = 0
inner:
    ldloc_w -1                    ; while j < 5000
    push 5000
    lt
    jz_w inner_done
    ldloca_w -3                   ; s = (s + (i ^ j)) & 0xFFFFFFF
    ldloc_w -4
    ldloc_w -4
    ldloc_w -4
    xor
    add
    push 0xFFFFFFF
    and
    store
    ldloca_w -1                   ; j += 3
    push 3
    addm
    jmp_w inner
inner_done:
    adjsp_w -1                    ; j goes out of scope
    ldloca_w -1                   ; i += 1
    incm
    ldloc_w -1                    ; until i >= 30000
    push 30000
    ge
    jz_w outer
    ldglobals                     ; global 0 = s
    fielda_w 0
    ldloc_w -3
    store
    ret 2, 3
