#!/usr/bin/python3
"""Makes the sample data that ships with Tavrin.

Run from anywhere with Debian's Python 3 and Pillow (python3-pil):

    /usr/bin/python3 data/tools/make_sample_data.py

It writes, below the repository's data/ folder:

* Files/<Publisher>/<name>.ssd  Acorn DFS single-sided disc images, each with
  a !BOOT text file (boot option 3, *EXEC) that types in a BBC BASIC program
  and runs it, a README and one file in a directory other than $; one title
  is shipped as a zip archive holding its .ssd.
* Files/<Publisher>/<name>-box.jpg and <name>.jpg  box art and a picture of
  what the program shows on a BBC Micro screen (one title has GIFs only,
  one title has no pictures at all).
* bbc.mdb  the sample catalogue: an SQLite 3 database with the BBCSoftware
  table.
* Images/  the main window's background and the two "no picture"
  placeholders (the button pictures come from make_pictures.py).

Everything is drawn here from shapes, gradients and text; random choices use
fixed seeds, so two runs give byte-identical files.
"""

import io
import math
import random
import shutil
import sqlite3
import sys
import zipfile
from pathlib import Path

from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

DATA = Path(__file__).resolve().parents[1]
REPO = DATA.parent

# ---------------------------------------------------------------------------
# Fonts (Debian: fonts-dejavu-core, fonts-urw-base35)
# ---------------------------------------------------------------------------

FONT_FILES = {
    "mono": "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",
    "mono-bold": "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf",
    "sans": "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "sans-bold": "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
    "sans-cond-bold": "/usr/share/fonts/truetype/dejavu/DejaVuSansCondensed-Bold.ttf",
    "serif-bold": "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf",
    "helv": "/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf",
    "helv-bold": "/usr/share/fonts/opentype/urw-base35/NimbusSans-Bold.otf",
    "helv-bold-italic": "/usr/share/fonts/opentype/urw-base35/NimbusSans-BoldItalic.otf",
    "narrow-bold": "/usr/share/fonts/opentype/urw-base35/NimbusSansNarrow-Bold.otf",
    "bookman-demi": "/usr/share/fonts/opentype/urw-base35/URWBookman-Demi.otf",
    "bookman-demi-italic": "/usr/share/fonts/opentype/urw-base35/URWBookman-DemiItalic.otf",
    "bookman-light": "/usr/share/fonts/opentype/urw-base35/URWBookman-Light.otf",
    "gothic-demi": "/usr/share/fonts/opentype/urw-base35/URWGothic-Demi.otf",
    "gothic-book": "/usr/share/fonts/opentype/urw-base35/URWGothic-Book.otf",
    "palatino-bold": "/usr/share/fonts/opentype/urw-base35/P052-Bold.otf",
    "palatino-italic": "/usr/share/fonts/opentype/urw-base35/P052-Italic.otf",
    "century-bold": "/usr/share/fonts/opentype/urw-base35/C059-Bold.otf",
    "century-bold-italic": "/usr/share/fonts/opentype/urw-base35/C059-BdIta.otf",
    "courier-bold": "/usr/share/fonts/opentype/urw-base35/NimbusMonoPS-Bold.otf",
    "script": "/usr/share/fonts/opentype/urw-base35/Z003-MediumItalic.otf",
}

_font_cache = {}


def font(name, size):
    key = (name, size)
    if key not in _font_cache:
        path = FONT_FILES[name]
        if not Path(path).exists():
            sys.exit(f"font file missing: {path} (install fonts-dejavu-core and fonts-urw-base35)")
        _font_cache[key] = ImageFont.truetype(path, size)
    return _font_cache[key]


# ---------------------------------------------------------------------------
# The BBC BASIC programs. Each one is typed in by its disc's !BOOT file, which
# the DFS runs with *EXEC (boot option 3): every line ends with a carriage
# return and the last line is RUN.
# ---------------------------------------------------------------------------

BASIC = {}

BASIC["abyssal"] = r'''
10 REM ABYSSAL GLOW
20 REM (C) LANTERNFISH SOFTWARE
30 MODE 7:VDU 23,1,0;0;0;0;
40 DIM E%(31),F%(31):L%=12:W%=14:X%=19:P%=0:S%=0
50 FOR I%=0 TO 1:PRINTTAB(12,6+I%)CHR$(141)CHR$(131)"ABYSSAL GLOW":NEXT
60 PRINTTAB(6,10)CHR$(134)"Steer the lanternfish down the"
70 PRINTTAB(6,11)CHR$(134)"trench. Do not touch the rock!"
80 PRINTTAB(9,14)CHR$(130)"Z = LEFT     X = RIGHT"
90 PRINTTAB(9,18)CHR$(136)CHR$(131)"PRESS SPACE TO DIVE"
100 REPEAT UNTIL GET=32
110 CLS
120 REPEAT
130 L%=L%+RND(3)-2:IF L%<1 L%=1
140 IF L%+W%>36 L%=36-W%
150 IF P% MOD 50=49 AND W%>7 W%=W%-1
160 E%(P% MOD 32)=L%:F%(P% MOD 32)=W%:P%=P%+1
170 PRINTTAB(0,24)CHR$(148);STRING$(L%-1,CHR$(255));CHR$(135);SPC(W%);CHR$(148);STRING$(37-L%-W%,CHR$(255))
180 PRINTTAB(X%-1,4)CHR$(135);"   ";
190 IF INKEY-98 X%=X%-1
200 IF INKEY-67 X%=X%+1
210 C%=FALSE:IF P%>18 Q%=(P%-19) MOD 32:IF X%-1<E%(Q%) OR X%+2>E%(Q%)+F%(Q%) C%=TRUE
220 PRINTTAB(X%-1,5)CHR$(131);"<*";CHR$(135);
230 S%=P%*2:PRINTTAB(0,0)CHR$(132);CHR$(157);CHR$(131);"DEPTH ";S%;" M";TAB(25);"ABYSSAL GLOW ";CHR$(156)
240 T%=TIME:REPEAT UNTIL TIME>T%+6
250 UNTIL C%
260 SOUND 1,-15,20,10:SOUND 1,-15,8,20
270 FOR I%=10 TO 14:PRINTTAB(8,I%)CHR$(129);CHR$(157);SPC(21);CHR$(156):NEXT
280 PRINTTAB(11,11)CHR$(131);"THE DEEP WINS!"
290 PRINTTAB(11,12)CHR$(135);"DEPTH ";S%;" METRES"
300 PRINTTAB(11,13)CHR$(130);"SPACE: DIVE AGAIN"
310 *FX15,1
320 REPEAT UNTIL GET=32
330 RUN
'''

BASIC["reef"] = r'''
10 REM REEF RUNNER
20 REM (C) LANTERNFISH SOFTWARE
30 MODE 2:VDU 23,1,0;0;0;0;
40 GCOL 0,132:CLG
50 GCOL 0,3:MOVE 0,0:MOVE 1279,0:PLOT 85,0,176:PLOT 85,1279,200
60 FOR I%=0 TO 11:GCOL 0,1+4*(I% MOD 2):MOVE I%*108+RND(60),40+RND(80):PLOT 0,24,20:PLOT 81,-48,0:NEXT
70 GCOL 0,2:FOR X%=16 TO 64 STEP 24:MOVE X%,180:FOR Y%=220 TO 900 STEP 40:DRAW X%+16*((Y% DIV 40) MOD 2),Y%:NEXT:NEXT
80 FOR X%=1200 TO 1248 STEP 24:MOVE X%,190:FOR Y%=230 TO 820 STEP 40:DRAW X%+16*((Y% DIV 40) MOD 2),Y%:NEXT:NEXT
90 C%=600:S%=0:L%=3:PROCpearl
100 REPEAT
110 O%=C%
120 IF INKEY-98 AND C%>120 C%=C%-16
130 IF INKEY-67 AND C%<1060 C%=C%+16
140 IF O%<>C% PROCbox(O%-8,216,112,52,4)
150 PROCcrab
160 PROCbox(P%,Q%,16,16,4):Q%=Q%-V%:PROCbox(P%,Q%,16,16,7)
170 IF Q%<268 AND P%+16>C% AND P%<C%+96 S%=S%+10:SOUND 1,-12,120,2:PROCbox(P%,Q%,16,16,4):PROCpearl
180 IF Q%<224 L%=L%-1:SOUND 0,-15,4,6:PROCbox(P%,Q%,16,16,4):PROCpearl
190 COLOUR 132:COLOUR 3:PRINTTAB(0,0)"PEARLS ";S%;TAB(12,0)"LIVES ";L%
200 T%=TIME:REPEAT UNTIL TIME>T%+1
210 UNTIL L%=0
220 COLOUR 1:PRINTTAB(5,12)"GAME OVER":COLOUR 7:PRINTTAB(3,15)"SPACE TO PLAY"
230 *FX15,1
240 REPEAT UNTIL GET=32
250 RUN
260 DEF PROCbox(A%,B%,W%,H%,K%):GCOL 0,K%:MOVE A%,B%:MOVE A%+W%,B%:PLOT 85,A%,B%+H%:PLOT 85,A%+W%,B%+H%:ENDPROC
270 DEF PROCcrab:PROCbox(C%,220,96,32,1):PROCbox(C%-8,236,8,16,1):PROCbox(C%+96,236,8,16,1):PROCbox(C%+16,252,8,12,7):PROCbox(C%+72,252,8,12,7):ENDPROC
280 DEF PROCpearl:P%=RND(1000)+100:Q%=940:V%=8+S% DIV 50*4:IF V%>28 V%=28
290 ENDPROC
'''

