#include "HostTable.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

struct HostEntry {
    const char* substring;
    EHost host;
};

// Order matters: "cubase" must win over "nuendo", and "live" matches inside any word.
const HostEntry kHostTable[] = {
    {"cubase", kHostCubase},         {"reaper", kHostReaper},
    {"nuendo", kHostNuendo},         {"cakewalk", kHostSonar},
    {"samplitude", kHostSamplitude}, {"fruity", kHostFL},
    {"live", kHostAbletonLive},      {"melodyne", kHostMelodyneStudio},
    {"vstmanlib", kHostVSTScanner},  {"aulab", kHostAULab},
    {"forte", kHostForte},           {"chainer", kHostChainer},
    {"audition", kHostAudition},     {"orion", kHostOrion},
    {"sawstudio", kHostSAWStudio},
};

} // namespace

EHost LookUpHost(const char* productText)
{
    char lower[256];
    int n = 0;
    if (productText)
        for (; n < 255 && productText[n]; ++n)
            lower[n] = static_cast<char>(tolower(static_cast<unsigned char>(productText[n])));
    lower[n] = '\0';

    for (const HostEntry& entry : kHostTable)
        if (strstr(lower, entry.substring)) return entry.host;
    return kHostUnknown;
}

void FormatVersion(int packedVersion, char* out, int size)
{
    const unsigned v = static_cast<unsigned>(packedVersion);
    const int major = static_cast<int>(v >> 16), minor = static_cast<int>((v >> 8) & 0xff);
    const int patch = static_cast<int>(v & 0xff);
    if (patch)
        snprintf(out, static_cast<size_t>(size), "v%d.%d.%d", major, minor, patch);
    else
        snprintf(out, static_cast<size_t>(size), "v%d.%d", major, minor);
}
