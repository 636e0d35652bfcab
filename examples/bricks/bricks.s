; bricks.s: BRICKS, a small breakout game and the player's showcase.
;
; Everything it shows and plays is made when it starts: a bitmap font (glyphs
; set pixel by pixel from the pictures below, scaled, marked and turned into a
; font through PNG bytes), the bitmaps of bricks, paddle, ball, walls and
; capsules (drawn with the drawing natives), and its sound effects (square
; waves written as raw 16000 Hz files, then loaded into a mixer). It keeps its
; high score in "highscore.txt".
;
; Keys: Left/Right (or A/D) move the paddle, Space or Return launches the ball
; and starts a game, P pauses, M turns the sound off and on, Backspace gives
; up, Q on the title screen quits. The pointer moves the paddle while it is
; held down; a click launches the ball.
;
; Determinism: the game advances one step per timer tick and draws what its
; state holds; its only randomness is a generator seeded once from the clock.
; The title screen animates by painted frames, so the Nth frame a run paints
; there is always the same picture.
;
; Conventions of this file:
; - State lives in globals, named by the G_ constants below.
; - Internal routines are called with the descriptor `plain` (no frame of
;   their own for the collector: their stack words are scanned as they are).
;   Arguments are pushed left to right; a routine with a result is called with
;   a zero pushed first, which it overwrites ("result slot"). Comments such as
;   "; [a][b][ret]" show the stack at entry, the return address on top.
; - Reading argument j (1 = the last one pushed) with d words pushed since
;   entry: ldloc -(j + d + 1).

.identifier "bricks-showcase-game"
.globals G_COUNT

; ---------------------------------------------------------------------------
; Exported methods: what the player calls
; ---------------------------------------------------------------------------
.method "main", main, plain
.method "<*application>.draw to<canvas>", on_draw, two_refs
.method "<*application>.key pressed<keyevent>", on_key_pressed, two_refs
.method "<*application>.key released<keyevent>", on_key_released, two_refs
.method "<*application>.pointer event<int>at x<int>y<int>modifiers<int>", on_pointer, pointer
.method "<*systemtimerlistener>.systemtimerevent", on_tick, one_ref
.method "<*application>.background event", on_background, one_ref
.method "vminternalthrow<int>,<*string>", on_vm_error, plain

.class App                        ; the application object, also the timer's listener
.class Holder                     ; a mixer, file reader or file writer: word 1 holds it
    .reffields 1
.class Error                      ; what a failing native throws: word 1 code, word 2 text
    .reffields 2

.descriptor plain
    .lengths 0, 0, 0
.descriptor one_ref               ; the receiver
    .lengths 1, 0, 0
    .refs 0
.descriptor two_refs              ; the receiver and an object
    .lengths 2, 0, 0
    .refs 0, 1
.descriptor pointer               ; the receiver and four ints
    .lengths 5, 0, 0
    .refs 0

; ---------------------------------------------------------------------------
; Constants
; ---------------------------------------------------------------------------
; Globals.
.equ G_APP, 0                     ; the application object
.equ G_CANVAS, 1                  ; the canvas handle while a frame is drawn
.equ G_STATE, 2                   ; one of the S_ states
.equ G_FRAME, 3                   ; frames painted on the title screen
.equ G_TICKS, 4                   ; ticks since the state began
.equ G_SEED, 5                    ; the random generator
.equ G_SCORE, 6
.equ G_HISCORE, 7
.equ G_LIVES, 8
.equ G_LEVEL, 9
.equ G_PADDLE_X, 10               ; left edge, pixels
.equ G_PADDLE_W, 11
.equ G_BALL_X, 12                 ; top left corner, 1/256 pixels
.equ G_BALL_Y, 13
.equ G_BALL_VX, 14                ; 1/256 pixels per tick
.equ G_BALL_VY, 15
.equ G_SPEED, 16                  ; length of the ball's velocity
.equ G_HITS, 17                   ; bricks broken this level (the ball speeds up)
.equ G_BRICKS, 18                 ; 84-word block: the brick type of each cell, 0 empty
.equ G_BRICKS_LEFT, 19
.equ G_KEYS, 20                   ; bit 0 left held, bit 1 right held
.equ G_POINTER, 21                ; 1 while the pointer is pressed
.equ G_POINTER_X, 22
.equ G_CAPSULE, 23                ; falling capsule: 0 none, else its C_ kind
.equ G_CAPSULE_X, 24
.equ G_CAPSULE_Y, 25
.equ G_MUTED, 26
.equ G_NEW_RECORD, 27             ; this game beat the high score
.equ G_MIXER, 28                  ; a Holder with the sound mixer
.equ G_SND_WALL, 29               ; mixer channels, -1 when missing
.equ G_SND_PADDLE, 30
.equ G_SND_BRICK, 31
.equ G_SND_SILVER, 32
.equ G_SND_LOSE, 33
.equ G_SND_LEVEL, 34
.equ G_SND_POWER, 35
.equ G_SND_START, 36
.equ G_FONT_S, 37                 ; fonts (cells): small, medium, large
.equ G_FONT_M, 38
.equ G_FONT_L, 39
.equ G_BMP_BG, 40                 ; bitmaps (handles)
.equ G_BMP_WALL, 41
.equ G_BMP_PADDLE, 42
.equ G_BMP_WIDE, 43
.equ G_BMP_BALL, 44
.equ G_BMP_LOGO, 45
.equ G_BMP_LIFE, 46
.equ G_BMP_CAPSULE, 47            ; 48 to 50: one per capsule kind (47 unused)
.equ G_BMP_BRICK, 51              ; 52 to 60: one per brick type (51 unused)
.equ G_BMP_STRIP, 61              ; the glyphs at one pixel per dot
.equ G_BMP_WORK, 62               ; scratch bitmaps
.equ G_BMP_WORK2, 63
.equ G_SOUND, 64                  ; the byte vector of the sound being made
.equ G_TIMER, 65
.equ G_PAUSED_FROM, 66            ; the state a pause returns to
.equ G_A0, 67                     ; arguments and temporaries of the routine running:
                                  ; a call may change them
.equ G_A1, 68
.equ G_A2, 69
.equ G_A3, 70
.equ G_A4, 71
.equ G_I, 72                      ; loop counters and temporaries of leaf routines
.equ G_J, 73
.equ G_K, 74
.equ G_PHASE, 75
.equ G_NX, 76                     ; the ball step's new position
.equ G_NY, 77
.equ G_HIT_COUNT, 78              ; brick collisions of one test
.equ G_CELL, 79                   ; the cell a brick routine works on
.equ G_ROW, 80                    ; its row
.equ G_TYPE, 81                   ; and the brick's type
.equ G_COUNT, 82

; Game states.
.equ S_TITLE, 0
.equ S_SERVE, 1                   ; the ball waits on the paddle
.equ S_PLAY, 2
.equ S_PAUSED, 3
.equ S_CLEARED, 4                 ; a level is cleared; the next follows
.equ S_OVER, 5

; Capsule kinds.
.equ C_EXPAND, 1
.equ C_SLOW, 2
.equ C_LIFE, 3

; The field, in pixels: walls 16 wide, bricks in 12 columns by 7 rows of
; 64 x 24 cells, the paddle's top at PADDLE_Y, the ball 12 x 12.
.equ FIELD_LEFT, 16
.equ FIELD_RIGHT, 784
.equ FIELD_TOP, 56
.equ FIELD_BOTTOM, 480
.equ BRICKS_TOP, 96
.equ CELL_W, 64
.equ CELL_H, 24
.equ COLUMNS, 12
.equ ROWS, 7
.equ CELLS, 84
.equ PADDLE_Y, 440
.equ PADDLE_H, 14
.equ PADDLE_NARROW, 96
.equ PADDLE_WIDE, 144
.equ PADDLE_STEP, 10
.equ BALL, 12
.equ BALL_MAX_X, 772              ; FIELD_RIGHT - BALL
.equ SPEED_START, 1280            ; 5 pixels per tick
.equ SPEED_MAX, 2304              ; 9 pixels per tick
.equ TICK_MS, 20
.equ LIVES_START, 3
.equ LIVES_MAX, 5