BASIC["comet"] = r'''
10 REM COMET COURIER
20 REM (C) LANTERNFISH SOFTWARE
30 MODE 1:VDU 23,1,0;0;0;0;
40 FOR I%=1 TO 90:GCOL 0,3+2*(RND(4)=1):PLOT 69,RND(1280)-1,RND(960)-1:NEXT
50 DIM X%(3),Y%(3)
60 FOR I%=1 TO 3:X%(I%)=1280+I%*420:Y%(I%)=RND(860)+60:NEXT
70 S%=500:D%=0
80 COLOUR 2:PRINTTAB(1,0)"COMET COURIER";TAB(24,0)"DISTANCE 0"
90 PROCship:FOR I%=1 TO 3:PROCcomet(I%):NEXT
100 REPEAT
110 PROCship
120 IF INKEY-73 AND S%<880 S%=S%+16
130 IF INKEY-105 AND S%>60 S%=S%-16
140 PROCship:C%=FALSE
150 FOR I%=1 TO 3:PROCcomet(I%):X%(I%)=X%(I%)-20-D% DIV 4
160 IF X%(I%)<-140 X%(I%)=1300:Y%(I%)=RND(860)+60:D%=D%+1:SOUND 1,-8,160,1
170 IF X%(I%)<150 AND X%(I%)>20 AND ABS(Y%(I%)-S%)<36 C%=TRUE
180 PROCcomet(I%):NEXT
190 COLOUR 2:PRINTTAB(24,0)"DISTANCE ";D%
200 UNTIL C%
210 SOUND 0,-15,6,20
220 COLOUR 1:PRINTTAB(15,14)"SHIP LOST!"
230 COLOUR 3:PRINTTAB(10,16)"DISTANCE ";D%;" PARSECS"
240 PRINTTAB(11,18)"PRESS SPACE TO FLY"
250 *FX15,1
260 REPEAT UNTIL GET=32
270 RUN
280 DEF PROCship:GCOL 3,2:MOVE 60,S%-28:MOVE 60,S%+28:PLOT 85,150,S%:ENDPROC
290 DEF PROCcomet(N%):GCOL 3,3:MOVE X%(N%),Y%(N%):MOVE X%(N%)+28,Y%(N%)+18:PLOT 85,X%(N%)+28,Y%(N%)-18
300 GCOL 3,1:MOVE X%(N%)+36,Y%(N%)+8:DRAW X%(N%)+130,Y%(N%)+28:MOVE X%(N%)+36,Y%(N%)-8:DRAW X%(N%)+110,Y%(N%)-24:ENDPROC
'''

BASIC["lamplite"] = r'''
10 REM THE LAMPLIGHTER'S KEY
20 REM (C) COBBLESTONE GAMES
30 MODE 7
40 DIM D$(6),X$(6)
50 FOR I%=1 TO 6:READ D$(I%),X$(I%):NEXT
60 R%=1:K%=0:L%=0
70 FOR I%=1 TO 2:PRINT CHR$(141);CHR$(131);"THE LAMPLIGHTER'S KEY":NEXT
80 PRINT CHR$(134);"Wickham Lane, a winter night, 1887"
90 PRINT CHR$(130);"N E S W, LOOK, TAKE, LIGHT, OPEN, INV"
100 REPEAT
110 PRINT:PROCsay(D$(R%),131)
120 IF R%=3 AND K%=0 PROCsay("A brass key glints in the gutter.",133)
130 IF R%=4 AND L%=1 PROCsay("The lamp burns gold and bright.",133)
140 IF R%=5 AND L%=1 PROCsay("In the lamplight the tower door|stands ajar to the north.",133)
150 IF R%=6 PROCsay("Chapter one is over. Well done!",130):END
160 REPEAT PRINT CHR$(135);"> ";:INPUT LINE "" A$:UNTIL A$<>""
170 A$=FNup(A$):W$=LEFT$(A$,4)
180 D%=INSTR("NESW",LEFT$(A$,1))
190 IF LEN(A$)>1 AND W$<>"NORT" AND W$<>"EAST" AND W$<>"SOUT" AND W$<>"WEST" D%=0
200 IF D% PROCgo(D%) ELSE PROCdo(A$)
210 UNTIL FALSE
220 DATA "You stand in Wickham Lane. Fog curls|round the cobbles. The lane runs north|and east.","2300"
230 DATA "The chandler's yard. Barrels of lamp|oil are stacked against the wall. An|arch leads east.","0410"
240 DATA "A narrow alley beside the bakery.|Water runs along the gutter towards|the lane.","4001"
250 DATA "Beneath the old lamp post. Its glass|is dark. A small iron box is fixed to|the post. The tower lies east.","0532"
260 DATA "The clock tower steps. A heavy oak|door stands in deep shadow.","6004"
270 DATA "Inside the tower great gears turn|slowly overhead. You have found the|way in at last.","0000"
300 DEF PROCgo(D%)
310 N%=VAL(MID$(X$(R%),D%,1))
320 IF R%=5 AND D%=1 AND L%=0 PROCsay("The door is dark and bolted fast.",129):ENDPROC
330 IF N%=0 PROCsay("You cannot go that way.",129) ELSE R%=N%
340 ENDPROC
400 DEF PROCdo(A$)
410 IF INSTR(A$,"LOOK") ENDPROC
420 IF INSTR(A$,"INV") AND K%=0 PROCsay("You carry a tinderbox.",134):ENDPROC
430 IF INSTR(A$,"INV") PROCsay("You carry a tinderbox and a key.",134):ENDPROC
440 IF (INSTR(A$,"TAKE") OR INSTR(A$,"GET")) AND R%=3 AND K%=0 K%=1:PROCsay("You take the brass key.",130):ENDPROC
450 IF INSTR(A$,"LIGHT") AND R%=4 AND K%=1 AND L%=0 L%=1:SOUND 1,-10,120,4:PROCsay("The key opens the lamp box. You|turn up the wick and strike a light.",130):ENDPROC
460 IF INSTR(A$,"LIGHT") AND R%=4 AND K%=0 PROCsay("The lamp box is locked.",129):ENDPROC
470 IF INSTR(A$,"OPEN") AND R%=5 AND L%=1 PROCgo(1):ENDPROC
480 PROCsay("Nothing happens. The fog thickens.",129)
490 ENDPROC
500 DEF PROCsay(A$,C%)
510 LOCAL P%
520 REPEAT P%=INSTR(A$+"|","|"):PRINT CHR$(C%);LEFT$(A$,P%-1):A$=MID$(A$,P%+1)
530 UNTIL A$=""
540 ENDPROC
600 DEF FNup(A$)
610 LOCAL B$,C%,I%
620 FOR I%=1 TO LEN(A$):C%=ASC(MID$(A$,I%,1)):IF C%>96 AND C%<123 C%=C%-32
630 B$=B$+CHR$(C%):NEXT
640 =B$
'''

