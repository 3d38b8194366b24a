// Identifiers of the settings dialog's template and controls, shared by the
// resource script and the dialog code.
#ifndef DROVANA_ADDON_DIALOG_RESOURCE_H
#define DROVANA_ADDON_DIALOG_RESOURCE_H

#define IDD_SETTING 101

#define IDC_AIRCRAFT 1001
#define IDC_COMPENSATION 1002
#define IDC_DISTANCE 1003
#define IDC_ANGLE 1004
#define IDC_SET_BEFORE 1005
#define IDC_ENGINE_CHECK 1006
#define IDC_RELEASE_BEFORE 1007
#define IDC_SET_AFTER 1008
#define IDC_SOUND_ON 1009

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#endif
