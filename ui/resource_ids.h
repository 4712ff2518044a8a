/* Resource identifiers, shared by varnello.rc and the program. */
#ifndef VARNELLO_RESOURCE_IDS_H
#define VARNELLO_RESOURCE_IDS_H

#define IDI_PROGRAM 1
#define IDI_MONITOR 2
#define IDC_HAND_POINT 10

/* Pictures, kept in their own formats and loaded with OleLoadPicture. */
#define IDP_BACKGROUND 101
#define IDP_PROGRESS 102
#define IDP_BANNER 103
#define IDP_START_BUTTON 104
#define IDP_PANEL 106
#define IDP_DARK_BUTTON 107
#define IDP_DARK_BUTTON_LOW 108
#define IDP_WHITE_BOX 109

#define IDM_SYSPOPUP 200
#define IDM_SHOW 201
#define IDM_EXIT 202

#define IDS_TITLE 300
#define IDS_TIP 301
#define IDS_WELCOME 302
#define IDS_NOTICE_TITLE 303
#define IDS_ERROR_FORMAT 304

#endif
