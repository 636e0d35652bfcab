; str_search.s: in a text of 2000 sentences finds every "lazy" one after the other
; (exact comparison, each search starting one past the last match), 6000 times;
; global 0 receives the number of matches (12000000).
.globals 1
.method "main", main, frame

.descriptor frame                 ; text, pattern, found, pass, p above the return slot
    .lengths 0, 0, 5
    .refs 1, 2

.string unit "the quick brown fox jumps over the lazy dog "
.string lazy "lazy"

.code
main:                             ; slot 0: return address
    ldstr unit                    ; slot 1: text
    push 2000
    native String.repeat
    ldstr lazy                    ; slot 2: pattern
    push 0                        ; slot 3: found
    push 0                        ; slot 4: pass
    push 0                        ; slot 5: p
passes:
    ldloc -2                      ; for pass = 0 .. 5999
    push 6000
    lt
    jz done
    ldloca -1                     ; p = text.findFirst(pattern, (0, -1), exact)
    ldloc -6
    ldloc -6
    push 0
    push -1
    push 1
    native String.find_first_rf
    store
search:
    ldloc -1                      ; while p >= 0
    push 0
    ge
    jz pass_done
    ldloca -3                     ; found += 1
    incm
    ldloca -1                     ; p = text.findFirst(pattern, (p + 1, -1), exact)
    ldloc -6
    ldloc -6
    ldloc -4
    push 1
    add
    push -1
    push 1
    native String.find_first_rf
    store
    jmp search
pass_done:
    ldloca -2
    incm
    jmp passes
done:
    ldglobals
    ldloc -4
    store
    ret 5, 6