BASIC["vaults"] = r'''
10 REM VAULTS OF ORMSBY
20 REM (C) COBBLESTONE GAMES
30 MODE 7:VDU 23,1,0;0;0;0;
40 DIM M%(36,22),U%(200),V%(200),K%(4)
50 PRINTTAB(6,10)CHR$(141)CHR$(133)"The vaults are shifting..."
60 PRINTTAB(6,11)CHR$(141)CHR$(133)"The vaults are shifting..."
70 FOR Y%=0 TO 22:FOR X%=0 TO 36:M%(X%,Y%)=1:NEXT:NEXT
80 M%(1,1)=0:S%=1:U%(1)=1:V%(1)=1
90 REPEAT
100 X%=U%(S%):Y%=V%(S%):N%=0
110 IF X%>2 THEN IF M%(X%-2,Y%) THEN N%=N%+1:K%(N%)=1
120 IF X%<34 THEN IF M%(X%+2,Y%) THEN N%=N%+1:K%(N%)=2
130 IF Y%>2 THEN IF M%(X%,Y%-2) THEN N%=N%+1:K%(N%)=3
140 IF Y%<20 THEN IF M%(X%,Y%+2) THEN N%=N%+1:K%(N%)=4
150 IF N%=0 THEN S%=S%-1 ELSE PROCcarve
160 UNTIL S%=0
170 CLS:FOR Y%=0 TO 22:R$=CHR$(147):FOR X%=0 TO 36
180 IF M%(X%,Y%) R$=R$+CHR$(255) ELSE R$=R$+" "
190 NEXT:PRINTTAB(0,Y%+1)R$;:NEXT
200 X%=1:Y%=1:G%=0
210 PRINTTAB(36,22)"V";
220 PRINTTAB(0,24)CHR$(134);"Arrow keys or Z X : / to move";
230 *FX4,1
240 REPEAT
250 PRINTTAB(X%+1,Y%+1)"@";
260 PRINTTAB(0,0)CHR$(131);"VAULTS OF ORMSBY";CHR$(130);"MOVES ";G%;"  ";
270 K$=GET$:A%=X%:B%=Y%
280 IF K$=CHR$(136) OR K$="Z" A%=X%-1
290 IF K$=CHR$(137) OR K$="X" A%=X%+1
300 IF K$=CHR$(139) OR K$=":" B%=Y%-1
310 IF K$=CHR$(138) OR K$="/" B%=Y%+1
320 IF M%(A%,B%)=0 PRINTTAB(X%+1,Y%+1)" ";:X%=A%:Y%=B%:G%=G%+1:SOUND 1,-6,60+Y%*4,1
330 UNTIL X%=35 AND Y%=21
340 PRINTTAB(X%+1,Y%+1)"@";
350 *FX4,0
360 SOUND 1,-12,100,4:SOUND 1,-12,120,4:SOUND 1,-12,148,8
370 PRINTTAB(0,24)CHR$(129);CHR$(157);CHR$(131);"THE VAULT IS YOURS IN ";G%;" MOVES ";CHR$(156);
380 END
400 DEF PROCcarve
410 D%=K%(RND(N%)):A%=(D%=1)-(D%=2):B%=(D%=3)-(D%=4)
420 M%(X%+A%,Y%+B%)=0:M%(X%+2*A%,Y%+2*B%)=0
430 S%=S%+1:U%(S%)=X%+2*A%:V%(S%)=Y%+2*B%
440 ENDPROC
'''

BASIC["moorland"] = r'''
10 REM MOORLAND MIST
20 REM (C) COBBLESTONE GAMES
30 MODE 7:VDU 23,1,0;0;0;0;
40 DIM Z%(5),T$(8),A$(8),B$(8),A%(8),B%(8)
50 FOR I%=0 TO 5:READ Z%(I%):NEXT
60 FOR I%=1 TO 8:READ T$(I%),A$(I%),A%(I%),B$(I%),B%(I%):NEXT
70 P%=1
80 REPEAT
90 CLS:PRINT CHR$(132);CHR$(157);CHR$(135);"MOORLAND MIST";TAB(30);CHR$(131);"PAGE ";P%
100 PROChills
110 PRINTTAB(0,8);:PROCsay(T$(P%),131)
120 IF A%(P%) PROCchoose ELSE PROCend
130 UNTIL FALSE
140 DATA 1,2,4,8,16,64
150 DATA "The mist came down on Harrow Fell an|hour before dusk. The path you know|so well has vanished into white.|Somewhere ahead a dog is barking.","Follow the barking",2,"Wait by the cairn",3
160 DATA "The barking leads you down to a beck.|Stepping stones cross the dark water,|slick with green moss.","Cross the stones",4,"Walk along the bank",5
170 DATA "You wait by the cairn as the light|fades. A lantern bobs towards you|through the mist.","Call out to it",6,"Hide behind the cairn",7
180 DATA "You slip on the third stone and land|in the icy beck. Soaked, you climb|back up the fell and spend a long,|cold night in the heather.","",0,"",0
190 DATA "The bank leads to a drystone wall and|a gate. Beyond it a farmhouse window|glows yellow.","Knock at the door",8,"Climb back to the cairn",3
200 DATA "An old shepherd raises her lantern.|'Lost, are you? Come along, the farm|is not far.' Her dog runs rings|round you both.","Go with her",8,"Say you know the way",7
210 DATA "Alone in the dark you wait for the|mist to lift. It does not. At dawn you|find the road, cold but unharmed.","",0,"",0
220 DATA "A warm kitchen, a bowl of broth and a|seat by the fire. Outside, the mist|can do as it pleases. You are safe.","",0,"",0
300 DEF PROChills
310 LOCAL X%,R%,C%,B%,H%,J%
320 FOR R%=0 TO 4:PRINTTAB(0,R%+2)CHR$(146);
330 FOR X%=1 TO 38:C%=160
340 FOR J%=0 TO 1:H%=FNh(X%*2+J%)
350 FOR B%=0 TO 2:IF R%*3+B%>=H% C%=C%+Z%(B%*2+J%)
360 NEXT:NEXT:VDU C%:NEXT:NEXT
370 ENDPROC
380 DEF FNh(X%)=INT(8-3*SIN(X%/11)-2*SIN(X%/5+1))
400 DEF PROCchoose
410 PRINT:PRINT CHR$(130);"1  ";A$(P%):PRINT CHR$(130);"2  ";B$(P%)
420 PRINT:PRINT CHR$(134);"Which way? (1 or 2)"
430 REPEAT K$=GET$:UNTIL K$="1" OR K$="2"
440 SOUND 1,-8,80,2
450 IF K$="1" P%=A%(P%) ELSE P%=B%(P%)
460 ENDPROC
500 DEF PROCend
510 PRINT:PRINT CHR$(129);"THE END.";CHR$(135);"Press SPACE to walk again."
520 REPEAT UNTIL GET=32:P%=1
530 ENDPROC
600 DEF PROCsay(A$,C%)
610 LOCAL P%
620 REPEAT P%=INSTR(A$+"|","|"):PRINT CHR$(C%);LEFT$(A$,P%-1):A$=MID$(A$,P%+1)
630 UNTIL A$=""
640 ENDPROC
'''

BASIC["tables"] = r'''
10 REM TABLES TUTOR
20 REM (C) BRACKENWOOD LEARNING
30 MODE 7
40 FOR I%=1 TO 2:PRINT CHR$(141);CHR$(130);"TABLES TUTOR":NEXT
50 PRINT CHR$(134);"Ten questions. Type each answer and"
60 PRINT CHR$(134);"press RETURN."
70 PRINT:PRINT CHR$(131);"Which table (2 to 12)";:INPUT T%
80 IF T%<2 OR T%>12 T%=RND(11)+1
90 S%=0:PRINT
100 FOR Q%=1 TO 10
110 N%=RND(12)
120 PRINT CHR$(135);"Q";Q%;": ";N%;" x ";T%;" =";
130 INPUT " " A%
140 IF A%=N%*T% S%=S%+1:PRINT CHR$(130);"Well done!":SOUND 1,-10,100+Q%*4,3 ELSE PRINT CHR$(129);"Not quite: ";N%;" x ";T%;" = ";N%*T%:SOUND 1,-10,40,6
150 NEXT
160 PRINT:PRINT CHR$(131);"You scored ";S%;" out of 10."
170 PRINT CHR$(133);STRING$(S%,"* ")
180 IF S%=10 PRINT CHR$(136);CHR$(131);"A perfect score!"
190 PRINT:PRINT CHR$(134);"Press SPACE to try again."
200 REPEAT UNTIL GET=32
210 RUN
'''

