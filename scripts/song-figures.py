#!/usr/bin/python3
"""Listener-level figures of a song as the player renders it, for scripts/song-report.sh.

Every render is headerless 16-bit little-endian stereo at 44,100 Hz (xmrender --raw), and only
its first 42.5 seconds count: what the intro plays before it quits.

  song-figures.py figures NAME=RENDER.raw ...
      One line per render: its name, then key=value figures (see Figures below).
  song-figures.py solo SONG.xm CHANNEL OUT.xm
      Writes a copy of the module in which only CHANNEL (0-based) plays: every other channel
      keeps only the effects that steer the whole song (tempo, global volume, jumps, pattern
      loops and delays).
  song-figures.py report --song SONG.raw --lead CHANNEL --parts NAME=SOLO.raw ...
                         --references NAME=RENDER.raw ... --picture LEVELS.ppm
      The report's tables in markdown: the song's figures next to the references' median and
      middle half, the levels under each scene, each part (its channel rendered alone: level,
      loudness lost through a 150 Hz high-pass), the semitone rubs against the lead in the
      last 2.5 s, and every module's figures; and each part's level over time as a picture.

Uses numpy only.
"""

import argparse
import struct
import sys

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


def figures(stereo):
    """Figures:
    movement_scroller, movement_tunnel: level movement (dB) in 2.2-17 s and 17-35 s;
    level_<scene>: RMS (dBFS) under each scene; lift: the tunnel over the scroller (dB);
    end: RMS (dBFS) of the last 300 ms (42.2-42.5 s); repetition: share of half-second windows
    with a near-copy; sub, low: energy below 60 Hz and at 60-250 Hz (dB of the total);
    centroid: spectral centroid (Hz) of the mono mix; hp150_loss: loudness lost (dB RMS)
    through a brick-wall 150 Hz high-pass; hp150_lu: loudness lost (LU) through a small
    speaker's 150 Hz high-pass (see speaker_loss); peak, rms: dBFS; fullscale: samples at
    -32768 or 32767; ends: where the render falls silent for good (s; 42.5 if it never does)."""
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
    return result


# --- Rendering one channel alone ---------------------------------------------------------------

# Effects that act on the whole song wherever they stand: pattern break and jump, tempo,
# global volume and its slide; and, as E6y and EEy, pattern loops and delays.
SONG_EFFECTS = {0x0B, 0x0D, 0x0F, 0x10, 0x11}


def keeps_song_effect(effect, parameter):
    return effect in SONG_EFFECTS or (effect == 0x0E and parameter >> 4 in (0x6, 0xE))


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
                cell = [0, 0, 0, 0, 0]  # note, instrument, volume, effect, parameter
                flags = data[position]
                if flags & 0x80:
                    position += 1
                    for field in range(5):
                        if flags & (1 << field):
                            cell[field] = data[position]
                            position += 1
                else:
                    cell = list(data[position:position + 5])
                    position += 5
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
    frequencies = np.fft.rfftfreq(len(stereo), 1 / RATE)
    response = k_weighting(frequencies)
    if highpass_hz:
        response = response / np.sqrt(1 + (highpass_hz / np.maximum(frequencies, 1e-3)) ** 4)
    weighted = [np.fft.irfft(np.fft.rfft(stereo[:, c]) * response, len(stereo)) for c in (0, 1)]
    block, step = int(0.4 * RATE), int(0.1 * RATE)
    energy = weighted[0] ** 2 + weighted[1] ** 2
    cumulative = np.concatenate([[0.0], np.cumsum(energy)])
    starts = np.arange(0, len(energy) - block + 1, step)
    blocks = (cumulative[starts + block] - cumulative[starts]) / block
    louder = blocks[-0.691 + 10 * np.log10(np.maximum(blocks, 1e-20)) > -70]
    if louder.size == 0:
        return -200.0
    gate = -0.691 + 10 * np.log10(louder.mean()) - 10
    gated = louder[-0.691 + 10 * np.log10(louder) > gate]
    return -0.691 + 10 * np.log10(gated.mean())


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
    ("low", "energy from 60 to 250 Hz", "60-250 Hz", "%.2f", " dB", "at least -4.5 dB"),
    ("centroid", "spectral centroid", "centroid", "%.0f", " Hz", "at most 400 Hz"),
    ("hp150_lu", "loudness lost through a 150 Hz high-pass (12 dB an octave)", "high-pass",
     "%.2f", " LU", ""),
    ("hp150_loss", "RMS lost through a brick-wall 150 Hz high-pass", "brick wall", "%.2f", " dB",
     ""),
    ("rms", "RMS level", "RMS", "%.2f", " dBFS", "-20 to -12 dBFS"),
    ("peak", "peak", "peak", "%.2f", " dBFS", "at most -1 dBFS"),
]

# The parts the song's goals name, and the most they may lose through the high-pass.
PART_LOSS_GOALS = {"kick": 4.0, "bass": 4.0}


def report(song_path, lead_channel, named_parts, named_references, picture):
    """Prints the report's tables in markdown and draws the parts' levels into `picture`."""
    song = figures(read_render(song_path))
    references = [(name, figures(read_render(path))) for name, path in named_references]
    print("| figure | the song | heroes-sound-tracks: median (middle half) | goal |")
    print("|---|---|---|---|")
    for key, description, _, form, unit, goal in COMPARED:
        print("| %s | %s | %s | %s |" % (description, shown(song[key], form, unit),
                                         spread([r[key] for _, r in references], form, unit),
                                         goal))
    print()
    print("Under each scene (RMS level, dBFS):")
    print()
    print("| scene | seconds | the song | heroes-sound-tracks: median (middle half) |")
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
    else:
        report(options.song, options.lead, options.parts, options.references, options.picture)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
