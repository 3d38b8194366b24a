// What a real session throws at the add-on that the pilot did not choose: the
// player ended by force, Drovana.cfg damaged under the running add-on, odd
// SimConnect records, the simulation paused, another program in front.
// The scenario's `at T player|cfgfile|simconnect|pause|focus ...` commands
// (sim/README.md) land here; each writes a `fault` record into the trace.
#ifndef DROVANA_SIM_FAULTS_H
#define DROVANA_SIM_FAULTS_H

#include <windows.h>

#include <string>

#include "../simconnect/standin.h"

struct StandInOddRecords {
    StandInSendExceptionFn sendException;
    StandInSendForeignDataFn sendForeignData;
    StandInSendQuitFn sendQuit;
};

class SessionFaults {
public:
    // configPath: the run's Drovana.cfg; findPlayer: the player window of this
    // run, or null.
    SessionFaults(HWND simWindow, const std::string &configPath, HWND (*findPlayer)(),
                  const StandInOddRecords &odd);
    ~SessionFaults();

    // The fault actions; each false when its argument is not understood.
    bool KillPlayer(const std::string &argument);
    bool DamageConfig(const std::string &how);
    bool SendOdd(const std::string &argument);
    bool Pause(const std::string &argument);
    bool LoseFocus(const std::string &argument);
    // Once a frame: ends a pause or a focus loss whose time is up.
    void Frame(double now);
    // The simulation is paused: the aircraft stays where it is while frames,
    // data and keys go on.
    bool Paused() const { return pausedUntil_ > 0.0; }

private:
    // playing: the player answered that a cue plays, just before.
    void KillPlayerNow(HWND player, bool playing);
    void RegainFocus();

    HWND simWindow_;
    std::string configPath_;
    HWND (*findPlayer_)();
    StandInOddRecords odd_;
    double pausedUntil_ = 0.0;
    double killWhenPlayingUntil_ = 0.0;  // `player kill playing` waits for a cue
    double focusBackAt_ = 0.0;
    HWND otherProgram_ = nullptr;
    HHOOK refuseActivation_ = nullptr;
};

#endif
