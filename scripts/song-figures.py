#!/usr/bin/python3
"""Listener-level figures of a song as the player renders it, for scripts/song-report.sh, and
the song's goals.

Every render is headerless 16-bit little-endian stereo at 44,100 Hz (xmrender --profile design
--raw: the player as the intro plays), and only its first 42.5 seconds count: what the intro
plays before it quits.

  song-figures.py RENDER.raw
      One line of key=value figures, the first form of this script: movement_theme,
      movement_drive, lift, end_dbfs, repetition, sub, bass, centroid, hp150_loss, peak_dbfs,
      rms_dbfs, fullscale (named as in `figures`: movement_scroller, movement_tunnel, lift, end,
      repetition, sub, low, centroid, hp150_loss, peak, rms, fullscale), then band_distance,
      bands_outside, punch and perc_harm.
  song-figures.py figures NAME=RENDER.raw ...
      One line per render: its name, then key=value figures (see Figures below).
  song-figures.py solo SONG.xm CHANNEL OUT.xm
      Writes a copy of the module in which only CHANNEL (0-based) plays: every other channel
      keeps only the effects that steer the whole song (tempo, global volume, jumps, pattern
      loops and delays).
  song-figures.py report --song SONG.raw --lead CHANNEL --parts NAME=SOLO.raw ...
                         --references NAME=RENDER.raw ... --picture LEVELS.ppm [--module SONG.xm]
      The report's tables in markdown: the song's figures next to the references' median and
      middle half, the levels under each scene, each part (its channel rendered alone: level,
      loudness lost through a 150 Hz high-pass), the semitone rubs against the lead in the
      last 2.5 s, and every module's figures; and each part's level over time as a picture.
      With --module (the module SONG.raw was rendered from, the parts in channel order), also
      the song's goals, met or not, with the octave bands, the arrivals and each section.
  song-figures.py goals SONG.xm [--xmrender PATH] [--lead CHANNEL] [--pitched CHANNELS]
                        [--names NAMES]
      Renders the module and each of its channels alone with xmrender (build/xmrender by
      default: run from the project's root), then prints each figure the song's goals name
      with its goal and whether it is met (yes/no), the details (the octave bands, each
      arrival, each section's pitched parts) and, last, one line: "song goals met: N of M",
      naming the goals that are not. Exit status 0 only when every goal is met.
      --lead: the channel that plays the tune (default 4: in the current song channel 4 plays
      the theme and the drive's phrases; channels 0-2 are drums, 3 the bass, 5 the pluck, 6 and
      7 the pads). --pitched: the channels of pitched parts, comma-separated (default 3,4,5,6,7).
      --names: a name per channel, comma-separated (default: the current song's parts).

The figures of the song's third version (each function's docstring has the exact definition):
  octave bands      octave_profile, band_distance: each octave band's share of the power
                    (31 Hz to 16 kHz); the summed distance (dB) of the bands beyond the middle
                    half of 23 game modules, and the bands outside their whole range. The
                    modules' figures are written into this script (REFERENCE_BANDS): no
                    reference file is needed.
  beat punch        beat_punch: the movement of 100 ms levels about their own 1 s mean.
  percussive        percussive_harmonic: the power of the percussive part of the spectrogram
                    against that of the harmonic part (median filters across and along time).
  sections          sections: the spans between the starts of a new pattern (from the module's
                    order list, tempo and jumps), each marked as a breakdown (more than 4 dB
                    under the section before it, before the close) or the close (from 34.5 s,
                    half a second before the credits).
  arrivals          arrivals: the lift at each new pattern (its first 0.5 s against the 0.5 s
                    before): the median over every arrival, and the share quieter than before,
                    the breakdowns' and the close's arrivals excepted.
  movement          level_movement_without: the tunnel's level movement with the breakdowns'
                    windows left out.
  lead on top       lead_on_top: each section's integrated loudness (LUFS) of every pitched
                    part rendered alone; the goal: the lead the loudest in at least three of
                    every four sections where a pitched part sounds (the first and the close's
                    included), the breakdowns not counted.

Uses numpy only (Debian's python3-numpy). Its checks: scripts/test_song_figures.py.
"""

import argparse
import os
import struct
import subprocess
import sys
import tempfile

import numpy as np

RATE = 44100
LENGTH = 42.5  # seconds: the intro quits here
SILENCE = 32  # sample magnitudes up to this (-60 dBFS) are silence
SCENES = [("black", 0.0, 2.2), ("scroller", 2.2, 17.0), ("tunnel", 17.0, 35.0),
          ("credits", 35.0, 40.0), ("blue", 40.0, 42.5)]


def read_render(path):
    """The first 42.5 s of a raw render as float frames (n × 2) in units of full scale."""
    pcm = np.fromfile(path, dtype="<i2").astype(np.float64).reshape(-1, 2)
    return pcm[:int(LENGTH * RATE)] / 32768.0


def decibels(power):
    return 10 * np.log10(max(power, 1e-20))


def rms_dbfs(signal):
    return decibels(np.mean(signal ** 2)) if signal.size else -200.0


def span(signal, start, end):
    return signal[int(start * RATE):int(end * RATE)]


def level_movement(stereo, start, end, window=4410):
    """Standard deviation (dB) of the RMS levels of consecutive 100 ms windows."""
    part = span(stereo, start, end)
    levels = [rms_dbfs(part[i:i + window]) for i in range(0, len(part) - window, window)]
    return float(np.std(levels))


