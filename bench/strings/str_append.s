; str_append.s: appends "abc" and then "!" to one string 200000 times each round;
; global 0 receives the final length (800000).
.globals 1
.method "main", main, frame

.descriptor frame                 ; everything above the return slot is scanned
    .lengths 0, 0, 0

.string empty ""
.string abc "abc"

.code
main:                             ; slot 0: return address
    ldstr empty                   ; slot 1: s
    ldstr abc                     ; slot 2: the piece
    push 0                        ; slot 3: i
loop:
    ldloc -1
    push 200000
    lt
    jz done
    ldloc -3                      ; s.append(piece)
    ldloc -3
    native String.append
    ldloc -3                      ; s.append('!')
    push 33
    native String.append_char
    ldloca -1                     ; i += 1
    incm
    jmp loop
done:
    ldglobals                     ; global 0 = length of s
    ldloc -4
    native String.length
    store
    ret 3, 4
