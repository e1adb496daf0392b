	opt h-

;--------------------------
	org $2000
;--------------------------

	ldx #$00
E_2002	lda Loop,x
	beq E_200D
	jsr E_200D

	inx
	bne E_2002
E_200D	rts

	rts

	nop
Loop	sta $D400
	jmp Loop
















































































































