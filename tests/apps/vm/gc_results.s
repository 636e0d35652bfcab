; gc_results.s: a result returned through a result level lives until the calls queued
; before its return have run, unrooted after; a queued call's argument words survive
; the collections before it starts. Recorded: the result, the queued argument.
;! call "(make" resultlevel 1
;! log "alive 1 1"
;! call "check"
;! log "alive 1 0"
;! call "check"
;! log "alive 0 0"
.method "main", main, frame
.method "(*make", make, frame
.method "consume<thing>", consume, takes_one
.method "check", check, frame
.descriptor frame
.descriptor takes_one
    .lengths 1, 0, 0
    .refs 0
.string sconsume "consume<thing>"
.code
main:
    ret 0, 1
make:                   ; result slot 0, return address in slot 1
    ldloca -2
    alloc 2, 1
    extcall 99, 20
    store
    alloc 2, 1
    extcall 99, 20
    push 1
    ldstr sconsume
    extcall 99, 3       ; queue consume(thing)
    ret 0, 1
consume:
    extcall 99, 21
    ret 0, 2
check:                  ; what the collection after the last call left
    extcall 99, 22
    ret 0, 1