; Keys (the player's key codes).
.equ K_SPACE, 32
.equ K_A, 65
.equ K_D, 68
.equ K_M, 77
.equ K_P, 80
.equ K_Q, 81
.equ K_RETURN, 0x1000001
.equ K_BACKSPACE, 0x1000002
.equ K_LEFT, 0x1000003
.equ K_RIGHT, 0x1000004

; Colours.
.equ BLACK, 0xFF000000
.equ WHITE, 0xFFFFFFFF
.equ CLEAR, 0x00000000
.equ GOLD, 0xFFFFD040
.equ SKY, 0xFF80E0FF
.equ DIM, 0xFF8090B0
.equ SHADE, 0xA0000000

; ---------------------------------------------------------------------------
; Start: make everything, then tick every TICK_MS milliseconds
; ---------------------------------------------------------------------------
.code
.string s_ready "BRICKS ready"

main:
    ldglobals                     ; G_APP: the application object
    alloc 1, 1
    dup
    setclass App
    store
    ldglobals
    deref
    native System.set_application
    ldglobals                     ; the random generator, seeded from the clock
    fielda G_SEED
    native System.current_millis
    store
    ldglobals
    fielda G_BRICKS
    alloc 2, CELLS
    store
    call make_fonts, plain
    call make_bitmaps, plain
    call make_sounds, plain
    call load_high_score, plain
    call enter_title, plain
    ldglobals                     ; the frame timer; the application listens
    fielda G_TIMER
    ldglobals
    deref
    push TICK_MS
    native Timer.add
    store
    ldstr s_ready
    native Debug.log
    ret 0, 1

; A native that fails raises a VM error; the machine calls this with its code
; and text, and it throws them as an Error for the nearest handler.
on_vm_error:                      ; [code][text][ret]
    alloc 1, 3
    dup
    setclass Error
    dup                           ; d = 2
    fielda 1
    ldloc -5                      ; the code
    store
    dup
    fielda 2
    ldloc -4                      ; the text
    store
    throw

; ---------------------------------------------------------------------------
; The bitmap font
; ---------------------------------------------------------------------------
; The glyphs of the characters " " to "_" (codes 32 to 95), 16 to a block,
; seven rows of five dots each and a gap; lower-case text is not used.
; font_B_R is row R of block B; its character i is column 96 * B + i of the
; strip bitmap, one pixel per dot.

; _ ! " # $ % & ' ( ) * + , - . /
.string font_0_0 "..... ..#.. .#.#. .#.#. ..#.. ##... .##.. ..#.. ...#. .#... ..... ..... ..... ..... ..... ..... "
.string font_0_1 "..... ..#.. .#.#. .#.#. .#### ##..# #..#. ..#.. ..#.. ..#.. ..#.. ..#.. ..... ..... ..... ....# "
.string font_0_2 "..... ..#.. ..... ##### #.#.. ...#. #.#.. ..... .#... ...#. #.#.# ..#.. ..... ..... ..... ...#. "
.string font_0_3 "..... ..#.. ..... .#.#. .###. ..#.. .#... ..... .#... ...#. .###. ##### ..... ##### ..... ..#.. "
.string font_0_4 "..... ..#.. ..... ##### ..#.# .#... #.#.# ..... .#... ...#. #.#.# ..#.. .##.. ..... ..... .#... "
.string font_0_5 "..... ..... ..... .#.#. ####. #..## #..#. ..... ..#.. ..#.. ..#.. ..#.. ..#.. ..... .##.. #.... "
.string font_0_6 "..... ..#.. ..... .#.#. ..#.. ...## .##.# ..... ...#. .#... ..... ..... .#... ..... .##.. ..... "
; 0 1 2 3 4 5 6 7 8 9 : ; < = > ?
.string font_1_0 ".###. ..#.. .###. ##### ...#. ##### ..##. ##### .###. .###. ..... ..... ...#. ..... .#... .###. "
.string font_1_1 "#...# .##.. #...# ...#. ..##. #.... .#... ....# #...# #...# .##.. .##.. ..#.. ..... ..#.. #...# "
.string font_1_2 "#..## ..#.. ....# ..#.. .#.#. ####. #.... ...#. #...# #...# .##.. .##.. .#... ##### ...#. ....# "
.string font_1_3 "#.#.# ..#.. ...#. ...#. #..#. ....# ####. ..#.. .###. .#### ..... ..... #.... ..... ....# ...#. "
.string font_1_4 "##..# ..#.. ..#.. ....# ##### ....# #...# .#... #...# ....# .##.. .##.. .#... ##### ...#. ..#.. "
.string font_1_5 "#...# ..#.. .#... #...# ...#. #...# #...# .#... #...# ...#. .##.. ..#.. ..#.. ..... ..#.. ..... "
.string font_1_6 ".###. .###. ##### .###. ...#. .###. .###. .#... .###. .##.. ..... .#... ...#. ..... .#... ..#.. "
; @ A B C D E F G H I J K L M N O
.string font_2_0 ".###. .###. ####. .###. ###.. ##### ##### .###. #...# .###. ..### #...# #.... #...# #...# .###. "
.string font_2_1 "#...# #...# #...# #...# #..#. #.... #.... #...# #...# ..#.. ...#. #..#. #.... ##.## #...# #...# "
.string font_2_2 "....# #...# #...# #.... #...# #.... #.... #.... #...# ..#.. ...#. #.#.. #.... #.#.# ##..# #...# "
.string font_2_3 ".##.# ##### ####. #.... #...# ####. ####. #.### ##### ..#.. ...#. ##... #.... #.#.# #.#.# #...# "
.string font_2_4 "#.#.# #...# #...# #.... #...# #.... #.... #...# #...# ..#.. ...#. #.#.. #.... #...# #..## #...# "
.string font_2_5 "#.#.# #...# #...# #...# #..#. #.... #.... #...# #...# ..#.. #..#. #..#. #.... #...# #...# #...# "
.string font_2_6 ".###. #...# ####. .###. ###.. ##### #.... .#### #...# .###. .##.. #...# ##### #...# #...# .###. "
; P Q R S T U V W X Y Z [ \ ] ^ _
.string font_3_0 "####. .###. ####. .#### ##### #...# #...# #...# #...# #...# ##### .###. ..... .###. ..#.. ..... "
.string font_3_1 "#...# #...# #...# #.... ..#.. #...# #...# #...# #...# #...# ....# .#... #.... ...#. .#.#. ..... "
.string font_3_2 "#...# #...# #...# #.... ..#.. #...# #...# #...# .#.#. .#.#. ...#. .#... .#... ...#. #...# ..... "
.string font_3_3 "####. #...# ####. .###. ..#.. #...# #...# #.#.# ..#.. ..#.. ..#.. .#... ..#.. ...#. ..... ..... "
.string font_3_4 "#.... #.#.# #.#.. ....# ..#.. #...# #...# #.#.# .#.#. ..#.. .#... .#... ...#. ...#. ..... ..... "
.string font_3_5 "#.... #..#. #..#. ....# ..#.. #...# .#.#. #.#.# #...# ..#.. #.... .#... ....# ...#. ..... ..... "
.string font_3_6 "#.... .##.# #...# ####. ..#.. .###. ..#.. .#.#. #...# ..#.. ##### .###. ..... .###. ..... ##### "

; Sets the strip's pixels, then makes the three fonts: 2, 3 and 6 pixels a dot.
make_fonts:                       ; [ret]
    ldglobals
    fielda G_BMP_STRIP
    push 384
    push 7
    push BLACK
    native Bitmap.create
    ldstr font_0_0
    push 0
    push 0
    call glyph_row, plain
    ldstr font_0_1
    push 0
    push 1
    call glyph_row, plain
    ldstr font_0_2
    push 0
    push 2
    call glyph_row, plain
    ldstr font_0_3
    push 0
    push 3
    call glyph_row, plain
    ldstr font_0_4
    push 0
    push 4
    call glyph_row, plain
    ldstr font_0_5
    push 0
    push 5
    call glyph_row, plain
    ldstr font_0_6
    push 0
    push 6
    call glyph_row, plain
    ldstr font_1_0
    push 96
    push 0
    call glyph_row, plain
    ldstr font_1_1
    push 96
    push 1
    call glyph_row, plain
    ldstr font_1_2
    push 96
    push 2
    call glyph_row, plain
    ldstr font_1_3
    push 96
    push 3
    call glyph_row, plain
    ldstr font_1_4
    push 96
    push 4
    call glyph_row, plain
    ldstr font_1_5
    push 96
    push 5
    call glyph_row, plain
    ldstr font_1_6
    push 96
    push 6
    call glyph_row, plain
    ldstr font_2_0
    push 192
    push 0
    call glyph_row, plain
    ldstr font_2_1
    push 192
    push 1
    call glyph_row, plain
    ldstr font_2_2
    push 192
    push 2
    call glyph_row, plain
    ldstr font_2_3
    push 192
    push 3
    call glyph_row, plain
    ldstr font_2_4
    push 192
    push 4
    call glyph_row, plain
    ldstr font_2_5
    push 192
    push 5
    call glyph_row, plain
    ldstr font_2_6
    push 192
    push 6
    call glyph_row, plain
    ldstr font_3_0
    push 288
    push 0
    call glyph_row, plain
    ldstr font_3_1
    push 288
    push 1
    call glyph_row, plain
    ldstr font_3_2
    push 288
    push 2
    call glyph_row, plain
    ldstr font_3_3
    push 288
    push 3
    call glyph_row, plain
    ldstr font_3_4
    push 288
    push 4
    call glyph_row, plain
    ldstr font_3_5
    push 288
    push 5
    call glyph_row, plain
    ldstr font_3_6
    push 288
    push 6
    call glyph_row, plain
    push 2
    push G_FONT_S
    call make_font, plain
    push 3
    push G_FONT_M
    call make_font, plain
    push 6
    push G_FONT_L
    call make_font, plain
    ldglobals                     ; the strip is no longer needed
    fielda G_BMP_STRIP
    storez
    ret 0, 1

; One row of dot pictures into the strip: a white pixel for each "#".
glyph_row:                        ; [text][x][y][ret]
    ldglobals
    fielda G_A0
    ldloc -5                      ; text
    store
    ldglobals
    fielda G_A1
    ldloc -4                      ; x
    store
    ldglobals
    fielda G_A2
    ldloc -3                      ; y
    store
    ldglobals
    fielda G_I
    storez
gr_next:
    ldglobals                     ; i < length?
    fielda G_I
    deref
    ldglobals
    fielda G_A0
    deref
    native String.length
    lt
    jz gr_done
    ldglobals                     ; text[i] == '#'?
    fielda G_A0
    deref
    ldglobals
    fielda G_I
    deref
    native String.char_at
    push 35
    eq
    jz gr_step
    ldglobals                     ; set the pixel (x + i, y)
    fielda G_BMP_STRIP
    ldglobals
    fielda G_A1
    deref
    ldglobals
    fielda G_I
    deref
    add
    ldglobals
    fielda G_A2
    deref
    push WHITE
    native Bitmap.set_pixel
gr_step:
    ldglobals
    fielda G_I
    incm
    jmp gr_next
gr_done:
    ret 0, 4

; A font of `scale` pixels a dot into global `slot`. A font image holds the
; glyphs side by side above one marker row: column 0 is covered on the rows
; of the ascent, and a covered pixel in the marker row ends each glyph.
make_font:                        ; [scale][slot][ret]
    ldglobals
    fielda G_A0
    ldloc -4                      ; scale
    store
    ldglobals
    fielda G_A1
    ldloc -3                      ; slot
    store
    ldglobals                     ; the strip, scaled without smoothing
    fielda G_BMP_WORK
    ldglobals
    fielda G_BMP_STRIP
    native Bitmap.clone
    ldglobals
    fielda G_BMP_WORK
    push 384
    ldglobals
    fielda G_A0
    deref
    mul
    push 7
    ldglobals
    fielda G_A0
    deref
    mul
    native Bitmap.resize_fast
    ldglobals                     ; the font image: 2 + 384 s wide, 7 s + 1 high
    fielda G_BMP_WORK2
    push 384
    ldglobals
    fielda G_A0
    deref
    mul
    push 2
    add
    push 7
    ldglobals
    fielda G_A0
    deref
    mul
    push 1
    add
    push BLACK
    native Bitmap.create
    ldglobals                     ; the glyphs from column 1
    fielda G_BMP_WORK2
    ldglobals
    fielda G_BMP_WORK
    push 1
    push 0
    push 255
    native Graphics.draw_bitmap_at
    ldglobals                     ; column 0: the ascent, every glyph row
    fielda G_I
    storez
mf_ascent:
    ldglobals
    fielda G_I
    deref
    push 7
    ldglobals
    fielda G_A0
    deref
    mul
    lt
    jz mf_marks
    ldglobals
    fielda G_BMP_WORK2
    push 0
    ldglobals
    fielda G_I
    deref
    push WHITE
    native Bitmap.set_pixel
    ldglobals
    fielda G_I
    incm
    jmp mf_ascent
mf_marks:                         ; the marker row: glyph g ends at 1 + 6 s (g + 1)
    ldglobals
    fielda G_I
    push 1
    store
mf_mark:
    ldglobals
    fielda G_I
    deref
    push 64
    le
    jz mf_encode
    ldglobals
    fielda G_BMP_WORK2
    push 6
    ldglobals
    fielda G_A0
    deref
    mul
    ldglobals
    fielda G_I
    deref
    mul
    push 1
    add
    push 7
    ldglobals
    fielda G_A0
    deref
    mul
    push WHITE
    native Bitmap.set_pixel
    ldglobals
    fielda G_I
    incm
    jmp mf_mark
mf_encode:                        ; PNG bytes, then a font from them
    ldglobals
    ldglobals
    fielda G_A1
    deref
    push 4
    mul
    add                           ; the address of the slot
    ldglobals
    fielda G_BMP_WORK2
    push 2                        ; PNG
    native Bitmap.encode
    native System.image_from_bytes
    store
    ldglobals
    fielda G_BMP_WORK
    storez
    ldglobals
    fielda G_BMP_WORK2
    storez
    ret 0, 3

; ---------------------------------------------------------------------------
; Bitmaps, drawn at start
; ---------------------------------------------------------------------------
.string s_title "BRICKS"
.string s_cap_e "E"
.string s_cap_s "S"
.string s_cap_l "L"

make_bitmaps:                     ; [ret]
    ; Bricks: type, light edge, face, dark edge. 8 is silver (two hits), 9 a
    ; cracked silver brick.
    push 1
    push 0xFFFF9090
    push 0xFFE03838
    push 0xFF901818
    call make_brick, plain
    push 2
    push 0xFFFFC890
    push 0xFFF08828
    push 0xFF985010
    call make_brick, plain
    push 3
    push 0xFFFFF4A8
    push 0xFFE8D028
    push 0xFF988810
    call make_brick, plain
    push 4
    push 0xFFA8F4A8
    push 0xFF38C048
    push 0xFF187020
    call make_brick, plain
    push 5
    push 0xFFA8F0FF
    push 0xFF28B8D8
    push 0xFF107088
    call make_brick, plain
    push 6
    push 0xFFA0A8FF
    push 0xFF3858E0
    push 0xFF182890
    call make_brick, plain
    push 7
    push 0xFFE8B0FF
    push 0xFFA048D0
    push 0xFF602080
    call make_brick, plain
    push 8
    push 0xFFFFFFFF
    push 0xFFB8BCC8
    push 0xFF686C78
    call make_brick, plain
    push 9
    push 0xFFFFFFFF
    push 0xFFB8BCC8
    push 0xFF686C78
    call make_brick, plain
    ldglobals                     ; the crack of a hit silver brick
    fielda G_BMP_BRICK
    fielda 9
    push 22
    push 3
    push 29
    push 11
    push 0xFF484C58
    native Graphics.draw_line
    ldglobals
    fielda G_BMP_BRICK
    fielda 9
    push 29
    push 11
    push 25
    push 18
    push 0xFF484C58
    native Graphics.draw_line
    ldglobals
    fielda G_BMP_BRICK
    fielda 9
    push 29
    push 11
    push 42
    push 14
    push 0xFF484C58
    native Graphics.draw_line

    ; The background tile: dark blue with a faint grid.
    ldglobals
    fielda G_BMP_BG
    push 32
    push 32
    push 0xFF0C1428
    native Bitmap.create
    ldglobals
    fielda G_BMP_BG
    push 0
    push 0
    push 32
    push 1
    push 0xFF18223E
    native Graphics.fill_rect
    ldglobals
    fielda G_BMP_BG
    push 0
    push 0
    push 1
    push 32
    push 0xFF18223E
    native Graphics.fill_rect
    ldglobals
    fielda G_BMP_BG
    push 16
    push 16
    push 2
    push 2
    push 0xFF24325A
    native Graphics.fill_rect

    ; The wall tile: a bevelled steel plate with a rivet.
    ldglobals
    fielda G_BMP_WALL
    push 16
    push 16
    push 0xFF606A80
    native Bitmap.create
    ldglobals
    fielda G_BMP_WALL
    push 0
    push 0
    push 16
    push 2
    push 0xFFA0AAC0
    native Graphics.fill_rect
    ldglobals
    fielda G_BMP_WALL
    push 0
    push 0
    push 2
    push 16
    push 0xFFA0AAC0
    native Graphics.fill_rect
    ldglobals
    fielda G_BMP_WALL
    push 0
    push 14
    push 16
    push 2
    push 0xFF303848
    native Graphics.fill_rect
    ldglobals
    fielda G_BMP_WALL
    push 14
    push 0
    push 2
    push 16
    push 0xFF303848
    native Graphics.fill_rect
    ldglobals
    fielda G_BMP_WALL
    push 6
    push 6
    push 4
    push 4
    push 0xFF3C4454
    native Graphics.fill_rect
    ldglobals
    fielda G_BMP_WALL
    push 6
    push 6
    push 0xFFC8D0E0
    native Bitmap.set_pixel

    ; The paddle: a steel bar with red caps on a transparent ground.
    ldglobals
    fielda G_BMP_PADDLE
    push PADDLE_NARROW
    push PADDLE_H
    push CLEAR
    native Bitmap.create
    ldglobals
    fielda G_BMP_PADDLE
    push 8
    push 0
    push 80
    push 14
    push 0xFFB0B8C8
    native Graphics.fill_rect
    ldglobals
    fielda G_BMP_PADDLE
    push 8
    push 2
    push 80
    push 3
    push 0xFFF0F4FF
    native Graphics.fill_rect
    ldglobals
    fielda G_BMP_PADDLE
    push 8
    push 11
    push 80
    push 3
    push 0xFF606878
    native Graphics.fill_rect
    push 0                        ; left cap
    call paddle_cap, plain
    push 86                       ; right cap
    call paddle_cap, plain
    ldglobals                     ; the wide paddle: the same, stretched smoothly
    fielda G_BMP_WIDE
    ldglobals
    fielda G_BMP_PADDLE
    native Bitmap.clone
    ldglobals
    fielda G_BMP_WIDE
    push PADDLE_WIDE
    push PADDLE_H
    native Bitmap.resize_smooth
    ldglobals                     ; a life: the paddle, shrunk
    fielda G_BMP_LIFE
    ldglobals
    fielda G_BMP_PADDLE
    native Bitmap.clone
    ldglobals
    fielda G_BMP_LIFE
    push 24
    push 6
    native Bitmap.resize_smooth

    call make_ball, plain

    ; Capsules: kind, colour, letter.
    push C_EXPAND
    push 0xFF3060F0
    ldstr s_cap_e
    call make_capsule, plain
    push C_SLOW
    push 0xFF20A040
    ldstr s_cap_s
    call make_capsule, plain
    push C_LIFE
    push 0xFFE03030
    ldstr s_cap_l
    call make_capsule, plain

    call make_logo, plain
    ret 0, 1

; A brick of `type`, 62 x 22: the face, light top and left edges, dark
; bottom and right edges, and a translucent shine.
make_brick:                       ; [type][light][face][dark][ret]
    ldglobals
    fielda G_A0
    ldloc -6                      ; type
    store
    ldglobals
    fielda G_A1
    ldloc -5                      ; light
    store
    ldglobals
    fielda G_A2
    ldloc -4                      ; face
    store
    ldglobals
    fielda G_A3
    ldloc -3                      ; dark
    store
    ldglobals                     ; G_A4: the address of the brick's slot
    fielda G_A4
    ldglobals
    fielda G_BMP_BRICK
    ldglobals
    fielda G_A0
    deref
    push 4
    mul
    add
    store
    ldglobals
    fielda G_A4
    deref
    push 62
    push 22
    ldglobals
    fielda G_A2
    deref
    native Bitmap.create
    ldglobals
    fielda G_A4
    deref
    push 0
    push 0
    push 62
    push 3
    ldglobals
    fielda G_A1
    deref
    native Graphics.fill_rect
    ldglobals
    fielda G_A4
    deref
    push 0
    push 0
    push 3
    push 22
    ldglobals
    fielda G_A1
    deref
    native Graphics.fill_rect
    ldglobals
    fielda G_A4
    deref
    push 0
    push 19
    push 62
    push 3
    ldglobals
    fielda G_A3
    deref
    native Graphics.fill_rect
    ldglobals
    fielda G_A4
    deref
    push 59
    push 3
    push 3
    push 19
    ldglobals
    fielda G_A3
    deref
    native Graphics.fill_rect
    ldglobals
    fielda G_A4
    deref
    push 6
    push 6
    push 14
    push 3
    push 0x70FFFFFF
    native Graphics.fill_rect
    ret 0, 5

; A red cap of the paddle at x.
paddle_cap:                       ; [x][ret]
    ldglobals
    fielda G_BMP_PADDLE
    ldloc -3                      ; x
    push 2
    push 10
    push 10
    push 0xFFD83838
    native Graphics.fill_rect
    ldglobals
    fielda G_BMP_PADDLE
    ldloc -3
    push 2
    add
    push 0
    push 6
    push 14
    push 0xFFD83838
    native Graphics.fill_rect
    ldglobals
    fielda G_BMP_PADDLE
    ldloc -3
    push 3
    add
    push 2
    push 4
    push 3
    push 0xFFFFA0A0
    native Graphics.fill_rect
    ret 0, 2

; The ball, 12 x 12, pixel by pixel: a disc (2x - 11)^2 + (2y - 11)^2 <= 144,
; darker at the rim, with a white highlight up and to the left.
make_ball:                        ; [ret]
    ldglobals
    fielda G_BMP_BALL
    push BALL
    push BALL
    push CLEAR
    native Bitmap.create
    ldglobals
    fielda G_J
    storez
mb_row:
    ldglobals
    fielda G_J
    deref
    push BALL
    lt
    jz mb_done
    ldglobals
    fielda G_I
    storez
mb_pixel:
    ldglobals
    fielda G_I
    deref
    push BALL
    lt
    jz mb_next_row
    push 0                        ; the squared distance from the centre, doubled
    ldglobals
    fielda G_I
    deref
    ldglobals
    fielda G_J
    deref
    push 11
    push 11
    call dist2, plain
    dup
    push 144
    gt
    jz mb_inside
    adjsp -1                      ; outside the disc: stays transparent
    jmp mb_step
mb_inside:
    ldglobals
    fielda G_K
    ldloc -2                      ; keep the distance
    store
    adjsp -1
    push 0                        ; near the highlight centre (3.5, 3.5)?
    ldglobals
    fielda G_I
    deref
    ldglobals
    fielda G_J
    deref
    push 7
    push 7
    call dist2, plain
    push 20
    le
    jz mb_body
    push WHITE
    jmp mb_set
mb_body:
    ldglobals
    fielda G_K
    deref
    push 90
    gt
    jz mb_light
    push 0xFF9098A8
    jmp mb_set
mb_light:
    push 0xFFDCE0EA
mb_set:                           ; the colour on top
    ldglobals
    fielda G_BMP_BALL
    ldglobals
    fielda G_I
    deref
    ldglobals
    fielda G_J
    deref
    ldloc -4                      ; the colour
    native Bitmap.set_pixel
    adjsp -1
mb_step:
    ldglobals
    fielda G_I
    incm
    jmp mb_pixel
mb_next_row:
    ldglobals
    fielda G_J
    incm
    jmp mb_row
mb_done:
    ret 0, 1

; (2x - cx)^2 + (2y - cy)^2.
dist2:                            ; [result][x][y][cx][cy][ret]
    ldloca -6                     ; the result slot
    ldloc -6                      ; x
    push 2
    mul
    ldloc -5                      ; cx
    sub
    dup
    mul
    ldloc -6                      ; y
    push 2
    mul
    ldloc -5                      ; cy
    sub
    dup
    mul
    add
    store
    ret 0, 5

; A capsule of `kind`, 40 x 16: a rounded bar of `colour` with a letter.
make_capsule:                     ; [kind][colour][letter][ret]
    ldglobals
    fielda G_A0
    ldloc -5                      ; kind
    store
    ldglobals
    fielda G_A1
    ldloc -4                      ; colour
    store
    ldglobals
    fielda G_A2
    ldloc -3                      ; letter
    store
    ldglobals                     ; G_A3: the address of the capsule's slot
    fielda G_A3
    ldglobals
    fielda G_BMP_CAPSULE
    ldglobals
    fielda G_A0
    deref
    push 4
    mul
    add
    store
    ldglobals
    fielda G_A3
    deref
    push 40
    push 16
    push CLEAR
    native Bitmap.create
    ldglobals
    fielda G_A3
    deref
    push 4
    push 0
    push 32
    push 16
    ldglobals
    fielda G_A1
    deref
    native Graphics.fill_rect
    ldglobals
    fielda G_A3
    deref
    push 0
    push 3
    push 40
    push 10
    ldglobals
    fielda G_A1
    deref
    native Graphics.fill_rect
    ldglobals
    fielda G_A3
    deref
    push 5
    push 2
    push 30
    push 2
    push 0x80FFFFFF
    native Graphics.fill_rect
    ldglobals
    fielda G_A3
    deref
    ldglobals
    fielda G_A2
    deref
    push 15
    push 1
    push WHITE
    ldglobals
    fielda G_FONT_S
    deref
    native Graphics.draw_string
    ret 0, 4

; The title, BRICKS in the large font: each letter in a brick colour over a
; black shadow.
make_logo:                        ; [ret]
    ldglobals
    fielda G_BMP_LOGO
    push 226
    push 50
    push CLEAR
    native Bitmap.create
    ldglobals
    fielda G_I
    storez
ml_letter:
    ldglobals
    fielda G_I
    deref
    push 6
    lt
    jz ml_done
    push BLACK                    ; the shadow, 3 pixels down and right
    push 7
    call logo_letter, plain
    ldglobals                     ; the colour of brick i + 1's face, read back
    fielda G_BMP_BRICK
    ldglobals
    fielda G_I
    deref
    push 1
    add
    push 4
    mul
    add
    push 30
    push 11
    native Bitmap.pixel
    push 4
    call logo_letter, plain
    ldglobals
    fielda G_I
    incm
    jmp ml_letter
ml_done:
    ret 0, 1

; Letter G_I of the title into the logo in `colour`, at (offset + 36 i, offset).
logo_letter:                      ; [colour][offset][ret]
    ldglobals
    fielda G_BMP_LOGO
    ldstr s_title
    ldglobals
    fielda G_I
    deref
    push 1                        ; the range: one letter
    ldloc -6                      ; offset (d = 4)
    ldglobals
    fielda G_I
    deref
    push 36
    mul
    add
    ldloc -7                      ; offset (d = 5)
    ldloc -9                      ; colour (d = 6)
    ldglobals
    fielda G_FONT_L
    deref
    native Graphics.draw_string_range
    ret 0, 3

; ---------------------------------------------------------------------------
; Sound effects: square waves written as raw 16000 Hz mono 16-bit files
; ---------------------------------------------------------------------------
.string snd_wall "sounds/wall.raw"
.string snd_paddle "sounds/paddle.raw"
.string snd_brick "sounds/brick.raw"
.string snd_silver "sounds/silver.raw"
.string snd_lose "sounds/lose.raw"
.string snd_level "sounds/level.raw"
.string snd_power "sounds/power.raw"
.string snd_start "sounds/start.raw"
.string s_no_sound "BRICKS: sound not written: "

make_sounds:                      ; [ret]
    ldglobals
    fielda G_MIXER
    alloc 1, 2
    dup
    setclass Holder
    store
    ldglobals
    fielda G_MIXER
    deref
    extcall AudioMixer.create
    ; Tones: start and end frequency (Hz), samples (16 a millisecond), amplitude.
    call sound_begin, plain
    push 440
    push 440
    push 640
    push 5000
    call tone, plain
    ldstr snd_wall
    push G_SND_WALL
    call sound_save, plain
    call sound_begin, plain
    push 587
    push 587
    push 960
    push 6000
    call tone, plain
    ldstr snd_paddle
    push G_SND_PADDLE
    call sound_save, plain
    call sound_begin, plain
    push 880
    push 1320
    push 1120
    push 5000
    call tone, plain
    ldstr snd_brick
    push G_SND_BRICK
    call sound_save, plain
    call sound_begin, plain
    push 1760
    push 1760
    push 640
    push 4000
    call tone, plain
    ldstr snd_silver
    push G_SND_SILVER
    call sound_save, plain
    call sound_begin, plain
    push 500
    push 90
    push 9600
    push 7000
    call tone, plain
    ldstr snd_lose
    push G_SND_LOSE
    call sound_save, plain
    call sound_begin, plain       ; an arpeggio: C E G C
    push 523
    push 523
    push 1600
    push 5000
    call tone, plain
    push 659
    push 659
    push 1600
    push 5000
    call tone, plain
    push 784
    push 784
    push 1600
    push 5000
    call tone, plain
    push 1047
    push 1047
    push 3200
    push 5000
    call tone, plain
    ldstr snd_level
    push G_SND_LEVEL
    call sound_save, plain
    call sound_begin, plain
    push 400
    push 1600
    push 4000
    push 5000
    call tone, plain
    ldstr snd_power
    push G_SND_POWER
    call sound_save, plain
    call sound_begin, plain
    push 392
    push 392
    push 1440
    push 5000
    call tone, plain
    push 523
    push 523
    push 2400
    push 5000
    call tone, plain
    ldstr snd_start
    push G_SND_START
    call sound_save, plain
    ret 0, 1

; A new, empty sound.
sound_begin:                      ; [ret]
    ldglobals
    fielda G_SOUND
    alloc 6, 2
    dup
    newvec 1
    store
    ret 0, 1

; Appends a square wave sweeping from f0 to f1 Hz over n samples, its
; amplitude falling from amp to 0: a phase of 16 bits advances f * 65536 /
; 16000 a sample, and its top bit picks +a or -a.
tone:                             ; [f0][f1][n][amp][ret]
    ldglobals
    fielda G_A0
    ldloc -6                      ; f0
    store
    ldglobals
    fielda G_A1
    ldloc -5                      ; f1
    store
    ldglobals
    fielda G_A2
    ldloc -4                      ; n
    store
    ldglobals
    fielda G_A3
    ldloc -3                      ; amp
    store
    ldglobals
    fielda G_I
    storez
    ldglobals
    fielda G_PHASE
    storez
tn_sample:
    ldglobals
    fielda G_I
    deref
    ldglobals
    fielda G_A2
    deref
    lt
    jz tn_done
    ldglobals                     ; phase += (f0 + (f1 - f0) i / n) * 4096 / 1000
    fielda G_PHASE
    ldglobals
    fielda G_PHASE
    deref
    ldglobals
    fielda G_A1
    deref
    ldglobals
    fielda G_A0
    deref
    sub
    ldglobals
    fielda G_I
    deref
    mul
    ldglobals
    fielda G_A2
    deref
    div
    ldglobals
    fielda G_A0
    deref
    add
    push 4096
    mul
    push 1000
    div
    add
    push 0xFFFF
    and
    store
    ldglobals                     ; a = amp (n - i) / n
    fielda G_K
    ldglobals
    fielda G_A3
    deref
    ldglobals
    fielda G_A2
    deref
    ldglobals
    fielda G_I
    deref
    sub
    mul
    ldglobals
    fielda G_A2
    deref
    div
    store
    ldglobals                     ; the lower half of the wave is negative
    fielda G_PHASE
    deref
    push 0x8000
    and
    jz tn_write
    ldglobals
    fielda G_K
    ldglobals
    fielda G_K
    deref
    neg
    store
tn_write:                         ; little-endian: low byte, then high byte
    ldglobals
    fielda G_SOUND
    deref
    ldglobals
    fielda G_K
    deref
    native ByteVector.append
    ldglobals
    fielda G_SOUND
    deref
    ldglobals
    fielda G_K
    deref
    push 8
    shr
    native ByteVector.append
    ldglobals
    fielda G_I
    incm
    jmp tn_sample
tn_done:
    ret 0, 5

; Writes the sound to `file` and loads that file into the mixer; its channel
; goes to global `slot` (-1 when it could not be loaded). Sounds are optional:
; a folder that cannot be written leaves the game silent, not broken.
sound_save:                       ; [file][slot][ret]
    ldglobals
    fielda G_A0
    ldloc -4                      ; file
    store
    ldglobals
    fielda G_A1
    ldloc -3                      ; slot
    store
    try Error, ss_failed
    ldglobals                     ; a writer
    fielda G_A2
    alloc 1, 2
    dup
    setclass Holder
    store
    ldglobals
    fielda G_A2
    deref
    ldglobals
    fielda G_A0
    deref
    push 0                        ; not appending: the file starts empty
    native FileWriter.open
    ldglobals
    fielda G_A2
    deref
    ldglobals
    fielda G_SOUND
    deref
    native OutputStream.write
    ldglobals
    fielda G_A2
    deref
    native OutputStream.close
    droph -1
ss_load:
    ldglobals                     ; global[slot] = the channel
    ldglobals
    fielda G_A1
    deref
    push 4
    mul
    add
    ldglobals
    fielda G_MIXER
    deref
    ldglobals
    fielda G_A0
    deref
    extcall AudioMixer.load_channel
    store
    ret 0, 3
ss_failed:                        ; the Error on top
    ldstr s_no_sound
    ldloc -2
    fielda 2
    deref
    native String.concat
    native Debug.log
    adjsp -1
    jmp ss_load

; Plays the sound whose channel is in global `slot`.
play:                             ; [slot][ret]
    ldglobals
    fielda G_MIXER
    deref
    ldglobals
    ldloc -4                      ; slot (d = 2)
    push 4
    mul
    add
    deref
    extcall AudioMixer.play
    ret 0, 2

; Sound off and on: every channel's volume to 0 or 256.
toggle_sound:                     ; [ret]
    ldglobals
    fielda G_MUTED
    ldglobals
    fielda G_MUTED
    deref
    not
    store
    ldglobals
    fielda G_I
    push G_SND_WALL
    store
ts_channel:
    ldglobals
    fielda G_I
    deref
    push G_SND_START
    le
    jz ts_done
    ldglobals
    fielda G_MIXER
    deref
    ldglobals                     ; the channel in global i
    ldglobals
    fielda G_I
    deref
    push 4
    mul
    add
    deref
    push 256
    ldglobals
    fielda G_MUTED
    deref
    jz ts_volume
    adjsp -1
    push 0
ts_volume:
    extcall AudioMixer.set_volume
    ldglobals
    fielda G_I
    incm
    jmp ts_channel
ts_done:
    ret 0, 1

; ---------------------------------------------------------------------------
; The high score: decimal text in "highscore.txt"
; ---------------------------------------------------------------------------
.string s_hiscore_file "highscore.txt"
.string s_hiscore_bad "BRICKS: high score unreadable: "
.string s_hiscore_unsaved "BRICKS: high score not saved: "

load_high_score:                  ; [ret]
    ldglobals
    fielda G_HISCORE
    storez
    ldstr s_hiscore_file
    native FileSystem.file_exists
    jz lh_done
    try Error, lh_bad
    ldglobals
    fielda G_A0
    alloc 1, 2
    dup
    setclass Holder
    store
    ldglobals
    fielda G_A0
    deref
    ldstr s_hiscore_file
    native FileReader.open
    ldglobals                     ; a high score is a few digits: read at most 16 bytes
    fielda G_A1
    ldglobals
    fielda G_A0
    deref
    native FileReader.size
    store
    ldglobals
    fielda G_A1
    deref
    push 16
    gt
    jz lh_read
    ldglobals
    fielda G_A1
    push 16
    store
lh_read:
    ldglobals
    fielda G_HISCORE
    ldglobals
    fielda G_A0
    deref
    ldglobals
    fielda G_A1
    deref
    native InputStream.read
    native Encoder.from_utf8
    native String.to_int
    store
    ldglobals
    fielda G_A0
    deref
    native InputStream.close
    droph -1
    ldglobals                     ; a negative number is no score
    fielda G_HISCORE
    deref
    push 0
    lt
    jz lh_done
    ldglobals
    fielda G_HISCORE
    storez
lh_done:
    ret 0, 1
lh_bad:                           ; the Error on top
    ldstr s_hiscore_bad
    ldloc -2
    fielda 2
    deref
    native String.concat
    native Debug.log
    adjsp -1
    ldglobals
    fielda G_HISCORE
    storez
    ret 0, 1

save_high_score:                  ; [ret]
    try Error, sh_bad
    ldglobals
    fielda G_A0
    alloc 1, 2
    dup
    setclass Holder
    store
    ldglobals
    fielda G_A0
    deref
    ldstr s_hiscore_file
    push 0
    native FileWriter.open
    ldglobals
    fielda G_A0
    deref
    ldglobals
    fielda G_HISCORE
    deref
    itos
    native Encoder.to_utf8
    native OutputStream.write
    ldglobals
    fielda G_A0
    deref
    native OutputStream.close
    droph -1
    ret 0, 1
sh_bad:
    ldstr s_hiscore_unsaved
    ldloc -2
    fielda 2
    deref
    native String.concat
    native Debug.log
    adjsp -1
    ret 0, 1

; ---------------------------------------------------------------------------
; Small helpers
; ---------------------------------------------------------------------------
; A random number from 0 to n - 1: a linear congruential generator, its bits
; 16 to 30.
rand:                             ; [result][n][ret]
    ldglobals
    fielda G_SEED
    ldglobals
    fielda G_SEED
    deref
    push 1103515245
    mul
    push 12345
    add
    store
    ldloca -3                     ; the result slot
    ldglobals
    fielda G_SEED
    deref
    push 16
    shr
    push 0x7FFF
    and
    ldloc -4                      ; n (d = 2)
    rem
    store
    ret 0, 2

; The integer square root of n >= 0, by Newton's steps from n.
isqrt:                            ; [result][n][ret]
    ldglobals
    fielda G_K
    ldloc -3                      ; n
    store
    ldloca -3
    ldloc -3                      ; x = n (d = 1)
    store
    ldglobals                     ; n < 2: itself
    fielda G_K
    deref
    push 2
    lt
    jz is_step
    ret 0, 2
is_step:                          ; y = (x + n / x) / 2; stop when y >= x
    ldloc -3                      ; x, in the result slot (d = 0)
    ldglobals
    fielda G_K
    deref
    ldloc -5                      ; x (d = 2)
    div
    add
    push 2
    div                           ; y (d = 1)
    dup
    ldloc -5                      ; x (d = 2)
    ge
    jz is_smaller
    adjsp -1
    ret 0, 2
is_smaller:                       ; x = y
    ldloca -4                     ; (d = 1)
    ldloc -2                      ; y (d = 2)
    store
    adjsp -1
    jmp is_step

; The decimal text of a value, zero-padded to `digits`.
number_text:                      ; [result][value][digits][ret]
    ldloca -4                     ; the result slot
    ldloc -4                      ; value (d = 1)
    itos
    store
nt_pad:
    ldloc -4                      ; the text (d = 0)
    native String.length
    ldloc -3                      ; digits (d = 1)
    lt
    jz nt_done
    ldloc -4
    push 48                       ; "0"
    native String.prepend_char
    jmp nt_pad
nt_done:
    ret 0, 3

; ---------------------------------------------------------------------------
; Game states
; ---------------------------------------------------------------------------
enter_title:                      ; [ret]
    ldglobals
    fielda G_STATE
    push S_TITLE
    store
    ldglobals
    fielda G_TICKS
    storez
    ldglobals
    fielda G_FRAME
    storez
    ret 0, 1

new_game:                         ; [ret]
    ldglobals
    fielda G_SCORE
    storez
    ldglobals
    fielda G_LIVES
    push LIVES_START
    store
    ldglobals
    fielda G_LEVEL
    push 1
    store
    ldglobals
    fielda G_NEW_RECORD
    storez
    call build_level, plain
    ldglobals
    fielda G_PADDLE_X
    push 352                      ; (800 - PADDLE_NARROW) / 2
    store
    call enter_serve, plain
    push G_SND_START
    call play, plain
    ret 0, 1

; The ball waits on the paddle; the paddle is narrow again, no capsule falls.
enter_serve:                      ; [ret]
    ldglobals
    fielda G_STATE
    push S_SERVE
    store
    ldglobals
    fielda G_TICKS
    storez
    ldglobals
    fielda G_CAPSULE
    storez
    ldglobals
    fielda G_PADDLE_W
    push PADDLE_NARROW
    store
    call clamp_paddle, plain
    call ball_on_paddle, plain
    ret 0, 1

ball_on_paddle:                   ; [ret]
    ldglobals
    fielda G_BALL_X
    ldglobals
    fielda G_PADDLE_X
    deref
    ldglobals
    fielda G_PADDLE_W
    deref
    push 2
    div
    add
    push 6
    sub
    push 256
    mul
    store
    ldglobals
    fielda G_BALL_Y
    push 109568                   ; (PADDLE_Y - BALL) * 256
    store
    ret 0, 1

; The ball leaves the paddle, a little to one side or the other.
launch:                           ; [ret]
    ldglobals
    fielda G_STATE
    push S_PLAY
    store
    push 0
    push 5
    call rand, plain
    push 2
    sub
    push 200
    mul                           ; -400 to 400
    call aim, plain
    ret 0, 1

; Sets the ball's direction: horizontal speed vx, and upwards so that the
; whole speed is G_SPEED.
aim:                              ; [vx][ret]
    ldglobals
    fielda G_BALL_VX
    ldloc -3                      ; vx
    store
    ldglobals
    fielda G_BALL_VY
    push 0
    ldglobals
    fielda G_SPEED
    deref
    dup
    mul
    ldloc -5                      ; vx (d = 3)
    dup
    mul
    sub
    call isqrt, plain
    neg
    store
    ret 0, 2

lose_ball:                        ; [ret]
    push G_SND_LOSE
    call play, plain
    ldglobals
    fielda G_LIVES
    decm
    ldglobals
    fielda G_LIVES
    deref
    jz lb_over
    call enter_serve, plain
    ret 0, 1
lb_over:
    call game_over, plain
    ret 0, 1

game_over:                        ; [ret]
    ldglobals
    fielda G_STATE
    push S_OVER
    store
    ldglobals
    fielda G_TICKS
    storez
    ldglobals
    fielda G_CAPSULE
    storez
    ldglobals
    fielda G_NEW_RECORD
    deref
    jz go_done
    call save_high_score, plain
go_done:
    ret 0, 1

; Pause and go on; only a game in progress pauses.
toggle_pause:                     ; [ret]
    ldglobals
    fielda G_STATE
    deref
    push S_PAUSED
    eq
    jz tp_pause
    ldglobals
    fielda G_STATE
    ldglobals
    fielda G_PAUSED_FROM
    deref
    store
    ret 0, 1
tp_pause:
    push 0
    call in_game, plain
    jz tp_done
    ldglobals
    fielda G_PAUSED_FROM
    ldglobals
    fielda G_STATE
    deref
    store
    ldglobals
    fielda G_STATE
    push S_PAUSED
    store
tp_done:
    ret 0, 1

; -1 when the ball is waiting or moving, else 0.
in_game:                          ; [result][ret]
    ldloca -2                     ; the result slot
    ldglobals
    fielda G_STATE
    deref
    push S_SERVE
    eq
    ldglobals
    fielda G_STATE
    deref
    push S_PLAY
    eq
    lor
    store
    ret 0, 1

; ---------------------------------------------------------------------------
; Levels
; ---------------------------------------------------------------------------
; Level 1 is a full wall: silver on top, then the six colours. Later levels
; are drawn by the random generator, mirrored left to right, with more silver
; the higher they go; the ball starts a little faster each level.
build_level:                      ; [ret]
    ldglobals
    fielda G_HITS
    storez
    ldglobals                     ; speed: start + 96 a level, at most 7 pixels a tick
    fielda G_SPEED
    ldglobals
    fielda G_LEVEL
    deref
    push 1
    sub
    push 96
    mul
    push SPEED_START
    add
    store
    ldglobals
    fielda G_SPEED
    deref
    push 1792
    gt
    jz bl_layout
    ldglobals
    fielda G_SPEED
    push 1792
    store
bl_layout:
    call clear_bricks, plain
    ldglobals
    fielda G_LEVEL
    deref
    push 1
    eq
    jz bl_random
    ldglobals                     ; level 1: cell i gets type row(i), silver for row 0
    fielda G_I
    storez
bl_full:
    ldglobals
    fielda G_I
    deref
    push CELLS
    lt
    jz bl_done
    ldglobals
    fielda G_I
    deref
    ldglobals
    fielda G_I
    deref
    push COLUMNS
    div
    dup
    jz bl_silver
    jmp bl_put
bl_silver:
    adjsp -1
    push 8
bl_put:
    call set_cell, plain
    ldglobals
    fielda G_I
    incm
    jmp bl_full
bl_random:
    call clear_bricks, plain
    ldglobals                     ; for each row j and left column k
    fielda G_J
    storez
bl_row:
    ldglobals
    fielda G_J
    deref
    push ROWS
    lt
    jz bl_check
    ldglobals
    fielda G_K
    storez
bl_column:
    ldglobals
    fielda G_K
    deref
    push 6
    lt
    jz bl_next_row
    push 0                        ; a brick here two times in three
    push 3
    call rand, plain
    jz bl_skip
    ldglobals                     ; its type: the row's colour, shifted by the level
    fielda G_I
    ldglobals
    fielda G_J
    deref
    ldglobals
    fielda G_LEVEL
    deref
    add
    push 7
    rem
    push 1
    add
    store
    push 0                        ; or silver, more often on later levels
    push 100
    call rand, plain
    ldglobals
    fielda G_LEVEL
    deref
    push 5
    mul
    push 5
    add
    lt
    jz bl_mirror
    ldglobals
    fielda G_I
    push 8
    store
bl_mirror:                        ; cells (j, k) and (j, 11 - k)
    ldglobals
    fielda G_J
    deref
    push COLUMNS
    mul
    ldglobals
    fielda G_K
    deref
    add
    ldglobals
    fielda G_I
    deref
    call set_cell, plain
    ldglobals
    fielda G_J
    deref
    push COLUMNS
    mul
    push 11
    add
    ldglobals
    fielda G_K
    deref
    sub
    ldglobals
    fielda G_I
    deref
    call set_cell, plain
bl_skip:
    ldglobals
    fielda G_K
    incm
    jmp bl_column
bl_next_row:
    ldglobals
    fielda G_J
    incm
    jmp bl_row
bl_check:                         ; too few bricks: draw again
    ldglobals
    fielda G_BRICKS_LEFT
    deref
    push 24
    lt
    jz bl_done
    jmp bl_random
bl_done:
    ret 0, 1

clear_bricks:                     ; [ret]
    ldglobals
    fielda G_BRICKS
    deref
    zeron CELLS
    ldglobals
    fielda G_BRICKS_LEFT
    storez
    ret 0, 1

; Cell `index` gets a brick of `type`.
set_cell:                         ; [index][type][ret]
    ldglobals
    fielda G_BRICKS
    deref
    ldloc -4                      ; index (d = 1)
    push 4
    mul
    add
    ldloc -3                      ; type (d = 1)
    store
    ldglobals
    fielda G_BRICKS_LEFT
    incm
    ret 0, 3

; The address of cell G_CELL's word.
cell_address:                     ; [result][ret]
    ldloca -2
    ldglobals
    fielda G_BRICKS
    deref
    ldglobals
    fielda G_CELL
    deref
    push 4
    mul
    add
    store
    ret 0, 1

; ---------------------------------------------------------------------------
; One tick
; ---------------------------------------------------------------------------
on_tick:                          ; [listener][ret]
    ldglobals
    fielda G_TICKS
    incm
    ldglobals
    fielda G_STATE
    deref
    dup
    push S_SERVE
    eq
    jz tk_not_serve
    adjsp -1
    call move_paddle, plain
    call ball_on_paddle, plain
    jmp tk_paint
tk_not_serve:
    dup
    push S_PLAY
    eq
    jz tk_not_play
    adjsp -1
    call move_paddle, plain
    call step_ball, plain
    call step_capsule, plain
    jmp tk_paint
tk_not_play:
    dup
    push S_CLEARED
    eq
    jz tk_not_cleared
    adjsp -1
    ldglobals                     ; two seconds, then the next level
    fielda G_TICKS
    deref
    push 100
    lt
    jz tk_next_level
    jmp tk_paint
tk_next_level:
    ldglobals
    fielda G_LEVEL
    incm
    call build_level, plain
    call enter_serve, plain
    jmp tk_paint
tk_not_cleared:
    push S_OVER
    eq
    jz tk_paint
    ldglobals                     ; ten seconds, then the title
    fielda G_TICKS
    deref
    push 500
    lt
    jz tk_title
    jmp tk_paint
tk_title:
    call enter_title, plain
tk_paint:
    native Screen.repaint
    ret 0, 2

; The paddle follows a pressed pointer, else the held keys.
move_paddle:                      ; [ret]
    ldglobals
    fielda G_POINTER
    deref
    jz mp_keys
    ldglobals
    fielda G_PADDLE_X
    ldglobals
    fielda G_POINTER_X
    deref
    ldglobals
    fielda G_PADDLE_W
    deref
    push 2
    div
    sub
    store
    jmp mp_clamp
mp_keys:
    ldglobals
    fielda G_KEYS
    deref
    push 1
    and
    jz mp_right
    ldglobals
    fielda G_PADDLE_X
    push PADDLE_STEP
    subm
mp_right:
    ldglobals
    fielda G_KEYS
    deref
    push 2
    and
    jz mp_clamp
    ldglobals
    fielda G_PADDLE_X
    push PADDLE_STEP
    addm
mp_clamp:
    call clamp_paddle, plain
    ret 0, 1

clamp_paddle:                     ; [ret]
    ldglobals
    fielda G_PADDLE_X
    deref
    push FIELD_LEFT
    lt
    jz cp_right
    ldglobals
    fielda G_PADDLE_X
    push FIELD_LEFT
    store
cp_right:
    ldglobals                     ; the right limit: FIELD_RIGHT - width
    fielda G_PADDLE_X
    deref
    push FIELD_RIGHT
    ldglobals
    fielda G_PADDLE_W
    deref
    sub
    gt
    jz cp_done
    ldglobals
    fielda G_PADDLE_X
    push FIELD_RIGHT
    ldglobals
    fielda G_PADDLE_W
    deref
    sub
    store
cp_done:
    ret 0, 1

; ---------------------------------------------------------------------------
; The ball: one axis at a time, walls, bricks, then the paddle
; ---------------------------------------------------------------------------
step_ball:                        ; [ret]
    ldglobals                     ; across
    fielda G_NX
    ldglobals
    fielda G_BALL_X
    deref
    ldglobals
    fielda G_BALL_VX
    deref
    add
    store
    ldglobals
    fielda G_NX
    deref
    push 4096                     ; FIELD_LEFT * 256
    lt
    jz sb_right_wall
    ldglobals
    fielda G_NX
    push 4096
    store
    call bounce_x, plain
sb_right_wall:
    ldglobals
    fielda G_NX
    deref
    push 197632                   ; BALL_MAX_X * 256
    gt
    jz sb_bricks_x
    ldglobals
    fielda G_NX
    push 197632
    store
    call bounce_x, plain
sb_bricks_x:
    push 0
    ldglobals
    fielda G_NX
    deref
    push 8
    shr
    ldglobals
    fielda G_BALL_Y
    deref
    push 8
    shr
    call hit_bricks, plain
    jz sb_move_x
    ldglobals                     ; a brick's side: back, and the other way
    fielda G_BALL_VX
    ldglobals
    fielda G_BALL_VX
    deref
    neg
    store
    ldglobals
    fielda G_NX
    ldglobals
    fielda G_BALL_X
    deref
    store
sb_move_x:
    ldglobals
    fielda G_BALL_X
    ldglobals
    fielda G_NX
    deref
    store
    ldglobals                     ; down
    fielda G_NY
    ldglobals
    fielda G_BALL_Y
    deref
    ldglobals
    fielda G_BALL_VY
    deref
    add
    store
    ldglobals
    fielda G_NY
    deref
    push 14336                    ; FIELD_TOP * 256
    lt
    jz sb_bricks_y
    ldglobals
    fielda G_NY
    push 14336
    store
    ldglobals                     ; the ceiling: downwards now
    fielda G_BALL_VY
    deref
    push 0
    lt
    jz sb_bricks_y
    ldglobals
    fielda G_BALL_VY
    ldglobals
    fielda G_BALL_VY
    deref
    neg
    store
    push G_SND_WALL
    call play, plain
sb_bricks_y:
    push 0
    ldglobals
    fielda G_BALL_X
    deref
    push 8
    shr
    ldglobals
    fielda G_NY
    deref
    push 8
    shr
    call hit_bricks, plain
    jz sb_paddle
    ldglobals
    fielda G_BALL_VY
    ldglobals
    fielda G_BALL_VY
    deref
    neg
    store
    ldglobals
    fielda G_NY
    ldglobals
    fielda G_BALL_Y
    deref
    store
sb_paddle:
    push 0
    call paddle_catches, plain
    jz sb_move_y
    ldglobals
    fielda G_NY
    push 109568                   ; (PADDLE_Y - BALL) * 256
    store
    call paddle_bounce, plain
sb_move_y:
    ldglobals
    fielda G_BALL_Y
    ldglobals
    fielda G_NY
    deref
    store
    ldglobals                     ; below the field: lost
    fielda G_BALL_Y
    deref
    push 122880                   ; FIELD_BOTTOM * 256
    ge
    jz sb_done
    call lose_ball, plain
sb_done:
    ret 0, 1

; A side wall: the ball turns back across.
bounce_x:                         ; [ret]
    ldglobals
    fielda G_BALL_VX
    ldglobals
    fielda G_BALL_VX
    deref
    neg
    store
    push G_SND_WALL
    call play, plain
    ret 0, 1

; -1 when the ball, moving down, crosses the paddle's top this tick.
paddle_catches:                   ; [result][ret]
    ldloca -2
    ldglobals                     ; moving down
    fielda G_BALL_VY
    deref
    push 0
    gt
    ldglobals                     ; its bottom was above the paddle's top + 6
    fielda G_BALL_Y
    deref
    push 8
    shr
    push BALL
    add
    push PADDLE_Y
    push 6
    add
    le
    land
    ldglobals                     ; and reaches the paddle's top now
    fielda G_NY
    deref
    push 8
    shr
    push BALL
    add
    push PADDLE_Y
    ge
    land
    ldglobals                     ; its right edge is past the paddle's left
    fielda G_BALL_X
    deref
    push 8
    shr
    push BALL
    add
    ldglobals
    fielda G_PADDLE_X
    deref
    gt
    land
    ldglobals                     ; its left edge before the paddle's right
    fielda G_BALL_X
    deref
    push 8
    shr
    ldglobals
    fielda G_PADDLE_X
    deref
    ldglobals
    fielda G_PADDLE_W
    deref
    add
    lt
    land
    store
    ret 0, 1

; Off the paddle: the further from its middle, the flatter the ball goes, up
; to 7/8 of its speed sideways.
paddle_bounce:                    ; [ret]
    ldglobals                     ; G_K: the offset of the ball's middle
    fielda G_K
    ldglobals
    fielda G_BALL_X
    deref
    push 8
    shr
    push 6
    add
    ldglobals
    fielda G_PADDLE_X
    deref
    sub
    ldglobals
    fielda G_PADDLE_W
    deref
    push 2
    div
    sub
    store
    ldglobals                     ; vx = offset * speed * 7 / ((w / 2 + 6) * 8)
    fielda G_K
    deref
    ldglobals
    fielda G_SPEED
    deref
    mul
    push 7
    mul
    ldglobals
    fielda G_PADDLE_W
    deref
    push 2
    div
    push 6
    add
    push 8
    mul
    div
    call aim, plain
    push G_SND_PADDLE
    call play, plain
    ret 0, 1

; Breaks or cracks the bricks under the ball's square at (x, y); the result is
; how many it met.
hit_bricks:                       ; [result][x][y][ret]
    ldglobals
    fielda G_HIT_COUNT
    storez
    ldglobals                     ; columns of the left and right edges
    fielda G_A0
    ldloc -4                      ; x
    push 624                      ; - FIELD_LEFT + 640: floor division below 0
    add
    push CELL_W
    div
    push 10
    sub
    store
    ldglobals
    fielda G_A1
    ldloc -4
    push 635                      ; + BALL - 1
    add
    push CELL_W
    div
    push 10
    sub
    store
    ldglobals                     ; rows of the top and bottom edges
    fielda G_A2
    ldloc -3                      ; y
    push 144                      ; - BRICKS_TOP + 240
    add
    push CELL_H
    div
    push 10
    sub
    store
    ldglobals
    fielda G_A3
    ldloc -3
    push 155
    add
    push CELL_H
    div
    push 10
    sub
    store
    ldglobals                     ; top left
    fielda G_A2
    deref
    ldglobals
    fielda G_A0
    deref
    call hit_cell, plain
    ldglobals                     ; top right, when another column
    fielda G_A1
    deref
    ldglobals
    fielda G_A0
    deref
    eq
    not
    jz hb_bottom
    ldglobals
    fielda G_A2
    deref
    ldglobals
    fielda G_A1
    deref
    call hit_cell, plain
hb_bottom:
    ldglobals                     ; the bottom row, when another row
    fielda G_A3
    deref
    ldglobals
    fielda G_A2
    deref
    eq
    jz hb_bottom_left
    jmp hb_done
hb_bottom_left:
    ldglobals
    fielda G_A3
    deref
    ldglobals
    fielda G_A0
    deref
    call hit_cell, plain
    ldglobals
    fielda G_A1
    deref
    ldglobals
    fielda G_A0
    deref
    eq
    not
    jz hb_done
    ldglobals
    fielda G_A3
    deref
    ldglobals
    fielda G_A1
    deref
    call hit_cell, plain
hb_done:
    ldloca -4                     ; the result slot
    ldglobals
    fielda G_HIT_COUNT
    deref
    store
    ret 0, 3

; The brick in cell (row, column), if any: a silver one cracks, any other
; breaks, scores, may drop a capsule and may end the level.
hit_cell:                         ; [row][column][ret]
    ldloc -3                      ; row, 0 to 6
    push 0
    lt
    ldloc -4
    push ROWS
    ge
    lor
    ldloc -3                      ; column, 0 to 11
    push 0
    lt
    lor
    ldloc -3
    push COLUMNS
    ge
    lor
    jz hc_inside
    ret 0, 3
hc_inside:
    ldglobals
    fielda G_ROW
    ldloc -4                      ; row (d = 1)
    store
    ldglobals                     ; G_CELL = row * 12 + column
    fielda G_CELL
    ldloc -4                      ; row (d = 1)
    push COLUMNS
    mul
    ldloc -4                      ; column (d = 2)
    add
    store
    ldglobals
    fielda G_TYPE
    push 0
    call cell_address, plain
    deref
    store
    ldglobals
    fielda G_TYPE
    deref
    jz hc_done
    ldglobals
    fielda G_HIT_COUNT
    incm
    ldglobals
    fielda G_TYPE
    deref
    push 8
    eq
    jz hc_break
    push 0                        ; silver: cracked
    call cell_address, plain
    push 9
    store
    push 10
    call add_score, plain
    push G_SND_SILVER
    call play, plain
hc_done:
    ret 0, 3
hc_break:
    push 0
    call cell_address, plain
    storez
    ldglobals
    fielda G_BRICKS_LEFT
    decm
    ldglobals                     ; a cracked silver brick scores 100
    fielda G_TYPE
    deref
    push 9
    eq
    jz hc_row_points
    push 100
    jmp hc_score
hc_row_points:                    ; any other 10 a row from the bottom
    push ROWS
    ldglobals
    fielda G_ROW
    deref
    sub
    push 10
    mul
hc_score:
    call add_score, plain
    push G_SND_BRICK
    call play, plain
    call speed_up, plain
    call maybe_capsule, plain
    ldglobals                     ; the last one: the level is cleared
    fielda G_BRICKS_LEFT
    deref
    jz hc_cleared
    ret 0, 3
hc_cleared:
    ldglobals
    fielda G_STATE
    push S_CLEARED
    store
    ldglobals
    fielda G_TICKS
    storez
    ldglobals
    fielda G_CAPSULE
    storez
    push 500
    call add_score, plain
    push G_SND_LEVEL
    call play, plain
    ret 0, 3

add_score:                        ; [points][ret]
    ldglobals
    fielda G_SCORE
    ldloc -3                      ; points
    addm
    ldglobals
    fielda G_SCORE
    deref
    ldglobals
    fielda G_HISCORE
    deref
    gt
    jz as_done
    ldglobals
    fielda G_HISCORE
    ldglobals
    fielda G_SCORE
    deref
    store
    ldglobals
    fielda G_NEW_RECORD
    push 1
    store
as_done:
    ret 0, 2

; Every eighth brick broken, the ball goes a little faster.
speed_up:                         ; [ret]
    ldglobals
    fielda G_HITS
    incm
    ldglobals
    fielda G_HITS
    deref
    push 8
    rem
    jz su_faster
    ret 0, 1
su_faster:
    ldglobals
    fielda G_SPEED
    deref
    push SPEED_MAX
    lt
    jz su_done
    ldglobals
    fielda G_SPEED
    deref
    push 64
    add
    call set_speed, plain
su_done:
    ret 0, 1

; A new speed for the ball, keeping its direction.
set_speed:                        ; [speed][ret]
    ldglobals                     ; G_A4: the old speed
    fielda G_A4
    ldglobals
    fielda G_SPEED
    deref
    store
    ldglobals
    fielda G_SPEED
    ldloc -3                      ; speed
    store
    ldglobals
    fielda G_STATE
    deref
    push S_PLAY
    eq
    jz ss_done
    ldglobals                     ; G_J: whether it was going down
    fielda G_J
    ldglobals
    fielda G_BALL_VY
    deref
    push 0
    gt
    store
    ldglobals
    fielda G_BALL_VX
    deref
    ldglobals
    fielda G_SPEED
    deref
    mul
    ldglobals
    fielda G_A4
    deref
    div
    call aim, plain
    ldglobals
    fielda G_J
    deref
    jz ss_done
    ldglobals
    fielda G_BALL_VY
    ldglobals
    fielda G_BALL_VY
    deref
    neg
    store
ss_done:
    ret 0, 2

; One broken brick in six drops a capsule, unless one is falling.
maybe_capsule:                    ; [ret]
    ldglobals
    fielda G_CAPSULE
    deref
    jz mc_roll
    ret 0, 1
mc_roll:
    push 0
    push 6
    call rand, plain
    jz mc_drop
    ret 0, 1
mc_drop:
    ldglobals
    fielda G_CAPSULE
    push 0
    push 3
    call rand, plain
    push 1
    add
    store
    ldglobals                     ; from the brick's middle
    fielda G_CAPSULE_X
    ldglobals
    fielda G_CELL
    deref
    push COLUMNS
    rem
    push CELL_W
    mul
    push 28                       ; FIELD_LEFT + (CELL_W - 40) / 2
    add
    store
    ldglobals
    fielda G_CAPSULE_Y
    ldglobals
    fielda G_ROW
    deref
    push CELL_H
    mul
    push 100                      ; BRICKS_TOP + 4
    add
    store
    ret 0, 1

; The capsule falls; the paddle catches it.
step_capsule:                     ; [ret]
    ldglobals
    fielda G_CAPSULE
    deref
    jz sc_done
    ldglobals
    fielda G_CAPSULE_Y
    push 2
    addm
    ldglobals
    fielda G_CAPSULE_Y
    deref
    push FIELD_BOTTOM
    gt
    jz sc_catch
    ldglobals
    fielda G_CAPSULE
    storez
    ret 0, 1
sc_catch:
    ldglobals                     ; reaches the paddle's top,
    fielda G_CAPSULE_Y
    deref
    push 16
    add
    push PADDLE_Y
    ge
    ldglobals                     ; not yet below it,
    fielda G_CAPSULE_Y
    deref
    push PADDLE_Y
    push PADDLE_H
    add
    le
    land
    ldglobals                     ; and overlaps it across
    fielda G_CAPSULE_X
    deref
    push 40
    add
    ldglobals
    fielda G_PADDLE_X
    deref
    gt
    land
    ldglobals
    fielda G_CAPSULE_X
    deref
    ldglobals
    fielda G_PADDLE_X
    deref
    ldglobals
    fielda G_PADDLE_W
    deref
    add
    lt
    land
    jz sc_done
    ldglobals                     ; caught: G_A4 is its kind
    fielda G_A4
    ldglobals
    fielda G_CAPSULE
    deref
    store
    ldglobals
    fielda G_CAPSULE
    storez
    push 50
    call add_score, plain
    push G_SND_POWER
    call play, plain
    ldglobals
    fielda G_A4
    deref
    push C_EXPAND
    eq
    jz sc_not_expand
    ldglobals                     ; a wide paddle, grown about its middle
    fielda G_PADDLE_W
    deref
    push PADDLE_NARROW
    eq
    jz sc_done
    ldglobals
    fielda G_PADDLE_W
    push PADDLE_WIDE
    store
    ldglobals
    fielda G_PADDLE_X
    push 24
    subm
    call clamp_paddle, plain
    ret 0, 1
sc_not_expand:
    ldglobals
    fielda G_A4
    deref
    push C_SLOW
    eq
    jz sc_life
    push SPEED_START
    call set_speed, plain
    ret 0, 1
sc_life:
    ldglobals
    fielda G_LIVES
    deref
    push LIVES_MAX
    lt
    jz sc_done
    ldglobals
    fielda G_LIVES
    incm
sc_done:
    ret 0, 1

; ---------------------------------------------------------------------------
; Keys and the pointer
; ---------------------------------------------------------------------------
on_key_pressed:                   ; [application][key event][ret]
    ldglobals
    fielda G_A0
    ldloca -3                     ; the key event's slot
    native KeyEvent.key_code
    store
    ldglobals
    fielda G_A0
    deref
    dup
    push K_LEFT
    eq
    ldloc -2                      ; the code
    push K_A
    eq
    lor
    jz kp_not_left
    adjsp -1
    ldglobals
    fielda G_KEYS
    push 1
    orm
    ret 0, 3
kp_not_left:
    dup
    push K_RIGHT
    eq
    ldloc -2
    push K_D
    eq
    lor
    jz kp_not_right
    adjsp -1
    ldglobals
    fielda G_KEYS
    push 2
    orm
    ret 0, 3
kp_not_right:
    dup
    push K_SPACE
    eq
    ldloc -2
    push K_RETURN
    eq
    lor
    jz kp_not_action
    adjsp -1
    call action, plain
    ret 0, 3
kp_not_action:
    dup
    push K_P
    eq
    jz kp_not_pause
    adjsp -1
    call toggle_pause, plain
    ret 0, 3
kp_not_pause:
    dup
    push K_M
    eq
    jz kp_not_sound
    adjsp -1
    call toggle_sound, plain
    ret 0, 3
kp_not_sound:
    dup
    push K_BACKSPACE
    eq
    jz kp_not_give_up
    adjsp -1
    call give_up, plain
    ret 0, 3
kp_not_give_up:
    push K_Q                      ; Q quits from the title screen
    eq
    ldglobals
    fielda G_STATE
    deref
    push S_TITLE
    eq
    land
    jz kp_done
    native System.exit
kp_done:
    ret 0, 3

on_key_released:                  ; [application][key event][ret]
    ldglobals
    fielda G_A0
    ldloca -3
    native KeyEvent.key_code
    store
    ldglobals
    fielda G_A0
    deref
    dup
    push K_LEFT
    eq
    ldloc -2
    push K_A
    eq
    lor
    jz kr_not_left
    adjsp -1
    ldglobals
    fielda G_KEYS
    push -2                       ; all bits but bit 0
    andm
    ret 0, 3
kr_not_left:
    dup
    push K_RIGHT
    eq
    ldloc -2
    push K_D
    eq
    lor
    jz kr_done
    adjsp -1
    ldglobals
    fielda G_KEYS
    push -3                       ; all bits but bit 1
    andm
    ret 0, 3
kr_done:
    adjsp -1
    ret 0, 3

; Kinds: 0 pressed, 1 released, 6 moved while pressed. A press acts as Space.
on_pointer:                       ; [application][kind][x][y][modifiers][ret]
    ldloc -5                      ; kind
    jz pt_pressed
    ldloc -5
    push 1
    eq
    jz pt_moved
    ldglobals
    fielda G_POINTER
    storez
    ret 0, 6
pt_moved:
    ldglobals
    fielda G_POINTER
    deref
    jz pt_done
    ldglobals
    fielda G_POINTER_X
    ldloc -5                      ; x (d = 1)
    store
pt_done:
    ret 0, 6
pt_pressed:
    ldglobals
    fielda G_POINTER
    push 1
    store
    ldglobals
    fielda G_POINTER_X
    ldloc -5                      ; x (d = 1)
    store
    call action, plain
    ret 0, 6

; Space, Return or a press: start, launch, resume, or leave the end of a game.
action:                           ; [ret]
    ldglobals
    fielda G_STATE
    deref
    dup
    push S_TITLE
    eq
    jz ac_not_title
    adjsp -1
    call new_game, plain
    ret 0, 1
ac_not_title:
    dup
    push S_SERVE
    eq
    jz ac_not_serve
    adjsp -1
    call launch, plain
    ret 0, 1
ac_not_serve:
    dup
    push S_PAUSED
    eq
    jz ac_not_paused
    adjsp -1
    call toggle_pause, plain
    ret 0, 1
ac_not_paused:
    push S_OVER                   ; the end of a game, shown for half a second at least
    eq
    ldglobals
    fielda G_TICKS
    deref
    push 25
    ge
    land
    jz ac_done
    call enter_title, plain
ac_done:
    ret 0, 1

; Backspace: the game in progress ends (its score counts).
give_up:                          ; [ret]
    push 0
    call in_game, plain
    ldglobals
    fielda G_STATE
    deref
    push S_PAUSED
    eq
    lor
    jz gu_done
    call game_over, plain
gu_done:
    ret 0, 1

; The window went to the background: a game in progress pauses.
on_background:                    ; [application][ret]
    push 0
    call in_game, plain
    jz bg_done
    call toggle_pause, plain
bg_done:
    ret 0, 2

; ---------------------------------------------------------------------------
; Drawing
; ---------------------------------------------------------------------------
.string s_score "SCORE "
.string s_hi "HI "
.string s_level "LEVEL "
.string s_clear " CLEAR"
.string s_launch "SPACE OR CLICK TO LAUNCH"
.string s_paused "PAUSED"
.string s_go_on "P OR SPACE TO GO ON"
.string s_game_over "GAME OVER"
.string s_record "NEW HIGH SCORE!"
.string s_to_title "SPACE OR CLICK FOR THE TITLE"
.string s_sound_off "SOUND OFF"
.string s_high_score "HIGH SCORE "
.string s_press "PRESS SPACE OR CLICK TO PLAY"
.string s_help1 "ARROWS OR POINTER: MOVE    SPACE OR CLICK: LAUNCH"
.string s_help2 "P: PAUSE    M: SOUND    BACKSPACE: GIVE UP    Q: QUIT"
.string s_made "BITMAPS, FONT AND SOUNDS MADE AT RUN TIME"

on_draw:                          ; [application][canvas][ret]
    ldglobals
    fielda G_CANVAS
    ldloc -3                      ; the canvas
    store
    ldglobals
    fielda G_STATE
    deref
    push S_TITLE
    eq
    jz dr_game
    ldglobals
    fielda G_FRAME
    incm
    call draw_title, plain
    jmp dr_done
dr_game:
    call draw_game, plain
dr_done:
    ldglobals                     ; the canvas lives for this frame only
    fielda G_CANVAS
    storez
    ret 0, 3

; Text in a font whose cell is in global `slot`, its box's top left at (x, y).
text_at:                          ; [text][x][y][colour][slot][ret]
    ldglobals
    fielda G_CANVAS
    ldloc -7                      ; text (d = 1)
    ldloc -7                      ; x (d = 2)
    ldloc -7                      ; y (d = 3)
    ldloc -7                      ; colour (d = 4)
    ldglobals
    ldloc -8                      ; slot (d = 6)
    push 4
    mul
    add
    deref
    native Graphics.draw_string
    ret 0, 6

; Text centred across the screen.
text_centre:                      ; [text][y][colour][slot][ret]
    ldglobals
    fielda G_CANVAS
    ldloc -6                      ; text (d = 1)
    push 800
    ldglobals
    ldloc -6                      ; slot (d = 4)
    push 4
    mul
    add
    deref
    ldloc -9                      ; text (d = 4)
    native Font.string_width
    sub
    push 2
    div                           ; x = (800 - width) / 2
    ldloc -7                      ; y (d = 3)
    ldloc -7                      ; colour (d = 4)
    ldglobals
    ldloc -8                      ; slot (d = 6)
    push 4
    mul
    add
    deref
    native Graphics.draw_string
    ret 0, 5

; The bitmap in global `slot` at (x, y).
blit:                             ; [slot][x][y][ret]
    ldglobals
    fielda G_CANVAS
    ldglobals
    ldloc -6                      ; slot (d = 2)
    push 4
    mul
    add
    ldloc -5                      ; x (d = 2)
    ldloc -5                      ; y (d = 3)
    push 255
    native Graphics.draw_bitmap_at
    ret 0, 4

; Tiles the bitmap in global `slot` over a rectangle.
tile:                             ; [slot][x][y][width][height][ret]
    ldglobals
    fielda G_CANVAS
    ldglobals
    ldloc -8                      ; slot (d = 2)
    push 4
    mul
    add
    ldloc -7                      ; x (d = 2)
    ldloc -7                      ; y (d = 3)
    ldloc -7                      ; width (d = 4)
    ldloc -7                      ; height (d = 5)
    push 0                        ; the tiles start at the rectangle's corner
    push 0
    push 255
    native Graphics.draw_tiled
    ret 0, 6

; --- the title screen: animated by painted frames ----------------------------
draw_title:                       ; [ret]
    push G_BMP_BG
    push 0
    push 0
    push 800
    push 480
    call tile, plain
    ldglobals                     ; G_K: the logo's scale in 1/256, 368 to 398
    fielda G_K
    ldglobals                     ; a triangle wave over 120 frames: 0 to 60 and back
    fielda G_FRAME
    deref
    push 120
    rem
    dup
    push 60
    gt
    jz dt_rising
    neg
    push 120
    add
dt_rising:
    push 2
    div
    push 368
    add
    store
    ldglobals                     ; the logo, scaled about its middle
    fielda G_CANVAS
    ldglobals
    fielda G_BMP_LOGO
    push 400
    push 118
    push 0                        ; angle 0
    push 0
    push 0                        ; scale x
    push 0
    ldglobals
    fielda G_K
    deref
    call fixed_256, plain
    push 0                        ; scale y
    push 0
    ldglobals
    fielda G_K
    deref
    call fixed_256, plain
    push 255
    native Graphics.draw_transformed
    ldglobals                     ; a row of bricks, bobbing
    fielda G_I
    storez
dt_brick:
    ldglobals
    fielda G_I
    deref
    push COLUMNS
    lt
    jz dt_texts
    ldglobals                     ; brick type i mod 7 + 1
    fielda G_I
    deref
    push 7
    rem
    push 1
    add
    push G_BMP_BRICK
    add
    ldglobals                     ; x
    fielda G_I
    deref
    push CELL_W
    mul
    push 17
    add
    ldglobals                     ; y: 196 + a triangle wave of 0 to 8
    fielda G_FRAME
    deref
    push 2
    mul
    ldglobals
    fielda G_I
    deref
    push 6
    mul
    add
    push 48
    rem
    dup
    push 24
    gt
    jz dt_bob
    neg
    push 48
    add
dt_bob:
    push 3
    div
    push 196
    add
    call blit, plain
    ldglobals
    fielda G_I
    incm
    jmp dt_brick
dt_texts:
    ldstr s_high_score
    push 0
    ldglobals
    fielda G_HISCORE
    deref
    push 6
    call number_text, plain
    native String.concat
    push 262
    push GOLD
    push G_FONT_M
    call text_centre, plain
    ldglobals                     ; blinking: shown 40 frames of 60
    fielda G_FRAME
    deref
    push 60
    rem
    push 40
    lt
    jz dt_help
    ldstr s_press
    push 312
    push WHITE
    push G_FONT_M
    call text_centre, plain
dt_help:
    ldstr s_help1
    push 372
    push SKY
    push G_FONT_S
    call text_centre, plain
    ldstr s_help2
    push 396
    push SKY
    push G_FONT_S
    call text_centre, plain
    ldstr s_made
    push 448
    push DIM
    push G_FONT_S
    call text_centre, plain
    ret 0, 1

; The fixed-point number v / 256: two words, the fraction word first.
fixed_256:                        ; [low][high][v][ret]
    ldloca -4                     ; low: the lowest 8 bits of v, at the top of the fraction
    ldloc -3                      ; v (d = 1)
    push 255
    and
    push 24
    shl
    store
    ldloca -3                     ; high: the whole part
    ldloc -3                      ; v (d = 1)
    push 8
    shr
    store
    ret 0, 2

; --- the game ------------------------------------------------------------------
draw_game:                        ; [ret]
    push G_BMP_BG                 ; the field, walls and the score bar
    push FIELD_LEFT
    push FIELD_TOP
    push 768
    push 424
    call tile, plain
    push G_BMP_WALL
    push 0
    push 40
    push FIELD_LEFT
    push 440
    call tile, plain
    push G_BMP_WALL
    push FIELD_RIGHT
    push 40
    push FIELD_LEFT
    push 440
    call tile, plain
    push G_BMP_WALL
    push FIELD_LEFT
    push 40
    push 768
    push FIELD_LEFT
    call tile, plain
    ldglobals
    fielda G_CANVAS
    push 0
    push 0
    push 800
    push 40
    push BLACK
    native Graphics.fill_rect
    call draw_bricks, plain
    ldglobals                     ; a falling capsule
    fielda G_CAPSULE
    deref
    jz dg_paddle
    ldglobals
    fielda G_CAPSULE
    deref
    push G_BMP_CAPSULE
    add
    ldglobals
    fielda G_CAPSULE_X
    deref
    ldglobals
    fielda G_CAPSULE_Y
    deref
    call blit, plain
dg_paddle:
    push G_BMP_PADDLE
    ldglobals
    fielda G_PADDLE_W
    deref
    push PADDLE_WIDE
    eq
    jz dg_narrow
    adjsp -1
    push G_BMP_WIDE
dg_narrow:
    ldglobals
    fielda G_PADDLE_X
    deref
    push PADDLE_Y
    call blit, plain
    ldglobals                     ; the ball, unless the level or the game is over
    fielda G_STATE
    deref
    push S_CLEARED
    ge
    jz dg_ball
    jmp dg_hud
dg_ball:
    push G_BMP_BALL
    ldglobals
    fielda G_BALL_X
    deref
    push 8
    shr
    ldglobals
    fielda G_BALL_Y
    deref
    push 8
    shr
    call blit, plain
dg_hud:
    call draw_hud, plain
    call draw_message, plain
    ret 0, 1

draw_bricks:                      ; [ret]
    ldglobals
    fielda G_CELL
    storez
db_cell:
    ldglobals
    fielda G_CELL
    deref
    push CELLS
    lt
    jz db_done
    push 0
    call cell_address, plain
    deref
    dup
    jz db_empty
    push G_BMP_BRICK
    add
    ldglobals                     ; x: 17 + column * 64
    fielda G_CELL
    deref
    push COLUMNS
    rem
    push CELL_W
    mul
    push 17
    add
    ldglobals                     ; y: 97 + row * 24
    fielda G_CELL
    deref
    push COLUMNS
    div
    push CELL_H
    mul
    push 97
    add
    call blit, plain
    jmp db_next
db_empty:
    adjsp -1
db_next:
    ldglobals
    fielda G_CELL
    incm
    jmp db_cell
db_done:
    ret 0, 1

; Score, high score, level and the lives left.
draw_hud:                         ; [ret]
    ldstr s_score
    push 0
    ldglobals
    fielda G_SCORE
    deref
    push 6
    call number_text, plain
    native String.concat
    push 16
    push 10
    push WHITE
    push G_FONT_M
    call text_at, plain
    ldstr s_hi
    push 0
    ldglobals
    fielda G_HISCORE
    deref
    push 6
    call number_text, plain
    native String.concat
    push 284
    push 10
    push GOLD
    push G_FONT_M
    call text_at, plain
    ldstr s_level
    ldglobals
    fielda G_LEVEL
    deref
    itos
    native String.concat
    push 488
    push 10
    push SKY
    push G_FONT_M
    call text_at, plain
    ldglobals
    fielda G_I
    storez
dh_life:
    ldglobals
    fielda G_I
    deref
    ldglobals
    fielda G_LIVES
    deref
    lt
    jz dh_sound
    push G_BMP_LIFE
    ldglobals
    fielda G_I
    deref
    push 28
    mul
    push 652
    add
    push 17
    call blit, plain
    ldglobals
    fielda G_I
    incm
    jmp dh_life
dh_sound:
    ldglobals
    fielda G_MUTED
    deref
    jz dh_done
    ldstr s_sound_off
    push 24
    push 462
    push DIM
    push G_FONT_S
    call text_at, plain
dh_done:
    ret 0, 1

; What the state says over the field.
draw_message:                     ; [ret]
    ldglobals
    fielda G_STATE
    deref
    dup
    push S_SERVE
    eq
    jz dm_not_serve
    adjsp -1
    ldstr s_launch
    push 330
    push WHITE
    push G_FONT_S
    call text_centre, plain
    ret 0, 1
dm_not_serve:
    dup
    push S_PAUSED
    eq
    jz dm_not_paused
    adjsp -1
    call shade_field, plain
    ldstr s_paused
    push 200
    push WHITE
    push G_FONT_L
    call text_centre, plain
    ldstr s_go_on
    push 270
    push SKY
    push G_FONT_M
    call text_centre, plain
    ret 0, 1
dm_not_paused:
    dup
    push S_CLEARED
    eq
    jz dm_not_cleared
    adjsp -1
    ldstr s_level
    ldglobals
    fielda G_LEVEL
    deref
    itos
    native String.concat
    dup
    ldstr s_clear
    native String.append
    push 220
    push GOLD
    push G_FONT_L
    call text_centre, plain
    ret 0, 1
dm_not_cleared:
    push S_OVER
    eq
    jz dm_done
    call shade_field, plain
    ldstr s_game_over
    push 180
    push 0xFFFF6060
    push G_FONT_L
    call text_centre, plain
    ldglobals
    fielda G_NEW_RECORD
    deref
    jz dm_title
    ldstr s_record
    push 250
    push GOLD
    push G_FONT_M
    call text_centre, plain
dm_title:
    ldglobals
    fielda G_TICKS
    deref
    push 25
    lt
    jz dm_to_title
    ret 0, 1
dm_to_title:
    ldstr s_to_title
    push 300
    push SKY
    push G_FONT_S
    call text_centre, plain
dm_done:
    ret 0, 1

shade_field:                      ; [ret]
    ldglobals
    fielda G_CANVAS
    push FIELD_LEFT
    push FIELD_TOP
    push 768
    push 424
    push SHADE
    native Graphics.fill_rect
    ret 0, 1
