; Every header width 2 and every record width 2; values at the top of each width.
.identifier "two-byte-widths-0002"
.widths 2, 2, 2, 2, 2, 2, 2, 2, 2
.globals 65536

.method "main", main, 65535
.selector "<application>.key pressed<keyevent>"
    .impl 65535, handler, 0
    .impl Base, handler, 1

.class Base
    .fieldwidth 2
    .reffields 0, 65535
    .arrayfields val 256, ref 65535
    .super 65535, 0xFFFF
    .trailing 1, 2, 3, 65535
.class
    .fieldwidth 2
    .super Base

.descriptor
    .slotwidth 2
    .lengths 65535, 0, 65535
    .maybe 65535
    .arrays val 1
    .refs 2
    .pairs ref 3
.descriptor
    .slotwidth 2
    .lengths 0, 1, 0

.code
main:
    push 0x7FFFFFFF
    push -2147483648
    ret 0, 1
handler:
    ret 0, 2
