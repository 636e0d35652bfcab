; int_globals.s: a loop whose counter and accumulators are globals, read with
; ldglobals; fielda; deref and written through the same addresses:
; while count < 12 * 10^6: total += count % 7; mix = (mix ^ total) & 0xFFFFF;
; count += 1. Globals: count (0), total (1), mix (2); global 3 receives total + mix.
.globals 4
.method "main", main, frame

.descriptor frame
    .lengths 0, 0, 0

.code
main:                             ; slot 0: return address
    ldglobals                     ; count = 0 (fields 0 to 2 in one go)
    zeron 3
loop:
    ldglobals                     ; while count < 12000000
    deref
    push 12000000
    lt
    jz done
    ldglobals                     ; total += count % 7
    fielda 1
    ldglobals
    deref
    push 7
    rem
    addm
    ldglobals                     ; mix = (mix ^ total) & 0xFFFFF
    fielda 2
    ldglobals
    fielda 2
    deref
    ldglobals
    fielda 1
    deref
    xor
    push 0xFFFFF
    and
    store
    ldglobals                     ; count += 1
    incm
    jmp loop
done:
    ldglobals                     ; global 3 = total + mix
    fielda 3
    ldglobals
    fielda 1
    deref
    ldglobals
    fielda 2
    deref
    add
    store
    ret 0, 1
