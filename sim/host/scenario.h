// A scenario: one command a line (sim/README.md has the syntax). Setup
// commands apply before the add-on starts; the timed ones run in file order,
// each `at T` T seconds after the anchor, which is the start of the run or
// the moment the last `until` was met.
#ifndef DROVANA_SIM_SCENARIO_H
#define DROVANA_SIM_SCENARIO_H

#include <string>
#include <vector>

#include "profile_command.h"
#include "scenery_library.h"

struct ConfigEntry {
    std::string section, key, value;
};

class ScenarioActions;
// What a timed command does: one of the host's actions below, given the rest
// of the line after the action's name.
typedef bool (ScenarioActions::*TimedAction)(const std::string &argument);
// What an `until` waits for (the table in scenario.cpp).
struct UntilCondition;

struct ScenarioCommand {
    enum Kind { AT, UNTIL, END };
    Kind kind;
    int line;
    std::string source;                     // the line as written
    double time;                            // AT, END: seconds after the anchor
    double timeout;                         // UNTIL: seconds
    TimedAction action = nullptr;           // AT
    const UntilCondition *until = nullptr;  // UNTIL
    std::string argument;  // AT: the rest after the action; UNTIL text: the first text; UNTIL pushback: the state
    std::vector<std::string> texts;  // UNTIL text: any of these meets it
};

struct Scenario {
    std::string aircraft = "Liner";
    std::vector<ConfigEntry> config;
    bool failOpen = false;
    double openDelay = 1.0;
    bool loadAddon = true;
    bool setupPathGiven = false;
    bool setupPathNone = false;
    std::string setupPath;
    std::string simulator;  // `simulator CODE`; empty: the boxed edition as every run before played it
    TugBehaviour tug;       // `profile SPEED RATE DELAY`
    std::vector<SceneryArea> scenery;
    std::vector<ScenarioCommand> commands;
};

// False with a message naming the line when the file cannot be used.
bool ParseScenario(const char *path, Scenario *scenario, std::string *error);

// What the timed commands do to the simulator; implemented by the host. The
// scenario's names for them are the table of timed commands in scenario.cpp,
// the one place that pairs a name with its action, so no name is parsed
// that nothing performs. Each action is given the rest of its line and
// answers false when that is not understood or the action has no target.
class ScenarioActions {
public:
    virtual ~ScenarioActions() {}
    virtual bool PickMenu(const std::string &caption) = 0;
    virtual bool Set(const std::string &what) = 0;
    virtual bool PressKeys(const std::string &keys) = 0;
    virtual bool InjectKeys(const std::string &keys) = 0;
    virtual bool LoadAircraft(const std::string &name) = 0;
    virtual bool SendSimStart(const std::string &ignored) = 0;
    virtual bool AnswerDialog(const std::string &answer) = 0;
    virtual bool EditConfig(const std::string &entry) = 0;
    virtual bool WriteResources(const std::string &label) = 0;
    virtual bool KillPlayer(const std::string &how) = 0;
    virtual bool DamageConfig(const std::string &how) = 0;
    virtual bool SendOddRecord(const std::string &record) = 0;
    virtual bool Pause(const std::string &seconds) = 0;
    virtual bool LoseFocus(const std::string &argument) = 0;

    // Texts shown since the run started, in order.
    virtual size_t TextCount() = 0;
    virtual std::string TextAt(size_t index) = 0;
    virtual std::string PushbackState() = 0;
    virtual int SimStartsSent() = 0;
    // Thread timers without a window that fired lately: the add-on's
    // sequencer and measurement timers while a run or a measurement goes on.
    virtual int ActiveTimers() = 0;
};

class ScenarioRunner {
public:
    enum Status { RUNNING, FINISHED, TIMED_OUT, FAILED };
    explicit ScenarioRunner(const Scenario &scenario) : scenario_(scenario) {}
    // Runs whatever is due at run time `now`; called once a frame.
    Status Step(double now, ScenarioActions &actions);
    // The run got no frames for this long: what was due meanwhile moves on
    // by as much, so commands keep their spacing.
    void Stall(double seconds) {
        anchor_ += seconds;
        waitStart_ += seconds;
        lastDone_ += seconds;
    }

private:
    const Scenario &scenario_;
    size_t next_ = 0;
    double anchor_ = 0.0;
    bool waiting_ = false;  // an until is current
    double waitStart_ = 0.0;
    size_t textMark_ = 0;  // texts before this index do not meet the until
    double lastDone_ = 0.0;
};

#endif
