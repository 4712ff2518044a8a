/* Resource identifiers, shared by varnello.rc and the program. */
#ifndef VARNELLO_RESOURCE_IDS_H
#define VARNELLO_RESOURCE_IDS_H

#define IDI_PROGRAM 1
#define IDI_MONITOR 2
#define IDC_HAND_POINT 10

/* Pictures, kept in their own formats: GIFs and bitmaps are decoded by the
   program itself, the one JPEG by the system's picture object. */
#define IDP_BACKGROUND 101
#define IDP_PROGRESS 102
#define IDP_BANNER 103
#define IDP_START_BUTTON 104
#define IDP_PANEL 106
#define IDP_DARK_BUTTON 107
#define IDP_DARK_BUTTON_LOW 108
#define IDP_WHITE_BOX 109

/* The same art drawn for 125, 150 and 200 per cent: the identifier of its
   100 per cent drawing plus 1, 2 or 3 times IDR_SCALE_STEP. */
#define IDR_SCALE_STEP 20
#define IDI_PROGRAM_125 21
#define IDI_MONITOR_125 22
#define IDC_HAND_POINT_125 30
#define IDI_PROGRAM_150 41
#define IDI_MONITOR_150 42
#define IDC_HAND_POINT_150 50
#define IDI_PROGRAM_200 61
#define IDI_MONITOR_200 62
#define IDC_HAND_POINT_200 70
#define IDP_BACKGROUND_125 121
#define IDP_PROGRESS_125 122
#define IDP_BANNER_125 123
#define IDP_START_BUTTON_125 124
#define IDP_PANEL_125 126
#define IDP_DARK_BUTTON_125 127
#define IDP_DARK_BUTTON_LOW_125 128
#define IDP_WHITE_BOX_125 129
#define IDP_BACKGROUND_150 141
#define IDP_PROGRESS_150 142
#define IDP_BANNER_150 143
#define IDP_START_BUTTON_150 144
#define IDP_PANEL_150 146
#define IDP_DARK_BUTTON_150 147
#define IDP_DARK_BUTTON_LOW_150 148
#define IDP_WHITE_BOX_150 149
#define IDP_BACKGROUND_200 161
#define IDP_PROGRESS_200 162
#define IDP_BANNER_200 163
#define IDP_START_BUTTON_200 164
#define IDP_PANEL_200 166
#define IDP_DARK_BUTTON_200 167
#define IDP_DARK_BUTTON_LOW_200 168
#define IDP_WHITE_BOX_200 169

#define IDM_SYSPOPUP 200
#define IDM_SHOW 201
#define IDM_EXIT 202

#define IDS_TITLE 300
#define IDS_TIP 301
#define IDS_WELCOME 302
#define IDS_NOTICE_TITLE 303
#define IDS_ERROR_FORMAT 304

#endif
