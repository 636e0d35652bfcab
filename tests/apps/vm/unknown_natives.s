; unknown_natives.s: a function number that a native group does not have raises
; VM error 10 with the group's prefix followed by the program counter, the last
; operand byte of the native instruction: 3k + 2 for the k-th. The throw routine
; logs it and resumes after the instruction. The Float group names the function.
;! log "10 VMException: Vector:2"
;! log "10 VMException: Vector:5"
;! log "10 VMException: Vector:8"
;! log "10 VMException: Vector:11"
;! log "10 VMException: Vector:14"
;! log "10 VMException: Vector:17"
;! log "10 VMException: String:20"
;! log "10 VMException: Byte:23"
;! log "10 VMException: Char:26"
;! log "10 VMException: Fixed:29"
;! log "10 VMException: Long:32"
;! log "10 VMException: Color:35"
;! log "10 VMException: Range:38"
;! log "10 VMException: Size:41"
;! log "10 VMException: Position:44"
;! log "10 VMException: Rectangle:47"
;! log "10 VMException: Graphics:50"
;! log "10 VMException: Bitmap:53"
;! log "10 VMException: Font:56"
;! log "10 VMException: OutputStream:59"
;! log "10 VMException: FileWriter:62"
;! log "10 VMException: InputStream:65"
;! log "10 VMException: FileReader:68"
;! log "10 VMException: FileSystem:71"
;! log "10 VMException: Math:74"
;! log "10 VMException: Number:77"
;! log "10 VMException: Encoder:80"
;! log "10 VMException: DateTime:83"
;! log "10 VMException: Debug:86"
;! log "10 VMException: Screen:89"
;! log "10 VMException: System:92"
;! log "10 VMException: Timer:95"
;! log "10 VMException: Hash:98"
;! log "10 VMException: KeyEvent: invalid opcode 101"
;! log "10 VMException: Float: invalid opcode: 250"
.method "main", main, frame
.method "vminternalthrow<int>,<*string>", vmthrow, frame2
.descriptor frame
    .lengths 0, 0, 0
.descriptor frame2
    .lengths 2, 0, 0

.code
main:
    native 1, 250
    native 3, 250
    native 4, 250
    native 5, 250
    native 6, 250
    native 7, 250
    native 8, 250
    native 9, 250
    native 10, 250
    native 11, 250
    native 12, 250
    native 13, 250
    native 14, 250
    native 15, 250
    native 16, 250
    native 17, 250
    native 18, 250
    native 19, 250
    native 20, 250
    native 21, 250
    native 22, 250
    native 23, 250
    native 24, 250
    native 25, 250
    native 26, 250
    native 27, 250
    native 28, 250
    native 29, 250
    native 30, 250
    native 31, 250
    native 32, 250
    native 33, 250
    native 34, 250
    native 35, 250
    native 36, 250
    ret 0, 1

vmthrow:
    ldloc -3
    ldloc -3
    extcall 99, 17
    ret 0, 3
