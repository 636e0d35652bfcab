; unknown_natives.s: a function number that a native group does not have raises
; VM error 10 with the group's prefix followed by the program counter, which is
; the last operand byte of the native instruction. Every case below takes 19
; bytes, so the k-th native call has its last byte at 11 + 19k. The Float group
; alone names the function number instead.
;! log "10 VMException: Vector:11"
;! log "10 VMException: Vector:30"
;! log "10 VMException: Vector:49"
;! log "10 VMException: Vector:68"
;! log "10 VMException: Vector:87"
;! log "10 VMException: Vector:106"
;! log "10 VMException: String:125"
;! log "10 VMException: Byte:144"
;! log "10 VMException: Char:163"
;! log "10 VMException: Fixed:182"
;! log "10 VMException: Long:201"
;! log "10 VMException: Color:220"
;! log "10 VMException: Range:239"
;! log "10 VMException: Size:258"
;! log "10 VMException: Position:277"
;! log "10 VMException: Rectangle:296"
;! log "10 VMException: Graphics:315"
;! log "10 VMException: Bitmap:334"
;! log "10 VMException: Font:353"
;! log "10 VMException: OutputStream:372"
;! log "10 VMException: FileWriter:391"
;! log "10 VMException: InputStream:410"
;! log "10 VMException: FileReader:429"
;! log "10 VMException: FileSystem:448"
;! log "10 VMException: Math:467"
;! log "10 VMException: Number:486"
;! log "10 VMException: Encoder:505"
;! log "10 VMException: DateTime:524"
;! log "10 VMException: Debug:543"
;! log "10 VMException: Screen:562"
;! log "10 VMException: System:581"
;! log "10 VMException: Timer:600"
;! log "10 VMException: Hash:619"
;! log "10 VMException: KeyEvent: invalid opcode 638"
;! log "10 VMException: Float: invalid opcode: 250"
.method "main", main, frame
.method "vminternalthrow<int>,<*string>", vmthrow, frame2
.class VMError
.descriptor frame
    .lengths 0, 0, 0
.descriptor frame2
    .lengths 2, 0, 0
.string noerror "NO ERROR"

.code
main:
    try -1, c0
    native 1, 250
    droph -1
    jmp bad
c0:
    adjsp -1
    try -1, c1
    native 3, 250
    droph -1
    jmp bad
c1:
    adjsp -1
    try -1, c2
    native 4, 250
    droph -1
    jmp bad
c2:
    adjsp -1
    try -1, c3
    native 5, 250
    droph -1
    jmp bad
c3:
    adjsp -1
    try -1, c4
    native 6, 250
    droph -1
    jmp bad
c4:
    adjsp -1
    try -1, c5
    native 7, 250
    droph -1
    jmp bad
c5:
    adjsp -1
    try -1, c6
    native 8, 250
    droph -1
    jmp bad
c6:
    adjsp -1
    try -1, c7
    native 9, 250
    droph -1
    jmp bad
c7:
    adjsp -1
    try -1, c8
    native 10, 250
    droph -1
    jmp bad
c8:
    adjsp -1
    try -1, c9
    native 11, 250
    droph -1
    jmp bad
c9:
    adjsp -1
    try -1, c10
    native 12, 250
    droph -1
    jmp bad
c10:
    adjsp -1
    try -1, c11
    native 13, 250
    droph -1
    jmp bad
c11:
    adjsp -1
    try -1, c12
    native 14, 250
    droph -1
    jmp bad
c12:
    adjsp -1
    try -1, c13
    native 15, 250
    droph -1
    jmp bad
c13:
    adjsp -1
    try -1, c14
    native 16, 250
    droph -1
    jmp bad
c14:
    adjsp -1
    try -1, c15
    native 17, 250
    droph -1
    jmp bad
c15:
    adjsp -1
    try -1, c16
    native 18, 250
    droph -1
    jmp bad
c16:
    adjsp -1
    try -1, c17
    native 19, 250
    droph -1
    jmp bad
c17:
    adjsp -1
    try -1, c18
    native 20, 250
    droph -1
    jmp bad
c18:
    adjsp -1
    try -1, c19
    native 21, 250
    droph -1
    jmp bad
c19:
    adjsp -1
    try -1, c20
    native 22, 250
    droph -1
    jmp bad
c20:
    adjsp -1
    try -1, c21
    native 23, 250
    droph -1
    jmp bad
c21:
    adjsp -1
    try -1, c22
    native 24, 250
    droph -1
    jmp bad
c22:
    adjsp -1
    try -1, c23
    native 25, 250
    droph -1
    jmp bad
c23:
    adjsp -1
    try -1, c24
    native 26, 250
    droph -1
    jmp bad
c24:
    adjsp -1
    try -1, c25
    native 27, 250
    droph -1
    jmp bad
c25:
    adjsp -1
    try -1, c26
    native 28, 250
    droph -1
    jmp bad
c26:
    adjsp -1
    try -1, c27
    native 29, 250
    droph -1
    jmp bad
c27:
    adjsp -1
    try -1, c28
    native 30, 250
    droph -1
    jmp bad
c28:
    adjsp -1
    try -1, c29
    native 31, 250
    droph -1
    jmp bad
c29:
    adjsp -1
    try -1, c30
    native 32, 250
    droph -1
    jmp bad
c30:
    adjsp -1
    try -1, c31
    native 33, 250
    droph -1
    jmp bad
c31:
    adjsp -1
    try -1, c32
    native 34, 250
    droph -1
    jmp bad
c32:
    adjsp -1
    try -1, c33
    native 35, 250
    droph -1
    jmp bad
c33:
    adjsp -1
    try -1, c34
    native 36, 250
    droph -1
    jmp bad
c34:
    adjsp -1
    ret 0, 1
bad:
    ldstr noerror
    extcall 99, 2
    ret 0, 1

vmthrow:
    ldloc -3
    ldloc -3
    extcall 99, 17
    alloc 1, 1
    dup
    setclass VMError
    throw
