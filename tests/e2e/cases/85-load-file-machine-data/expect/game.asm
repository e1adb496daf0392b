	opt h-

; segment 1: $2000-$2025, 38 bytes
	dta a($FFFF),a($2000),a($2025)
;--------------------------
	org $2000
;--------------------------

E_2000	lda #$00
	sta $0230
	lda #$30
	sta $0231
	lda #$40
	sta $02F4
	lda #$50
	sta $D403
	lda #$00
	sta $D402
	jsr E_6000

	jsr E_7003

E_201F	jmp E_201F

	dta $00
	dta $00
	dta $00
	dta $00
; segment 2: $3000-$3084, 133 bytes
	dta a($3000),a($3084)
;--------------------------
	org $3000
;--------------------------

E_3000	dta $70,$70,$70
	dta $42,a(E_3100)
	dta $02,$02
	dta $01,a(E_3080)
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
	dta $A9
	dta $01
	dta $60
E_3080	dta $02,$02
	dta $41,a(E_3000)
; segment 3: $3100-$3177, 120 bytes
	dta a($3100),a($3177)
;--------------------------
	org $3100
;--------------------------

E_3100	dta d'  SCORE 0000                    '
	dta d'        ',d'PRESS START             '*
	dta d'                '*,d'restart the game'
	dta d'                        '
; segment 4: $4000-$400F, 16 bytes
	dta a($4000),a($400F)
;--------------------------
	org $4000
;--------------------------

E_4000	dta $00,$18,$3C,$66,$7E,$66,$66,$00,$00,$18,$3C,$66,$7E,$66,$66,$00
; segment 5: $5000-$5006, 7 bytes
	dta a($5000),a($5006)
;--------------------------
	org $5000
;--------------------------

E_5000	dta $70
	dta $47,a($3200)
	dta $41,a(E_5000)
; segment 6: $6000-$6012, 19 bytes
	dta a($6000),a($6012)
;--------------------------
	org $6000
;--------------------------

E_6000	dta $A9
	dta $01
	dta $8D
	dta $00
	dta $06
	dta $A2
	dta $00
	dta $E8
	dta $D0
	dta $FD
	dta $60
	dta $A9
	dta $02
	dta $85
	dta $80
	dta $60
E_6010	nop
	nop
	rts

; segment 7: $7000-$7005, 6 bytes
	dta a($7000),a($7005)
;--------------------------
	org $7000
;--------------------------

	dta $00
	dta $00
	dta $00
E_7003	lda #$00
	rts

; segment 8: $02E0-$02E1, 2 bytes, run address $2000
	dta a($02E0),a($02E1)
;--------------------------
	org $02E0
;--------------------------

	dta a(E_2000)

