BASIC["orchard"] = r'''
10 REM WORD ORCHARD
20 REM (C) BRACKENWOOD LEARNING
30 MODE 1:VDU 23,1,0;0;0;0;
40 VDU 19,2,2;0;19,3,3;0;
50 DIM W$(8),P%(16)
60 FOR I%=1 TO 8:READ W$(I%):NEXT
70 FOR I%=1 TO 16:READ P%(I%):NEXT
80 COLOUR 3:PRINTTAB(14,1)"WORD ORCHARD"
90 GCOL 0,2:MOVE 0,256:MOVE 1279,256:PLOT 85,0,300:PLOT 85,1279,290
100 GCOL 0,3:MOVE 600,290:MOVE 680,290:PLOT 85,616,560:PLOT 85,664,560
110 PROCdisc(640,720,220,2):PROCdisc(470,640,150,2):PROCdisc(810,640,150,2)
120 VDU 28,0,31,39,24:S%=0
130 FOR Q%=1 TO 8
140 A$=W$(Q%):B$=FNmix(A$)
150 CLS:PRINT "Word ";Q%;" of 8. Unscramble the letters:":PRINT
160 COLOUR 1:PRINT "      ";B$:COLOUR 3:PRINT
170 INPUT "Your answer: " G$
180 IF FNup(G$)=A$ S%=S%+1:PROCdisc(P%(S%*2-1),P%(S%*2),28,1):SOUND 1,-10,120,2:SOUND 1,-10,140,4:PRINT "Ripe and ready! An apple grows." ELSE PRINT "It was ";A$;". Never mind!":SOUND 1,-8,30,6
190 T%=TIME:REPEAT UNTIL TIME>T%+200
200 NEXT
210 CLS:PRINT "You picked ";S%;" apple";:IF S%<>1 PRINT "s";
220 PRINT " from the orchard.":PRINT:PRINT "Press SPACE to play again."
230 REPEAT UNTIL GET=32
240 RUN
250 DATA APPLE,BLOSSOM,BRANCH,HARVEST,LADDER,BASKET,ORCHARD,SEASON
260 DATA 560,780,700,840,780,690,470,620,610,640,860,610,540,530,700,560
300 DEF FNmix(A$)
310 LOCAL B$,I%,J%,C$
320 B$=A$
330 REPEAT FOR I%=1 TO LEN(B$):J%=RND(LEN(B$)):C$=MID$(B$,I%,1):B$=LEFT$(B$,I%-1)+MID$(B$,J%,1)+MID$(B$,I%+1):B$=LEFT$(B$,J%-1)+C$+MID$(B$,J%+1):NEXT
340 UNTIL B$<>A$
350 =B$
400 DEF PROCdisc(X%,Y%,R%,C%)
410 LOCAL A
420 GCOL 0,C%
430 FOR A=0 TO 6.3 STEP 0.4
440 MOVE X%,Y%:MOVE X%+R%*COS(A),Y%+R%*SIN(A):PLOT 85,X%+R%*COS(A+0.4),Y%+R%*SIN(A+0.4)
450 NEXT
460 ENDPROC
500 DEF FNup(A$)
510 LOCAL B$,C%,I%
520 IF A$="" THEN =""
530 FOR I%=1 TO LEN(A$):C%=ASC(MID$(A$,I%,1)):IF C%>96 AND C%<123 C%=C%-32
540 B$=B$+CHR$(C%):NEXT
550 =B$
'''

BASIC["atlas"] = r'''
10 REM STAR ATLAS JUNIOR
20 REM (C) BRACKENWOOD LEARNING
30 MODE 7:VDU 23,1,0;0;0;0;
40 DIM N$(8),F$(8),D%(8),Y%(8),C%(8)
50 FOR I%=1 TO 8:READ N$(I%),C%(I%),D%(I%),Y%(I%),F$(I%):NEXT
60 REPEAT
70 CLS:FOR I%=1 TO 40:PRINTTAB(RND(37)+1,RND(22)+2)".";:NEXT
80 FOR I%=0 TO 1:PRINTTAB(6,1+I%)CHR$(141);CHR$(134);"STAR ATLAS";CHR$(131);"JUNIOR":NEXT
90 FOR I%=1 TO 8:PRINTTAB(9,3+I%*2)CHR$(C%(I%));I%;"  ";N$(I%);"  ":NEXT
100 PRINTTAB(7,23)CHR$(130);"Choose a planet (1 to 8)";
110 REPEAT K%=GET-48:UNTIL K%>0 AND K%<9
120 PROCshow(K%)
130 UNTIL FALSE
140 DATA MERCURY,135,58,88,"The smallest planet. Its days are|scorching and its nights freezing."
150 DATA VENUS,131,108,225,"Thick clouds trap the heat, so it is|the hottest planet of all."
160 DATA EARTH,130,150,365,"Our home: the only planet known to|have oceans of water and life."
170 DATA MARS,129,228,687,"The red planet. Rusty dust covers its|deserts and giant volcanoes."
180 DATA JUPITER,133,778,4333,"The largest planet: a ball of gas|with a storm bigger than the Earth."
190 DATA SATURN,131,1434,10759,"Famous for its rings of ice and rock.|It is so light it could float!"
200 DATA URANUS,134,2871,30687,"An ice giant that spins on its side,|rolling round the Sun like a ball."
210 DATA NEPTUNE,132,4495,60190,"The windiest planet. Sunlight takes|four hours to travel out to it."
300 DEF PROCshow(K%)
310 CLS
320 FOR I%=0 TO 1:PRINTTAB(2,1+I%)CHR$(141);CHR$(C%(K%));N$(K%):NEXT
330 PRINTTAB(2,4)CHR$(135);"Planet number ";K%;" from the Sun"
340 PRINTTAB(2,7)CHR$(134);"Distance from the Sun:"
350 PRINTTAB(2,8)CHR$(131);D%(K%);" million km"
360 PRINTTAB(2,10)CHR$(147);CHR$(255);CHR$(151);STRING$(INT(SQR(D%(K%))/2),CHR$(172));CHR$(C%(K%)+16);CHR$(255)
370 PRINTTAB(2,12)CHR$(134);"A year there lasts:"
380 PRINTTAB(2,13)CHR$(131);Y%(K%);" Earth days"
390 PRINTTAB(0,16);:PROCsay(F$(K%),130)
400 PRINTTAB(2,23)CHR$(129);"Press SPACE for the list";
410 REPEAT UNTIL GET=32
420 ENDPROC
500 DEF PROCsay(A$,C%)
510 LOCAL P%
520 REPEAT P%=INSTR(A$+"|","|"):PRINT CHR$(C%);LEFT$(A$,P%-1):A$=MID$(A$,P%+1)
530 UNTIL A$=""
540 ENDPROC
'''

BASIC["telestud"] = r'''
10 REM TELETEXT STUDIO
20 REM (C) QUILLON MICRO
30 MODE 7:VDU 23,1,0;0;0;0;
40 DIM N$(7),T%(7):FOR I%=1 TO 7:READ N$(I%),T%(I%):NEXT
50 P%=1
60 REPEAT
70 CLS:PRINT CHR$(132);CHR$(157);CHR$(131);"P10";P%;" TELETEXT STUDIO";
80 IF P%=1 PROCcolours ELSE PROCmosaics
90 PRINTTAB(0,24)CHR$(129);"1";CHR$(135);"COLOURS ";CHR$(130);"2";CHR$(135);"MOSAICS ";CHR$(131);"Q";CHR$(135);"QUIT";
100 REPEAT PRINTTAB(30,0)CHR$(131);FNclock;:K$=INKEY$(20):UNTIL K$="1" OR K$="2" OR K$="Q"
110 IF K$="1" P%=1
120 IF K$="2" P%=2
130 UNTIL K$="Q"
140 CLS:END
150 DATA RED,135,GREEN,132,YELLOW,132,BLUE,135,MAGENTA,135,CYAN,132,WHITE,132
200 DEF PROCcolours
210 FOR I%=0 TO 1:PRINTTAB(1,2+I%)CHR$(141);CHR$(134);"Colour chart":NEXT
220 FOR I%=1 TO 7
230 PRINTTAB(0,3+I%*2)CHR$(128+I%);N$(I%);TAB(9);CHR$(144+I%);STRING$(8,CHR$(255));CHR$(128+I%);CHR$(157);CHR$(T%(I%));" Sample text ";CHR$(156)
240 NEXT
250 PRINTTAB(1,20)CHR$(136);CHR$(131);"FLASHING";CHR$(137);CHR$(135);"and steady text"
260 PRINTTAB(1,22)CHR$(134);"Codes 129-135 text, 145-151 graphics";
270 ENDPROC
300 DEF PROCmosaics
310 FOR I%=0 TO 1:PRINTTAB(1,2+I%)CHR$(141);CHR$(134);"Mosaic characters":NEXT
320 FOR R%=0 TO 7:PRINTTAB(2,5+R%*2)CHR$(145+R% MOD 7);
330 FOR C%=0 TO 7:N%=R%*8+C%:VDU 160+(N% AND 31)+(N% AND 32)*2,32,32:NEXT
340 PRINTTAB(30,5+R%*2)CHR$(135);160+(R%*8 AND 31)+(R%*8 AND 32)*2
350 NEXT
360 ENDPROC
400 DEF FNclock:LOCAL T%:T%=TIME DIV 100
410 =FNtwo(T% DIV 3600 MOD 24)+":"+FNtwo(T% DIV 60 MOD 60)+":"+FNtwo(T% MOD 60)
420 DEF FNtwo(N%)=RIGHT$("0"+STR$(N%),2)
'''

