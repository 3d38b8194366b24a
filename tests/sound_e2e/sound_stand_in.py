"""Stand-in runs with sound: voice cues and a Drovana.cfg naming them in the
simulated installation folder, the real player behind a tap that records
what the add-on hands it, and an ALSA capture of what the player played.

Used by the end-to-end sound tests and by ./drovana demo --sound.
"""

import json
import os
import shutil
import sys
from pathlib import Path

SOURCE = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(SOURCE / "sim"))
sys.path.insert(0, str(SOURCE / "tools"))

import run_scenario  # noqa: E402
import sample_config  # noqa: E402
import voice_cues  # noqa: E402

CUE_FOLDER = "DrovanaX\\Sounds\\"
TAP_LOG = "kestrola-tap.jsonl"

CAPTURE_CONF = """\
</usr/share/alsa/alsa.conf>
pcm.!default {{
  type file
  slave.pcm "null"
  file "{capture}"
  format "raw"
}}
"""
# Plays into nothing: for runs that need not listen, and whose players live
# long enough to fill a capture file with hundreds of megabytes of silence.
SILENT_CONF = """\
</usr/share/alsa/alsa.conf>
pcm.!default { type null }
"""


def cue_path(section):
    """The path of a section's voice cue as Drovana.cfg names it."""
    return CUE_FOLDER + voice_cues.FILES[section]


class SoundRun:
    """Lays out a stand-in run with voice cues, optionally the tap, and a capture."""

    def __init__(self, build, name, player="tap", extra_sounds=(), listen=True, language=voice_cues.DEFAULT):
        """extra_sounds: more files for the sounds folder beside the voice cues;
        listen=False plays into nothing, with no capture; language: the code
        of the set of voice cues installed."""
        self.build = Path(build).resolve()
        self.name = name
        self.player = player
        self.work = self.build / "sound_e2e"
        self.work.mkdir(parents=True, exist_ok=True)
        self.cues = voice_cues.generate(str(self.build / "voice-cues" / language), language)
        self.extra_sounds = list(extra_sounds)
        self.capture = self.work / (name + "-capture.raw")
        self.conf = self.work / (name + "-alsa.conf")
        self.conf.write_text(CAPTURE_CONF.format(capture=self.capture) if listen else SILENT_CONF)

    def _lay_out(self, original):
        def lay_out(build, name, text, player):
            folder = original(build, name, text, player)
            sounds = folder / "DrovanaX" / "Sounds"
            sounds.mkdir(parents=True, exist_ok=True)
            for path in list(self.cues.values()) + self.extra_sounds:
                shutil.copy2(path, sounds)
            # The host adds the scenario's config lines to this file.
            (folder / "Drovana.cfg").write_text(sample_config.render(CUE_FOLDER, wav_flag=1), newline="")
            if self.player == "tap":
                os.replace(folder / "Kestrola.exe", folder / "KestrolaReal.exe")
                shutil.copy2(self.build / "tests" / "sound_e2e" / "KestrolaTap.exe", folder / "Kestrola.exe")
            return folder
        return lay_out

    def run(self, scenario, echo=False, timeout=900):
        if self.capture.exists():
            self.capture.unlink()
        env = run_scenario.wine_env(self.build)
        env["ALSA_CONFIG_PATH"] = str(self.conf)
        original = run_scenario.lay_out
        run_scenario.lay_out = self._lay_out(original)
        try:
            player = "none" if self.player == "none" else "real"
            result = run_scenario.run(self.build, scenario, name=self.name, player=player, env=env,
                                      echo=echo, timeout=timeout)
        finally:
            run_scenario.lay_out = original
        result.tap = self.tap_log(result.folder)
        result.capture_heard = self.heard()
        return result

    @staticmethod
    def tap_log(folder):
        path = Path(folder) / TAP_LOG
        if not path.exists():
            return []
        return [json.loads(line) for line in path.read_text().splitlines() if line.strip()]

    def heard(self):
        """Whether the capture holds anything but silence; the file is removed."""
        if not self.capture.exists():
            return False
        heard = False
        with open(self.capture, "rb") as f:
            while True:
                block = f.read(1 << 20)
                if not block:
                    break
                if block.strip(b"\x00"):
                    heard = True
                    break
        self.capture.unlink()
        return heard
