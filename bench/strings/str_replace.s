; str_replace.s: on a text of 40000 sentences (1.8 MB of characters) replaces every
; "o" by "0" and back, five times each, then every "the" by "a"; global 0 receives
; the final length.
.globals 1
.method "main", main, frame

.descriptor frame
    .lengths 0, 0, 0

.string unit "the quick brown fox jumps over the lazy dog "
.string o "o"
.string zero "0"
.string the "the"
.string a "a"

.code
main:                             ; slot 0: return address
    ldstr unit                    ; slot 1: the text
    push 40000
    native String.repeat
    push 0                        ; slot 2: i
loop:
    ldloc -1
    push 5
    lt
    jz done
    ldloc -2
    ldstr o
    ldstr zero
    push 1
    native String.replace_all_f
    ldloc -2
    ldstr zero
    ldstr o
    push 1
    native String.replace_all_f
    ldloca -1
    incm
    jmp loop
done:
    ldloc -2
    ldstr the
    ldstr a
    push 1
    native String.replace_all_f
    ldglobals
    ldloc -3
    native String.length
    store
    ret 2, 3
