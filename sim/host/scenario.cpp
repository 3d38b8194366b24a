#include "scenario.h"

#include <stdio.h>
#include <stdlib.h>

#include "simulator_kind.h"
#include "trace.h"

namespace {

const double kDefaultUntilTimeout = 60.0;
const double kGraceAfterLastCommand = 1.0;

std::string Trim(const std::string &s) {
    size_t begin = s.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) return "";
    size_t end = s.find_last_not_of(" \t\r\n");
    return s.substr(begin, end - begin + 1);
}

// Splits off the first blank-separated word.
std::string TakeWord(std::string &rest) {
    rest = Trim(rest);
    size_t blank = rest.find_first_of(" \t");
    std::string word = rest.substr(0, blank);
    rest = blank == std::string::npos ? "" : Trim(rest.substr(blank));
    return word;
}

bool ParseSeconds(const std::string &word, double *seconds) {
    if (word.empty()) return false;
    char *end = nullptr;
    const double value = strtod(word.c_str(), &end);
    if (end == nullptr || *end != '\0' || !(value >= 0.0) || value > 1e6) return false;
    *seconds = value;
    return true;
}

// `[timeout S]` at the end of an until.
bool ParseTimeout(std::string rest, double *timeout, std::string *error) {
    *timeout = kDefaultUntilTimeout;
    if (rest.empty()) return true;
    if (TakeWord(rest) != "timeout" || !ParseSeconds(TakeWord(rest), timeout) || !rest.empty()) {
        *error = "expected `timeout SECONDS`";
        return false;
    }
    return true;
}

bool ParseLine(const std::string &text, int lineNumber, Scenario *s, std::string *error) {
    std::string rest = text;
    const std::string word = TakeWord(rest);
    ScenarioCommand command;
    command.line = lineNumber;
    command.source = text;
    command.time = 0.0;
    command.timeout = 0.0;
    if (word == "aircraft") {
        if (rest.empty()) { *error = "aircraft needs a name"; return false; }
        s->aircraft = rest;
        return true;
    }
    if (word == "profile") return ParseProfileCommand(rest, &s->tug, error);
    if (word == "config") {
        ConfigEntry entry;
        entry.section = TakeWord(rest);
        entry.key = TakeWord(rest);
        entry.value = rest;
        if (entry.section.empty() || entry.key.empty()) { *error = "config needs SECTION KEY VALUE"; return false; }
        s->config.push_back(entry);
        return true;
    }
    if (word == "open") {
        if (rest != "fail") { *error = "only `open fail` is known"; return false; }
        s->failOpen = true;
        return true;
    }
    if (word == "opendelay") {
        if (!ParseSeconds(rest, &s->openDelay)) { *error = "opendelay needs seconds"; return false; }
        return true;
    }
    if (word == "addon") {
        if (rest != "none") { *error = "only `addon none` is known"; return false; }
        s->loadAddon = false;
        return true;
    }
    if (word == "setuppath") {
        s->setupPathGiven = true;
        s->setupPathNone = rest == "none";
        s->setupPath = rest;
        return true;
    }
    if (word == "scenery") return ParseSceneryLine(rest, &s->scenery, error);
    if (word == "simulator") {
        if (FindSimulatorKind(rest) == nullptr) {
            *error = "simulator needs one of FSX, FSX-SE, P3Dv1, P3Dv2, P3Dv3";
            return false;
        }
        s->simulator = rest;
        return true;
    }
    if (word == "at") {
        command.kind = ScenarioCommand::AT;
        if (!ParseSeconds(TakeWord(rest), &command.time)) { *error = "at needs a time in seconds"; return false; }
        command.action = TakeWord(rest);
        command.argument = rest;
        static const char *const kActions[] = {"menu", "set", "key", "inject", "aircraft", "simstart", "dialog",
                                               "config", "resources", "player", "cfgfile", "simconnect",
                                               "pause", "focus"};
        bool known = false;
        for (const char *a : kActions) known = known || command.action == a;
        if (!known) { *error = "unknown action `" + command.action + "`"; return false; }
        s->commands.push_back(command);
        return true;
    }
    if (word == "until") {
        const std::string what = TakeWord(rest);
        if (what == "text") {
            const size_t open = rest.find('"');
            const size_t close = rest.rfind('"');
            if (open != 0 || close == open) { *error = "until text needs a \"quoted text\""; return false; }
            command.kind = ScenarioCommand::UNTIL_TEXT;
            command.argument = rest.substr(1, close - 1);
            // `"A" or "B"`: either text meets it.
            const std::string kOr = "\" or \"";
            std::string texts = command.argument;
            for (size_t at; (at = texts.find(kOr)) != std::string::npos; texts = texts.substr(at + kOr.size()))
                command.texts.push_back(texts.substr(0, at));
            command.texts.push_back(texts);
            if (!ParseTimeout(Trim(rest.substr(close + 1)), &command.timeout, error)) return false;
        } else if (what == "pushback") {
            command.kind = ScenarioCommand::UNTIL_PUSHBACK;
            command.argument = TakeWord(rest);
            if (command.argument != "off" && command.argument != "straight" && command.argument != "left" &&
                command.argument != "right" && command.argument != "on") {
                *error = "until pushback needs off, on, straight, left or right";
                return false;
            }
            if (!ParseTimeout(rest, &command.timeout, error)) return false;
        } else if (what == "simstart") {
            command.kind = ScenarioCommand::UNTIL_SIMSTART;
            if (!ParseTimeout(rest, &command.timeout, error)) return false;
        } else if (what == "idle") {
            command.kind = ScenarioCommand::UNTIL_IDLE;
            if (!ParseTimeout(rest, &command.timeout, error)) return false;
        } else {
            *error = "until needs `text`, `pushback`, `simstart` or `idle`";
            return false;
        }
        s->commands.push_back(command);
        return true;
    }
    if (word == "end") {
        command.kind = ScenarioCommand::END;
        if (!ParseSeconds(TakeWord(rest), &command.time) || !rest.empty()) { *error = "end needs a time"; return false; }
        s->commands.push_back(command);
        return true;
    }
    *error = "unknown command `" + word + "`";
    return false;
}

}  // namespace

