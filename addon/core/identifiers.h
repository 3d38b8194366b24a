// Numbers the add-on registers with SimConnect. They are ours to choose, but
// stored nowhere else: the menu, the data requests and the replies are matched
// by these values alone.
#ifndef DROVANA_ADDON_CORE_IDENTIFIERS_H
#define DROVANA_ADDON_CORE_IDENTIFIERS_H

enum MenuEventId {
    MENU_ROOT = 10,
    MENU_AUTO_RIGHT = 100,
    MENU_AUTO_LEFT = 101,
    MENU_SEPARATOR = 102,
    MENU_PUSHBACK = 103,
    MENU_TURN_RIGHT = 104,
    MENU_TURN_LEFT = 105,
    MENU_STOP = 106,
    MENU_CORRECT = 107,
    MENU_SETTING = 108,
    MENU_TAXIWAY_RIGHT = 109,
    MENU_TAXIWAY_LEFT = 110
};

enum ClientEventId { EVENT_AIRCRAFT_LOADED = 0, EVENT_SIM_START = 1, EVENT_TEXT = 5 };

// Each data definition is also the request id of its periodic request.
enum DataDefinitionId { DEF_POSITION = 1, DEF_ON_GROUND = 2, DEF_ENGINES = 3, DEF_BRAKE = 4 };

enum SystemStateRequestId { REQ_AIRCRAFT_LOADED = 6, REQ_DIALOG_MODE = 7 };

#endif
