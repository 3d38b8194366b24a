"""WAVE files written by sox, an independent tool, for the reader and player
tests. Writes the files into a folder with a manifest the test programs read:
one line per file, fields separated by '|':
  name|expect|tag|channels|rate|bits|cbSize|dataSize|raw|plays
expect: open (opens and reads whole), fail (does not open), short (opens, the
data chunk claims more than the file holds), undecodable (a WAVE file whose
format no codec of the machine knows); raw: the name of sox's own raw dump of
the samples, or '-'; plays: 1 when the player should play it. Each compressed
file has NAME.s16 beside it, sox's decoding as 16-bit samples.
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
    # Compressed: the player decodes them to PCM through the platform's codecs.
    ("adpcm_mono_22k.wav", ["-r", "22050", "-c", "1", "-e", "ima-adpcm"], 0x11, 2, 1),
    ("msadpcm_stereo_44k.wav", ["-r", "44100", "-c", "2", "-e", "ms-adpcm"], 2, 32, 1),
    ("mulaw_mono_8k.wav", ["-r", "8000", "-c", "1", "-e", "mu-law"], 7, 0, 1),
    ("alaw_stereo_22k.wav", ["-r", "22050", "-c", "2", "-e", "a-law"], 6, 0, 1),
]
ADPCM_TAGS = (0x11, 2)  # blocks of 4-bit samples
COMPRESSED_TAGS = ADPCM_TAGS + (6, 7)  # each with a NAME.s16 beside it
# No codec claims this format tag.
UNKNOWN_TAG = 0x2222


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
        bits = 4 if tag in ADPCM_TAGS else soxi("-b", path)
        raw = "-"
        data_size = samples * channels * bits // 8
        if tag not in ADPCM_TAGS:
            raw = name[:-4] + ".raw"
            sox(path, "-t", "raw", os.path.join(folder, raw))
        else:
            data_size = 0  # blocks of ADPCM: only the reader's own count is known
        if tag in COMPRESSED_TAGS:
            # sox's own decoding, to hold the platform's codecs against.
            sox(path, "-t", "raw", "-e", "signed-integer", "-b", "16", os.path.join(folder, name[:-4] + ".s16"))
        lines.append(f"{name}|open|{tag}|{channels}|{rate}|{bits}|{cb_size}|{data_size}|{raw}|{plays}")

    lines += write_damaged_compressed(folder)

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


def write_damaged_compressed(folder):
    """A cut-short MS ADPCM copy whose data chunk claims about 256 MB (decoded
    as claimed, a gigabyte), and a mu-law file relabelled with a format tag no
    codec knows."""
    source = open(os.path.join(folder, "msadpcm_stereo_44k.wav"), "rb").read()
    data = source.index(b"data")
    cut = bytearray(source[:data + 8 + (len(source) - data - 8) // 2 + 100])  # ends inside a block
    cut[data + 4:data + 8] = (0x0FFFFFF0).to_bytes(4, "little")
    with open(os.path.join(folder, "msadpcm_cut.wav"), "wb") as out:
        out.write(cut)

    foreign = bytearray(open(os.path.join(folder, "mulaw_mono_8k.wav"), "rb").read())
    fmt = foreign.index(b"fmt ")
    foreign[fmt + 8:fmt + 10] = UNKNOWN_TAG.to_bytes(2, "little")
    with open(os.path.join(folder, "unknown_codec.wav"), "wb") as out:
        out.write(foreign)
    return ["msadpcm_cut.wav|short|2|2|44100|4|32|0|-|1",
            f"unknown_codec.wav|undecodable|{UNKNOWN_TAG}|1|8000|8|0|0|-|0"]


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")
