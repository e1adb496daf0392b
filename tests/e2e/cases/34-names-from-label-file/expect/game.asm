zp    = $0080
portb = $d301 ; port B
scales= $0230 ; scale table

	opt h-

;--------------------------
	org $0400
;--------------------------

	sta PORTB
	lda ZP
	lda SCALES
	lda #$80
	sta PB2+1
	lda MARKED
	rts




















































































































