casini= $0002 ; cassette boot initialisation vector
warmst= $0008 ; warm start flag
bootq = $0009 ; successful boot flags
dosvec= $000a ; DOS start vector
dosini= $000c ; DOS initialisation vector
appmhi= $000e ; highest address used by the application
pokmsk= $0010 ; POKEY interrupt mask
brkkey= $0011 ; BREAK key flag
rtclok= $0012 ; real-time clock, three bytes
critic= $0042 ; critical section flag
atract= $004d ; attract mode timer
lmargn= $0052 ; left margin
rmargn= $0053 ; right margin
rowcrs= $0054 ; cursor row
colcrs= $0055 ; cursor column, two bytes
dindex= $0057 ; display mode
savmsc= $0058 ; screen memory address
ramtop= $006a ; top of RAM in pages
fr0   = $00d4 ; floating point register 0
fr1   = $00e0 ; floating point register 1
flptr = $00fc ; floating point pointer
vdslst= $0200 ; display list interrupt vector
vprced= $0202 ; serial proceed vector
vinter= $0204 ; serial interrupt vector
vbreak= $0206 ; BRK instruction vector
vkeybd= $0208 ; keyboard interrupt vector
vserin= $020a ; serial input ready vector
vseror= $020c ; serial output needed vector
vseoc = $020e ; serial output complete vector
vtimr1= $0210 ; POKEY timer 1 vector
vtimr2= $0212 ; POKEY timer 2 vector
vtimr4= $0214 ; POKEY timer 4 vector
vimirq= $0216 ; immediate IRQ vector
cdtmv1= $0218 ; countdown timer 1
cdtmv2= $021a ; countdown timer 2
cdtmv3= $021c ; countdown timer 3
cdtmv4= $021e ; countdown timer 4
cdtmv5= $0220 ; countdown timer 5
vvblki= $0222 ; immediate vertical blank vector
vvblkd= $0224 ; deferred vertical blank vector
cdtma1= $0226 ; timer 1 jump address
cdtma2= $0228 ; timer 2 jump address
cdtmf3= $022a ; timer 3 flag
srtimr= $022b ; key repeat timer
cdtmf4= $022c ; timer 4 flag
intemp= $022d ; interrupt handler scratch byte
cdtmf5= $022e ; timer 5 flag
sdmctl= $022f ; shadow of dmactl
sdlstl= $0230 ; shadow of dlistl
sdlsth= $0231 ; shadow of dlisth
sskctl= $0232 ; shadow of skctl
lpenh = $0234 ; shadow of penh
lpenv = $0235 ; shadow of penv
brkky = $0236 ; BREAK key interrupt vector
coldst= $0244 ; cold start flag
gprior= $026f ; shadow of prior
paddl0= $0270 ; paddle 0
paddl1= $0271 ; paddle 1
paddl2= $0272 ; paddle 2
paddl3= $0273 ; paddle 3
paddl4= $0274 ; paddle 4
paddl5= $0275 ; paddle 5
paddl6= $0276 ; paddle 6
paddl7= $0277 ; paddle 7
stick0= $0278 ; joystick 0
stick1= $0279 ; joystick 1
stick2= $027a ; joystick 2
stick3= $027b ; joystick 3
ptrig0= $027c ; paddle trigger 0
ptrig1= $027d ; paddle trigger 1
ptrig2= $027e ; paddle trigger 2
ptrig3= $027f ; paddle trigger 3
ptrig4= $0280 ; paddle trigger 4
ptrig5= $0281 ; paddle trigger 5
ptrig6= $0282 ; paddle trigger 6
ptrig7= $0283 ; paddle trigger 7
strig0= $0284 ; joystick trigger 0
strig1= $0285 ; joystick trigger 1
strig2= $0286 ; joystick trigger 2
strig3= $0287 ; joystick trigger 3
txtrow= $0290 ; text window cursor row
txtcol= $0291 ; text window cursor column
shflok= $02be ; shift and control lock
pcolr0= $02c0 ; shadow of colpm0
pcolr1= $02c1 ; shadow of colpm1
pcolr2= $02c2 ; shadow of colpm2
pcolr3= $02c3 ; shadow of colpm3
color0= $02c4 ; shadow of colpf0
color1= $02c5 ; shadow of colpf1
color2= $02c6 ; shadow of colpf2
color3= $02c7 ; shadow of colpf3
color4= $02c8 ; shadow of colbk
runad = $02e0 ; run address of a load file
initad= $02e2 ; init address of a load-file segment
memtop= $02e5 ; top of free memory
memlo = $02e7 ; bottom of free memory
dvstat= $02ea ; device status, four bytes
crsinh= $02f0 ; cursor inhibit
keydel= $02f1 ; key debounce delay
chact = $02f3 ; shadow of chactl
chbas = $02f4 ; shadow of chbase
atachr= $02fb ; last character read or written
ch    = $02fc ; last key pressed
fildat= $02fd ; fill colour
dspflg= $02fe ; display control characters flag
ssflag= $02ff ; screen scroll stop flag
ddevic= $0300 ; device bus id
dunit = $0301 ; unit number
dcomnd= $0302 ; command
dstats= $0303 ; status and direction
dbuflo= $0304 ; buffer address, low
dbufhi= $0305 ; buffer address, high
dtimlo= $0306 ; time-out
dbytlo= $0308 ; byte count, low
dbythi= $0309 ; byte count, high
daux1 = $030a ; auxiliary byte 1
daux2 = $030b ; auxiliary byte 2
hatabs= $031a ; handler address table
ichid = $0340 ; handler id
ichno = $0341 ; device number
iccom = $0342 ; command
icsta = $0343 ; status
icbal = $0344 ; buffer address, low
icbah = $0345 ; buffer address, high
icptl = $0346 ; put byte routine, low
icpth = $0347 ; put byte routine, high
icbll = $0348 ; buffer length, low
icblh = $0349 ; buffer length, high
icax1 = $034a ; auxiliary byte 1
icax2 = $034b ; auxiliary byte 2
hposp0= $d000 ; (w) horizontal position of player 0
m0pf  = $d000 ; (r) missile 0 to playfield collisions
hposp1= $d001 ; (w) horizontal position of player 1
m1pf  = $d001 ; (r) missile 1 to playfield collisions
hposp2= $d002 ; (w) horizontal position of player 2
m2pf  = $d002 ; (r) missile 2 to playfield collisions
hposp3= $d003 ; (w) horizontal position of player 3
m3pf  = $d003 ; (r) missile 3 to playfield collisions
hposm0= $d004 ; (w) horizontal position of missile 0
p0pf  = $d004 ; (r) player 0 to playfield collisions
hposm1= $d005 ; (w) horizontal position of missile 1
p1pf  = $d005 ; (r) player 1 to playfield collisions
hposm2= $d006 ; (w) horizontal position of missile 2
p2pf  = $d006 ; (r) player 2 to playfield collisions
hposm3= $d007 ; (w) horizontal position of missile 3
p3pf  = $d007 ; (r) player 3 to playfield collisions
sizep0= $d008 ; (w) width of player 0
m0pl  = $d008 ; (r) missile 0 to player collisions
sizep1= $d009 ; (w) width of player 1
m1pl  = $d009 ; (r) missile 1 to player collisions
sizep2= $d00a ; (w) width of player 2
m2pl  = $d00a ; (r) missile 2 to player collisions
sizep3= $d00b ; (w) width of player 3
m3pl  = $d00b ; (r) missile 3 to player collisions
sizem = $d00c ; (w) width of the missiles
p0pl  = $d00c ; (r) player 0 to player collisions
grafp0= $d00d ; (w) graphics of player 0
p1pl  = $d00d ; (r) player 1 to player collisions
grafp1= $d00e ; (w) graphics of player 1
p2pl  = $d00e ; (r) player 2 to player collisions
grafp2= $d00f ; (w) graphics of player 2
p3pl  = $d00f ; (r) player 3 to player collisions
grafp3= $d010 ; (w) graphics of player 3
trig0 = $d010 ; (r) joystick trigger 0
grafm = $d011 ; (w) graphics of the missiles
trig1 = $d011 ; (r) joystick trigger 1
colpm0= $d012 ; (w) colour of player and missile 0
trig2 = $d012 ; (r) joystick trigger 2
colpm1= $d013 ; (w) colour of player and missile 1
trig3 = $d013 ; (r) joystick trigger 3
colpm2= $d014 ; (w) colour of player and missile 2
pal   = $d014 ; (r) video standard
colpm3= $d015 ; colour of player and missile 3
colpf0= $d016 ; playfield colour 0
colpf1= $d017 ; playfield colour 1
colpf2= $d018 ; playfield colour 2
colpf3= $d019 ; playfield colour 3
colbk = $d01a ; background colour
prior = $d01b ; priority control
vdelay= $d01c ; vertical delay
gractl= $d01d ; graphics control
hitclr= $d01e ; clear collisions
consol= $d01f ; console keys and speaker
audf1 = $d200 ; (w) audio frequency 1
pot0  = $d200 ; (r) paddle 0
audc1 = $d201 ; (w) audio control 1
pot1  = $d201 ; (r) paddle 1
audf2 = $d202 ; (w) audio frequency 2
pot2  = $d202 ; (r) paddle 2
audc2 = $d203 ; (w) audio control 2
pot3  = $d203 ; (r) paddle 3
audf3 = $d204 ; (w) audio frequency 3
pot4  = $d204 ; (r) paddle 4
audc3 = $d205 ; (w) audio control 3
pot5  = $d205 ; (r) paddle 5
audf4 = $d206 ; (w) audio frequency 4
pot6  = $d206 ; (r) paddle 6
audc4 = $d207 ; (w) audio control 4
pot7  = $d207 ; (r) paddle 7
audctl= $d208 ; (w) audio control
allpot= $d208 ; (r) paddle scan status
stimer= $d209 ; (w) start timers
kbcode= $d209 ; (r) keyboard code
skres = $d20a ; (w) reset serial status
random= $d20a ; (r) random number
potgo = $d20b ; start paddle scan
serout= $d20d ; (w) serial output
serin = $d20d ; (r) serial input
irqen = $d20e ; (w) interrupt enable
irqst = $d20e ; (r) interrupt status
skctl = $d20f ; (w) serial and keyboard control
skstat= $d20f ; (r) serial and keyboard status
porta = $d300 ; joystick ports
portb = $d301 ; port B: memory control on XL and XE machines
pactl = $d302 ; port A control
pbctl = $d303 ; port B control
dmactl= $d400 ; DMA control
chactl= $d401 ; character control
dlistl= $d402 ; display list address, low
dlisth= $d403 ; display list address, high
hscrol= $d404 ; horizontal fine scroll
vscrol= $d405 ; vertical fine scroll
pmbase= $d407 ; player-missile base page
chbase= $d409 ; character set base page
wsync = $d40a ; wait for horizontal sync
vcount= $d40b ; vertical line counter
penh  = $d40c ; light pen horizontal
penv  = $d40d ; light pen vertical
nmien = $d40e ; NMI enable
nmires= $d40f ; (w) NMI reset
nmist = $d40f ; (r) NMI status
ciov  = $e456 ; central input/output
siov  = $e459 ; serial input/output
setvbv= $e45c ; set a vertical blank vector or timer
sysvbv= $e45f ; system vertical blank routine
xitvbv= $e462 ; vertical blank exit
warmsv= $e474 ; warm start
coldsv= $e477 ; cold start
cartcs= $bffa ; cartridge run address
cart  = $bffc ; zero when a cartridge is present
cartfg= $bffd ; cartridge option flags
cartad= $bffe ; cartridge init address
nmivec= $fffa ; non-maskable interrupt vector
resvec= $fffc ; reset vector
irqvec= $fffe ; interrupt request vector

	opt h-

;--------------------------
	org $0400
;--------------------------

	lda #$00
	sta PORTB
	rts
























































































































