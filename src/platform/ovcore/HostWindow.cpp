#include "OVCore.h"

namespace {
IOVWindow* g_pHostWindow = nullptr;
}

void OVGetHostWindow(IOVWindow** ppWindow) { *ppWindow = g_pHostWindow; }
void OVSetHostWindow(IOVWindow* pWindow) { g_pHostWindow = pWindow; }
