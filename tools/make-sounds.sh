#!/usr/bin/env bash
# Remakes the game's sound clips in resources/sounds/ from nothing but sox and espeak-ng:
#
#     apt-get install sox espeak-ng
#     tools/make-sounds.sh [output-folder]
#
# Every clip ends as mono 16-bit PCM WAVE (22050 Hz for game sounds, 16000 Hz for chatter), under two seconds, with soft fades at
# both ends and its peak normalised to -3 dBFS, so nothing clicks and nothing clips.
# Effects and non-speech chatter (cough, snore, sneeze, applause, honk, raspberry) are
# synthesised with sox; spoken and sung-out chatter comes from espeak-ng, shaped with sox.
# sox runs in repeatable mode and the applause uses a fixed seed, so a rerun gives the same clips.
# These tools only remake the committed clips; the build never needs them.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
out=${1:-"$here/../resources/sounds"}
mkdir -p "$out"
out=$(cd "$out" && pwd)

for tool in sox espeak-ng; do
    command -v "$tool" >/dev/null || { echo "make-sounds: $tool is missing (apt-get install sox espeak-ng)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

RATE=22050   # rate of the finished clips
WORK=48000   # raw material is made at a higher rate, so sawtooth and square waves do not alias

# sox in repeatable mode; gen makes mono raw material from nothing. Steps that could overshoot
# full scale (filters ringing on square waves, mixes, reverb) get headroom first.
sx() { sox -R "$@"; }
gen() { local file=$1; shift; sx -n -r $WORK -c 1 -b 32 -e floating-point "$file" "$@"; }

# finish NAME INPUT [extra effects...]: final format, fades, peak at LEVEL dBFS (-3 unless
# the caller sets it: dense or buzzy clips sit lower so they sound as loud as the rest).
finish() {
    local name=$1 input=$2; shift 2
    sx "$input" -c 1 -b 32 -e floating-point "fx_$name.wav" gain -n -6 "$@"
    local len fout
    len=$(soxi -D "fx_$name.wav")
    # fade in 5 ms, fade out over the last 15% of the clip (at least 20 ms, at most 150 ms)
    fout=$(awk -v l="$len" 'BEGIN { f = l * 0.15; if (f < 0.02) f = 0.02; if (f > 0.15) f = 0.15; printf "%.3f", f }')
    sx "fx_$name.wav" -r "$RATE" -c 1 -b 16 -e signed-integer "$out/$name.wav" \
        highpass 40 fade q 0.005 "$len" "$fout" gain -n "${LEVEL:--3}"
    echo "$name.wav  $(soxi -D "$out/$name.wav") s"
}

# note FILE FREQ LENGTH: a bell-like note, quick attack and a long soft decay.
note() {
    gen "$1" synth "$3" sine "$2" synth sine mix "$(awk -v f="$2" 'BEGIN{print f*2}')" \
        synth sine mix "$(awk -v f="$2" 'BEGIN{print f*3.01}')" \
        vol 0.6 fade q 0.008 "$3" "$(awk -v l="$3" 'BEGIN{print l*0.9}')"
}

# at FILE SECONDS INPUT: INPUT delayed by SECONDS.
at() { sx "$3" "$1" pad "$2" 0; }

# speak FILE VOICE PITCH SPEED TEXT: espeak-ng, silence trimmed off both ends.
speak() {
    espeak-ng -v "$2" -p "$3" -s "$4" -w raw_"$1" "$5"
    sx raw_"$1" -r $WORK -b 32 -e floating-point "$1" silence 1 0.01 0.3% reverse silence 1 0.01 0.3% reverse
}

# ---- game sounds ------------------------------------------------------------------------

# putnum: a light wooden tap for a digit placed.
gen pn_tone.wav synth 0.12 sine 880 synth sine mix 1760 fade q 0.004 0.12 0.115 fade q 0 0.12 0.08
gen pn_tick.wav synth 0.012 pinknoise vol 0.3 lowpass 3000 fade q 0.002 0.012 0.009 pad 0 0.108
sx -m pn_tone.wav pn_tick.wav putnum_raw.wav
LEVEL=-6 finish putnum putnum_raw.wav

# pencil: a short scribble of graphite on paper.
gen pencil_raw.wav synth 0.16 pinknoise highpass 2500 lowpass 7000 tremolo 45 70
LEVEL=-9 finish pencil pencil_raw.wav fade t 0.01 -0 0.1

# clear: a soft downward swish.
gen clear_a.wav synth 0.38 sine 1400:350 vol 0.5
gen clear_b.wav synth 0.38 pinknoise highpass 800 lowpass 5000
sx -m clear_a.wav clear_b.wav clear_raw.wav fade t 0.08 0.38 0.28
LEVEL=-6 finish clear clear_raw.wav

# right: a bright rising arpeggio, C6 E6 G6.
note r1.wav 1046.5 0.45
note r2.wav 1318.5 0.45
note r3.wav 1568.0 0.55
at r2d.wav 0.08 r2.wav
at r3d.wav 0.16 r3.wav
sx -m r1.wav r2d.wav r3d.wav right_raw.wav
finish right right_raw.wav

# wrong: a low soft "uh-oh", two falling buzzy notes.
gen w1.wav synth 0.2 square 392 gain -6 lowpass 1200 lowpass 1200 fade q 0.015 0.2 0.06
gen w2.wav synth 0.32 square 311 gain -6 lowpass 1000 lowpass 1000 fade q 0.015 0.32 0.2
sx w1.wav w2.wav wrong_raw.wav
LEVEL=-9 finish wrong wrong_raw.wav

# turn (classic): a single clear bell strike.
gen t1.wav synth 0.8 sine 1318.5 synth sine mix 2637 synth sine mix 3558 \
    fade q 0.003 0.8 0.78 vol 0.6
finish turn t1.wav

# turnnew: two marimba notes going up.
gen tn1.wav synth 0.3 triangle 784 synth sine mix 3136 lowpass 3000 fade h 0.003 0.3 0.28
gen tn2.wav synth 0.45 triangle 1175 synth sine mix 4700 lowpass 3500 fade h 0.003 0.45 0.43
at tn2d.wav 0.13 tn2.wav
sx -m tn1.wav tn2d.wav turnnew_raw.wav
finish turnnew turnnew_raw.wav

# filled: a soft rising blip, somebody else's turn.
gen filled_raw.wav synth 0.14 sine 500:1000 fade h 0.01 0.14 0.1
LEVEL=-7 finish filled filled_raw.wav

# gameover: a short brassy fanfare, C5 E5 G5 and a held C major chord.
brass() { gen "$1" synth "$3" sawtooth "$2" synth sawtooth mix "$(awk -v f="$2" 'BEGIN{print f*1.005}')" \
    lowpass 2200 lowpass 2200 fade q 0.02 "$3" 0.08; }
brass g1.wav 523.25 0.17
brass g2.wav 659.25 0.17
brass g3.wav 783.99 0.17
gen g4.wav synth 0.8 sawtooth 523.25 synth sawtooth mix 659.25 synth sawtooth mix 783.99 \
    synth sawtooth mix 1046.5 lowpass 2500 lowpass 2500 tremolo 5.5 15 fade q 0.03 0.8 0.45
sx g1.wav g2.wav g3.wav g4.wav gameover_raw.wav gain -6 reverb 30 50 60
finish gameover gameover_raw.wav

# entered: a two-tone door chime, ding-dong.
note e1.wav 659.25 0.7
note e2.wav 523.25 0.9
at e2d.wav 0.32 e2.wav
sx -m e1.wav e2d.wav entered_raw.wav
finish entered entered_raw.wav

# ---- chatter sounds ---------------------------------------------------------------------
# Voices and noises keep their character at 16 kHz, and the clips stay small.
RATE=16000

# 1 Doh
speak doh.wav en-us+m3 35 150 "D'oh!"
finish wave1 doh.wav

# 2 Cough: two barks of chesty noise, each with a short voiced rasp.
cough() {
    gen "c_n$1.wav" synth 0.2 brownnoise synth pinknoise mix bandpass 700 1200h highpass 150
    gen "c_v$1.wav" synth 0.2 sawtooth "$2" vol 0.4 lowpass 900
    sx -m "c_n$1.wav" "c_v$1.wav" "cough$1.wav" fade p 0.008 0.2 0.17 fade q 0 0.2 0.14
}
cough 1 150
cough 2 135
at cough2d.wav 0.32 cough2.wav
sx -m cough1.wav cough2d.wav cough_raw.wav
finish wave2 cough_raw.wav

# 3 Hello
speak hello.wav en-us+f3 55 150 "Hello!"
finish wave3 hello.wav

# 4 Thank You
speak thanks.wav en-us+m3 45 150 "Thank you!"
finish wave4 thanks.wav

# 5 Where have you been?
speak where.wav en-us+f4 60 165 "Where have you been?"
finish wave5 where.wav

# 6 Snoring: a rattling inhale through the nose, then a long soft breath out.
gen sn_in.wav synth 0.9 brownnoise synth sawtooth mix 32 lowpass 600 lowpass 600 \
    tremolo 32 80 fade t 0.45 0.9 0.25
gen sn_out.wav synth 0.75 pinknoise vol 0.35 highpass 300 lowpass 1800 fade t 0.1 0.75 0.55
sx sn_in.wav sn_out.wav snore_raw.wav pad 0 0.05
finish wave6 snore_raw.wav

# 7 Sneezing: two quick breaths in, a rising "ah", then the sharp "tchoo".
gen sz_in.wav synth 0.22 pinknoise vol 0.4 bandpass 1200 800h fade t 0.15 0.22 0.05
gen sz_ah.wav synth 0.35 sawtooth 240:380 vol 0.5 lowpass 1100 lowpass 1100 fade q 0.04 0.35 0.08
gen sz_t.wav synth 0.05 whitenoise gain -6 highpass 3000 fade t 0.003 0.05 0.02
gen sz_oo.wav synth 0.35 pinknoise synth 0.35 sawtooth mix 300:220 gain -6 highpass 1800 lowpass 6000 \
    fade l 0.004 0.35 0.3
sx sz_t.wav sz_oo.wav sz_choo.wav
sx sz_in.wav sz_in.wav sz_ah.wav sz_choo.wav sneeze_raw.wav
finish wave7 sneeze_raw.wav

# 8 Sorry
speak sorry.wav en-us+m3 40 140 "Sorry"
finish wave8 sorry.wav

# 9 Welcome
speak welcome.wav en-us+f3 60 145 "Welcome!"
finish wave9 welcome.wav

# 10 Yeehaa
speak yee.wav en-us+m7 70 150 "Yee haaa!"
finish wave10 yee.wav

# 11 Yippee
speak yip.wav en-us+f4 90 160 "Yippeee!"
finish wave11 yip.wav

# 12 Oh No
speak ohno.wav en-us+m3 50 120 "Oh no!"
finish wave12 ohno.wav

# 13 Applause: eight pairs of hands clapping at their own uneven pace, with a little room.
RANDOM=20240613
for k in 0 1 2 3 4 5 6 7; do
    gen "clap$k.wav" synth 0.035 whitenoise bandpass $((900 + k * 200)) 1400 fade l 0.001 0.035 0.032
    parts=()
    gen "gap${k}_0.wav" trim 0 "0.0$((RANDOM % 9))"
    parts+=("gap${k}_0.wav")
    for i in $(seq 1 13); do
        parts+=("clap$k.wav")
        gen "gap${k}_$i.wav" trim 0 "0.$((7 + RANDOM % 8))"
        parts+=("gap${k}_$i.wav")
    done
    sx "${parts[@]}" "hands$k.wav" trim 0 1.7
done
sx -m hands[0-7].wav applause_raw.wav \
    compand 0.002,0.15 6:-70,-60,-20 -5 -90 0.01 gain -6 reverb 40 50 40 fade t 0.1 1.7 0.5
finish wave13 applause_raw.wav

# 14 Honk: a car horn, two blasts.
gen hk.wav synth 0.26 sawtooth 415 synth sawtooth mix 523 gain -6 lowpass 2500 overdrive 6 \
    lowpass 3000 fade q 0.015 0.26 0.04
gen hkgap.wav trim 0 0.08
gen hk2.wav synth 0.45 sawtooth 415 synth sawtooth mix 523 gain -6 lowpass 2500 overdrive 6 \
    lowpass 3000 fade q 0.015 0.45 0.08
sx hk.wav hkgap.wav hk2.wav honk_raw.wav
LEVEL=-6 finish wave14 honk_raw.wav

# 15 Oooh: a little crowd going "ooh", three voices a beat apart.
speak oo1.wav en-us+f3 50 90 "Ooooooh"
speak oo2.wav en-us+m3 30 90 "Ooooooh"
speak oo3.wav en-us+f4 70 90 "Ooooooh"
at oo2d.wav 0.04 oo2.wav
at oo3d.wav 0.09 oo3.wav
sx -m oo1.wav oo2d.wav oo3d.wav oooh_raw.wav chorus 0.6 0.9 50 0.4 0.25 2 -s reverb 40
finish wave15 oooh_raw.wav

# 16 Razzberry: lips flapping, a rough low buzz with breath.
gen rz_v.wav synth 0.9 sawtooth 68:58 synth 0.9 sawtooth mix 103:88 gain -6 lowpass 1400
gen rz_n.wav synth 0.9 pinknoise vol 0.5 bandpass 900 1200h
sx -m rz_v.wav rz_n.wav rz_raw.wav tremolo 27 90 tremolo 11 30 fade q 0.03 0.9 0.25
finish wave16 rz_raw.wav

# 17 Cheer: a few voices shouting over clapping.
speak ch1.wav en-us+m3 60 170 "Hooray!"
speak ch2.wav en-us+f3 85 170 "Yaaay!"
speak ch3.wav en-us+m7 45 170 "Woo hoo!"
at ch2d.wav 0.06 ch2.wav
at ch3d.wav 0.12 ch3.wav
sx -m ch1.wav ch2d.wav ch3d.wav ch_voices.wav reverb 30
sx "$out/wave13.wav" -r $WORK -b 32 -e floating-point ch_bed.wav
sx -m -v 1 ch_voices.wav -v 0.6 ch_bed.wav cheer_raw.wav trim 0 1.7
finish wave17 cheer_raw.wav

# 18 Woman Laughing
speak wl.wav en-us+f4 85 190 "ha ha ha ha ha haa"
finish wave18 wl.wav tremolo 9 25

# 19 Man Laughing
speak ml.wav en-us+m3 20 170 "ho ho ho ha haa"
finish wave19 ml.wav tremolo 7 25

# 20 Crying: a wailing "waah" and sobbing "boo hoo hoo", shaking.
speak cr.wav en-us+f3 75 135 "Waaah, boo hoo hoo!"
finish wave20 cr.wav tremolo 6 45 reverb 20

echo "total $(du -cb "$out"/*.wav | tail -1 | cut -f1) bytes in $(ls "$out"/*.wav | wc -l) clips"
