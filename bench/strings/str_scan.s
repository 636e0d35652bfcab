; str_scan.s: reads a text of 20000 sentences character by character (char_at),
; counting the words (runs of characters other than space) and the letters o, 15
; times; global 0 receives words * 10 + os (28200000).
.globals 1
.method "main", main, frame

.descriptor frame                 ; text, length, words, os, inWord, pass, i
    .lengths 0, 0, 7
    .refs 1

.string unit "the quick brown fox jumps over the lazy dog "

.code
main:                             ; slot 0: return address
    ldstr unit                    ; slot 1: text
    push 20000
    native String.repeat
    ldloc -1                      ; slot 2: length
    native String.length
    push 0                        ; slot 3: words
    push 0                        ; slot 4: os
    push 0                        ; slot 5: inWord
    push 0                        ; slot 6: pass
    push 0                        ; slot 7: i
passes:
    ldloc -2                      ; for pass = 0 .. 14
    push 15
    lt
    jz done
    ldloca -3                     ; inWord = false
    ldfalse
    store
    ldloca -1                     ; for i = 0 .. length - 1
    push 0
    store
chars:
    ldloc -1
    ldloc -7
    lt
    jz pass_done
    ldloc -7                      ; c = text[i] (kept on the stack)
    ldloc -2
    native String.char_at
    dup                           ; if c == ' ': inWord = false
    push 32
    eq16
    jz not_space
    adjsp -1
    ldloca -3
    ldfalse
    store
    jmp next
not_space:
    ldloc -4                      ; if !inWord: words += 1; inWord = true
    not
    jz in_word
    ldloca -6
    incm
    ldloca -4
    ldtrue
    store
in_word:
    push 111                      ; if c == 'o': os += 1
    eq16
    jz next
    ldloca -4
    incm
next:
    ldloca -1
    incm
    jmp chars
pass_done:
    ldloca -2
    incm
    jmp passes
done:
    ldglobals
    ldloc -6
    push 10
    mul
    ldloc -6
    add
    store
    ret 7, 8
