; OrvexSDR band plan: the amateur HF bands, 160 m to 10 m.
; Sub-band limits are the widest ITU allocation of each band; the descriptions give the
; limits by Region. Presets are well-known activity frequencies of the IARU band plans.
; CW presets are tuned 400 Hz below the signal (USB, 400 Hz filter) for a 400 Hz tone.
; OrvexSDR writes this file back at shutdown; comments and other keys are kept.

[MainBand]
Index=0
Name=Amateur-HF
Caption=Amateur HF
Description=Amateur radio HF bands 160 m to 10 m
Active=True
ActiveSubBand=0
NumSubBands=10

[SubBand.0]
Index=0
Name=Amateur-HF.SubBand(0)
Caption=160m
Description=160 m band, 1800-2000 kHz (Region 1: 1810-2000 kHz)
NumPresets=12
ActivePreset=0
FreqMin=1800000
FreqMax=2000000
FreqCurrent=1835600

[Preset.0.0]
Index=0
Name=Amateur-HF.SubBand(0).Preset(0)
Caption=1835
Description=CW QRP centre of activity 1836 kHz (CW, tuned 400 Hz low for a 400 Hz tone)
Active=False
DemodMode=1
FreqCurrent=1835600
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=1

[Preset.0.1]
Index=1
Name=Amateur-HF.SubBand(0).Preset(1)
Caption=1840
Description=FT8 1840 kHz (dial frequency, USB)
Active=False
DemodMode=1
FreqCurrent=1840000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=3

[SubBand.1]
Index=1
Name=Amateur-HF.SubBand(1)
Caption=80m
Description=80 m band, 3500-3800 kHz Region 1, 3500-4000 kHz Region 2, 3500-3900 kHz Region 3
NumPresets=12
ActivePreset=0
FreqMin=3500000
FreqMax=4000000
FreqCurrent=3559600

[Preset.1.0]
Index=0
Name=Amateur-HF.SubBand(1).Preset(0)
Caption=3559
Description=CW QRP centre of activity 3560 kHz (CW, tuned 400 Hz low for a 400 Hz tone)
Active=False
DemodMode=1
FreqCurrent=3559600
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=1

[Preset.1.1]
Index=1
Name=Amateur-HF.SubBand(1).Preset(1)
Caption=3573
Description=FT8 3573 kHz (dial frequency, USB)
Active=False
DemodMode=1
FreqCurrent=3573000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=3

[Preset.1.2]
Index=2
Name=Amateur-HF.SubBand(1).Preset(2)
Caption=3690
Description=SSB QRP centre of activity 3690 kHz
Active=False
DemodMode=2
FreqCurrent=3690000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=2

[Preset.1.3]
Index=3
Name=Amateur-HF.SubBand(1).Preset(3)
Caption=3760
Description=Emergency centre of activity 3760 kHz (Region 1)
Active=False
DemodMode=2
FreqCurrent=3760000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=2

[SubBand.2]
Index=2
Name=Amateur-HF.SubBand(2)
Caption=60m
Description=60 m band, 5351.5-5366.5 kHz (WRC-15; national rules differ)
NumPresets=12
ActivePreset=0
FreqMin=5351500
FreqMax=5366500
FreqCurrent=5357000

[Preset.2.0]
Index=0
Name=Amateur-HF.SubBand(2).Preset(0)
Caption=5357
Description=FT8 5357 kHz (dial frequency, USB)
Active=False
DemodMode=1
FreqCurrent=5357000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=3

[SubBand.3]
Index=3
Name=Amateur-HF.SubBand(3)
Caption=40m
Description=40 m band, 7000-7200 kHz Regions 1 and 3, 7000-7300 kHz Region 2
NumPresets=12
ActivePreset=0
FreqMin=7000000
FreqMax=7300000
FreqCurrent=7029600

[Preset.3.0]
Index=0
Name=Amateur-HF.SubBand(3).Preset(0)
Caption=7029
Description=CW QRP centre of activity 7030 kHz (CW, tuned 400 Hz low for a 400 Hz tone)
Active=False
DemodMode=1
FreqCurrent=7029600
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=1

[Preset.3.1]
Index=1
Name=Amateur-HF.SubBand(3).Preset(1)
Caption=7074
Description=FT8 7074 kHz (dial frequency, USB)
Active=False
DemodMode=1
FreqCurrent=7074000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=3

[Preset.3.2]
Index=2
Name=Amateur-HF.SubBand(3).Preset(2)
Caption=7090
Description=SSB QRP centre of activity 7090 kHz
Active=False
DemodMode=2
FreqCurrent=7090000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=2

