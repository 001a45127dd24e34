; OrvexSDR band plan: time-signal and standard-frequency stations, and the IARU/NCDXF
; HF beacons. Carrier-keyed signals are tuned 400 Hz below the carrier (USB, 400 Hz
; filter) for a 400 Hz tone; the HF standard-frequency stations use AM.
; OrvexSDR writes this file back at shutdown; comments and other keys are kept.

[MainBand]
Index=2
Name=Time-Signals
Caption=Time & Beacons
Description=Time signals, standard frequencies and HF beacons
Active=False
ActiveSubBand=0
NumSubBands=10

[SubBand.0]
Index=0
Name=Time-Signals.SubBand(0)
Caption=LF
Description=Long-wave time signals, 40-162 kHz
NumPresets=12
ActivePreset=0
FreqMin=39000
FreqMax=163000
FreqCurrent=39600

[Preset.0.0]
Index=0
Name=Time-Signals.SubBand(0).Preset(0)
Caption=39
Description=JJY Japan 40 kHz (Fukushima) (CW, tuned 400 Hz low for a 400 Hz tone)
Active=False
DemodMode=1
FreqCurrent=39600
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=1

[Preset.0.1]
Index=1
Name=Time-Signals.SubBand(0).Preset(1)
Caption=59
Description=MSF UK, WWVB USA, JJY Japan 60 kHz (CW, tuned 400 Hz low for a 400 Hz tone)
Active=False
DemodMode=1
FreqCurrent=59600
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=1

[Preset.0.2]
Index=2
Name=Time-Signals.SubBand(0).Preset(2)
Caption=68
Description=BPC China 68.5 kHz (CW, tuned 400 Hz low for a 400 Hz tone)
Active=False
DemodMode=1
FreqCurrent=68100
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=1

[Preset.0.3]
Index=3
Name=Time-Signals.SubBand(0).Preset(3)
Caption=77
Description=DCF77 Germany 77.5 kHz (Mainflingen) (CW, tuned 400 Hz low for a 400 Hz tone)
Active=False
DemodMode=1
FreqCurrent=77100
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=1

[Preset.0.4]
Index=4
Name=Time-Signals.SubBand(0).Preset(4)
Caption=161
Description=TDF/ALS162 France 162 kHz (Allouis) (CW, tuned 400 Hz low for a 400 Hz tone)
Active=False
DemodMode=1
FreqCurrent=161600
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=1

[SubBand.1]
Index=1
Name=Time-Signals.SubBand(1)
Caption=2.5M
Description=Standard frequency 2500 kHz
NumPresets=12
ActivePreset=0
FreqMin=2495000
FreqMax=2505000
FreqCurrent=2500000

[Preset.1.0]
Index=0
Name=Time-Signals.SubBand(1).Preset(0)
Caption=2500
Description=WWV, WWVH, BPM 2500 kHz
Active=False
DemodMode=0
FreqCurrent=2500000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=4

[SubBand.2]
Index=2
Name=Time-Signals.SubBand(2)
Caption=3.3M
Description=CHU Canada 3330 kHz
NumPresets=12
ActivePreset=0
FreqMin=3325000
FreqMax=3335000
FreqCurrent=3330000

[Preset.2.0]
Index=0
Name=Time-Signals.SubBand(2).Preset(0)
Caption=3330
Description=CHU Canada 3330 kHz (Ottawa)
Active=False
DemodMode=0
FreqCurrent=3330000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=3

[SubBand.3]
Index=3
Name=Time-Signals.SubBand(3)
Caption=5M
Description=Standard frequency 5000 kHz
NumPresets=12
ActivePreset=0
FreqMin=4990000
FreqMax=5010000
FreqCurrent=5000000

[Preset.3.0]
Index=0
Name=Time-Signals.SubBand(3).Preset(0)
Caption=5000
Description=WWV, WWVH, BPM, HLA 5000 kHz
Active=False
DemodMode=0
FreqCurrent=5000000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=4

[Preset.3.1]
Index=1
Name=Time-Signals.SubBand(3).Preset(1)
Caption=4995
Description=RWM Russia 4996 kHz (Moscow) (CW, tuned 400 Hz low for a 400 Hz tone)
Active=False
DemodMode=1
FreqCurrent=4995600
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=1

[SubBand.4]
Index=4
Name=Time-Signals.SubBand(4)
Caption=7.8M
Description=CHU Canada 7850 kHz
NumPresets=12
ActivePreset=0
FreqMin=7845000
FreqMax=7855000
FreqCurrent=7850000

[Preset.4.0]
Index=0
Name=Time-Signals.SubBand(4).Preset(0)
Caption=7850
Description=CHU Canada 7850 kHz (Ottawa)
Active=False
DemodMode=0
FreqCurrent=7850000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=3

