; A different width for neighbouring fields, 4-byte record widths with negative values,
; and the superclass-present value written out.
.identifier "mixed-widths-image-4"
.widths 1, 2, 4, 2, 1, 4, 2, 1, 4
.globals 0

.method "main", main, 300
.selector "<systemtimerlistener>.systemtimerevent"
    .impl -1, main, 2
    .impl Timer, main, 65535

.class Timer
    .fieldwidth 4
    .reffields -1, 2147483647, 0xFFFFFFFF
    .arrayfields ref -2147483648
    .super Timer, 2
    .trailing Timer, 70000

.descriptor
    .slotwidth 4
    .lengths -1, 65535, 255
    .arrays val -5
    .refs 100000
    .pairs ref 7

.code
main:
    ret 0, 1
