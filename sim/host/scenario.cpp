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

// The timed commands, `at T NAME ARGUMENT`: the name a scenario writes and
// the host's action that performs it.
struct TimedCommand {
    const char *name;
    TimedAction action;
};

const TimedCommand kTimedCommands[] = {
    {"menu", &ScenarioActions::PickMenu},
    {"set", &ScenarioActions::Set},
    {"key", &ScenarioActions::PressKeys},
    {"inject", &ScenarioActions::InjectKeys},
    {"aircraft", &ScenarioActions::LoadAircraft},
    {"simstart", &ScenarioActions::SendSimStart},
    {"dialog", &ScenarioActions::AnswerDialog},
    {"config", &ScenarioActions::EditConfig},
    {"resources", &ScenarioActions::WriteResources},
    {"player", &ScenarioActions::KillPlayer},
    {"cfgfile", &ScenarioActions::DamageConfig},
    {"simconnect", &ScenarioActions::SendOddRecord},
    {"pause", &ScenarioActions::Pause},
    {"focus", &ScenarioActions::LoseFocus},
};

}  // namespace

// What an `until NAME ...` waits for: how the rest of its line is read and
// when the wait is over. textMark: the texts before it do not meet the wait.
struct UntilCondition {
    const char *name;
    bool (*parse)(std::string rest, ScenarioCommand *command, std::string *error);
    bool (*met)(const ScenarioCommand &command, ScenarioActions &actions, size_t *textMark);
};

