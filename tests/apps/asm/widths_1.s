; Every header width 1 and every record width 1: the smallest encodings of each section.
.identifier "\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E\x0F\x10\x11\x12\xFF"
.widths 1, 1, 1, 1, 1, 1, 1, 1, 1
.globals 1

.method "main", main, Main
.method "::global::init", init, Tiny
.selector paint "<application>.draw to<canvas>"
    .impl Application, paint_app, Main
    .impl View, paint_view, Main
.selector "<application>.exit event"

.class Object
    .fieldwidth 1
.class View
    .fieldwidth 1
    .reffields 1, 2, 255
    .arrayfields ref 3, val 4
    .super Object
.class Application
    .fieldwidth 1
    .super View, 255
    .trailing Object, View

.descriptor Tiny
    .slotwidth 1
    .lengths 0, 0, 0
.descriptor Main
    .slotwidth 1
    .lengths 255, 2, 1
    .maybe 0, 1
    .arrays ref 2
    .refs 3
    .pairs val 4, ref 5

.string empty ""
.string "caf\u{e9} \x01 \"quoted\" \\ \t"

.code
init:
    ret 0, 1
main:
    ldstr empty
    native Debug.log
    ret 0, 1
paint_app:
    ret 0, 3
paint_view:
    ret 0, 3