[Preset.3.3]
Index=3
Name=Amateur-HF.SubBand(3).Preset(3)
Caption=7110
Description=Emergency centre of activity 7110 kHz (Region 1)
Active=False
DemodMode=2
FreqCurrent=7110000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=2

[SubBand.4]
Index=4
Name=Amateur-HF.SubBand(4)
Caption=30m
Description=30 m band, 10100-10150 kHz, narrow-band modes only
NumPresets=12
ActivePreset=0
FreqMin=10100000
FreqMax=10150000
FreqCurrent=10115600

[Preset.4.0]
Index=0
Name=Amateur-HF.SubBand(4).Preset(0)
Caption=10115
Description=CW QRP centre of activity 10116 kHz (CW, tuned 400 Hz low for a 400 Hz tone)
Active=False
DemodMode=1
FreqCurrent=10115600
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=1

[Preset.4.1]
Index=1
Name=Amateur-HF.SubBand(4).Preset(1)
Caption=10136
Description=FT8 10136 kHz (dial frequency, USB)
Active=False
DemodMode=1
FreqCurrent=10136000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=3

[SubBand.5]
Index=5
Name=Amateur-HF.SubBand(5)
Caption=20m
Description=20 m band, 14000-14350 kHz
NumPresets=12
ActivePreset=0
FreqMin=14000000
FreqMax=14350000
FreqCurrent=14059600

[Preset.5.0]
Index=0
Name=Amateur-HF.SubBand(5).Preset(0)
Caption=14059
Description=CW QRP centre of activity 14060 kHz (CW, tuned 400 Hz low for a 400 Hz tone)
Active=False
DemodMode=1
FreqCurrent=14059600
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=1

[Preset.5.1]
Index=1
Name=Amateur-HF.SubBand(5).Preset(1)
Caption=14074
Description=FT8 14074 kHz (dial frequency, USB)
Active=False
DemodMode=1
FreqCurrent=14074000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=3

[Preset.5.2]
Index=2
Name=Amateur-HF.SubBand(5).Preset(2)
Caption=14099
Description=IARU/NCDXF beacons 14100 kHz (CW, tuned 400 Hz low for a 400 Hz tone)
Active=False
DemodMode=1
FreqCurrent=14099600
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=1

[Preset.5.3]
Index=3
Name=Amateur-HF.SubBand(5).Preset(3)
Caption=14230
Description=SSTV centre of activity 14230 kHz
Active=False
DemodMode=1
FreqCurrent=14230000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=3

[Preset.5.4]
Index=4
Name=Amateur-HF.SubBand(5).Preset(4)
Caption=14285
Description=SSB QRP centre of activity 14285 kHz
Active=False
DemodMode=1
FreqCurrent=14285000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=2

[Preset.5.5]
Index=5
Name=Amateur-HF.SubBand(5).Preset(5)
Caption=14300
Description=Emergency centre of activity 14300 kHz (global)
Active=False
DemodMode=1
FreqCurrent=14300000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=2

[SubBand.6]
Index=6
Name=Amateur-HF.SubBand(6)
Caption=17m
Description=17 m band, 18068-18168 kHz
NumPresets=12
ActivePreset=0
FreqMin=18068000
FreqMax=18168000
FreqCurrent=18085600

[Preset.6.0]
Index=0
Name=Amateur-HF.SubBand(6).Preset(0)
Caption=18085
Description=CW QRP centre of activity 18086 kHz (CW, tuned 400 Hz low for a 400 Hz tone)
Active=False
DemodMode=1
FreqCurrent=18085600
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=1

[Preset.6.1]
Index=1
Name=Amateur-HF.SubBand(6).Preset(1)
Caption=18100
Description=FT8 18100 kHz (dial frequency, USB)
Active=False
DemodMode=1
FreqCurrent=18100000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=3

[Preset.6.2]
Index=2
Name=Amateur-HF.SubBand(6).Preset(2)
Caption=18109
Description=IARU/NCDXF beacons 18110 kHz (CW, tuned 400 Hz low for a 400 Hz tone)
Active=False
DemodMode=1
FreqCurrent=18109600
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=1

[Preset.6.3]
Index=3
Name=Amateur-HF.SubBand(6).Preset(3)
Caption=18130
Description=SSB QRP centre of activity 18130 kHz
Active=False
DemodMode=1
FreqCurrent=18130000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=2

[Preset.6.4]
Index=4
Name=Amateur-HF.SubBand(6).Preset(4)
Caption=18160
Description=Emergency centre of activity 18160 kHz (global)
Active=False
DemodMode=1
FreqCurrent=18160000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=2

[SubBand.7]
Index=7
Name=Amateur-HF.SubBand(7)
Caption=15m
Description=15 m band, 21000-21450 kHz
NumPresets=12
ActivePreset=0
FreqMin=21000000
FreqMax=21450000
FreqCurrent=21059600

