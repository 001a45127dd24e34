; OrvexSDR band plan: the broadcasting bands, long wave, medium wave and short wave.
; Sub-band limits are the ITU broadcasting allocations; each sub-band has one preset at
; its first channel (AM, 4 kHz filter) to start tuning from.
; OrvexSDR writes this file back at shutdown; comments and other keys are kept.

[MainBand]
Index=1
Name=Broadcast
Caption=Broadcast
Description=Broadcasting bands LW, MW and shortwave 120 m to 11 m
Active=False
ActiveSubBand=0
NumSubBands=16

[SubBand.0]
Index=0
Name=Broadcast.SubBand(0)
Caption=LW
Description=Long wave broadcasting, 148.5-283.5 kHz (Region 1), 9 kHz channels
NumPresets=12
ActivePreset=0
FreqMin=148500
FreqMax=283500
FreqCurrent=153000

[Preset.0.0]
Index=0
Name=Broadcast.SubBand(0).Preset(0)
Caption=153
Description=LW first channel 153 kHz
Active=False
DemodMode=0
FreqCurrent=153000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=4

[SubBand.1]
Index=1
Name=Broadcast.SubBand(1)
Caption=MW
Description=Medium wave broadcasting, 526.5-1606.5 kHz (Regions 1 and 3, 9 kHz channels), 525-1705 kHz (Region 2, 10 kHz channels)
NumPresets=12
ActivePreset=0
FreqMin=525000
FreqMax=1705000
FreqCurrent=531000

[Preset.1.0]
Index=0
Name=Broadcast.SubBand(1).Preset(0)
Caption=531
Description=MW first channel 531 kHz (Regions 1 and 3)
Active=False
DemodMode=0
FreqCurrent=531000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=4

[SubBand.2]
Index=2
Name=Broadcast.SubBand(2)
Caption=120m
Description=120 m tropical band, 2300-2495 kHz
NumPresets=12
ActivePreset=0
FreqMin=2300000
FreqMax=2495000
FreqCurrent=2310000

[Preset.2.0]
Index=0
Name=Broadcast.SubBand(2).Preset(0)
Caption=2310
Description=120m band start, 2310 kHz
Active=False
DemodMode=0
FreqCurrent=2310000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=4

[SubBand.3]
Index=3
Name=Broadcast.SubBand(3)
Caption=90m
Description=90 m tropical band, 3200-3400 kHz
NumPresets=12
ActivePreset=0
FreqMin=3200000
FreqMax=3400000
FreqCurrent=3200000

[Preset.3.0]
Index=0
Name=Broadcast.SubBand(3).Preset(0)
Caption=3200
Description=90m band start, 3200 kHz
Active=False
DemodMode=0
FreqCurrent=3200000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=4

[SubBand.4]
Index=4
Name=Broadcast.SubBand(4)
Caption=75m
Description=75 m band, 3900-4000 kHz (3950-4000 kHz in Region 1)
NumPresets=12
ActivePreset=0
FreqMin=3900000
FreqMax=4000000
FreqCurrent=3900000

[Preset.4.0]
Index=0
Name=Broadcast.SubBand(4).Preset(0)
Caption=3900
Description=75m band start, 3900 kHz
Active=False
DemodMode=0
FreqCurrent=3900000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=4

[SubBand.5]
Index=5
Name=Broadcast.SubBand(5)
Caption=60m
Description=60 m tropical band, 4750-5060 kHz
NumPresets=12
ActivePreset=0
FreqMin=4750000
FreqMax=5060000
FreqCurrent=4750000

[Preset.5.0]
Index=0
Name=Broadcast.SubBand(5).Preset(0)
Caption=4750
Description=60m band start, 4750 kHz
Active=False
DemodMode=0
FreqCurrent=4750000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=4

[SubBand.6]
Index=6
Name=Broadcast.SubBand(6)
Caption=49m
Description=49 m band, 5900-6200 kHz
NumPresets=12
ActivePreset=0
FreqMin=5900000
FreqMax=6200000
FreqCurrent=5900000

[Preset.6.0]
Index=0
Name=Broadcast.SubBand(6).Preset(0)
Caption=5900
Description=49m band start, 5900 kHz
Active=False
DemodMode=0
FreqCurrent=5900000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=4

[SubBand.7]
Index=7
Name=Broadcast.SubBand(7)
Caption=41m
Description=41 m band, 7200-7450 kHz (7300-7400 kHz in Region 2)
NumPresets=12
ActivePreset=0
FreqMin=7200000
FreqMax=7450000
FreqCurrent=7200000

