#pragma once
// Which host loaded the plug-in, told from the product text the host reports.

enum EHost {
    kHostUninit = -1,
    kHostUnknown = 0,
    kHostReaper = 1,
    kHostCubase = 3,
    kHostNuendo = 4,
    kHostSonar = 5,
    kHostFL = 7,
    kHostSamplitude = 8,
    kHostAbletonLive = 9,
    kHostMelodyneStudio = 12,
    kHostVSTScanner = 13,
    kHostAULab = 14,
    kHostForte = 15,
    kHostChainer = 16,
    kHostAudition = 17,
    kHostOrion = 18,
    kHostSAWStudio = 20,
};

// Case-insensitive substring match against a fixed table, first entry wins; kHostUnknown when
// nothing matches. Only the first 255 characters of the text are looked at.
EHost LookUpHost(const char* productText);

// "v%d.%d.%d" for a packed 0xMMMMmmpp version with a patch, else "v%d.%d". Writes at most
// `size` bytes, terminator included.
void FormatVersion(int packedVersion, char* out, int size);