namespace {

bool ParseUntilText(std::string rest, ScenarioCommand *command, std::string *error) {
    const size_t open = rest.find('"');
    const size_t close = rest.rfind('"');
    if (open != 0 || close == open) {
        *error = "until text needs a \"quoted text\"";
        return false;
    }
    command->argument = rest.substr(1, close - 1);
    // `"A" or "B"`: either text meets it.
    const std::string kOr = "\" or \"";
    std::string texts = command->argument;
    for (size_t at; (at = texts.find(kOr)) != std::string::npos; texts = texts.substr(at + kOr.size()))
        command->texts.push_back(texts.substr(0, at));
    command->texts.push_back(texts);
    return ParseTimeout(Trim(rest.substr(close + 1)), &command->timeout, error);
}

bool TextShown(const ScenarioCommand &command, ScenarioActions &actions, size_t *textMark) {
    bool met = false;
    const size_t count = actions.TextCount();
    for (size_t i = *textMark; i < count && !met; ++i) {
        const std::string shown = actions.TextAt(i);
        for (const std::string &text : command.texts) met = met || shown.find(text) != std::string::npos;
    }
    *textMark = count;
    return met;
}

bool ParseUntilPushback(std::string rest, ScenarioCommand *command, std::string *error) {
    command->argument = TakeWord(rest);
    if (command->argument != "off" && command->argument != "straight" && command->argument != "left" &&
        command->argument != "right" && command->argument != "on") {
        *error = "until pushback needs off, on, straight, left or right";
        return false;
    }
    return ParseTimeout(rest, &command->timeout, error);
}

bool PushbackIs(const ScenarioCommand &command, ScenarioActions &actions, size_t *) {
    const std::string state = actions.PushbackState();
    return command.argument == "on" ? state != "off" : state == command.argument;
}

bool ParseTimeoutOnly(std::string rest, ScenarioCommand *command, std::string *error) {
    return ParseTimeout(rest, &command->timeout, error);
}

bool SimStartSent(const ScenarioCommand &, ScenarioActions &actions, size_t *) { return actions.SimStartsSent() > 0; }

bool AddonIdle(const ScenarioCommand &, ScenarioActions &actions, size_t *) { return actions.ActiveTimers() == 0; }

const UntilCondition kUntilConditions[] = {
    {"text", ParseUntilText, TextShown},
    {"pushback", ParseUntilPushback, PushbackIs},
    {"simstart", ParseTimeoutOnly, SimStartSent},
    {"idle", ParseTimeoutOnly, AddonIdle},
};

// Every command a line may start with. The setup commands fill the scenario
// before the add-on starts; `at`, `until` and `end` add a command to run.
// command: the line's own, with its number and text filled in.
struct LineCommand {
    const char *word;
    bool (*parse)(std::string rest, ScenarioCommand &command, Scenario *s, std::string *error);
};

bool ParseAircraft(std::string rest, ScenarioCommand &, Scenario *s, std::string *error) {
    if (rest.empty()) {
        *error = "aircraft needs a name";
        return false;
    }
    s->aircraft = rest;
    return true;
}

bool ParseProfile(std::string rest, ScenarioCommand &, Scenario *s, std::string *error) {
    return ParseProfileCommand(rest, &s->tug, error);
}

bool ParseConfig(std::string rest, ScenarioCommand &, Scenario *s, std::string *error) {
    ConfigEntry entry;
    entry.section = TakeWord(rest);
    entry.key = TakeWord(rest);
    entry.value = rest;
    if (entry.section.empty() || entry.key.empty()) {
        *error = "config needs SECTION KEY VALUE";
        return false;
    }
    s->config.push_back(entry);
    return true;
}

bool ParseOpen(std::string rest, ScenarioCommand &, Scenario *s, std::string *error) {
    if (rest != "fail") {
        *error = "only `open fail` is known";
        return false;
    }
    s->failOpen = true;
    return true;
}

bool ParseOpenDelay(std::string rest, ScenarioCommand &, Scenario *s, std::string *error) {
    if (!ParseSeconds(rest, &s->openDelay)) {
        *error = "opendelay needs seconds";
        return false;
    }
    return true;
}

bool ParseAddon(std::string rest, ScenarioCommand &, Scenario *s, std::string *error) {
    if (rest != "none") {
        *error = "only `addon none` is known";
        return false;
    }
    s->loadAddon = false;
    return true;
}

bool ParseSetupPath(std::string rest, ScenarioCommand &, Scenario *s, std::string *) {
    s->setupPathGiven = true;
    s->setupPathNone = rest == "none";
    s->setupPath = rest;
    return true;
}

bool ParseScenery(std::string rest, ScenarioCommand &, Scenario *s, std::string *error) {
    return ParseSceneryLine(rest, &s->scenery, error);
}

bool ParseSimulator(std::string rest, ScenarioCommand &, Scenario *s, std::string *error) {
    if (FindSimulatorKind(rest) == nullptr) {
        *error = "simulator needs one of FSX, FSX-SE, P3Dv1, P3Dv2, P3Dv3";
        return false;
    }
    s->simulator = rest;
    return true;
}

bool ParseAt(std::string rest, ScenarioCommand &command, Scenario *s, std::string *error) {
    command.kind = ScenarioCommand::AT;
    if (!ParseSeconds(TakeWord(rest), &command.time)) {
        *error = "at needs a time in seconds";
        return false;
    }
    const std::string name = TakeWord(rest);
    for (const TimedCommand &timed : kTimedCommands)
        if (name == timed.name) command.action = timed.action;
    if (command.action == nullptr) {
        *error = "unknown action `" + name + "`";
        return false;
    }
    command.argument = rest;
    s->commands.push_back(command);
    return true;
}

bool ParseUntil(std::string rest, ScenarioCommand &command, Scenario *s, std::string *error) {
    command.kind = ScenarioCommand::UNTIL;
    const std::string name = TakeWord(rest);
    for (const UntilCondition &condition : kUntilConditions)
        if (name == condition.name) command.until = &condition;
    if (command.until == nullptr) {
        *error = "until needs `text`, `pushback`, `simstart` or `idle`";
        return false;
    }
    if (!command.until->parse(rest, &command, error)) return false;
    s->commands.push_back(command);
    return true;
}

bool ParseEnd(std::string rest, ScenarioCommand &command, Scenario *s, std::string *error) {
    command.kind = ScenarioCommand::END;
    if (!ParseSeconds(TakeWord(rest), &command.time) || !rest.empty()) {
        *error = "end needs a time";
        return false;
    }
    s->commands.push_back(command);
    return true;
}

const LineCommand kLineCommands[] = {
    {"aircraft", ParseAircraft},   {"profile", ParseProfile}, {"config", ParseConfig},       {"open", ParseOpen},
    {"opendelay", ParseOpenDelay}, {"addon", ParseAddon},     {"setuppath", ParseSetupPath}, {"scenery", ParseScenery},
    {"simulator", ParseSimulator}, {"at", ParseAt},           {"until", ParseUntil},         {"end", ParseEnd},
};

bool ParseLine(const std::string &text, int lineNumber, Scenario *s, std::string *error) {
    std::string rest = text;
    const std::string word = TakeWord(rest);
    ScenarioCommand command;
    command.line = lineNumber;
    command.source = text;
    command.time = 0.0;
    command.timeout = 0.0;
    for (const LineCommand &line : kLineCommands)
        if (word == line.word) return line.parse(rest, command, s, error);
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
            const bool ok = (actions.*c.action)(c.argument);
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
        const bool met = c.until->met(c, actions, &textMark_);
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
