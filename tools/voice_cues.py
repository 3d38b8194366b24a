#!/usr/bin/env python3
"""The spoken cues of a checklist pushback, one set per language, generated
with espeak-ng and made small with sox.

LANGUAGES is the one place that holds every language's phrases. Every set
has the same 14 file names (FILES), the ones the sample Drovana.cfg names, so
a pilot's Drovana.cfg stays valid whichever set is installed. The files are
mono 16-bit PCM WAVE at 16 kHz (what espeak-ng puts above 8 kHz is 26 dB
down), with the silence espeak-ng puts around a phrase cut off.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

# section -> file name, the same in every language
FILES = {
    "Sound0": "pushback_requested.wav",
    "Sound1": "brake_checked.wav",
    "Sound2": "engines_checked.wav",
    "Sound3": "starting_pushback.wav",
    "Sound4": "pushback_complete.wav",
    "Sound5": "good_luck.wav",
    "EngSound0": "start_engine_one.wav",
    "EngSound1": "start_engine_two.wav",
    "EngSound2": "start_engine_three.wav",
    "EngSound3": "start_engine_four.wav",
    "EngSound4": "engine_start_complete.wav",
    "PBSound0": "set_parking_brake.wav",
    "PBSound1": "release_parking_brake.wav",
    "PBSound2": "set_parking_brake_after.wav",
}

# code (also the set's folder and DrovanaSetup's /LANG=), the language's own
# name, the espeak-ng voice, and the phrase of each section.
LANGUAGES = [
    ("en", "English", "en", {
        "Sound0": "Pushback requested", "Sound1": "Parking brake set", "Sound2": "Engines checked",
        "Sound3": "Starting pushback", "Sound4": "Pushback complete", "Sound5": "Good luck",
        "EngSound0": "Start engine one", "EngSound1": "Start engine two", "EngSound2": "Start engine three",
        "EngSound3": "Start engine four", "EngSound4": "Engine start complete",
        "PBSound0": "Set parking brake", "PBSound1": "Release parking brake", "PBSound2": "Set parking brake",
    }),
    ("de", "Deutsch", "de", {
        "Sound0": "Pushback angefordert", "Sound1": "Parkbremse gesetzt", "Sound2": "Triebwerke geprüft",
        "Sound3": "Pushback beginnt", "Sound4": "Pushback beendet", "Sound5": "Guten Flug",
        "EngSound0": "Triebwerk eins anlassen", "EngSound1": "Triebwerk zwei anlassen",
        "EngSound2": "Triebwerk drei anlassen", "EngSound3": "Triebwerk vier anlassen",
        "EngSound4": "Triebwerke laufen",
        "PBSound0": "Parkbremse setzen", "PBSound1": "Parkbremse lösen", "PBSound2": "Parkbremse setzen",
    }),
    ("fr", "Français", "fr-fr", {
        "Sound0": "Repoussage demandé", "Sound1": "Frein de parc serré", "Sound2": "Moteurs vérifiés",
        "Sound3": "Début du repoussage", "Sound4": "Repoussage terminé", "Sound5": "Bon vol",
        "EngSound0": "Démarrez le moteur un", "EngSound1": "Démarrez le moteur deux",
        "EngSound2": "Démarrez le moteur trois", "EngSound3": "Démarrez le moteur quatre",
        "EngSound4": "Démarrage terminé",
        "PBSound0": "Serrez le frein de parc", "PBSound1": "Desserrez le frein de parc",
        "PBSound2": "Serrez le frein de parc",
    }),
    ("es", "Español", "es", {
        "Sound0": "Retroceso solicitado", "Sound1": "Freno de estacionamiento puesto",
        "Sound2": "Motores comprobados", "Sound3": "Iniciando retroceso", "Sound4": "Retroceso completado",
        "Sound5": "Buen vuelo",
        "EngSound0": "Arranque motor uno", "EngSound1": "Arranque motor dos", "EngSound2": "Arranque motor tres",
        "EngSound3": "Arranque motor cuatro", "EngSound4": "Arranque completado",
        "PBSound0": "Ponga el freno de estacionamiento", "PBSound1": "Suelte el freno de estacionamiento",
        "PBSound2": "Ponga el freno de estacionamiento",
    }),
    ("it", "Italiano", "it", {
        "Sound0": "Pushback richiesto", "Sound1": "Freno di parcheggio inserito", "Sound2": "Motori controllati",
        "Sound3": "Inizio pushback", "Sound4": "Pushback completato", "Sound5": "Buon volo",
        "EngSound0": "Avviare motore uno", "EngSound1": "Avviare motore due", "EngSound2": "Avviare motore tre",
        "EngSound3": "Avviare motore quattro", "EngSound4": "Avviamento completato",
        "PBSound0": "Inserire freno di parcheggio", "PBSound1": "Rilasciare freno di parcheggio",
        "PBSound2": "Inserire freno di parcheggio",
    }),
    ("pt-BR", "Português (Brasil)", "pt-br", {
        "Sound0": "Pushback solicitado", "Sound1": "Freio de estacionamento aplicado",
        "Sound2": "Motores verificados", "Sound3": "Iniciando pushback", "Sound4": "Pushback concluído",
        "Sound5": "Bom voo",
        "EngSound0": "Partida no motor um", "EngSound1": "Partida no motor dois",
        "EngSound2": "Partida no motor três", "EngSound3": "Partida no motor quatro",
        "EngSound4": "Partida concluída",
        "PBSound0": "Aplicar freio de estacionamento", "PBSound1": "Soltar freio de estacionamento",
        "PBSound2": "Aplicar freio de estacionamento",
    }),
    ("nl", "Nederlands", "nl", {
        "Sound0": "Pushback aangevraagd", "Sound1": "Parkeerrem staat erop", "Sound2": "Motoren gecontroleerd",
        "Sound3": "Pushback begint", "Sound4": "Pushback voltooid", "Sound5": "Goede vlucht",
        "EngSound0": "Start motor één", "EngSound1": "Start motor twee", "EngSound2": "Start motor drie",
        "EngSound3": "Start motor vier", "EngSound4": "Motoren gestart",
        "PBSound0": "Parkeerrem erop", "PBSound1": "Parkeerrem los", "PBSound2": "Parkeerrem erop",
    }),
    ("pl", "Polski", "pl", {
        "Sound0": "Wypychanie zgłoszone", "Sound1": "Hamulec postojowy zaciągnięty",
        "Sound2": "Silniki sprawdzone", "Sound3": "Rozpoczynamy wypychanie", "Sound4": "Wypychanie zakończone",
        "Sound5": "Udanego lotu",
        "EngSound0": "Uruchom silnik jeden", "EngSound1": "Uruchom silnik dwa", "EngSound2": "Uruchom silnik trzy",
        "EngSound3": "Uruchom silnik cztery", "EngSound4": "Silniki uruchomione",
        "PBSound0": "Zaciągnij hamulec postojowy", "PBSound1": "Zwolnij hamulec postojowy",
        "PBSound2": "Zaciągnij hamulec postojowy",
    }),
    ("ru", "Русский", "ru", {
        "Sound0": "Буксировка запрошена", "Sound1": "Стояночный тормоз включён", "Sound2": "Двигатели проверены",
        "Sound3": "Начинаем буксировку", "Sound4": "Буксировка завершена", "Sound5": "Счастливого полёта",
        "EngSound0": "Запуск первого двигателя", "EngSound1": "Запуск второго двигателя",
        "EngSound2": "Запуск третьего двигателя", "EngSound3": "Запуск четвёртого двигателя",
        "EngSound4": "Запуск завершён",
        "PBSound0": "Включите стояночный тормоз", "PBSound1": "Снимите стояночный тормоз",
        "PBSound2": "Включите стояночный тормоз",
    }),
    ("cs", "Čeština", "cs", {
        "Sound0": "Pushback vyžádán", "Sound1": "Parkovací brzda zatažena", "Sound2": "Motory zkontrolovány",
        "Sound3": "Zahajujeme pushback", "Sound4": "Pushback dokončen", "Sound5": "Šťastný let",
        "EngSound0": "Spusťte motor jedna", "EngSound1": "Spusťte motor dva", "EngSound2": "Spusťte motor tři",
        "EngSound3": "Spusťte motor čtyři", "EngSound4": "Motory spuštěny",
        "PBSound0": "Zatáhněte parkovací brzdu", "PBSound1": "Uvolněte parkovací brzdu",
        "PBSound2": "Zatáhněte parkovací brzdu",
    }),
    ("sv", "Svenska", "sv", {
        "Sound0": "Pushback begärd", "Sound1": "Parkeringsbromsen ansatt", "Sound2": "Motorerna kontrollerade",
        "Sound3": "Pushback påbörjas", "Sound4": "Pushback klar", "Sound5": "Trevlig flygning",
        "EngSound0": "Starta motor ett", "EngSound1": "Starta motor två", "EngSound2": "Starta motor tre",
        "EngSound3": "Starta motor fyra", "EngSound4": "Motorstart klar",
        "PBSound0": "Ansätt parkeringsbromsen", "PBSound1": "Släpp parkeringsbromsen",
        "PBSound2": "Ansätt parkeringsbromsen",
    }),
    ("zh", "中文", "cmn", {
        "Sound0": "请求推出", "Sound1": "停留刹车已设置", "Sound2": "发动机已检查",
        "Sound3": "开始推出", "Sound4": "推出完毕", "Sound5": "一路顺风",
        "EngSound0": "启动一号发动机", "EngSound1": "启动二号发动机", "EngSound2": "启动三号发动机",
        "EngSound3": "启动四号发动机", "EngSound4": "发动机启动完毕",
        "PBSound0": "设置停留刹车", "PBSound1": "松开停留刹车", "PBSound2": "设置停留刹车",
    }),
]

DEFAULT = "en"
# How every file is made; a change here (or to a phrase) remakes the sets.
SPEED = 170
RATE = 16000
# Leading and trailing sound below 0.5% of full scale counts as silence.
TRIM = ["silence", "1", "0.01", "0.5%", "reverse", "silence", "1", "0.01", "0.5%", "reverse"]
INDEX = "languages.txt"
STAMP = "made-from.txt"


def check_table():
    """Stops the build at a language whose phrase for a section is missing or empty."""
    codes = set()
    for code, name, voice, phrases in LANGUAGES:
        if not code or not name or not voice or code.lower() in codes:
            raise SystemExit(f"voice cues: language {code or name!r} needs a code of its own, a name and a voice")
        codes.add(code.lower())
        for section in FILES:
            if not str(phrases.get(section) or "").strip():
                raise SystemExit(f"voice cues: {name} ({code}) has no phrase for [{section}]")
        for section in phrases:
            if section not in FILES:
                raise SystemExit(f"voice cues: {name} ({code}) has a phrase for [{section}], which no list plays")


def language(code):
    for entry in LANGUAGES:
        if entry[0].lower() == code.lower():
            return entry
    raise SystemExit(f"voice cues: no language {code!r}; there are " + ", ".join(e[0] for e in LANGUAGES))


def speak(voice, phrase, path):
    """espeak-ng's phrase, cut at both ends and resampled, into path."""
    with tempfile.TemporaryDirectory(prefix="voice-cue-") as scratch:
        raw = os.path.join(scratch, "spoken.wav")
        subprocess.run(["espeak-ng", "-v", voice, "-s", str(SPEED), "-w", raw, phrase], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        subprocess.run(["sox", raw, "-r", str(RATE), "-c", "1", "-b", "16", "-e", "signed-integer", path, *TRIM],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def generate(folder, code=DEFAULT):
    """Writes one language's set into folder (kept when made from the same
    phrases and settings); returns section -> path. Runs that make the same
    set at once (the tests run side by side) each make it in a folder of
    their own and the first one done puts it in place."""
    check_table()
    code, _name, voice, phrases = language(code)
    recipe = "\n".join([voice, str(SPEED), str(RATE), " ".join(TRIM)] +
                       [f"{section}={phrases[section]}" for section in FILES]) + "\n"
    paths = {section: os.path.join(folder, name) for section, name in FILES.items()}
    if made_from(folder) == recipe and all(os.path.exists(p) for p in paths.values()):
        return paths
    parent = os.path.dirname(os.path.abspath(folder))
    os.makedirs(parent, exist_ok=True)
    scratch = tempfile.mkdtemp(prefix=".making-", dir=parent)
    os.chmod(scratch, 0o755)
    for section, name in FILES.items():
        speak(voice, phrases[section], os.path.join(scratch, name))
    with open(os.path.join(scratch, STAMP), "w", encoding="utf-8") as out:
        out.write(recipe)
    if os.path.isdir(folder) and made_from(folder) != recipe:
        stale = tempfile.mkdtemp(prefix=".stale-", dir=parent)
        try:
            os.replace(folder, os.path.join(stale, "set"))
        except OSError:
            pass
        shutil.rmtree(stale, ignore_errors=True)
    try:
        os.rename(scratch, folder)
    except OSError:  # another run put the same set in place meanwhile
        shutil.rmtree(scratch, ignore_errors=True)
    return paths


def made_from(folder):
    try:
        with open(os.path.join(folder, STAMP), encoding="utf-8") as f:
            return f.read()
    except OSError:
        return None


def generate_all(folder):
    """Every language's set under folder/<code>; returns code -> section -> path."""
    return {code: generate(os.path.join(folder, code), code) for code, _n, _v, _p in LANGUAGES}


def index_text():
    """The package's list of sets, one "code<TAB>name" line each (UTF-8, CR LF),
    the installer's language list."""
    return "".join(f"{code}\t{name}\r\n" for code, name, _v, _p in LANGUAGES)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("folder")
    parser.add_argument("--lang", help="one language's code; every language when absent")
    args = parser.parse_args()
    sets = {args.lang: generate(args.folder, args.lang)} if args.lang else generate_all(args.folder)
    for code, paths in sets.items():
        for section, path in paths.items():
            print(f"{code} {section}: {path}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
