// Embedded images on Windows are resources of a custom type inside the module.
#include "raster/LicePlatform.h"

#include <windows.h>

namespace lice_platform {

bool FindResourceBytes(LICE_Module module, int id, const char* type, const unsigned char** data, size_t* size)
{
    *data = nullptr;
    *size = 0;
    HMODULE mod = static_cast<HMODULE>(module);
    HRSRC res = FindResourceA(mod, MAKEINTRESOURCEA(id), type);
    if (!res) return false;
    const DWORD bytes = SizeofResource(mod, res);
    HGLOBAL loaded = LoadResource(mod, res);
    const void* locked = loaded ? LockResource(loaded) : nullptr;
    if (!locked) return false;
    *data = static_cast<const unsigned char*>(locked);
    *size = bytes;
    return true;
}

LICE_Module MainModule() { return GetModuleHandleA(nullptr); }

} // namespace lice_platform
