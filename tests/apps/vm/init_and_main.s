; init_and_main.s: "::global::init" runs before "main", each as its own entry call.
;! log "init"
;! log "main sees 5"
;! global 0 == 6
.globals 1
.method "main", main, frame
.method "::global::init", init, frame
.descriptor frame
    .lengths 0, 0, 0
.string sinit "init"
.string smain "main sees "

.code
main:
    ldstr smain
    ldglobals
    deref
    itos
    extcall 99, 14
    ldglobals
    incm
    ret 0, 1
init:
    ldstr sinit
    extcall 99, 2
    ldglobals
    push 5
    store
    ret 0, 1