def power_spectrum(signal, size=8192):
    """Welch's average of Hann-windowed power spectra, half-overlapping segments."""
    window = np.hanning(size)
    spectra = [np.abs(np.fft.rfft(signal[i:i + size] * window)) ** 2
               for i in range(0, len(signal) - size, size // 2)]
    return np.fft.rfftfreq(size, 1 / RATE), np.mean(spectra, axis=0)


def band_shares(stereo):
    """Energy below 60 Hz and from 60 to 250 Hz, in dB of the total (both channels)."""
    frequencies, left = power_spectrum(stereo[:, 0])
    _, right = power_spectrum(stereo[:, 1])
    power = left + right
    total = power.sum()
    sub = decibels(power[frequencies < 60].sum() / total)
    low = decibels(power[(frequencies >= 60) & (frequencies < 250)].sum() / total)
    return sub, low


def centroid(mono):
    frequencies, power = power_spectrum(mono)
    return float((frequencies * power).sum() / power.sum())


def highpass_loss(mono, cutoff=150.0):
    """The loudness (dB RMS) lost when everything below the cutoff is removed."""
    spectrum = np.fft.rfft(mono)
    spectrum[np.fft.rfftfreq(len(mono), 1 / RATE) < cutoff] = 0
    return rms_dbfs(mono) - rms_dbfs(np.fft.irfft(spectrum, len(mono)))


def repetition(mono, size=4096, hop=1024):
    """The share of half-second windows that have a near-copy (cosine similarity at least 0.9,
    at least 2 s away) anywhere in the render. A window is described by its pitch classes
    (log magnitudes from 65 Hz to 2.1 kHz folded into 12 classes, normalised, mean removed) and
    its spectral shape (24 log-spaced bands from 40 Hz to 16 kHz, standardised)."""
    window = np.hanning(size)
    frames = np.array([np.abs(np.fft.rfft(mono[i:i + size] * window))
                       for i in range(0, len(mono) - size, hop)]).T / window.sum()
    frequencies = np.fft.rfftfreq(size, 1 / RATE)
    edges = np.geomspace(40, 16000, 25)
    bands = np.log1p(100 * np.array([
        frames[(frequencies >= edges[i]) & (frequencies < edges[i + 1])].sum(axis=0)
        for i in range(24)]))
    tonal = (frequencies >= 65) & (frequencies <= 2100)
    pitch_class = np.round(69 + 12 * np.log2(frequencies[tonal] / 440.0)).astype(int) % 12
    magnitudes = np.log1p(1000 * frames[tonal])
    chroma = np.array([magnitudes[pitch_class == k].sum(axis=0) for k in range(12)])

    per_window = int(round(0.5 * RATE / hop))
    count = frames.shape[1] // per_window
    features = []
    for w in range(count):
        columns = slice(w * per_window, (w + 1) * per_window)
        pitches = chroma[:, columns].mean(axis=1)
        shape = bands[:, columns].mean(axis=1)
        pitches = pitches / (np.linalg.norm(pitches) + 1e-9)
        shape = (shape - shape.mean()) / (shape.std() + 1e-9) / np.sqrt(24)
        features.append(np.concatenate([pitches - pitches.mean(), shape]))
    features = np.array(features)
    features /= np.linalg.norm(features, axis=1, keepdims=True) + 1e-9
    similarity = features @ features.T
    distance = np.abs(np.arange(count)[:, None] - np.arange(count)[None, :])
    similarity[distance < 4] = -1  # a near-copy lies at least four windows (2 s) away
    return float((similarity.max(axis=1) > 0.9).mean())


# --- Octave bands, against the references -------------------------------------------------------

OCTAVE_EDGES = (22, 44, 88, 177, 355, 710, 1420, 2840, 5680, 11360, 22050)
OCTAVES = ("31 Hz", "63 Hz", "125 Hz", "250 Hz", "500 Hz", "1 kHz", "2 kHz", "4 kHz", "8 kHz",
           "16 kHz")

# The octave profiles (octave_profile, dB of the total) of 23 game modules: the 13 of Debian's
# heroes-sound-tracks (endscroll, heroes01 to heroes10, intro, menu) and the 8-channel modules
# of ballz-data (finalman-quickie), bomberclone-data (mario_is_a_weenie, slice_me_nice, zb-tnt),
# dodgindiamond2 (bgm1, bgm2), rafkill-data (song1), solarwolf (arg, aster2_sw) and vor (mph).
# Each module's first 42.5 s was rendered by this project's xmrender at commit 7246b54
# (`xmrender MODULE.xm --seconds 42.5 --raw -o MODULE.raw`, the player the design profile
# keeps byte for byte) and measured by octave_profile; per
# band, the median, the quartiles (the middle half: numpy's percentile 25 and 75, linear) and
# the least and greatest of the 23 (rounded outwards, so that each module lies in the range).
# Measured the same way against the other 22, the modules lie a median of 12.9 dB beyond the
# middle half (quartiles 8.3 to 21.9).
REFERENCE_BANDS = {
    "median": (-13.18, -4.91, -6.48, -8.59, -11.49, -13.96, -17.07, -20.16, -22.34, -28.55),
    "quartile 25": (-15.18, -5.77, -7.96, -9.47, -13.67, -16.49, -20.90, -22.91, -27.07, -37.60),
    "quartile 75": (-9.44, -3.77, -5.78, -7.83, -9.55, -12.45, -14.96, -18.37, -19.36, -24.92),
    "least": (-30.38, -12.60, -10.78, -11.71, -16.51, -23.56, -30.45, -37.88, -42.12, -46.83),
    "greatest": (-2.44, -1.83, -4.21, -4.32, -4.52, -8.31, -12.19, -13.08, -15.13, -12.67),
}


def welch(signal, size=8192):
    """Welch's power spectrum of one channel: periodic Hann windows of `size` frames, half
    overlapping, each segment's mean removed; every whole segment, one-sided (bins between DC
    and the Nyquist frequency doubled). Returns the bins' frequencies and powers (unscaled)."""
    window = 0.5 - 0.5 * np.cos(2 * np.pi * np.arange(size) / size)
    power = np.zeros(size // 2 + 1)
    count = 0
    for start in range(0, len(signal) - size + 1, size // 2):
        segment = signal[start:start + size]
        power += np.abs(np.fft.rfft((segment - segment.mean()) * window)) ** 2
        count += 1
    power[1:-1] *= 2
    return np.fft.rfftfreq(size, 1 / RATE), power / max(count, 1)


def octave_profile(stereo):
    """Each octave band's share of the power, in dB of the total above 22 Hz: the bands 22-44,
    44-88, ... 11360-22050 Hz (centres 31 Hz to 16 kHz), from Welch's spectrum (8192 frames)
    of both channels added."""
    frequencies, left = welch(stereo[:, 0])
    _, right = welch(stereo[:, 1])
    power = left + right
    total = power[frequencies >= OCTAVE_EDGES[0]].sum()
    return np.array([decibels(power[(frequencies >= low) & (frequencies < high)].sum()
                              / max(total, 1e-30))
                     for low, high in zip(OCTAVE_EDGES[:-1], OCTAVE_EDGES[1:])])


def band_distance(profile, references=REFERENCE_BANDS):
    """How far an octave profile lies from the references': the sum over the ten bands of the
    distance (dB) beyond the references' middle half (from the nearer quartile; 0 for a band
    between the quartiles), and the names of the bands outside the references' whole range."""
    low, high = np.array(references["quartile 25"]), np.array(references["quartile 75"])
    beyond = np.maximum(low - profile, 0) + np.maximum(profile - high, 0)
    outside = [name for name, value, least, most in
               zip(OCTAVES, profile, references["least"], references["greatest"])
               if value < least or value > most]
    return float(beyond.sum()), outside


# --- The beat --------------------------------------------------------------------------------

def beat_punch(stereo, start=2.2, end=40.0, window=4410, average=10):
    """The beat's punch (dB): the standard deviation of the RMS levels (dB, a silent window
    -100 dB) of consecutive 100 ms windows from 2.2 to 40 s about their own running mean over
    ten windows (1 s, centred), the first and the last ten windows left out. A section's step
    moves the running mean with it, so this keeps only the movement within each second (the
    level movement counts both)."""
    part = span(stereo, start, end)
    levels = np.array([10 * np.log10(np.mean(part[i:i + window] ** 2) + 1e-10)
                       for i in range(0, len(part) - window, window)])
    if len(levels) <= 2 * average:
        return 0.0
    mean = np.convolve(levels, np.ones(average) / average, "same")
    return float((levels - mean)[average:-average].std())


def median_filter(values, size, axis):
    """The running median of `size` values (odd) along `axis`, the edges mirrored
    (a b c | c b a)."""
    half = size // 2
    padding = [(0, 0)] * values.ndim
    padding[axis] = (half, half)
    windows = np.lib.stride_tricks.sliding_window_view(np.pad(values, padding, mode="symmetric"),
                                                       size, axis=axis)
    out = np.empty(values.shape)
    for first in range(0, values.shape[0], 64):
        chunk = windows[first:first + 64]
        out[first:first + 64] = np.partition(chunk, half, axis=-1)[..., half]
    return out


def percussive_harmonic(mono, size=2048, hop=512, length=17):
    """Percussive against harmonic power (dB). The magnitude spectrogram (periodic Hann windows
    of 2048 frames every 512, divided by the window's sum) is smoothed by a running median of 17
    frames along time (the harmonic part: steady partials) and of 17 bins across frequency (the
    percussive part: broadband clicks); each bin's power is shared between the two in
    proportion to their squares (a soft mask, p^2 / (h^2 + p^2)), and the percussive share's
    total is compared with the harmonic share's."""
    window = 0.5 - 0.5 * np.cos(2 * np.pi * np.arange(size) / size)
    frames = np.lib.stride_tricks.sliding_window_view(mono, size)[::hop]
    if not len(frames):
        return -200.0
    magnitude = np.abs(np.fft.rfft(frames * window, axis=1)).T / window.sum()
    harmonic = median_filter(magnitude, length, axis=1)
    percussive = median_filter(magnitude, length, axis=0)
    mask = percussive ** 2 / (harmonic ** 2 + percussive ** 2 + 1e-12)
    power = magnitude ** 2
    return decibels((power * mask).sum() / max((power * (1 - mask)).sum(), 1e-30))


def figures(stereo):
    """Figures:
    movement_scroller, movement_tunnel: level movement (dB) in 2.2-17 s and 17-35 s;
    level_<scene>: RMS (dBFS) under each scene; lift: the tunnel over the scroller (dB);
    end: RMS (dBFS) of the last 300 ms (42.2-42.5 s); repetition: share of half-second windows
    with a near-copy; sub, low: energy below 60 Hz and at 60-250 Hz (dB of the total);
    centroid: spectral centroid (Hz) of the mono mix; hp150_loss: loudness lost (dB RMS)
    through a brick-wall 150 Hz high-pass; hp150_lu: loudness lost (LU) through a small
    speaker's 150 Hz high-pass (see speaker_loss); peak, rms: dBFS; fullscale: samples at
    -32768 or 32767; ends: where the render falls silent for good (s; 42.5 if it never does);
    band_distance: the octave bands' distance (dB) beyond the references' middle half, and
    bands_outside: how many octave bands lie outside their whole range (see band_distance);
    punch: the beat's punch (dB, see beat_punch); perc_harm: percussive against harmonic power
    (dB, see percussive_harmonic)."""
    mono = stereo.mean(axis=1)
    result = {
        "movement_scroller": level_movement(stereo, 2.2, 17.0),
        "movement_tunnel": level_movement(stereo, 17.0, 35.0),
    }
    for name, start, end in SCENES:
        result["level_" + name] = rms_dbfs(span(stereo, start, end))
    result["lift"] = result["level_tunnel"] - result["level_scroller"]
    result["end"] = rms_dbfs(span(stereo, 42.2, 42.5))
    result["repetition"] = repetition(mono)
    result["sub"], result["low"] = band_shares(stereo)
    result["centroid"] = centroid(mono)
    result["hp150_loss"] = highpass_loss(mono)
    result["hp150_lu"] = speaker_loss(stereo)
    result["peak"] = 20 * np.log10(np.abs(stereo).max() + 1e-12)
    result["rms"] = rms_dbfs(stereo)
    result["fullscale"] = int((np.abs(stereo * 32768) >= 32767).sum())
    sounding = np.flatnonzero(np.abs(stereo).max(axis=1) * 32768 > SILENCE)
    result["ends"] = (sounding[-1] + 1) / RATE if sounding.size else 0.0
    distance, outside = band_distance(octave_profile(stereo))
    result["band_distance"] = distance
    result["bands_outside"] = len(outside)
    result["punch"] = beat_punch(stereo)
    result["perc_harm"] = percussive_harmonic(mono)
    return result


# The first form of this script printed these figures, under these names, in this order.
FIRST_FORM = [("movement_theme", "movement_scroller", "%.2f"),
              ("movement_drive", "movement_tunnel", "%.2f"), ("lift", "lift", "%.2f"),
              ("end_dbfs", "end", "%.1f"), ("repetition", "repetition", "%.2f"),
              ("sub", "sub", "%.2f"), ("bass", "low", "%.2f"), ("centroid", "centroid", "%.0f"),
              ("hp150_loss", "hp150_loss", "%.2f"), ("peak_dbfs", "peak", "%.2f"),
              ("rms_dbfs", "rms", "%.2f"), ("fullscale", "fullscale", "%d"),
              ("band_distance", "band_distance", "%.2f"),
              ("bands_outside", "bands_outside", "%d"), ("punch", "punch", "%.2f"),
              ("perc_harm", "perc_harm", "%.2f")]


def first_form_line(stereo):
    values = figures(stereo)
    return " ".join("%s=%s" % (name, form % values[key]) for name, key, form in FIRST_FORM)


# --- Rendering one channel alone ---------------------------------------------------------------

# Effects that act on the whole song wherever they stand: pattern break and jump, tempo,
# global volume and its slide; and, as E6y and EEy, pattern loops and delays.
SONG_EFFECTS = {0x0B, 0x0D, 0x0F, 0x10, 0x11}


def keeps_song_effect(effect, parameter):
    return effect in SONG_EFFECTS or (effect == 0x0E and parameter >> 4 in (0x6, 0xE))


def unpack_cell(data, position):
    """The cell packed at `position` of a pattern's data, as [note, instrument, volume, effect,
    parameter], and the position after it."""
    flags = data[position]
    if not flags & 0x80:
        return list(data[position:position + 5]), position + 5
    cell, position = [0, 0, 0, 0, 0], position + 1
    for field in range(5):
        if flags & (1 << field):
            cell[field] = data[position]
            position += 1
    return cell, position


def solo(module, keep):
    """The XM file's bytes with every channel but `keep` reduced to its song-wide effects."""
    header_size = struct.unpack_from("<I", module, 60)[0]
    channels, pattern_count = struct.unpack_from("<HH", module, 68)
    out = bytearray(module[:60 + header_size])
    offset = 60 + header_size
    for _ in range(pattern_count):
        length, _, rows, packed_size = struct.unpack_from("<IBHH", module, offset)
        data = module[offset + length:offset + length + packed_size]
        packed = bytearray()
        position = 0
        for row in range(rows if packed_size else 0):
            for channel in range(channels):
                cell, position = unpack_cell(data, position)
                if channel != keep:
                    song_wide = keeps_song_effect(cell[3], cell[4])
                    cell = [0, 0, 0, cell[3], cell[4]] if song_wide else [0, 0, 0, 0, 0]
                present = [field for field in range(5) if cell[field]]
                packed.append(0x80 | sum(1 << field for field in present))
                packed.extend(cell[field] for field in present)
        header = bytearray(module[offset:offset + length])
        struct.pack_into("<H", header, 7, len(packed))
        out += header + packed
        offset += length + packed_size
    out += module[offset:]
    return bytes(out)


# --- The module's sections -------------------------------------------------------------------

CLOSE_FROM = 34.5  # s: the close, half a second before the credits (35 s) and on
DROP = 4.0  # dB: a section more than this under the one before it (before the close): a breakdown


def read_module(module):
    """The order list, restart position, initial speed and BPM, and each pattern's rows, each
    row a list per channel of [note, instrument, volume, effect, parameter]."""
    header_size, length, restart, channels, pattern_count = struct.unpack_from("<IHHHH", module, 60)
    speed, bpm = struct.unpack_from("<HH", module, 76)
    orders = list(module[80:80 + length])
    offset = 60 + header_size
    patterns = []
    for _ in range(pattern_count):
        head, _, rows, packed_size = struct.unpack_from("<IBHH", module, offset)
        data = module[offset + head:offset + head + packed_size]
        offset += head + packed_size
        cells, position = [], 0
        for _ in range(rows):
            row = []
            for _ in range(channels):
                cell = [0, 0, 0, 0, 0]
                if packed_size:
                    cell, position = unpack_cell(data, position)
                row.append(cell)
            cells.append(row)
        patterns.append(cells)
    return {"orders": orders, "restart": restart, "speed": speed, "bpm": bpm,
            "channels": channels, "patterns": patterns}


def row_times(module, seconds=LENGTH):
    """(time in s, order position, pattern, row) of every row the player plays in the first
    `seconds`: speed and BPM (Fxx), position jumps (Bxx), pattern breaks (Dxx), pattern delays
    (EEx) and loops (E6x) followed; a tick lasts int(44100 * 2.5 / BPM) frames, as the player
    counts it."""
    song = read_module(module)
    speed, bpm = song["speed"], song["bpm"]
    order, row, frames, out = 0, 0, 0, []
    loop_start, loop_count = 0, 0
    while frames < seconds * RATE and order < len(song["orders"]):
        pattern = song["orders"][order]
        if pattern < len(song["patterns"]) and song["patterns"][pattern]:
            cells = song["patterns"][pattern]
        else:  # a pattern the file lacks plays as 64 empty rows
            cells = [[[0, 0, 0, 0, 0]] * song["channels"]] * 64
        if row >= len(cells):  # a break to a row past the pattern's end
            row = 0
        jump = pattern_break = loop_to = None
        delay = 0
        for _, _, _, effect, parameter in cells[row]:
            if effect == 0x0F and parameter:
                if parameter < 32:
                    speed = parameter
                else:
                    bpm = parameter
            elif effect == 0x0B:
                jump = parameter
            elif effect == 0x0D:
                pattern_break = (parameter >> 4) * 10 + (parameter & 15)
            elif effect == 0x0E and parameter >> 4 == 0xE:
                delay = parameter & 15
            elif effect == 0x0E and parameter >> 4 == 0x6:
                if parameter & 15 == 0:
                    loop_start = row
                elif loop_count == 0:
                    loop_count, loop_to = parameter & 15, loop_start
                else:
                    loop_count -= 1
                    loop_to = loop_start if loop_count else None
        out.append((frames / RATE, order, pattern, row))
        frames += speed * (1 + delay) * int(RATE * 2.5 / bpm)
        if loop_to is not None:
            row = loop_to
        elif jump is not None or pattern_break is not None:
            order = jump if jump is not None else order + 1
            row, loop_start = pattern_break or 0, 0
        else:
            row += 1
            if row >= len(cells):
                order, row, loop_start = order + 1, 0, 0
        if order >= len(song["orders"]):
            order = song["restart"]
    return out


def pattern_starts(module, seconds=LENGTH):
    """(time, pattern) where each section begins: the first row, and every row 0 of an order
    position whose pattern differs from the one at the row 0 before."""
    starts, previous = [], None
    for time, _, pattern, row in row_times(module, seconds):
        if not starts:
            starts.append((time, pattern))
        elif row == 0 and pattern != previous:
            starts.append((time, pattern))
        if row == 0:
            previous = pattern
    return starts


def sections(module, stereo):
    """The song's sections: the spans between pattern starts (the last ends at 42.5 s), each a
    dict with start, end, pattern, level (RMS, dBFS) and kind: "close" for a section that
    starts at 34.5 s or later (the credits begin at 35 s), "breakdown" for an earlier one whose
    level is more than 4 dB under that of the section before it, else ""."""
    starts = pattern_starts(module)
    out = []
    for index, (start, pattern) in enumerate(starts):
        end = starts[index + 1][0] if index + 1 < len(starts) else LENGTH
        level = rms_dbfs(span(stereo, start, end))
        kind = ""
        if start >= CLOSE_FROM:
            kind = "close"
        elif out and level < out[-1]["level"] - DROP:
            kind = "breakdown"
        out.append({"start": start, "end": end, "pattern": pattern, "level": level, "kind": kind})
    return out


def arrivals(stereo, song_sections, first=2.7, last=41.5, half=0.5):
    """Each arrival of a new pattern from 2.7 to 41.5 s: (time, lift, kind), the lift being the
    RMS level (dB, a silent half second -100 dB) of the pattern's first 0.5 s less that of the
    0.5 s before it, the kind that of the section it begins; an arrival where both half seconds
    lie under -60 dBFS is left out."""
    def level(start, end):
        return 10 * np.log10(np.mean(span(stereo, start, end) ** 2) + 1e-10)
    out = []
    for section in song_sections[1:]:
        time = section["start"]
        if first <= time <= last:
            before, after = level(time - half, time), level(time, time + half)
            if max(before, after) > -60:
                out.append((time, after - before, section["kind"]))
    return out


def arrival_figures(song_arrivals):
    """The median lift over every arrival (dB), and the share of the arrivals that are neither
    a breakdown's nor the close's that are quieter than the half second before them, with
    their count."""
    lifts = [lift for _, lift, _ in song_arrivals]
    counted = [lift for _, lift, kind in song_arrivals if not kind]
    median = float(np.median(lifts)) if lifts else float("nan")
    quieter = sum(lift < 0 for lift in counted)
    return median, (quieter / len(counted) if counted else 0.0), quieter, len(counted)


def level_movement_without(stereo, start, end, cuts, window=4410):
    """level_movement from start to end with every 100 ms window that overlaps one of the
    (start, end) spans in `cuts` left out."""
    part = span(stereo, start, end)
    levels = []
    for i in range(0, len(part) - window, window):
        a, b = start + i / RATE, start + (i + window) / RATE
        if not any(a < cut_end and b > cut_start for cut_start, cut_end in cuts):
            levels.append(rms_dbfs(part[i:i + window]))
    return float(np.std(levels)) if levels else 0.0


# --- Parts -------------------------------------------------------------------------------------

def k_weighting(frequencies):
    """The frequency response of the K-weighting filter of integrated loudness (a +4 dB shelf
    above 1.7 kHz and a 38 Hz high-pass), as two biquads designed for the render's rate."""
    z = np.exp(-2j * np.pi * frequencies / RATE)
    k = np.tan(np.pi * 1681.974450955533 / RATE)
    q = 0.7071752369554196
    vh = 10 ** (3.999843853973347 / 20)
    vb = vh ** 0.4996667741545416
    a0 = 1 + k / q + k * k
    shelf = (((vh + vb * k / q + k * k) + 2 * (k * k - vh) * z + (vh - vb * k / q + k * k) * z * z)
             / (a0 + 2 * (k * k - 1) * z + (1 - k / q + k * k) * z * z))
    k = np.tan(np.pi * 38.13547087602444 / RATE)
    q = 0.5003270373238773
    highpass = (1 - 2 * z + z * z) / ((1 + k / q + k * k) + 2 * (k * k - 1) * z
                                        + (1 - k / q + k * k) * z * z)
    return shelf * highpass


def loudness(stereo, highpass_hz=None):
    """Integrated loudness (LUFS) of a stereo render: K-weighted, in 400 ms blocks every 100 ms,
    gated at -70 LUFS and 10 LU under the mean of the blocks above that. With highpass_hz, the
    render first goes through a second-order (12 dB an octave) Butterworth high-pass there: a
    small loudspeaker's roll-off. The filters are applied to the whole spectrum at once."""
    return gated_loudness(weighted_energy(stereo, highpass_hz))


def weighted_energy(stereo, highpass_hz=None):
    """The K-weighted (and, with highpass_hz, high-passed) power of each frame, both channels
    added, for gated_loudness."""
    frequencies = np.fft.rfftfreq(len(stereo), 1 / RATE)
    response = k_weighting(frequencies)
    if highpass_hz:
        response = response / np.sqrt(1 + (highpass_hz / np.maximum(frequencies, 1e-3)) ** 4)
    weighted = [np.fft.irfft(np.fft.rfft(stereo[:, c]) * response, len(stereo)) for c in (0, 1)]
    return weighted[0] ** 2 + weighted[1] ** 2


def gated_loudness(energy):
    """Integrated loudness (LUFS) of K-weighted frame powers: 400 ms blocks every 100 ms, gated
    at -70 LUFS and 10 LU under the mean of the blocks above that; -200 when no block is louder
    than -70 LUFS or the span is shorter than a block."""
    block, step = int(0.4 * RATE), int(0.1 * RATE)
    if len(energy) < block:
        return -200.0
    cumulative = np.concatenate([[0.0], np.cumsum(energy)])
    starts = np.arange(0, len(energy) - block + 1, step)
    blocks = (cumulative[starts + block] - cumulative[starts]) / block
    louder = blocks[-0.691 + 10 * np.log10(np.maximum(blocks, 1e-20)) > -70]
    if louder.size == 0:
        return -200.0
    gate = -0.691 + 10 * np.log10(louder.mean()) - 10
    gated = louder[-0.691 + 10 * np.log10(louder) > gate]
    return -0.691 + 10 * np.log10(gated.mean())


def lead_on_top(parts, lead, pitched, song_sections, shortest=0.5):
    """Each section's integrated loudness (LUFS) of every pitched part, each its channel
    rendered alone (the K-weighting applied to the whole render, the gating to the section's
    blocks), and whether the lead is the loudest of them. Returns per section a dict: the
    section, "loudness" {channel: LUFS, -200 for silent}, and "on_top": True or False, or None
    where the section does not count: a breakdown, a section shorter than 0.5 s, or one in
    which no pitched part sounds."""
    channels = sorted(set(pitched) | {lead})
    energies = {channel: weighted_energy(parts[channel]) for channel in channels}
    out = []
    for section in song_sections:
        levels = {channel: gated_loudness(span(energies[channel], section["start"],
                                               section["end"]))
                  for channel in channels}
        others = [levels[channel] for channel in channels if channel != lead]
        on_top = None
        if (section["kind"] != "breakdown" and section["end"] - section["start"] >= shortest
                and max(levels.values()) > -150):
            on_top = all(levels[lead] >= level for level in others)
        out.append({"section": section, "loudness": levels, "on_top": on_top})
    return out


def speaker_loss(stereo):
    """Loudness (LU) lost through a 150 Hz high-pass (laptop speakers)."""
    return loudness(stereo) - loudness(stereo, 150.0)


def levels_over_time(stereo, window=4410):
    """RMS level (dBFS) of consecutive 100 ms windows."""
    count = len(stereo) // window
    power = (stereo[:count * window] ** 2).reshape(count, -1).mean(axis=1)
    return 10 * np.log10(np.maximum(power, 1e-10))


def near(frequencies, centre, cents=35, bins=2):
    """The spectrum's bins within `cents` of centre, and at least `bins` bins either side."""
    half_width = max(centre * (2 ** (cents / 1200) - 1), bins * (frequencies[1] - frequencies[0]))
    return np.abs(frequencies - centre) <= half_width


def rub_against_lead(lead, others, start=40.0, end=42.5, size=8192, hop=2048):
    """The loudest semitone rub against the lead from start to end, and how often it is heard.

    In each 186 ms frame (Blackman window, every 46 ms) in which the lead sounds (within 20 dB of
    its loudest frame), the lead's pitch is the lowest spectral peak within 15 dB of its
    strongest, between 100 Hz and 2.5 kHz. Each other part (rendered alone) is looked at within
    35 cents (or two bins) of a semitone above and below that pitch: it plays a note there when
    its spectrum has a peak there within 20 dB of its strongest within two semitones (not the
    skirt of a louder note starting nearby), unless the same part also has, at a whole fraction
    (1/2 .. 1/8) of that frequency, a component at most 10 dB weaker: then it is a harmonic of a
    lower note, heard as part of that note's colour. The rub of a frame is the loudest such
    note, in dB relative to the lead at its pitch. Returns the loudest rub (dB; -200 for none)
    and the share of the lead's frames with a rub above -30 dB.
    """
    window = np.blackman(size)
    frequencies = np.fft.rfftfreq(size, 1 / RATE)
    lead_mono = lead.mean(axis=1)
    other_monos = [part.mean(axis=1) for part in others]
    frames = range(int(start * RATE), int(end * RATE) - size, hop)
    lead_spectra = [np.abs(np.fft.rfft(lead_mono[i:i + size] * window)) ** 2 for i in frames]
    if not lead_spectra:
        return -200.0, 0.0
    loudest = max(spectrum.sum() for spectrum in lead_spectra)
    voiced = (frequencies >= 100) & (frequencies <= 2500)
    rubs = []
    for i, lead_power in zip(frames, lead_spectra):
        if lead_power.sum() < loudest / 100:
            continue
        candidate = np.where(voiced, lead_power, 0)
        peaks = ((candidate[1:-1] > candidate[:-2]) & (candidate[1:-1] >= candidate[2:])
                 & (candidate[1:-1] >= candidate.max() / 10 ** 1.5))
        if not peaks.any():
            continue
        pitch = frequencies[1:-1][peaks][0]
        at_pitch = lead_power[near(frequencies, pitch)].sum()
        rub = 0.0
        for mono in other_monos:
            power = np.abs(np.fft.rfft(mono[i:i + size] * window)) ** 2
            is_peak = np.zeros(len(power), dtype=bool)
            is_peak[1:-1] = (power[1:-1] > power[:-2]) & (power[1:-1] >= power[2:])
            for neighbour in (pitch * 2 ** (-1 / 12), pitch * 2 ** (1 / 12)):
                band = near(frequencies, neighbour)
                surroundings = near(frequencies, neighbour, cents=200)
                if not is_peak[band].any() or power[band].max() < power[surroundings].max() / 100:
                    continue
                there = power[band].sum()
                harmonic = any(power[near(frequencies, neighbour / k)].sum() >= there / 10
                               for k in range(2, 9) if neighbour / k >= 30)
                if not harmonic:
                    rub = max(rub, there)
        rubs.append(decibels(rub / at_pitch) if rub > 0 else -200.0)
    if not rubs:
        return -200.0, 0.0
    rubs = np.array(rubs)
    return float(rubs.max()), float((rubs > -30).mean())


def lane_picture(lanes, path, lane_height=48, pixels_per_second=40):
    """One lane per part, its 100 ms levels from -60 to 0 dBFS drawn as a filled curve, with
    thin lines at -40 and -20 dBFS; written as a binary PPM."""
    width = int(LENGTH * pixels_per_second)
    image = np.full((lane_height * len(lanes), width, 3), 16, dtype=np.uint8)
    colours = [(240, 120, 90), (240, 200, 90), (200, 200, 200), (90, 160, 240),
               (240, 110, 200), (120, 220, 140), (170, 140, 240), (140, 110, 210)]
    for index, levels in enumerate(lanes):
        top = index * lane_height
        x = (np.arange(width) / pixels_per_second * 10).astype(int)
        level = np.clip(levels[np.minimum(x, len(levels) - 1)], -60, 0)
        heights = ((level + 60) / 60 * (lane_height - 4)).astype(int)
        for guide in (-40, -20):
            y = top + lane_height - 2 - int((guide + 60) / 60 * (lane_height - 4))
            image[y, :] = (48, 48, 48)
        for column in range(width):
            if heights[column] > 0:
                bottom = top + lane_height - 2
                image[bottom - heights[column]:bottom, column] = colours[index % len(colours)]
        image[top + lane_height - 1, :] = (64, 64, 64)
    with open(path, "wb") as out:
        out.write(b"P6\n%d %d\n255\n" % (width, image.shape[0]))
        out.write(image.tobytes())


# --- The song's goals ------------------------------------------------------------------------

# The current song's parts, channel by channel (as scripts/song-report.sh names them).
PART_NAMES = ["kick", "snare", "hi-hats", "bass", "lead", "pluck", "pad", "pad double"]
LEAD = 4  # the channel that plays the tune in the current song
PITCHED = [3, 4, 5, 6, 7]  # its pitched parts: bass, lead, pluck and the two pads


def evaluate(stereo, module, parts, lead=LEAD, pitched=PITCHED, names=PART_NAMES):
    """The song's goals: a list of (key, description, value as shown, goal, met), and the
    details: the octave profile, the sections, the arrivals and each section's parts."""
    values = figures(stereo)
    profile = octave_profile(stereo)
    distance, outside = band_distance(profile)
    song_sections = sections(module, stereo)
    song_arrivals = arrivals(stereo, song_sections)
    median, share, quieter, counted = arrival_figures(song_arrivals)
    breakdowns = [(s["start"], s["end"]) for s in song_sections if s["kind"] == "breakdown"]
    without = level_movement_without(stereo, 17.0, 35.0, breakdowns)
    tops = lead_on_top(parts, lead, pitched, song_sections)
    judged = [top for top in tops if top["on_top"] is not None]
    on_top = sum(top["on_top"] for top in judged)
    rub, _ = rub_against_lead(parts[lead], [p for c, p in enumerate(parts) if c != lead])
    cut = ", ".join("%.2f-%.2f s" % (start, end) for start, end in breakdowns
                    if end > 17.0 and start < 35.0) or "none found"
    lead_name = names[lead] if lead < len(names) else "channel %d" % lead
    goals = [
        ("band_distance", "octave-band distance beyond the references' middle half",
         "%.1f dB" % distance, "at most 15 dB", distance <= 15.0),
        ("band_range", "octave bands outside the references' whole range",
         ", ".join(outside) or "none", "none", not outside),
        ("punch", "beat punch: 100 ms levels about their own 1 s mean, 2.2-40 s",
         "%.2f dB" % values["punch"], "at least 2.5 dB", values["punch"] >= 2.5),
        ("perc_harm", "percussive against harmonic power", "%.2f dB" % values["perc_harm"],
         "at least -3.8 dB", values["perc_harm"] >= -3.8),
        ("arrival_lift", "median lift at the %d pattern arrivals" % len(song_arrivals),
         "%+.2f dB" % median, "at least +0.5 dB", bool(median >= 0.5)),
        ("arrivals_quieter", "arrivals quieter than the 0.5 s before, breakdowns and close "
         "excepted", "%d of %d (%.0f %%)" % (quieter, counted, 100 * share), "at most 30 %",
         share <= 0.30),
        ("lead", "the lead (channel %d: %s) the loudest pitched part, by section"
         % (lead, lead_name), "%d of %d sections" % (on_top, len(judged)),
         "at least 3 of 4 sections where it plays (breakdowns excepted)",
         bool(judged) and 4 * on_top >= 3 * len(judged)),
        ("movement_scroller", "level movement 2.2-17 s", "%.2f dB" % values["movement_scroller"],
         "at least 2.5 dB", values["movement_scroller"] >= 2.5),
        ("movement_tunnel", "level movement 17-35 s", "%.2f dB" % values["movement_tunnel"],
         "at least 2.5 dB", values["movement_tunnel"] >= 2.5),
        ("movement_tunnel_without_breakdown", "level movement 17-35 s without the breakdowns "
         "(%s)" % cut, "%.2f dB" % without, "at least 2.5 dB", without >= 2.5),
        ("lift", "the tunnel (17-35 s) over the scroller (2.2-17 s)", "%+.2f dB" % values["lift"],
         "at least +2 dB", values["lift"] >= 2.0),
        ("repetition", "half-second windows with a near-copy", "%.2f" % values["repetition"],
         "at least 0.75", values["repetition"] >= 0.75),
        ("end", "the last 300 ms, 42.2-42.5 s", shown(values["end"], "%.1f", " dBFS"),
         "at most -36 dBFS", values["end"] <= -36.0),
        ("rubs", "semitone rubs against the lead, 40-42.5 s",
         "loudest %.1f dB under the lead" % -rub if rub > -150 else "none", "none above -30 dB",
         rub <= -30.0),
        ("peak", "peak", "%.2f dBFS" % values["peak"], "at most -1 dBFS", values["peak"] <= -1.0),
    ]
    details = {"profile": profile, "sections": song_sections, "arrivals": song_arrivals,
               "tops": tops, "lead": lead, "names": names}
    return goals, details


def goal_lines(goals, details, markdown=False):
    """The goals and their details as text lines (a markdown table and lists with markdown)."""
    lines = []
    rows = [(description, value, goal, "yes" if met else "no")
            for _, description, value, goal, met in goals]
    heading = ("figure", "the song", "goal", "met")
    if markdown:
        lines += ["| %s |" % " | ".join(heading), "|---|---|---|---|"]
        lines += ["| %s |" % " | ".join(row) for row in rows]
    else:
        widths = [max(len(row[i]) for row in rows + [heading]) for i in range(4)]
        lines += ["  ".join(cell.ljust(width) for cell, width in zip(row, widths)).rstrip()
                  for row in [heading] + rows]
    lines.append("")
    lines.append("Octave bands, dB of the total:")
    lines.append("  %-6s  %6s  %6s  %16s  %16s" % ("band", "song", "median", "middle half",
                                                   "whole range"))
    references = REFERENCE_BANDS
    for index, name in enumerate(OCTAVES):
        value = details["profile"][index]
        low, high = references["quartile 25"][index], references["quartile 75"][index]
        least, most = references["least"][index], references["greatest"][index]
        note = ("outside the range" if value < least or value > most else
                "%.1f dB beyond the middle half" % max(low - value, value - high)
                if value < low or value > high else "")
        lines.append("  %-6s  %6.1f  %6.1f  %6.1f to %6.1f  %6.1f to %6.1f  %s" % (
            name, value, references["median"][index], low, high, least, most, note))
    lines.append("")
    lines.append("Arrivals (s, lift in dB; breakdowns and the close are not counted in the "
                 "share):")
    for time, lift, kind in details["arrivals"]:
        lines.append("  %6.2f  %+6.2f  %s%s" % (time, lift, "quieter" if lift < 0 else "",
                                                 (" (%s)" % kind) if kind else ""))
    names, lead = details["names"], details["lead"]
    channels = sorted(details["tops"][0]["loudness"]) if details["tops"] else []
    lines.append("")
    lines.append("Sections (s; RMS dBFS; each pitched part's loudness, LUFS; is the lead, "
                 "channel %d, the loudest?):" % lead)
    lines.append("  %6s %6s %-9s %6s  %s  on top" % ("start", "end", "kind", "RMS", "  ".join(
        "%10s" % (names[c] if c < len(names) else "channel %d" % c)[:10] for c in channels)))
    for top in details["tops"]:
        section = top["section"]
        verdict = {None: "(not counted)", True: "yes", False: "no"}[top["on_top"]]
        lines.append("  %6.2f %6.2f %-9s %6s  %s  %s" % (
            section["start"], section["end"], section["kind"] or "-",
            shown(section["level"], "%.1f"),
            "  ".join("%10s" % shown(top["loudness"][c], "%.1f") for c in channels), verdict))
    short = [key for key, _, _, _, met in goals if not met]
    lines.append("")
    lines.append("song goals met: %d of %d%s" % (
        len(goals) - len(short), len(goals), " (short: %s)" % ", ".join(short) if short else ""))
    return lines


def render_with(xmrender, module_path, output):
    """The module's first 42.5 s, rendered by xmrender as the intro plays it (the design
    profile) as raw frames into `output`."""
    done = subprocess.run([xmrender, module_path, "--profile", "design", "--seconds", str(LENGTH),
                           "--raw", "--force", "-o", output], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                          text=True)
    if done.returncode != 0:
        raise SystemExit("%s could not render %s: %s" % (xmrender, module_path,
                                                         done.stderr.strip()))


def goals_command(module_path, xmrender, lead, pitched, names):
    """Renders the song and each channel alone, prints the goals; 0 when every one is met."""
    with open(module_path, "rb") as source:
        module = source.read()
    channels = read_module(module)["channels"]
    if not 0 <= lead < channels or any(not 0 <= c < channels for c in pitched):
        raise SystemExit("the module has %d channels" % channels)
    with tempfile.TemporaryDirectory() as folder:
        render_with(xmrender, module_path, os.path.join(folder, "song.raw"))
        stereo = read_render(os.path.join(folder, "song.raw"))
        parts = []
        for channel in range(channels):
            alone = os.path.join(folder, "part%d.xm" % channel)
            with open(alone, "wb") as out:
                out.write(solo(module, channel))
            render_with(xmrender, alone, os.path.join(folder, "part%d.raw" % channel))
            parts.append(read_render(os.path.join(folder, "part%d.raw" % channel)))
    goals, details = evaluate(stereo, module, parts, lead, pitched, names)
    print("The song's goals: %s, its first %g s as xmrender renders it." % (module_path, LENGTH))
    print()
    print("\n".join(goal_lines(goals, details)))
    return 0 if all(met for *_, met in goals) else 1


def channel_list(argument):
    """Comma-separated channel numbers."""
    try:
        return [int(item) for item in argument.split(",") if item.strip()]
    except ValueError:
        raise argparse.ArgumentTypeError("expected channel numbers, e.g. 3,4,5: " + argument)


# --- The report's tables -------------------------------------------------------------------

def middle(values):
    """Median and quartiles of the finite values."""
    values = np.array([v for v in values if np.isfinite(v)])
    return np.median(values), np.percentile(values, 25), np.percentile(values, 75)


def spread(values, form, unit):
    median, low, high = middle(values)
    return "%s (%s to %s)%s" % (form % median, form % low, form % high, unit)


def shown(value, form, unit=""):
    return form % value + unit if np.isfinite(value) and value > -150 else "silent"


# The comparison: figure key, description, column heading, number format, unit, goal.
COMPARED = [
    ("movement_scroller", "level movement under the scroller, 2.2-17 s", "scroller movement",
     "%.2f", " dB", "at least 2.5 dB"),
    ("movement_tunnel", "level movement under the tunnel, 17-35 s", "tunnel movement", "%.2f",
     " dB", "at least 2.5 dB"),
    ("lift", "the tunnel over the scroller", "lift", "%+.2f", " dB", "at least +2 dB"),
    ("end", "the last 300 ms, 42.2-42.5 s", "last 300 ms", "%.1f", " dBFS",
     "at most -36 dBFS (the references loop: not comparable)"),
    ("repetition", "half-second windows with a near-copy", "near-copies", "%.2f", "",
     "at least 0.75"),
    ("sub", "energy below 60 Hz", "below 60 Hz", "%.2f", " dB", ""),
    ("low", "energy from 60 to 250 Hz", "60-250 Hz", "%.2f", " dB", ""),
    ("centroid", "spectral centroid", "centroid", "%.0f", " Hz",
     "(replaced by the octave-band distance)"),
    ("band_distance", "octave-band distance beyond the 23 game modules' middle half",
     "band distance", "%.1f", " dB", "at most 15 dB, no band outside their range"),
    ("punch", "beat punch: 100 ms levels about their own 1 s mean", "punch", "%.2f", " dB",
     "at least 2.5 dB"),
    ("perc_harm", "percussive against harmonic power", "percussive", "%.2f", " dB",
     "at least -3.8 dB"),
    ("hp150_lu", "loudness lost through a 150 Hz high-pass (12 dB an octave)", "high-pass",
     "%.2f", " LU", ""),
    ("hp150_loss", "RMS lost through a brick-wall 150 Hz high-pass", "brick wall", "%.2f", " dB",
     ""),
    ("rms", "RMS level", "RMS", "%.2f", " dBFS", "-20 to -12 dBFS"),
    ("peak", "peak", "peak", "%.2f", " dBFS", "at most -1 dBFS"),
]

# The parts the song's goals name, and the most they may lose through the high-pass (none
# now: the octave-band distance replaced these bounds).
PART_LOSS_GOALS = {}


def report(song_path, lead_channel, named_parts, named_references, picture, module_path=None,
           pitched=PITCHED):
    """Prints the report's tables in markdown and draws the parts' levels into `picture`; with
    the module, the song's goals too."""
    song = figures(read_render(song_path))
    references = [(name, figures(read_render(path))) for name, path in named_references]
    print("| figure | the song | game modules: median (middle half) | goal |")
    print("|---|---|---|---|")
    for key, description, _, form, unit, goal in COMPARED:
        print("| %s | %s | %s | %s |" % (description, shown(song[key], form, unit),
                                         spread([r[key] for _, r in references], form, unit),
                                         goal))
    print()
    print("Under each scene (RMS level, dBFS):")
    print()
    print("| scene | seconds | the song | game modules: median (middle half) |")
    print("|---|---|---|---|")
    for name, start, end in SCENES:
        key = "level_" + name
        print("| %s | %g to %g | %s | %s |" % (name, start, end, shown(song[key], "%.2f"),
                                              spread([r[key] for _, r in references], "%.2f",
                                                     "")))
    print()
    parts = [(name, read_render(path)) for name, path in named_parts]
    print("Each part, its channel rendered alone:")
    print()
    print("| channel | part | RMS level | loudness lost through a 150 Hz high-pass | goal |")
    print("|---|---|---|---|---|")
    for channel, (name, stereo) in enumerate(parts):
        goal = PART_LOSS_GOALS.get(name)
        print("| %d | %s | %s | %.2f LU | %s |" % (
            channel, name, shown(rms_dbfs(stereo), "%.2f dBFS"), speaker_loss(stereo),
            "at most %g LU" % goal if goal else ""))
    others = [stereo for channel, (_, stereo) in enumerate(parts) if channel != lead_channel]
    rub, share = rub_against_lead(parts[lead_channel][1], others)
    print()
    if rub > -150:
        print("Semitone rubs against the lead in the last 2.5 s: the loudest %.1f dB under the "
              "lead, above -30 dB in %.0f%% of its frames (goal: none above -30 dB)." %
              (-rub, 100 * share))
    else:
        print("Semitone rubs against the lead in the last 2.5 s: none (goal: none above -30 dB).")
    print()
    print("Each module (the song first; units as above; a module that falls silent for good "
          "before 42.5 s shows where):")
    print()
    print("| module | " + " | ".join(heading for _, _, heading, _, _, _ in COMPARED) +
          " | silent from |")
    print("|---|" + "---|" * (len(COMPARED) + 1))
    for name, values in [("song.xm", song)] + references:
        cells = [shown(values[key], form) for key, _, _, form, _, _ in COMPARED]
        ends = "%.2f s" % values["ends"] if values["ends"] < LENGTH - 0.1 else ""
        print("| %s | %s | %s |" % (name, " | ".join(cells), ends))
    lane_picture([levels_over_time(stereo) for _, stereo in parts], picture)
    if module_path:
        with open(module_path, "rb") as source:
            module = source.read()
        goals, details = evaluate(read_render(song_path), module,
                                  [stereo for _, stereo in parts], lead_channel, pitched,
                                  [name for name, _ in parts])
        print()
        print("The song's goals:")
        print()
        lines = goal_lines(goals, details, markdown=True)
        table = lines.index("")
        print("\n".join(lines[:table + 1]))
        print("```")
        print("\n".join(lines[table + 1:]))
        print("```")


def named_path(argument):
    """NAME=PATH."""
    name, separator, path = argument.partition("=")
    if not separator:
        raise argparse.ArgumentTypeError("expected NAME=PATH: " + argument)
    return name, path


def main(arguments):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    commands = parser.add_subparsers(dest="command", required=True)
    listing = commands.add_parser("figures")
    listing.add_argument("renders", nargs="+", type=named_path)
    soloing = commands.add_parser("solo")
    soloing.add_argument("song")
    soloing.add_argument("channel", type=int)
    soloing.add_argument("output")
    reporting = commands.add_parser("report")
    reporting.add_argument("--song", required=True)
    reporting.add_argument("--lead", required=True, type=int)
    reporting.add_argument("--parts", required=True, nargs="+", type=named_path)
    reporting.add_argument("--references", required=True, nargs="+", type=named_path)
    reporting.add_argument("--picture", required=True)
    reporting.add_argument("--module")
    reporting.add_argument("--pitched", type=channel_list, default=PITCHED)
    checking = commands.add_parser("goals")
    checking.add_argument("module")
    checking.add_argument("--xmrender", default=os.path.join("build", "xmrender"))
    checking.add_argument("--lead", type=int, default=LEAD)
    checking.add_argument("--pitched", type=channel_list, default=PITCHED)
    checking.add_argument("--names", type=lambda text: text.split(","), default=PART_NAMES)
    if (len(arguments) == 1 and arguments[0] not in commands.choices
            and not arguments[0].startswith("-")):
        print(first_form_line(read_render(arguments[0])))  # the first form: RENDER.raw
        return 0
    options = parser.parse_args(arguments)

    if options.command == "figures":
        for name, path in options.renders:
            values = figures(read_render(path))
            print(name + " " + " ".join(
                "%s=%d" % (key, value) if isinstance(value, int) else "%s=%.2f" % (key, value)
                for key, value in values.items()))
    elif options.command == "solo":
        with open(options.song, "rb") as source:
            module = source.read()
        with open(options.output, "wb") as out:
            out.write(solo(module, options.channel))
    elif options.command == "goals":
        return goals_command(options.module, options.xmrender, options.lead, options.pitched,
                             options.names)
    else:
        report(options.song, options.lead, options.parts, options.references, options.picture,
               options.module, options.pitched)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
