; Code that only raw bytes can express: opcodes outside the instruction set, jumps and
; handlers whose targets are not instruction starts, addresses outside the code, a
; negative globals count. (An instruction cut off by the end of the code is malformed.)
.identifier "raw-bytes-image-0003"
.widths 4, 4, 4, 4, 4, 4, 4, 4, 4
.globals -7

.method "main", 3, -1
.method "outside", 100000, 0
.method "negative", -5, 0
.selector "<application>.background event"

.code
    .byte 56, 66, 127, -1, -70, 0x99
    jmp 1
    jz_w -1000
    try -1, 0
    try 0, 5
    call 2, -1
    callv 0
    ldstr 99
    setclass -3
    native 0, 255
    extcall -1, -128
    .byte 20, 1, 2, 3, 4
