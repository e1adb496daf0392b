	opt h-
	opt c+

;--------------------------
	org $2000
;--------------------------

	stz $3000
	stz $0080
	adc ($80)
	inc
	dec
	phy
	plx
	bit #$0F
	bit $3000,x
	trb.w $0012
	dta $07,$80,$7C,$10,$20














































































































