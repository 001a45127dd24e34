; comment
[MainBand]
 NumSubBands = 18 
[subband.17]
FreqMin=-5
FreqCurrent=1e3
[Preset.17.11]
FreqCurrent=7,5
AGCAttack=12,5
[Broken
x
=
[MainBand]
Active=True
