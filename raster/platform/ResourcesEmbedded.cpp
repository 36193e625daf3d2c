// Embedded images where there are no Win32 resources: tables generated at build time register
// themselves before main. A lookup prefers a table registered under the module it names and falls
// back to the program's own table (the null key), so a caller holding some other module handle
// still finds the images linked into its binary.
#include "raster/LiceEmbedded.h"

#include <cstring>

namespace {
// Zero-initialised before any static initialiser runs, so registration order does not matter.
LICE_EmbeddedTable* g_tables;

const LICE_EmbeddedResource* FindIn(LICE_Module module, int id, const char* type)
{
    for (const LICE_EmbeddedTable* t = g_tables; t; t = t->next) {
        if (t->module != module) continue;
        for (int i = 0; i < t->count; ++i) {
            const LICE_EmbeddedResource& r = t->entries[i];
            if (r.id == id && strcmp(r.type, type) == 0) return &r;
        }
    }
    return nullptr;
}
} // namespace

void LICE_RegisterEmbeddedTable(LICE_EmbeddedTable* table)
{
    table->next = g_tables;
    g_tables = table;
}

namespace lice_platform {

bool FindResourceBytes(LICE_Module module, int id, const char* type, const unsigned char** data, size_t* size)
{
    const LICE_EmbeddedResource* r = FindIn(module, id, type);
    if (!r && module) r = FindIn(nullptr, id, type);
    *data = r ? r->data : nullptr;
    *size = r ? r->size : 0;
    return r != nullptr;
}

LICE_Module MainModule() { return nullptr; }

} // namespace lice_platform
