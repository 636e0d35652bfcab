; str_split.s: splits a text of 60000 comma-separated fields (with empty ones)
; at its commas ten times; global 0 receives the number of pieces of the last split.
.globals 1
.method "main", main, frame

.descriptor frame
    .lengths 0, 0, 0

.string unit "alpha,beta,,gamma,"

.code
main:                             ; slot 0: return address
    ldstr unit                    ; slot 1: the text
    push 20000
    native String.repeat
    push 0                        ; slot 2: pieces
    push 0                        ; slot 3: i
loop:
    ldloc -1
    push 10
    lt
    jz done
    ldloca -2                     ; pieces = split(text, ',').size
    ldloc -4
    push 44
    native String.split_c
    native ObjectVector.size
    store
    ldloca -1
    incm
    jmp loop
done:
    ldglobals
    ldloc -3
    store
    ret 3, 4
