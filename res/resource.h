// Identifiers shared by the resource script and the code. Plain #defines so that
// windres and the C++ compilers read the same file.
#ifndef VELMORIN_RES_RESOURCE_H
#define VELMORIN_RES_RESOURCE_H

#define IDI_MAIN 128
// The About box is stored under the name ABOUT, not a number; resource names match
// without regard to case, so the code asks for it as "About".
#define IDD_ABOUT "About"
#define IDD_MAIN 130
#define IDR_MAINMENU 131

#define IDC_PLAY 1000
#define IDC_STOP 1001
#define IDC_PAUSE 1002
#define IDC_FREQUENCY 1003
#define IDC_PAN 1004
#define IDC_VOLUME 1005
#define IDC_POSITION 1006
#define IDC_SKIP_BACK 1007
#define IDC_SKIP_FORWARD 1008
#define IDC_LOOP 1009
#define IDC_AUTOPAUSE 1010
#define IDC_FREQUENCY_TEXT 1012
#define IDC_PAN_TEXT 1013
#define IDC_VOLUME_TEXT 1014
#define IDC_STATUS 1016
#define IDC_POSITION_TEXT 1017
#define IDC_PLAY_DURATION_TEXT 1018
#define IDC_FOCUS_NORMAL 1019
#define IDC_FOCUS_STICKY 1020
#define IDC_FOCUS_GLOBAL 1021
#define IDC_MEM_DEFAULT 1022
#define IDC_MEM_HARDWARE 1023
#define IDC_MEM_SOFTWARE 1024
#define IDC_PLAY_DURATION 1025
#define IDC_PAUSE_DURATION 1026
#define IDC_PAUSE_BACKUP 1027
#define IDC_PAUSE_DURATION_TEXT 1028
#define IDC_PAUSE_BACKUP_TEXT 1029

#define IDM_FILE_EXIT 32772
#define IDM_HELP_ABOUT 32773
#define IDM_FILE_OPEN 32774

#endif
