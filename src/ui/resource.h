// Resource identifiers shared by the resource script and the window code.
#pragma once

#define IDI_KAL2MAP 1

// Command ids of the system menu entries: the image-extension choice, the folder dialog,
// subfolders, complete maps, KMZ files, frames and the overview. System menu ids must lie below
// 0xF000 with the low four bits clear, as the system uses those bits itself.
#define IDM_EXT_CHOICE 0x0010
#define IDM_CHOOSE_FOLDER 0x0020
#define IDM_SUBFOLDERS 0x0030
#define IDM_COMPLETE_MAPS 0x0040
#define IDM_KMZ 0x0050
#define IDM_FRAME 0x0060
#define IDM_OVERVIEW 0x0070
#define IDM_MBTILES 0x0080
#define IDM_KMZ_ALL 0x0090