[Preset.7.0]
Index=0
Name=Broadcast.SubBand(7).Preset(0)
Caption=7200
Description=41m band start, 7200 kHz
Active=False
DemodMode=0
FreqCurrent=7200000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=4

[SubBand.8]
Index=8
Name=Broadcast.SubBand(8)
Caption=31m
Description=31 m band, 9400-9900 kHz
NumPresets=12
ActivePreset=0
FreqMin=9400000
FreqMax=9900000
FreqCurrent=9400000

[Preset.8.0]
Index=0
Name=Broadcast.SubBand(8).Preset(0)
Caption=9400
Description=31m band start, 9400 kHz
Active=False
DemodMode=0
FreqCurrent=9400000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=4

[SubBand.9]
Index=9
Name=Broadcast.SubBand(9)
Caption=25m
Description=25 m band, 11600-12100 kHz
NumPresets=12
ActivePreset=0
FreqMin=11600000
FreqMax=12100000
FreqCurrent=11600000

[Preset.9.0]
Index=0
Name=Broadcast.SubBand(9).Preset(0)
Caption=11600
Description=25m band start, 11600 kHz
Active=False
DemodMode=0
FreqCurrent=11600000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=4

[SubBand.10]
Index=10
Name=Broadcast.SubBand(10)
Caption=22m
Description=22 m band, 13570-13870 kHz
NumPresets=12
ActivePreset=0
FreqMin=13570000
FreqMax=13870000
FreqCurrent=13570000

[Preset.10.0]
Index=0
Name=Broadcast.SubBand(10).Preset(0)
Caption=13570
Description=22m band start, 13570 kHz
Active=False
DemodMode=0
FreqCurrent=13570000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=4

[SubBand.11]
Index=11
Name=Broadcast.SubBand(11)
Caption=19m
Description=19 m band, 15100-15800 kHz
NumPresets=12
ActivePreset=0
FreqMin=15100000
FreqMax=15800000
FreqCurrent=15100000

[Preset.11.0]
Index=0
Name=Broadcast.SubBand(11).Preset(0)
Caption=15100
Description=19m band start, 15100 kHz
Active=False
DemodMode=0
FreqCurrent=15100000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=4

[SubBand.12]
Index=12
Name=Broadcast.SubBand(12)
Caption=16m
Description=16 m band, 17480-17900 kHz
NumPresets=12
ActivePreset=0
FreqMin=17480000
FreqMax=17900000
FreqCurrent=17480000

[Preset.12.0]
Index=0
Name=Broadcast.SubBand(12).Preset(0)
Caption=17480
Description=16m band start, 17480 kHz
Active=False
DemodMode=0
FreqCurrent=17480000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=4

[SubBand.13]
Index=13
Name=Broadcast.SubBand(13)
Caption=15m
Description=15 m band, 18900-19020 kHz
NumPresets=12
ActivePreset=0
FreqMin=18900000
FreqMax=19020000
FreqCurrent=18900000

[Preset.13.0]
Index=0
Name=Broadcast.SubBand(13).Preset(0)
Caption=18900
Description=15m band start, 18900 kHz
Active=False
DemodMode=0
FreqCurrent=18900000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=4

[SubBand.14]
Index=14
Name=Broadcast.SubBand(14)
Caption=13m
Description=13 m band, 21450-21850 kHz
NumPresets=12
ActivePreset=0
FreqMin=21450000
FreqMax=21850000
FreqCurrent=21450000

[Preset.14.0]
Index=0
Name=Broadcast.SubBand(14).Preset(0)
Caption=21450
Description=13m band start, 21450 kHz
Active=False
DemodMode=0
FreqCurrent=21450000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=4

[SubBand.15]
Index=15
Name=Broadcast.SubBand(15)
Caption=11m
Description=11 m band, 25670-26100 kHz
NumPresets=12
ActivePreset=0
FreqMin=25670000
FreqMax=26100000
FreqCurrent=25670000

[Preset.15.0]
Index=0
Name=Broadcast.SubBand(15).Preset(0)
Caption=25670
Description=11m band start, 25670 kHz
Active=False
DemodMode=0
FreqCurrent=25670000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=4

[SubBand.16]
Index=16
Name=Broadcast.SubBand(16)
Caption=S17
Description=SubBand #17
NumPresets=12
ActivePreset=-1
FreqMin=-1
FreqMax=-1
FreqCurrent=-1