[Preset.7.0]
Index=0
Name=Amateur-HF.SubBand(7).Preset(0)
Caption=21059
Description=CW QRP centre of activity 21060 kHz (CW, tuned 400 Hz low for a 400 Hz tone)
Active=False
DemodMode=1
FreqCurrent=21059600
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=1

[Preset.7.1]
Index=1
Name=Amateur-HF.SubBand(7).Preset(1)
Caption=21074
Description=FT8 21074 kHz (dial frequency, USB)
Active=False
DemodMode=1
FreqCurrent=21074000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=3

[Preset.7.2]
Index=2
Name=Amateur-HF.SubBand(7).Preset(2)
Caption=21149
Description=IARU/NCDXF beacons 21150 kHz (CW, tuned 400 Hz low for a 400 Hz tone)
Active=False
DemodMode=1
FreqCurrent=21149600
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=1

[Preset.7.3]
Index=3
Name=Amateur-HF.SubBand(7).Preset(3)
Caption=21285
Description=SSB QRP centre of activity 21285 kHz
Active=False
DemodMode=1
FreqCurrent=21285000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=2

[Preset.7.4]
Index=4
Name=Amateur-HF.SubBand(7).Preset(4)
Caption=21360
Description=Emergency centre of activity 21360 kHz (global)
Active=False
DemodMode=1
FreqCurrent=21360000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=2

[SubBand.8]
Index=8
Name=Amateur-HF.SubBand(8)
Caption=12m
Description=12 m band, 24890-24990 kHz
NumPresets=12
ActivePreset=0
FreqMin=24890000
FreqMax=24990000
FreqCurrent=24905600

[Preset.8.0]
Index=0
Name=Amateur-HF.SubBand(8).Preset(0)
Caption=24905
Description=CW QRP centre of activity 24906 kHz (CW, tuned 400 Hz low for a 400 Hz tone)
Active=False
DemodMode=1
FreqCurrent=24905600
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=1

[Preset.8.1]
Index=1
Name=Amateur-HF.SubBand(8).Preset(1)
Caption=24915
Description=FT8 24915 kHz (dial frequency, USB)
Active=False
DemodMode=1
FreqCurrent=24915000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=3

[Preset.8.2]
Index=2
Name=Amateur-HF.SubBand(8).Preset(2)
Caption=24929
Description=IARU/NCDXF beacons 24930 kHz (CW, tuned 400 Hz low for a 400 Hz tone)
Active=False
DemodMode=1
FreqCurrent=24929600
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=1

[Preset.8.3]
Index=3
Name=Amateur-HF.SubBand(8).Preset(3)
Caption=24950
Description=SSB QRP centre of activity 24950 kHz
Active=False
DemodMode=1
FreqCurrent=24950000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=2

[SubBand.9]
Index=9
Name=Amateur-HF.SubBand(9)
Caption=10m
Description=10 m band, 28000-29700 kHz
NumPresets=12
ActivePreset=0
FreqMin=28000000
FreqMax=29700000
FreqCurrent=28059600

[Preset.9.0]
Index=0
Name=Amateur-HF.SubBand(9).Preset(0)
Caption=28059
Description=CW QRP centre of activity 28060 kHz (CW, tuned 400 Hz low for a 400 Hz tone)
Active=False
DemodMode=1
FreqCurrent=28059600
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=1

[Preset.9.1]
Index=1
Name=Amateur-HF.SubBand(9).Preset(1)
Caption=28074
Description=FT8 28074 kHz (dial frequency, USB)
Active=False
DemodMode=1
FreqCurrent=28074000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=3

[Preset.9.2]
Index=2
Name=Amateur-HF.SubBand(9).Preset(2)
Caption=28199
Description=IARU/NCDXF beacons 28200 kHz (CW, tuned 400 Hz low for a 400 Hz tone)
Active=False
DemodMode=1
FreqCurrent=28199600
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=1

[Preset.9.3]
Index=3
Name=Amateur-HF.SubBand(9).Preset(3)
Caption=28360
Description=SSB QRP centre of activity 28360 kHz
Active=False
DemodMode=1
FreqCurrent=28360000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=2

[Preset.9.4]
Index=4
Name=Amateur-HF.SubBand(9).Preset(4)
Caption=29600
Description=FM simplex calling 29600 kHz
Active=False
DemodMode=4
FreqCurrent=29600000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=4

[SubBand.10]
Index=10
Name=Amateur-HF.SubBand(10)
Caption=S11
Description=SubBand #11
NumPresets=12
ActivePreset=-1
FreqMin=-1
FreqMax=-1
FreqCurrent=-1
