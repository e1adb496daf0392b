; A game in six segments, as DOS loads it: a loader run through INITAD and then loaded over, a
; run routine that calls into code loaded after it at the loader's addresses, interrupt routines
; that the code installs itself, a font and a screen in segments of their own, and a second init
; routine that calls into an earlier segment.
        .export loader, start, init2

COLOR4  = $02C8
CHBAS   = $02F4
SDLSTL  = $0230
VDSLST  = $0200
VVBLKD  = $0224
STICK0  = $0278
RTCLOK  = $0012
NMIEN   = $D40E
WSYNC   = $D40A
COLPF2  = $D018
COLBK   = $D01A
SETVBV  = $E45C
XITVBV  = $E462
SYSVBV  = $E45F

        .segment "LOADER"
loader: lda #$00
        sta COLOR4
        ldx #0
@copy:  lda message,x
        beq @done
        sta $BC40,x
        inx
        bne @copy
@done:  jsr wait
        rts
wait:   lda RTCLOK+2
@same:  cmp RTCLOK+2
        beq @same
        rts
message: .byte "loading, please wait", 0

        .segment "RUNSEG"
start:  jsr setup
        lda #<vbi
        sta VVBLKD
        lda #>vbi
        sta VVBLKD+1
        ldy #<vbimm
        ldx #>vbimm
        lda #6
        jsr SETVBV
        lda #<dli
        sta VDSLST
        lda #>dli
        sta VDSLST+1
        lda #$C0
        sta NMIEN
loop:   jsr play
        jmp loop
vbi:    inc frame
        jmp XITVBV
vbimm:  lda frame
        sta COLBK
        jmp SYSVBV
dli:    pha
        lda #$34
        sta WSYNC
        sta COLPF2
        pla
        rti
frame:  .byte 0
helper: ldx #$10
@wait:  dex
        bne @wait
        rts

        .segment "FONT"
font:   .byte $00,$00,$00,$00,$00,$00,$00,$00
        .byte $00,$18,$18,$18,$18,$00,$18,$00
        .byte $00,$66,$66,$66,$00,$00,$00,$00
        .byte $00,$66,$FF,$66,$66,$FF,$66,$00
        .byte $18,$3E,$60,$3C,$06,$7C,$18,$00
        .byte $00,$66,$6C,$18,$30,$66,$46,$00
        .byte $1C,$36,$1C,$38,$6F,$66,$3B,$00
        .byte $00,$18,$18,$18,$00,$00,$00,$00
        .byte $00,$0E,$1C,$18,$18,$1C,$0E,$00
        .byte $00,$70,$38,$18,$18,$38,$70,$00
        .byte $00,$66,$3C,$FF,$3C,$66,$00,$00
        .byte $00,$18,$18,$7E,$18,$18,$00,$00
        .byte $00,$00,$00,$00,$00,$18,$18,$30
        .byte $00,$00,$00,$7E,$00,$00,$00,$00
        .byte $00,$00,$00,$00,$00,$18,$18,$00
        .byte $00,$06,$0C,$18,$30,$60,$40,$00

        .segment "SCREEN"
dlist:  .byte $70,$70,$70,$42
        .word screen
        .byte $02,$02,$02,$41
        .word dlist
screen: .byte "   score 0000     lives 3    restart    "
        .byte "      press fire to start the game      "

        .segment "MAIN"
setup:  lda #>font
        sta CHBAS
        lda #<dlist
        sta SDLSTL
        lda #>dlist
        sta SDLSTL+1
        jsr clear
        rts
clear:  ldx #0
        lda #0
@fill:  sta $0600,x
        inx
        bne @fill
        rts
play:   lda STICK0
        and #$0F
        cmp #$0F
        beq @none
        jsr move
@none:  rts
move:   inc $0600
        lda $0600
        cmp #40
        bcc @ok
        lda #0
        sta $0600
@ok:    rts
table:  .word move, clear, play
over:   .byte "game over", $9B

        .segment "INIT2"
init2:  jsr helper
        lda #1
        sta $0244
        rts
