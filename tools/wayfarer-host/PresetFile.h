#pragma once
// VST 2 program (.fxp) and bank (.fxb) files, as hosts have written them since VST 1: a 'CcnK'
// record whose integers and floats are big-endian.
//
//   program          'CcnK', byteSize, 'FxCk' | 'FPCh', version 1, fxID, fxVersion, numParams,
//                    prgName[28], then numParams floats ('FxCk') or chunkSize and the chunk ('FPCh')
//   bank             'CcnK', byteSize, 'FxBk' | 'FBCh', version 1 | 2, fxID, fxVersion,
//                    numPrograms, then 128 bytes (version 2: currentProgram and 124 reserved),
//                    then numPrograms program records ('FxBk') or chunkSize and the chunk ('FBCh')
//
// byteSize counts the bytes after itself. Parameters are the normalised values that the host
// exchanges with the plug-in; the opaque forms carry the plug-in's own state chunk instead.
// Nothing here talks to a plug-in; PresetIO.h does.
#include "plugcore/FourCC.h"

#include <cstdint>
#include <string>
#include <vector>

namespace hosttool {

// A four-character code as text, with anything unprintable as '?'.
std::string FourCCText(std::int32_t code);

constexpr int kFxProgramNameSize = 28; // terminator included

struct FxProgram {
    std::string name;                 // at most 27 characters are stored
    std::int32_t numParams = 0;       // the plug-in's parameter count; params.size() unless opaque
    std::vector<float> params;        // normalised values
    bool opaque = false;              // 'FPCh': the state is `chunk`
    std::vector<unsigned char> chunk; // the plug-in's own program chunk
};

struct FxBank {
    std::int32_t currentProgram = 0;  // 0 in version 1 files, which do not record it
    std::vector<FxProgram> programs;  // one record per program, unless opaque
    bool opaque = false;              // 'FBCh': the state is `chunk`
    std::int32_t numPrograms = 0;     // the plug-in's program count; programs.size() unless opaque
    std::vector<unsigned char> chunk; // the plug-in's own bank chunk
};

struct FxFile {
    bool isBank = false;
    std::int32_t fxID = 0;      // the plug-in's unique ID
    std::int32_t fxVersion = 0; // the plug-in's version
    FxProgram program;          // when !isBank
    FxBank bank;                // when isBank
};

std::vector<unsigned char> EncodeFxFile(const FxFile& file);
// Fills `file` from the bytes of a whole .fxp or .fxb file. On failure says what is wrong with
// them; `file` may then hold anything.
bool DecodeFxFile(const std::vector<unsigned char>& bytes, FxFile& file, std::string& error);

} // namespace hosttool
