#pragma once
// Resource tables compiled into a program where the platform has no resources of its own. The
// build generates one table per target from its PNG files (see EmbedResources.cmake); the table
// registers itself before main, and lice_platform::FindResourceBytes searches the registered
// tables in place of Win32 resources.

#include "raster/LicePlatform.h"

#include <cstddef>

struct LICE_EmbeddedResource {
    int id;
    const char* type;
    const unsigned char* data;
    size_t size;
};

struct LICE_EmbeddedTable {
    LICE_Module module; // the key lookups pass as their module; null for the program's own table
    const LICE_EmbeddedResource* entries;
    int count;
    LICE_EmbeddedTable* next; // set by registration
};

// Adds `table` to the tables searched. Called from static initialisers, before any lookup runs;
// the table must outlive every lookup.
void LICE_RegisterEmbeddedTable(LICE_EmbeddedTable* table);