BASIC["sound"] = r'''
10 REM SOUND SKETCHER
20 REM (C) QUILLON MICRO
30 MODE 2:VDU 23,1,0;0;0;0;
40 ENVELOPE 1,2,0,0,0,0,0,0,126,-4,0,-2,126,80
50 ENVELOPE 2,1,2,-2,2,4,8,4,100,-8,-1,-4,110,60
60 DIM P%(16),D%(16),N$(16)
70 FOR I%=1 TO 16:READ N$(I%),P%(I%),D%(I%):NEXT
80 COLOUR 3:PRINTTAB(3,1)"SOUND SKETCHER"
90 COLOUR 6:PRINTTAB(1,3)"1 PIANO   2 VIOLIN"
100 E%=1
110 REPEAT
120 GCOL 0,0:MOVE 0,100:MOVE 1279,100:PLOT 85,0,860:PLOT 85,1279,860
130 GCOL 0,7:FOR Y%=300 TO 620 STEP 80:MOVE 0,Y%:DRAW 1279,Y%:NEXT
140 FOR I%=1 TO 16
150 X%=I%*76:H%=(P%(I%)-45)*10
160 GCOL 0,1+(I% MOD 6):MOVE X%,140:MOVE X%+56,140:PLOT 85,X%,140+H%:PLOT 85,X%+56,140+H%
170 COLOUR 7:PRINTTAB(5,28)"NOTE  ";N$(I%);" "
180 SOUND 1,E%,P%(I%),D%(I%)
190 NEXT
200 COLOUR 2:PRINTTAB(2,30)"PRESS 1, 2 OR Q"
210 REPEAT K$=GET$:UNTIL K$="1" OR K$="2" OR K$="Q"
220 E%=VAL(K$)
230 UNTIL K$="Q"
240 END
250 DATA C,53,6,E,69,6,G,81,6,C,101,12,B,97,6,G,81,6,A,89,12
260 DATA F,73,6,A,89,6,C,101,6,G,81,12,E,69,6,D,61,6,F,73,6,E,69,6,C,53,18
'''

BASIC["ledger"] = r'''
10 REM BYTE LEDGER
20 REM (C) QUILLON MICRO
30 MODE 7
40 A%=PAGE:ON ERROR GOTO 60
50 CLS
60 REPEAT
70 PRINTTAB(0,0)CHR$(132);CHR$(157);CHR$(135);"BYTE LEDGER";CHR$(131);"MEMORY VIEWER";SPC(10);CHR$(156);
80 FOR R%=0 TO 19:B%=A%+R%*8
90 PRINTTAB(0,R%+2)CHR$(131);FNhex(B%,4);CHR$(130);
100 FOR C%=0 TO 7:PRINT FNhex(B%?C%,2);" ";:NEXT
110 PRINT CHR$(134);:FOR C%=0 TO 7:V%=B%?C%:IF V%<32 OR V%>126 V%=46
120 VDU V%:NEXT:NEXT
130 PRINTTAB(0,23)CHR$(129);"Z";CHR$(135);"BACK ";CHR$(129);"X";CHR$(135);"ON ";CHR$(129);"G";CHR$(135);"GO TO ";CHR$(129);"Q";CHR$(135);"QUIT";
140 K$=GET$
150 IF K$="Z" A%=A%-160
160 IF K$="X" A%=A%+160
170 IF K$="G" PRINTTAB(0,23)SPC(39);:PRINTTAB(1,23);:INPUT "Address &" H$:IF H$<>"" A%=EVAL("&"+H$)
180 A%=A% AND &FFFF
190 UNTIL K$="Q"
200 CLS:END
300 DEF FNhex(N%,L%)=RIGHT$("000"+STR$~N%,L%)
'''

BASIC["harbour"] = r'''
10 REM HARBOUR MASTER
20 REM (C) MARSH HARRIER SOFT
30 MODE 7
40 DIM G$(3),B%(3),H%(3),P%(3)
50 FOR I%=1 TO 3:READ G$(I%),B%(I%):NEXT
60 M%=1:C%=400:S%=40
70 PROCprices
80 REPEAT
90 PROCscreen
100 K$=GET$
110 IF K$="B" PROCtrade(1)
120 IF K$="S" PROCtrade(-1)
130 IF K$="N" M%=M%+1:PROCevent:PROCprices
140 UNTIL M%>12
150 FOR I%=1 TO 3:C%=C%+H%(I%)*P%(I%):NEXT
160 CLS:FOR I%=1 TO 2:PRINT CHR$(141);CHR$(131);"THE YEAR IS DONE":NEXT
170 PRINT:PRINT CHR$(135);"Your cargo is sold on the quay."
180 PRINT CHR$(135);"You end the year with ";C%;" crowns."
190 IF C%>400 PRINT CHR$(130);"The guild names you Harbour Master!" ELSE PRINT CHR$(129);"The guild is not impressed."
200 END
210 DATA Wool,12,Tin,30,Spice,75
300 DEF PROCscreen
310 CLS:FOR I%=1 TO 2:PRINT CHR$(141);CHR$(132);CHR$(157);CHR$(131);"HARBOUR MASTER     ";CHR$(156):NEXT
320 PRINT CHR$(134);"Port of Saltmarsh, month ";M%;" of 12"
330 PRINT:PRINT CHR$(135);"  GOODS";TAB(14);"PRICE";TAB(24);"IN HOLD"
340 FOR I%=1 TO 3:PRINT CHR$(131);I%;" ";G$(I%);TAB(13);CHR$(130);P%(I%);TAB(23);CHR$(133);H%(I%):NEXT
350 PRINT:PRINT CHR$(131);"Crowns: ";C%;TAB(20);CHR$(131);"Hold: ";FNhold;"/";S%
360 PRINT:PRINT CHR$(130);"B=BUY  S=SELL  N=NEXT MONTH"
370 ENDPROC
400 DEF PROCtrade(D%)
410 PRINT:PRINT CHR$(134);"Which goods (1-3)";:INPUT G%
420 IF G%<1 OR G%>3 ENDPROC
430 PRINT CHR$(134);"How many";:INPUT Q%
440 IF Q%<1 ENDPROC
450 IF D%=1 AND Q%*P%(G%)>C% PRINT CHR$(129);"Not enough crowns!":PROCpause:ENDPROC
460 IF D%=1 AND FNhold+Q%>S% PRINT CHR$(129);"The hold is full!":PROCpause:ENDPROC
470 IF D%=-1 AND Q%>H%(G%) PRINT CHR$(129);"You do not have that much!":PROCpause:ENDPROC
480 H%(G%)=H%(G%)+D%*Q%:C%=C%-D%*Q%*P%(G%)
490 ENDPROC
500 DEF PROCevent
510 E%=RND(6)
520 IF E%=1 PRINT:PRINT CHR$(129);"A storm! Cargo is lost overboard.":FOR I%=1 TO 3:H%(I%)=H%(I%)*3 DIV 4:NEXT:PROCpause
530 IF E%=2 PRINT:PRINT CHR$(130);"A fair wind: the harbour pays you 25.":C%=C%+25:PROCpause
540 ENDPROC
600 DEF PROCprices:FOR I%=1 TO 3:P%(I%)=B%(I%)*(60+RND(80)) DIV 100:NEXT:ENDPROC
610 DEF PROCpause:T%=TIME:REPEAT UNTIL TIME>T%+150:ENDPROC
620 DEF FNhold=H%(1)+H%(2)+H%(3)
'''

