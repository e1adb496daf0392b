rtclok= $0012 ; real-time clock
skres = $d20a ; (w) reset serial status
random= $d20a ; (r) random number

	opt h-

;--------------------------
	org $2000
;--------------------------

	aso $0080
	dop $0080
	dop $0080,x
	top $3000
	aso.w RTCLOK,x
	anx #$12
	shs $3000,y
	aso SKRES
	lax RANDOM
	isb ($80,x)
	sbx #$01
	cim














































































































