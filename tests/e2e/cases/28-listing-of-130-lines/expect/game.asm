	opt h-

;--------------------------
	org $0400
;--------------------------

	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx
	nop
	inx






























































































































