// What DrovanaSetup.exe ends with. Scripts and silent runs (/S) read only
// this, so the numbers never change meaning.
#ifndef DROVANA_SETUP_EXIT_H
#define DROVANA_SETUP_EXIT_H

enum SetupExit {
    SETUP_DONE = 0,                // installed, updated or removed
    SETUP_CANCELLED = 1,           // the pilot said no (or refused the administrator prompt)
    SETUP_NO_SIM_FOLDER = 2,       // neither /D= nor the registry names an existing folder
    SETUP_DLL_XML_REFUSED = 3,     // dll.xml is not well-formed, or not a form we edit: left unchanged
    SETUP_WRITE_FAILED = 4,        // a file or folder could not be written: nothing changed
    SETUP_IN_USE = 5,              // a program is held open by the running simulator: nothing changed
    SETUP_PACKAGE_INCOMPLETE = 6,  // a file to install is missing beside DrovanaSetup.exe
    SETUP_BAD_COMMAND_LINE = 7,    // an unknown switch, or a folder name too long
};

#endif
