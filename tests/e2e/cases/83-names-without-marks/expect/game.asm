skres = $d20a ; reset serial status
random= $d20a ; random number
nmires= $d40f ; NMI reset
nmist = $d40f ; NMI status
hposp0= $d000 ; horizontal position of player 0
m0pf  = $d000 ; missile 0 to playfield collisions
grafp3= $d010 ; graphics of player 3
trig0 = $d010 ; joystick trigger 0
vdslst= $0200 ; display list interrupt vector
rtclok= $0012 ; real-time clock

	opt h-

;--------------------------
	org $0400
;--------------------------

	lda SKRES
	sta SKRES
	bit NMIRES
	sta NMIRES
	inc HPOSP0
	lda HPOSP0
	lda GRAFP3
	sta GRAFP3
	jmp (SKRES)

	sta VDSLST
	sta VDSLST+1
	lda $0014
	cmp $0014
	lda $02E6
	rts












































































































