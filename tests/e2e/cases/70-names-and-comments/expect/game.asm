operand = $2003
flag = $0600

; far away
	opt h-

;--------------------------
	org $2000
;--------------------------

	lda #$00
; store the letter; it is changed later
store	sta letter
call	jsr print

; inside the lda
load	lda operand
	lda store+2
; loop here; jsr is not called again
E_200E	jmp E_200E

; first note
; second_note
print	lda flag
	rts

	dta $02
hello	dta $48,$45
; in the data
letter	dta $4C,$4C,$4F,$00















































































