bool ParseScenario(const char *path, Scenario *scenario, std::string *error) {
    FILE *file = fopen(path, "rb");
    if (file == nullptr) {
        *error = std::string("cannot open ") + path;
        return false;
    }
    char buffer[1024];
    int lineNumber = 0;
    bool ok = true;
    while (ok && fgets(buffer, sizeof buffer, file) != nullptr) {
        ++lineNumber;
        std::string line = buffer;
        if (line.size() == sizeof buffer - 1 && line.back() != '\n') {
            *error = "line " + std::to_string(lineNumber) + ": longer than 1000 characters";
            ok = false;
            break;
        }
        line = Trim(line);
        if (line.empty() || line[0] == '#') continue;
        std::string message;
        if (!ParseLine(line, lineNumber, scenario, &message)) {
            *error = "line " + std::to_string(lineNumber) + ": " + message;
            ok = false;
        }
    }
    fclose(file);
    return ok;
}

ScenarioRunner::Status ScenarioRunner::Step(double now, ScenarioActions &actions) {
    while (next_ < scenario_.commands.size()) {
        const ScenarioCommand &c = scenario_.commands[next_];
        if (c.kind == ScenarioCommand::AT) {
            if (now < anchor_ + c.time) return RUNNING;
            const bool ok = actions.Perform(c.action, c.argument);
            JsonLine record = Record("scenario");
            record.Int("line", c.line).Str("command", c.source.c_str()).Bool("ok", ok);
            Emit(record);
            lastDone_ = now;
            ++next_;
            continue;
        }
        if (c.kind == ScenarioCommand::END) {
            if (now < anchor_ + c.time) return RUNNING;
            JsonLine record = Record("scenario");
            record.Int("line", c.line).Str("command", c.source.c_str()).Bool("ok", true);
            Emit(record);
            return FINISHED;
        }
        // An until.
        if (!waiting_) {
            waiting_ = true;
            waitStart_ = now;
            textMark_ = actions.TextCount();
        }
        bool met = false;
        if (c.kind == ScenarioCommand::UNTIL_TEXT) {
            const size_t count = actions.TextCount();
            for (size_t i = textMark_; i < count && !met; ++i) {
                const std::string shown = actions.TextAt(i);
                for (const std::string &text : c.texts) met = met || shown.find(text) != std::string::npos;
            }
            textMark_ = count;
        } else if (c.kind == ScenarioCommand::UNTIL_SIMSTART) {
            met = actions.SimStartsSent() > 0;
        } else if (c.kind == ScenarioCommand::UNTIL_IDLE) {
            met = actions.ActiveTimers() == 0;
        } else {
            const std::string state = actions.PushbackState();
            met = c.argument == "on" ? state != "off" : state == c.argument;
        }
        const bool timedOut = !met && now - waitStart_ >= c.timeout;
        if (!met && !timedOut) return RUNNING;
        JsonLine record = Record("until");
        record.Int("line", c.line).Str("command", c.source.c_str()).Bool("met", met);
        record.Num("waited_s", now - waitStart_);
        Emit(record);
        waiting_ = false;
        if (timedOut) {
            char line[1200];
            snprintf(line, sizeof line, "scenario line %d timed out after %.0f s: %s", c.line, c.timeout,
                     c.source.c_str());
            PrintConsoleLine(line);
            return TIMED_OUT;
        }
        anchor_ = now;
        lastDone_ = now;
        ++next_;
    }
    return now >= lastDone_ + kGraceAfterLastCommand ? FINISHED : RUNNING;
}
