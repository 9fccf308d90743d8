// Resource identifiers shared by the resource script and the window code.
#pragma once

#define IDI_KAL2MAP 1

// Command id of the system menu entry for the image-extension choice. System menu ids must
// lie below 0xF000 with the low four bits clear, as the system uses those bits itself.
#define IDM_EXT_CHOICE 0x0010
