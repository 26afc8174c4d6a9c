#pragma once
#define IDI_APP 1
#define IDI_TRAY_IDLE 101
#define IDI_TRAY_BUSY 102
