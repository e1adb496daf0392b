; One picture in several segments: a message table loaded first, code with data tables between
; its routines, a routine reached only by a jump from another segment, and a jump table
; dispatched with the return-address trick.
        .export start

ICCOM   = $0342
ICBAL   = $0344
ICBLL   = $0348
CIOV    = $E456
PORTA   = $D300

        .segment "TEXT"
messages: .byte "welcome to the test", $9B
        .byte "choose a command", $9B
        .byte "bye", $9B

        .segment "CODE1"
start:  ldx #0
        jsr print
        jsr choose
        asl a
        tax
        lda commands+1,x
        pha
        lda commands,x
        pha
        rts
commands: .word cmd_a-1, cmd_b-1, cmd_c-1
print:  lda #9
        sta ICCOM
        lda #<messages
        sta ICBAL
        lda #>messages
        sta ICBAL+1
        lda #40
        sta ICBLL
        jmp CIOV
choose: lda PORTA
        and #3
        cmp #3
        bcc @ok
        lda #0
@ok:    rts
cmd_a:  ldy #0
@loop:  lda squares,y
        sta $0600,y
        iny
        cpy #8
        bne @loop
        rts
squares: .byte 0, 1, 4, 9, 16, 25, 36, 49
cmd_b:  lda #$20
        ldx #0
@fill:  sta $0700,x
        inx
        bne @fill
        jmp cmd_c

        .segment "CODE2"
cmd_c:  lda $0600
        clc
        adc $0601
        sta $0602
        bcc @done
        inc $0603
@done:  rts
