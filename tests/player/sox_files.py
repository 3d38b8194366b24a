"""WAVE files written by sox, an independent tool, for the reader and player
tests. Writes the files into a folder with a manifest the test programs read:
one line per file, fields separated by '|':
  name|expect|tag|channels|rate|bits|cbSize|dataSize|raw|plays
expect: open (opens and reads whole), fail (does not open), short (opens, the
data chunk claims more than the file holds); raw: the name of sox's own raw
dump of the samples, or '-'; plays: 1 when DirectSound should play it.
"""
import os
import subprocess

TONE = ["synth", "0.4", "sine", "300-900"]

# name, sox output options, tag, cbSize, plays
FILES = [
    ("u8_mono_8k.wav", ["-r", "8000", "-c", "1", "-b", "8", "-e", "unsigned-integer"], 1, 0, 1),
    ("u8_stereo_48k.wav", ["-r", "48000", "-c", "2", "-b", "8", "-e", "unsigned-integer"], 1, 0, 1),
    ("s16_mono_11k.wav", ["-r", "11025", "-c", "1", "-b", "16"], 1, 0, 1),
    ("s16_stereo_44k.wav", ["-r", "44100", "-c", "2", "-b", "16"], 1, 0, 1),
    # 24-bit comes as WAVE_FORMAT_EXTENSIBLE with a "fact" chunk before "data".
    ("s24_stereo_48k.wav", ["-r", "48000", "-c", "2", "-b", "24"], 0xFFFE, 22, 1),
    ("f32_mono_22k.wav", ["-r", "22050", "-c", "1", "-b", "32", "-e", "floating-point"], 3, 0, 1),
    ("f32_stereo_16k.wav", ["-r", "16000", "-c", "2", "-b", "32", "-e", "floating-point"], 3, 0, 1),
    # A compressed format the reader takes but DirectSound does not play.
    ("adpcm_mono_22k.wav", ["-r", "22050", "-c", "1", "-e", "ima-adpcm"], 0x11, 2, 0),
]


def sox(*args):
    subprocess.run(["sox", *args], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def soxi(flag, path):
    return int(float(subprocess.run(["soxi", flag, path], check=True, capture_output=True,
                                    text=True).stdout.strip()))


def write_files(folder, long_tone_seconds=8):
    os.makedirs(folder, exist_ok=True)
    lines = []
    for name, options, tag, cb_size, plays in FILES:
        path = os.path.join(folder, name)
        sox("-n", *options, path, *TONE)
        channels, rate, samples = soxi("-c", path), soxi("-r", path), soxi("-s", path)
        bits = {0x11: 4}.get(tag, soxi("-b", path))
        raw = "-"
        data_size = samples * channels * bits // 8
        if tag != 0x11:
            raw = name[:-4] + ".raw"
            sox(path, "-t", "raw", os.path.join(folder, raw))
        else:
            data_size = 0  # blocks of ADPCM: only the reader's own count is known
        lines.append(f"{name}|open|{tag}|{channels}|{rate}|{bits}|{cb_size}|{data_size}|{raw}|{plays}")

    # An AIFF file under a .wav name.
    sox("-n", "-r", "8000", "-c", "1", "-b", "16", "-t", "aiff", os.path.join(folder, "aiff_named.wav"), *TONE)
    lines.append("aiff_named.wav|fail|0|0|0|0|0|0|-|0")

    # Written to a pipe, sox cannot go back to fix the sizes: the data chunk
    # claims far more than the file holds. The player plays what it holds.
    piped = subprocess.run(["sox", "-n", "-t", "wav", "-r", "8000", "-c", "1", "-b", "16", "-", *TONE],
                           check=True, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
    with open(os.path.join(folder, "piped.wav"), "wb") as out:
        out.write(piped)
    lines.append("piped.wav|short|1|1|8000|16|0|0|-|1")

    # Long enough to be caught playing even by a device that drains faster
    # than real time.
    sox("-n", "-r", "22050", "-c", "1", "-b", "16", os.path.join(folder, "long_tone.wav"),
        "synth", str(long_tone_seconds), "sine", "440")
    lines.append(f"long_tone.wav|open|1|1|22050|16|0|{long_tone_seconds * 22050 * 2}|-|1")

    with open(os.path.join(folder, "manifest.txt"), "w") as manifest:
        manifest.write("\n".join(lines) + "\n")
    return lines


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")
