; str_build.s: builds one text of 360000 records "item<i>=<i*7>;": the numbers turned
; into text by itos and by String.from_int, every piece appended in place (the
; literal made anew each time, as ldstr does). Global 0 receives the length.
.globals 1
.method "main", main, frame

.descriptor frame                 ; the text and i above the return slot
    .lengths 0, 0, 2
    .refs 1

.string empty ""
.string item "item"

.code
main:                             ; slot 0: return address
    ldstr empty                   ; slot 1: text
    push 0                        ; slot 2: i
loop:
    ldloc -1                      ; for i = 0 .. 359999
    push 360000
    lt
    jz done
    ldloc -2                      ; text.append("item")
    ldstr item
    native String.append
    ldloc -2                      ; text.append(itos(i))
    ldloc -2
    itos
    native String.append
    ldloc -2                      ; text.append('=')
    push 61
    native String.append_char
    ldloc -2                      ; text.append(String.from_int(i * 7))
    ldloc -2
    push 7
    mul
    native String.from_int
    native String.append
    ldloc -2                      ; text.append(';')
    push 59
    native String.append_char
    ldloca -1
    incm
    jmp loop
done:
    ldglobals
    ldloc -3
    native String.length
    store
    ret 2, 3
