// The one place that chooses between the Windows SDK and its stand-in.
#pragma once

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objbase.h>
#include <olectl.h>
#include <unknwn.h>
#else
#include "platform/win32_standin.h"
#endif