[SubBand.5]
Index=5
Name=Time-Signals.SubBand(5)
Caption=10M
Description=Standard frequency 10000 kHz
NumPresets=12
ActivePreset=0
FreqMin=9990000
FreqMax=10010000
FreqCurrent=10000000

[Preset.5.0]
Index=0
Name=Time-Signals.SubBand(5).Preset(0)
Caption=10000
Description=WWV, WWVH, BPM 10000 kHz
Active=False
DemodMode=0
FreqCurrent=10000000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=4

[Preset.5.1]
Index=1
Name=Time-Signals.SubBand(5).Preset(1)
Caption=9995
Description=RWM Russia 9996 kHz (Moscow) (CW, tuned 400 Hz low for a 400 Hz tone)
Active=False
DemodMode=1
FreqCurrent=9995600
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=1

[SubBand.6]
Index=6
Name=Time-Signals.SubBand(6)
Caption=14.7M
Description=CHU Canada 14670 kHz
NumPresets=12
ActivePreset=0
FreqMin=14665000
FreqMax=14675000
FreqCurrent=14670000

[Preset.6.0]
Index=0
Name=Time-Signals.SubBand(6).Preset(0)
Caption=14670
Description=CHU Canada 14670 kHz (Ottawa)
Active=False
DemodMode=0
FreqCurrent=14670000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=3

[SubBand.7]
Index=7
Name=Time-Signals.SubBand(7)
Caption=15M
Description=Standard frequency 15000 kHz
NumPresets=12
ActivePreset=0
FreqMin=14990000
FreqMax=15010000
FreqCurrent=15000000

[Preset.7.0]
Index=0
Name=Time-Signals.SubBand(7).Preset(0)
Caption=15000
Description=WWV, WWVH, BPM 15000 kHz
Active=False
DemodMode=0
FreqCurrent=15000000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=4

[Preset.7.1]
Index=1
Name=Time-Signals.SubBand(7).Preset(1)
Caption=14995
Description=RWM Russia 14996 kHz (Moscow) (CW, tuned 400 Hz low for a 400 Hz tone)
Active=False
DemodMode=1
FreqCurrent=14995600
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=1

[SubBand.8]
Index=8
Name=Time-Signals.SubBand(8)
Caption=20M
Description=Standard frequency 20000 kHz
NumPresets=12
ActivePreset=0
FreqMin=19990000
FreqMax=20010000
FreqCurrent=20000000

[Preset.8.0]
Index=0
Name=Time-Signals.SubBand(8).Preset(0)
Caption=20000
Description=WWV 20000 kHz
Active=False
DemodMode=0
FreqCurrent=20000000
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=4

[SubBand.9]
Index=9
Name=Time-Signals.SubBand(9)
Caption=NCDXF
Description=IARU/NCDXF beacons: 18 stations take turns, 10 s each, on 14100, 18110, 21150, 24930 and 28200 kHz
NumPresets=12
ActivePreset=0
FreqMin=14099000
FreqMax=28201000
FreqCurrent=14099600

[Preset.9.0]
Index=0
Name=Time-Signals.SubBand(9).Preset(0)
Caption=14099
Description=IARU/NCDXF beacons 14100 kHz (CW, tuned 400 Hz low for a 400 Hz tone)
Active=False
DemodMode=1
FreqCurrent=14099600
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=1

[Preset.9.1]
Index=1
Name=Time-Signals.SubBand(9).Preset(1)
Caption=18109
Description=IARU/NCDXF beacons 18110 kHz (CW, tuned 400 Hz low for a 400 Hz tone)
Active=False
DemodMode=1
FreqCurrent=18109600
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=1

[Preset.9.2]
Index=2
Name=Time-Signals.SubBand(9).Preset(2)
Caption=21149
Description=IARU/NCDXF beacons 21150 kHz (CW, tuned 400 Hz low for a 400 Hz tone)
Active=False
DemodMode=1
FreqCurrent=21149600
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=1

[Preset.9.3]
Index=3
Name=Time-Signals.SubBand(9).Preset(3)
Caption=24929
Description=IARU/NCDXF beacons 24930 kHz (CW, tuned 400 Hz low for a 400 Hz tone)
Active=False
DemodMode=1
FreqCurrent=24929600
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=1

[Preset.9.4]
Index=4
Name=Time-Signals.SubBand(9).Preset(4)
Caption=28199
Description=IARU/NCDXF beacons 28200 kHz (CW, tuned 400 Hz low for a 400 Hz tone)
Active=False
DemodMode=1
FreqCurrent=28199600
TuneImage=False
When=2025-01-01 00:00:00
FilterMode=1

[SubBand.10]
Index=10
Name=Time-Signals.SubBand(10)
Caption=S11
Description=SubBand #11
NumPresets=12
ActivePreset=-1
FreqMin=-1
FreqMax=-1
FreqCurrent=-1
