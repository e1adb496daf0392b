; Three layers at the same addresses: a title program run through INITAD, the game loaded over
; it with the run address, and level routines loaded over the game's buffer afterwards, which
; the run routine calls. A level routine calls back into the game.
        .export title, start

RTCLOK  = $0012
SDLSTL  = $0230
CH      = $02FC
COLOR2  = $02C6
AUDF1   = $D200
AUDC1   = $D201
CONSOL  = $D01F

        .segment "TITLE"
title:  lda #<tdlist
        sta SDLSTL
        lda #>tdlist
        sta SDLSTL+1
        lda #$FF
        sta CH
@key:   lda CONSOL
        and #1
        beq @go
        lda CH
        cmp #$FF
        beq @key
@go:    rts
tdlist: .byte $70,$70,$70,$47
        .word ttext
        .byte $70,$02,$41
        .word tdlist
ttext:  .byte "  ELECTROTRAINS     "
        .byte " press start or any key to begin        "

        .segment "GAME"
start:  jsr init
main:   jsr level
        jsr sound
        lda RTCLOK+2
@tick:  cmp RTCLOK+2
        beq @tick
        dec timer
        bne main
        jsr bonus
        jmp start
init:   lda #0
        sta timer
        sta score
        sta score+1
        ldx #7
@clr:   sta track,x
        dex
        bpl @clr
        rts
sound:  ldx voice
        lda notes,x
        sta AUDF1
        lda #$A8
        sta AUDC1
        inx
        cpx #8
        bcc @keep
        ldx #0
@keep:  stx voice
        rts
addscore: sed
        clc
        adc score
        sta score
        lda score+1
        adc #0
        sta score+1
        cld
        rts
notes:  .byte 121, 108, 96, 91, 81, 72, 64, 60
timer:  .byte 0
voice:  .byte 0
score:  .word 0
track:  .res 8, 0

        .segment "BUFFER"
buffer: .res 64, 0

        .segment "LEVEL"
level:  lda track
        clc
        adc #1
        and #7
        sta track
        tax
        lda colors,x
        sta COLOR2
        lda #$05
        jsr addscore
        rts
bonus:  ldx #0
@next:  lda track,x
        beq @skip
        lda #$10
        jsr addscore
@skip:  inx
        cpx #8
        bne @next
        rts
colors: .byte $04, $14, $24, $34, $44, $54, $64, $74
