; fused_loops.s: the longer sequences the prepared code runs as one step, run
; without a budget so that their fast paths are taken: an accumulating loop's
; body and step (looping back onto itself, or through a jump), a local plus or
; minus a constant, a local assigned to another, and the words each leaves
; above the stack. A failing first instruction of a fused test resumes right
; after that instruction, as it would unfused.
;! budget -1
;! log "45"
;! log "10"
;! log "11"
;! log "190"
;! log "20"
;! log "5"
;! log "0"
;! log "12"
;! log "-2"
;! log "7"
;! log "-2147483648"
;! log "5"
;! log "10"
;! log "taken"
.method "main", main, frame
.method "vminternalthrow<*int>,<**string>", vmthrow, frame2
.descriptor frame
    .lengths 0, 0, 2
.descriptor frame2
    .lengths 2, 0, 0
.string taken "taken"
.string fell "fell through"

.code
main:                             ; slot 0: return address
    push 0                        ; slot 1: sum
    push 0                        ; slot 2: i
selfloop:                         ; the test leads straight into the body
    ldloc -1
    push 10
    lt
    jz selfdone
    ldloca -2                     ; sum += i
    ldloc -2
    addm
    ldloca -1                     ; i += 1
    incm
    jmp selfloop
selfdone:
    ldloc -2                      ; sum: 45
    extcall 99, 1
    ldloc 1                       ; the constant the test left two words up: 10
    extcall 99, 1
    ldloc -1                      ; i + 1, through the fused add: 11
    push 1
    add
    extcall 99, 1
    jmp throughtest               ; body first, test below, a jump between
throughbody:
    ldloca -2                     ; sum += i for i = 10 .. 19
    ldloc -2
    addm
    ldloca -1
    incm
    jmp throughtest
throughtest:
    ldloc -1
    push 20
    lt
    jz throughdone
    jmp throughbody
throughdone:
    ldloc -2                      ; 45 + 145
    extcall 99, 1
    ldloc -1
    extcall 99, 1
    ldloca -2                     ; sum = 0, i = 0 through the fused copy
    push 0
    store
    ldloca -1
    ldloc -3
    store
abovetop:                         ; adds into the scratch word above the stack
    ldloc -1
    push 5
    lt
    jz abovedone
    ldloca 0
    ldloc -2
    addm
    ldloca -1
    incm
    jmp abovetop
abovedone:
    ldloc -1                      ; i: 5, sum untouched: 0
    extcall 99, 1
    ldloc -2
    extcall 99, 1
    ldloc -1                      ; 5 + 7
    push 7
    add
    extcall 99, 1
    ldloc -1                      ; 5 - 7
    push 7
    sub
    extcall 99, 1
    ldloc -1
    push 7
    sub
    ldloc 0                       ; the constant left above: 7
    extcall 99, 1
    adjsp -1
    push 0x7FFFFFFF               ; wraps as the plain add does
    ldloc -1
    push 1
    add
    extcall 99, 1
    adjsp -1
    ldloca -2                     ; sum = i
    ldloc -2
    store
    ldloc -2
    extcall 99, 1
    push 9                        ; the compare then reads this word
    ldloc -100                    ; out of range: the routine returns here
    push 5                        ; 9 < 5 fails: the branch is taken
    lt
    jz istaken
    ldstr fell
    extcall 99, 2
    ret 2, 3
istaken:
    ldstr taken
    extcall 99, 2
    ret 2, 3

vmthrow:                          ; logs the error code and returns
    ldlocd1 -3
    extcall 99, 1
    ret 0, 3
