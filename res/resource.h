// Resource identifiers shared by the .rc script and the code.
#ifndef PEL_RES_RESOURCE_H
#define PEL_RES_RESOURCE_H

// Main installer dialog; created with the window class "PelMasterInstallerClassName" so that
// a second start can find the running installer.
#define IDD_INSTALL_GUIDE 139

// Wizard panels, child dialogs of the main dialog.
#define IDD_SETTING_PANEL 137
#define IDD_STATUS_PANEL 142
#define IDD_SUCCESS_PANEL 149

// Self-validation dialog with its marquee progress bar.
#define IDD_CLIENT_VALIDATOR 172
#define IDC_VALIDATOR_PROGRESS 171

// Controls of the settings panel.
#define IDC_INSTALL_BUTTON 133
#define IDC_LICENSE_CHECK 134
#define IDC_LICENSE_TEXT 135
#define IDC_SETTINGS_HEADING 136
#define IDC_SETTINGS_TOGGLE 138
#define IDC_FOLDER_LABEL 140
#define IDC_LANGUAGE_COMBO 141
#define IDC_FOLDER_EDIT 143
#define IDC_BROWSE_BUTTON 148
#define IDC_LICENSE_LINK 152
#define IDC_LANGUAGE_LABEL 174

// Controls of the status panel (the slide show and the progress bar are created at run time).
#define IDC_PROGRESS_BAR 105
#define IDC_STATE_TEXT 122
#define IDC_PERCENT_TEXT 123
#define IDC_SLIDE_SHOW 170
#define IDC_REMAINING_TEXT 173

// Controls of the success panel; Start Now is id 1 (IDOK).
#define IDC_START_NOW 1
#define IDC_LAUNCH_CHECK 150
#define IDC_LAUNCH_TEXT 151

// Program icon (all sizes in one file).
#define IDI_PEL_MAIN 101

// PNG pictures (resource type "PNG"), four per picture: 100, 125, 150 and 200 % display
// scaling, in consecutive ids so that the 125 % image is the 100 % id + 1.
#define IDB_CLOSE_100 106
#define IDB_CLOSE_125 107
#define IDB_CLOSE_150 108
#define IDB_CLOSE_200 109
#define IDB_MINIMIZE_100 110
#define IDB_MINIMIZE_125 111
#define IDB_MINIMIZE_150 112
#define IDB_MINIMIZE_200 113
#define IDB_MAXIMIZE_100 114
#define IDB_MAXIMIZE_125 115
#define IDB_MAXIMIZE_150 116
#define IDB_MAXIMIZE_200 117
#define IDB_RESTORE_100 118
#define IDB_RESTORE_125 119
#define IDB_RESTORE_150 120
#define IDB_RESTORE_200 121
#define IDB_PANEL_LOGO_100 129
#define IDB_PANEL_LOGO_125 130
#define IDB_PANEL_LOGO_150 131
#define IDB_PANEL_LOGO_200 132
// Three square frames side by side: disabled, under the mouse, normal.
#define IDB_DROPDOWN_ARROW_100 144
#define IDB_DROPDOWN_ARROW_125 145
#define IDB_DROPDOWN_ARROW_150 146
#define IDB_DROPDOWN_ARROW_200 147
#define IDB_CHECK_TICKED_100 153
#define IDB_CHECK_TICKED_125 154
#define IDB_CHECK_TICKED_150 155
#define IDB_CHECK_TICKED_200 156
#define IDB_CHECK_UNTICKED_100 157
#define IDB_CHECK_UNTICKED_125 158
#define IDB_CHECK_UNTICKED_150 159
#define IDB_CHECK_UNTICKED_200 160
// Settings toggle while the settings are unfolded (the initial state) and while folded.
#define IDB_TOGGLE_UNFOLDED_100 161
#define IDB_TOGGLE_UNFOLDED_125 162
#define IDB_TOGGLE_UNFOLDED_150 163
#define IDB_TOGGLE_UNFOLDED_200 164
#define IDB_TOGGLE_FOLDED_100 165
#define IDB_TOGGLE_FOLDED_125 166
#define IDB_TOGGLE_FOLDED_150 167
#define IDB_TOGGLE_FOLDED_200 168

#endif