BASIC["clockwrk"] = r'''
10 REM CLOCKWORK TILES
20 REM (C) TINPLATE STUDIOS
30 MODE 7:VDU 23,1,0;0;0;0;
40 DIM T%(15),C%(3)
50 FOR I%=0 TO 3:READ C%(I%):NEXT
60 FOR I%=0 TO 14:T%(I%)=I%+1:NEXT:T%(15)=0:E%=15
70 FOR I%=0 TO 1:PRINTTAB(11,I%)CHR$(141);CHR$(131);"CLOCKWORK TILES":NEXT
80 FOR I%=1 TO 300:PROCmove(RND(4)):NEXT:M%=0
90 PRINTTAB(6,23)CHR$(130);"Arrow keys slide the tiles";
100 *FX4,1
110 FOR I%=0 TO 15:PROCtile(I%):NEXT
120 REPEAT
130 PRINTTAB(14,21)CHR$(134);"MOVES ";M%;"   "
140 K%=GET:D%=0
150 IF K%=137 OR K%=88 D%=1
160 IF K%=136 OR K%=90 D%=2
170 IF K%=138 OR K%=47 D%=3
180 IF K%=139 OR K%=58 D%=4
190 O%=E%:PROCmove(D%)
200 IF O%<>E% PROCtile(O%):PROCtile(E%):SOUND 1,-7,160,1
210 UNTIL FNdone
220 *FX4,0
230 PRINTTAB(10,21)CHR$(136);CHR$(131);"SOLVED IN ";M%;" MOVES!"
240 END
250 DATA 129,131,130,134
300 DEF PROCmove(D%)
310 LOCAL N%
320 N%=-1
330 IF D%=1 AND E% MOD 4>0 N%=E%-1
340 IF D%=2 AND E% MOD 4<3 N%=E%+1
350 IF D%=3 AND E%>3 N%=E%-4
360 IF D%=4 AND E%<12 N%=E%+4
370 IF N%<0 ENDPROC
380 T%(E%)=T%(N%):T%(N%)=0:E%=N%:M%=M%+1
390 ENDPROC
400 DEF PROCtile(I%)
410 LOCAL X%,Y%,R%,N%
420 X%=4+(I% MOD 4)*8:Y%=4+(I% DIV 4)*4:N%=T%(I%)
430 FOR R%=0 TO 2
440 IF N%=0 PRINTTAB(X%,Y%+R%)SPC(8); ELSE PRINTTAB(X%,Y%+R%)CHR$(C%((N%-1) DIV 4));CHR$(157);CHR$(132);
450 IF N%>0 AND R%=1 PRINT RIGHT$("  "+STR$(N%)+" ",4);CHR$(156); ELSE IF N%>0 PRINT "    ";CHR$(156);
460 NEXT
470 ENDPROC
500 DEF FNdone
510 LOCAL I%,D%:D%=TRUE
520 FOR I%=0 TO 14:IF T%(I%)<>I%+1 D%=FALSE
530 NEXT
540 =D%
'''

BASIC["lanterns"] = r'''
10 REM LANTERN ROW
20 REM (C) TINPLATE STUDIOS
30 MODE 2:VDU 23,1,0;0;0;0;
40 DIM L%(24)
50 COLOUR 3:PRINTTAB(4,1)"LANTERN ROW"
60 COLOUR 6:PRINTTAB(1,29)"ARROWS MOVE, SPACE"
70 PRINTTAB(1,30)"SWAPS A LANTERN AND"
80 PRINTTAB(1,31)"ITS NEIGHBOURS";
90 FOR I%=0 TO 24:L%(I%)=1:NEXT
100 FOR I%=1 TO 8:PROCpress(RND(25)-1):NEXT
110 FOR I%=0 TO 24:PROCdraw(I%):NEXT
120 C%=12:M%=0
130 *FX4,1
140 REPEAT
150 PROCcursor(7)
160 K%=GET:PROCcursor(0)
170 IF K%=136 AND C% MOD 5>0 C%=C%-1
180 IF K%=137 AND C% MOD 5<4 C%=C%+1
190 IF K%=139 AND C%>4 C%=C%-5
200 IF K%=138 AND C%<20 C%=C%+5
210 IF K%=32 PROCpress(C%):M%=M%+1:SOUND 1,-10,100+C%*4,2:FOR I%=0 TO 24:PROCdraw(I%):NEXT
220 COLOUR 7:PRINTTAB(6,27)"MOVES ";M%
230 UNTIL FNall
240 *FX4,0
250 COLOUR 3:PRINTTAB(3,27)"ALL ALIGHT IN ";M%
260 SOUND 1,-12,120,4:SOUND 1,-12,140,4:SOUND 1,-12,168,8
270 END
300 DEF PROCpress(I%)
310 L%(I%)=1-L%(I%)
320 IF I% MOD 5>0 L%(I%-1)=1-L%(I%-1)
330 IF I% MOD 5<4 L%(I%+1)=1-L%(I%+1)
340 IF I%>4 L%(I%-5)=1-L%(I%-5)
350 IF I%<20 L%(I%+5)=1-L%(I%+5)
360 ENDPROC
400 DEF PROCdraw(I%)
410 X%=240+(I% MOD 5)*170:Y%=804-(I% DIV 5)*150
420 GCOL 0,4-L%(I%):MOVE X%,Y%:MOVE X%+80,Y%:PLOT 85,X%,Y%+96:PLOT 85,X%+80,Y%+96
430 GCOL 0,1:MOVE X%-16,Y%+96:MOVE X%+96,Y%+96:PLOT 85,X%+40,Y%+136
440 MOVE X%+8,Y%-12:MOVE X%+72,Y%-12:PLOT 85,X%+8,Y%:PLOT 85,X%+72,Y%
450 IF L%(I%) GCOL 0,7:MOVE X%+28,Y%+24:MOVE X%+52,Y%+24:PLOT 85,X%+40,Y%+72
460 ENDPROC
500 DEF PROCcursor(Q%)
510 X%=212+(C% MOD 5)*170:Y%=776-(C% DIV 5)*150
520 GCOL 0,Q%:MOVE X%,Y%:DRAW X%+136,Y%:DRAW X%+136,Y%+180:DRAW X%,Y%+180:DRAW X%,Y%
530 ENDPROC
600 DEF FNall
610 LOCAL I%,S%
620 FOR I%=0 TO 24:S%=S%+L%(I%):NEXT
630 =S%=25
'''

# ---------------------------------------------------------------------------
# The titles of the sample catalogue. The records are stored in this order,
# which is not the sorted one, so that a first start shows the sort at work.
# ---------------------------------------------------------------------------

# key, title, publisher, folder, genre, description, colours, pictures
#   pictures: "jpg" (box art and screen as JPEG), "gif" (both as GIF), "none"
TITLES = [
    ("orchard", "Word Orchard", "Brackenwood Learning", "Brackenwood", "Education",
     "Pick the apples that spell a word before they fall. Spelling practice for "
     "ages seven to eleven, with three word lists.", ((46, 110, 40), (214, 190, 60)), "jpg"),
    ("abyssal", "Abyssal Glow", "Lanternfish Software", "Lanternfish", "Arcade",
     "Steer a lanternfish down an ever narrowing trench. How deep can you dive "
     "before the rock closes in?", ((8, 24, 72), (90, 220, 230)), "jpg"),
    ("vaults", "Vaults of Ormsby", "Cobblestone Games", "Cobblestone", "Adventure",
     "A text adventure beneath a ruined abbey: find the three seals and open the "
     "last vault. Two-word commands.", ((60, 40, 30), (230, 170, 80)), "jpg"),
    ("telestud", "Teletext Studio", "Quillon Micro", "Quillon", "Utility",
     "Design MODE 7 pages with coloured text and block graphics, then save them "
     "for your own programs.", ((20, 20, 20), (240, 80, 200)), "jpg"),
    ("reef", "Reef Runner", "Lanternfish Software", "Lanternfish", "Arcade",
     "A crab catches falling pearls on a coral reef. Every fifty points the pearls "
     "fall faster.", ((10, 70, 110), (250, 120, 90)), "jpg"),
    ("harbour", "Harbour Master", "Marsh Harrier Soft", "MarshHarrier", "Strategy",
     "Run a fishing harbour through twelve seasons: buy boats, hire crews and "
     "weather the winter storms.", ((30, 50, 70), (200, 210, 220)), "gif"),
    ("tables", "Tables Tutor", "Brackenwood Learning", "Brackenwood", "Education",
     "Times tables practice with a friendly score board. Choose the tables you "
     "want to learn.", ((120, 30, 30), (250, 230, 120)), "jpg"),
    ("lamplite", "The Lamplighter's Key", "Cobblestone Games", "Cobblestone", "Adventure",
     "Light the lamps of a foggy town to find the key of the clock tower. A short "
     "adventure for beginners.", ((25, 25, 50), (250, 200, 90)), "jpg"),
    ("clockwrk", "Clockwork Tiles", "Tinplate Studios", "Tinplate", "Puzzle",
     "Slide the brass tiles back into order. Fifteen tiles, one gap, and a "
     "counter of your moves.", ((70, 50, 20), (230, 190, 110)), "jpg"),
    ("comet", "Comet Courier", "Lanternfish Software", "Lanternfish", "Arcade",
     "Fly a courier ship through a comet storm and see how many parsecs you "
     "cover.", ((5, 5, 30), (255, 240, 120)), "jpg"),
    ("ledger", "Byte Ledger", "Quillon Micro", "Quillon", "Utility",
     "A household accounts book: enter takings and spendings and see the "
     "balance of every month.", ((30, 60, 40), (220, 240, 220)), "none"),
    ("atlas", "Star Atlas Junior", "Brackenwood Learning", "Brackenwood", "Education",
     "Learn the constellations of the northern sky, with a quiz at the end.",
     ((10, 10, 40), (160, 200, 255)), "jpg"),
    ("moorland", "Moorland Mist", "Cobblestone Games", "Cobblestone", "Adventure",
     "Lost on the moor as the mist comes down: find the shepherd's hut before "
     "night falls.", ((60, 70, 60), (210, 220, 200)), "jpg"),
    ("sound", "Sound Sketcher", "Quillon Micro", "Quillon", "Utility",
     "Draw an envelope with the cursor keys and hear it played by the "
     "SOUND command at once.", ((40, 0, 60), (120, 255, 160)), "jpg"),
    ("lanterns", "Lantern Row", "Tinplate Studios", "Tinplate", "Puzzle",
     "Light every lantern of the row. Each lantern you swap changes its "
     "neighbours too.", ((80, 20, 10), (255, 170, 60)), "jpg"),
]

