#pragma once
#define IDI_MENDREL 1
