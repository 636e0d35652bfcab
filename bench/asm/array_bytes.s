; array_bytes.s: the sieve of Eratosthenes over a byte array of 6 million flags
; (marks written through element addresses with store8, flags read as element
; values), then a pass that counts the primes into global 0.
.globals 1
.method "main", main, frame

.descriptor frame                 ; flags, i, j, count above the return slot
    .lengths 0, 0, 4
    .refs 1

.code
main:                             ; slot 0: return address
    alloc 6, 2                    ; slot 1: flags = 6000000 zero bytes
    dup
    newvec 1
    ldloc -1
    push 0
    push 6000000
    native ByteVector.set_filled
    push 2                        ; slot 2: i
    push 0                        ; slot 3: j
    push 0                        ; slot 4: count
outer:
    ldloc -3                      ; while i * i < 6000000
    ldloc -4
    mul
    push 6000000
    lt
    jz sieved
    ldloc -4                      ; if flags[i] == 0 (the value lands above the array)
    ldloc -4
    native ByteVector.element_value
    jz prime
    adjsp -1
    jmp next
prime:
    adjsp -1
    ldloca -2                     ; j = i * i
    ldloc -4
    ldloc -5
    mul
    store
mark:
    ldloc -2                      ; while j < 6000000
    push 6000000
    lt
    jz next
    ldloc -4                      ; flags[j] = 1
    ldloc -3
    native ByteVector.element_at
    push 1
    store8
    ldloca -2                     ; j += i
    ldloc -4
    addm
    jmp mark
next:
    ldloca -3                     ; i += 1
    incm
    jmp outer
sieved:
    ldloca -3                     ; for i = 2 .. 5999999
    push 2
    store
count:
    ldloc -3
    push 6000000
    lt
    jz counted
    ldloc -4                      ; if flags[i] == 0: count += 1
    ldloc -4
    native ByteVector.element_value
    push 0
    eq8
    jz composite
    adjsp -1
    ldloca -1
    incm
    jmp counted_one
composite:
    adjsp -1
counted_one:
    ldloca -3
    incm
    jmp count
counted:
    ldglobals
    ldloc -2
    store
    ret 4, 5