# This title is shipped as a zip archive that holds its disc image.
ZIPPED = "lanterns"

# ---------------------------------------------------------------------------
# Acorn DFS disc images
# ---------------------------------------------------------------------------

SECTOR = 256
SECTORS_PER_TRACK = 10
TRACKS = 80


def dfs_image(title, files, boot_option):
    """A single-sided DFS image: sectors 0 and 1 hold the catalogue, the
    files follow from sector 2. `files` is a list of
    (directory, name, load address, exec address, bytes, locked)."""
    assert len(files) <= 31
    disc_sectors = TRACKS * SECTORS_PER_TRACK
    body = bytearray()
    placed = []
    sector = 2
    for directory, name, load, exe, data, locked in files:
        placed.append((directory, name, load, exe, len(data), sector, locked))
        padded = data + bytes(-len(data) % SECTOR)
        body += padded
        sector += len(padded) // SECTOR
    # The catalogue lists the file that starts highest on the disc first.
    placed.sort(key=lambda f: f[5], reverse=True)

    cat0 = bytearray(SECTOR)
    cat1 = bytearray(SECTOR)
    raw_title = title.encode("ascii")[:12].ljust(12, b"\0")
    cat0[0:8] = raw_title[:8]
    cat1[0:4] = raw_title[8:12]
    cat1[4] = 1  # write cycle
    cat1[5] = len(placed) * 8
    cat1[6] = (boot_option << 4) | ((disc_sectors >> 8) & 3)
    cat1[7] = disc_sectors & 0xFF
    for i, (directory, name, load, exe, length, start, locked) in enumerate(placed):
        at = 8 + i * 8
        cat0[at:at + 7] = name.encode("ascii")[:7].ljust(7, b" ")
        cat0[at + 7] = ord(directory) | (0x80 if locked else 0)
        cat1[at + 0] = load & 0xFF
        cat1[at + 1] = (load >> 8) & 0xFF
        cat1[at + 2] = exe & 0xFF
        cat1[at + 3] = (exe >> 8) & 0xFF
        cat1[at + 4] = length & 0xFF
        cat1[at + 5] = (length >> 8) & 0xFF
        cat1[at + 6] = (((exe >> 16) & 3) << 6) | (((length >> 16) & 3) << 4) \
            | (((load >> 16) & 3) << 2) | ((start >> 8) & 3)
        cat1[at + 7] = start & 0xFF
    image = bytes(cat0 + cat1 + body)
    # Images are kept to whole tracks, as disc imaging tools write them.
    track = SECTOR * SECTORS_PER_TRACK
    return image + bytes(-len(image) % track)


def basic_lines(key):
    return [line for line in BASIC[key].strip("\n").split("\n") if line.strip()]


def boot_file(key):
    """The !BOOT text that *EXEC types in: every program line, then RUN."""
    text = "\r".join(basic_lines(key) + ["RUN"]) + "\r"
    return text.encode("ascii")


def disc_for(key, title, publisher):
    readme = (f"{title}\r(C) {publisher}\r\rBoot the disc with SHIFT+BREAK.\r"
              "The program is typed in by !BOOT\rand starts by itself.\r").encode("ascii")
    scores = bytes([0x0D]) + b"HISCORES" + bytes(8)
    files = [
        ("$", "!BOOT", 0x000000, 0x000000, boot_file(key), True),
        ("$", "README", 0x000000, 0x000000, readme, False),
        ("D", "SCORES", 0x001900, 0x001900, scores, False),
    ]
    disc_title = title.upper().replace("'", "")[:12]
    return dfs_image(disc_title, files, boot_option=3)


# ---------------------------------------------------------------------------
# Pictures
# ---------------------------------------------------------------------------

BOX_SIZE = (360, 490)
SCREEN_SIZE = (400, 360)

TELETEXT = [(255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255), (255, 0, 255),
            (0, 255, 255), (255, 255, 255)]


def mix(a, b, t):
    return tuple(int(a[i] + (b[i] - a[i]) * t) for i in range(3))


def gradient(size, top, bottom):
    w, h = size
    column = Image.new("RGB", (1, h))
    for y in range(h):
        column.putpixel((0, y), mix(top, bottom, y / max(h - 1, 1)))
    return column.resize(size)


def centred(draw, box_width, y, text, fnt, fill, shadow=None):
    width = draw.textlength(text, font=fnt)
    x = (box_width - width) / 2
    if shadow:
        draw.text((x + 2, y + 2), text, font=fnt, fill=shadow)
    draw.text((x, y), text, font=fnt, fill=fill)


def fit_font(draw, name, text, max_width, start):
    size = start
    while size > 10 and draw.textlength(text, font=font(name, size)) > max_width:
        size -= 1
    return font(name, size)


def wrap(draw, text, fnt, width):
    lines, line = [], ""
    for word in text.split():
        trial = (line + " " + word).strip()
        if draw.textlength(trial, font=fnt) <= width:
            line = trial
        else:
            lines.append(line)
            line = word
    return lines + [line] if line else lines


def emblem(draw, rng, box, accent, dark):
    """A few bold shapes in the title's colours: the picture on the box."""
    x0, y0, x1, y1 = box
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    radius = min(x1 - x0, y1 - y0) / 2
    for ring in range(6, 0, -1):
        r = radius * ring / 6
        draw.ellipse((cx - r, cy - r, cx + r, cy + r),
                     fill=mix(dark, accent, ring % 2 * 0.35 + 0.1 * ring / 6))
    for _ in range(14):
        angle = rng.uniform(0, 2 * math.pi)
        length = rng.uniform(0.4, 1.0) * radius
        width = rng.randint(2, 6)
        draw.line((cx, cy, cx + math.cos(angle) * length, cy + math.sin(angle) * length),
                  fill=mix(accent, (255, 255, 255), 0.3), width=width)
    r = radius * 0.28
    draw.ellipse((cx - r, cy - r, cx + r, cy + r), fill=accent, outline=(255, 255, 255), width=3)


def box_art(title, publisher, genre, colours, seed):
    dark, accent = colours
    rng = random.Random(seed)
    w, h = BOX_SIZE
    img = gradient(BOX_SIZE, mix(dark, (0, 0, 0), 0.5), mix(dark, accent, 0.25))
    draw = ImageDraw.Draw(img)
    # A stripe of the machine's name along the top.
    draw.rectangle((0, 0, w, 34), fill=(12, 12, 12))
    for i, colour in enumerate([(220, 30, 30), (240, 200, 30), (40, 180, 60), (40, 90, 220)]):
        draw.rectangle((w - 92 + i * 20, 9, w - 78 + i * 20, 25), fill=colour)
    draw.text((12, 7), "BBC MICRO  32K", font=font("helv-bold", 18), fill=(235, 235, 235))
    emblem(draw, rng, (50, 120, w - 50, 340), accent, dark)
    heading = fit_font(draw, "bookman-demi", title.upper(), w - 30, 40)
    centred(draw, w, 52, title.upper(), heading, accent, shadow=(0, 0, 0))
    draw.rectangle((0, h - 92, w, h), fill=mix(dark, (0, 0, 0), 0.6))
    centred(draw, w, h - 84, genre.upper(), font("helv-bold", 17), mix(accent, (255, 255, 255), 0.5))
    centred(draw, w, h - 56, publisher, font("palatino-italic", 24), (240, 240, 240))
    draw.text((12, h - 24), "CASSETTE / DISC", font=font("sans", 11), fill=(170, 170, 170))
    img = img.filter(ImageFilter.SMOOTH)
    return img


def program_strings(key):
    """The texts the program prints, in program order, without repeats."""
    seen, out = set(), []
    for line in basic_lines(key):
        if "PRINT" not in line:
            continue
        for text in line.split('"')[1::2]:
            text = text.strip()
            if len(text) > 3 and text not in seen and not text.startswith("*"):
                seen.add(text)
                out.append(text)
    return out


def screen_shot(key, title, colours, seed):
    """A picture of the program's first screen on a BBC Micro: 40 columns of
    text on black, the title in double height."""
    rng = random.Random(seed)
    cols, rows, cw, ch = 40, 25, 12, 20
    img = Image.new("RGB", (cols * cw, rows * ch), (0, 0, 0))
    draw = ImageDraw.Draw(img)
    text_font = font("mono-bold", 20)
    # The title in double height.
    strip = Image.new("RGB", (cols * cw, ch), (0, 0, 0))
    ImageDraw.Draw(strip).text(((cols - len(title)) * cw // 2, 0), title.upper(),
                               font=text_font, fill=TELETEXT[5])
    img.paste(strip.resize((cols * cw, ch * 2)), (0, ch * 2))
    row = 6
    for i, text in enumerate(program_strings(key)[:12]):
        if text.upper() == title.upper():
            continue
        colour = TELETEXT[(i * 3 + 1) % len(TELETEXT)]
        for line in [text[j:j + 36] for j in range(0, len(text), 36)]:
            if row >= rows - 2:
                break
            draw.text(((cols - len(line)) * cw // 2, row * ch), line, font=text_font, fill=colour)
            row += 2
    # Block graphics along the bottom.
    accent = colours[1]
    for c in range(cols):
        height = rng.randint(1, 3)
        draw.rectangle((c * cw, (rows - height) * ch, c * cw + cw - 2, rows * ch),
                       fill=mix(accent, (0, 0, 0), rng.uniform(0, 0.5)))
    return img.resize(SCREEN_SIZE, Image.LANCZOS)


def save_jpeg(img, path):
    path.parent.mkdir(parents=True, exist_ok=True)
    img.save(path, "JPEG", quality=88, optimize=True)


def save_gif(img, path):
    path.parent.mkdir(parents=True, exist_ok=True)
    img.convert("P", palette=Image.ADAPTIVE, colors=128).save(path, "GIF", optimize=True)


def background():
    """The main window's background: black with a faint purple lattice, the
    program's name above the button column and a yellow rule."""
    size = (1024, 768)
    img = gradient(size, (6, 0, 14), (0, 0, 0))
    draw = ImageDraw.Draw(img)
    for x in range(0, size[0], 32):
        draw.line((x, 0, x, size[1]), fill=(22, 6, 28))
    for y in range(0, size[1], 32):
        draw.line((0, y, size[0], y), fill=(22, 6, 28))
    glow = Image.new("L", size, 0)
    ImageDraw.Draw(glow).ellipse((-200, 120, 420, 700), fill=70)
    glow = glow.filter(ImageFilter.GaussianBlur(90))
    img = Image.composite(Image.new("RGB", size, (40, 30, 0)), img, glow)
    draw = ImageDraw.Draw(img)
    draw.text((18, 60), "TAVRIN", font=font("gothic-demi", 34), fill=(255, 214, 0))
    draw.text((20, 102), "BBC Micro", font=font("gothic-book", 15), fill=(200, 170, 40))
    draw.text((20, 122), "Acorn Electron", font=font("gothic-book", 15), fill=(200, 170, 40))
    draw.line((18, 150, 150, 150), fill=(255, 214, 0), width=2)
    draw.line((0, 500, size[0], 500), fill=(60, 20, 70), width=1)
    return img


def placeholder(size, label):
    """The picture shown where a title has no picture of its own."""
    img = gradient(size, (30, 0, 40), (0, 0, 0))
    draw = ImageDraw.Draw(img)
    w, h = size
    draw.rectangle((2, 2, w - 3, h - 3), outline=(255, 214, 0), width=2)
    draw.ellipse((w / 2 - 26, h / 2 - 44, w / 2 + 26, h / 2 + 8), outline=(255, 214, 0), width=3)
    draw.line((w / 2 - 10, h / 2 - 18, w / 2 + 10, h / 2 - 18), fill=(255, 214, 0), width=3)
    for i, line in enumerate(label):
        centred(draw, w, h / 2 + 18 + i * 16, line, font("sans-bold", 12), (255, 230, 120))
    return img


# ---------------------------------------------------------------------------
# The catalogue
# ---------------------------------------------------------------------------

CATALOGUE_SCHEMA = [
    'CREATE TABLE "MSysDatabaseProperties" ("Name" TEXT PRIMARY KEY, "Value" TEXT)',
    "INSERT INTO \"MSysDatabaseProperties\" VALUES ('Locale', ';LANGID=0x0409;CP=1252;COUNTRY=0')",
    'CREATE TABLE "BBCSoftware" ("Publisher" TEXT(30), "Software" TEXT(40), "Genre" TEXT(30), '
    '"Filepath" TEXT(50), "Data1" TEXT(50), "Data2" TEXT(50), "Description1" TEXT, '
    '"Index" NUMERIC)',
]


def write_catalogue(path, records):
    building = path.with_name(path.name + ".new")
    if building.exists():
        building.unlink()
    db = sqlite3.connect(building)
    for statement in CATALOGUE_SCHEMA:
        db.execute(statement)
    db.executemany('INSERT INTO "BBCSoftware" VALUES (?, ?, ?, ?, ?, ?, ?, ?)', records)
    db.commit()
    db.close()
    building.replace(path)


def main():
    files = DATA / "Files"
    if files.exists():
        shutil.rmtree(files)
    records = []
    for index, (key, title, publisher, folder, genre, text, colours, pictures) in enumerate(TITLES):
        where = files / folder
        where.mkdir(parents=True, exist_ok=True)
        image = disc_for(key, title, publisher)
        seed = sum(map(ord, key))
        if key == ZIPPED:
            archive = where / f"{key}.zip"
            info = zipfile.ZipInfo(f"{key}.ssd", date_time=(1986, 5, 17, 12, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            with zipfile.ZipFile(archive, "w") as z:
                z.writestr(info, image)
            stored = f"Files\\{folder}\\{key}.zip"
        else:
            (where / f"{key}.ssd").write_bytes(image)
            stored = f"Files\\{folder}\\{key}.ssd"
        assert len(stored) <= 50 and len(title) <= 40 and len(publisher) <= 30
        if pictures != "none":
            box = box_art(title, publisher, genre, colours, seed)
            shot = screen_shot(key, title, colours, seed)
            save = save_jpeg if pictures == "jpg" else save_gif
            save(box, where / f"{key}-box.{pictures}")
            save(shot, where / f"{key}.{pictures}")
        records.append((publisher, title, genre, stored, "0", "0", text, index))

    images = DATA / "Images"
    images.mkdir(exist_ok=True)
    save_jpeg(background(), images / "background.jpg")
    save_jpeg(placeholder((128, 191), ["NO BOX", "PICTURE"]), images / "logosp.jpg")
    save_jpeg(placeholder((160, 128), ["NO SCREEN", "PICTURE"]), images / "logosl.jpg")

    write_catalogue(DATA / "bbc.mdb", records)
    print(f"{len(records)} titles written below {DATA}")


if __name__ == "__main__":
    main()


# ---------------------------------------------------------------------------
# The reference catalogue of the Internet sources
# ---------------------------------------------------------------------------

INTERNET_SOURCES = ["8bs", "tbl", "kov", "otbbs", "swth"]


def internet_table(name):
    # The catalogue's layout; text columns declared with TEXT affinity, so
    # that a text that looks like a number stays text.
    return (f'CREATE TABLE "{name}" ("Publisher" TEXT(30), "Software" TEXT(40), '
            '"Genre" TEXT(30), "Filepath" TEXT(50), "Data1" TEXT(50), "Data2" TEXT(50), '
            '"Description1" TEXT, "Index" INTEGER)')


def write_internet_database(path=None):
    """Data/internet.mdb: the five sources' tables. The first ("8bs") lists
    the sample software with paths relative to the Files folder ("/" as the
    separator), so that serving that folder over HTTP and pointing the first
    source at it runs the samples from the Internet list; the other four
    stay empty until the update server fills them."""
    path = path or DATA / "Data" / "internet.mdb"
    path.parent.mkdir(parents=True, exist_ok=True)
    building = path.with_name(path.name + ".new")
    if building.exists():
        building.unlink()
    db = sqlite3.connect(building)
    for statement in CATALOGUE_SCHEMA[:2]:
        db.execute(statement)
    for name in INTERNET_SOURCES:
        db.execute(internet_table(name))
    rows = []
    for index, (key, title, publisher, folder, genre, text, _colours, _pictures) in enumerate(TITLES):
        extension = "zip" if key == ZIPPED else "ssd"
        rows.append((publisher, title, genre, f"{folder}/{key}.{extension}", "0", "0", text, index))
    db.executemany('INSERT INTO "8bs" VALUES (?, ?, ?, ?, ?, ?, ?, ?)', rows)
    db.commit()
    db.close()
    building.replace(path)
    print(f"{len(rows)} titles written to {path}")


if __name__ == "__main__":
    write_internet_database()
