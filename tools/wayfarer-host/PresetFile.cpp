#include "PresetFile.h"

#include <cstring>

namespace hosttool {

namespace {

constexpr std::int32_t kChunkMagic = FourCC("CcnK");
constexpr std::int32_t kProgramMagic = FourCC("FxCk");
constexpr std::int32_t kProgramChunkMagic = FourCC("FPCh");
constexpr std::int32_t kBankMagic = FourCC("FxBk");
constexpr std::int32_t kBankChunkMagic = FourCC("FBCh");

constexpr std::size_t kProgramHeaderSize = 7 * 4 + kFxProgramNameSize; // up to the params
constexpr std::size_t kBankHeaderSize = 7 * 4 + 128;                   // up to the programs
constexpr std::size_t kBankReservedSize = 124;                         // after currentProgram

// ---- Writing -----------------------------------------------------------------------------

class Writer {
public:
    void Int(std::int32_t value)
    {
        const auto bits = static_cast<std::uint32_t>(value);
        for (int shift = 24; shift >= 0; shift -= 8) m_bytes.push_back(static_cast<unsigned char>(bits >> shift));
    }
    void Float(float value)
    {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        Int(static_cast<std::int32_t>(bits));
    }
    void Bytes(const unsigned char* data, std::size_t size) { m_bytes.insert(m_bytes.end(), data, data + size); }
    void Zeros(std::size_t count) { m_bytes.insert(m_bytes.end(), count, 0); }
    // The name cut to fit with its terminator, zero-padded.
    void Name(const std::string& name)
    {
        const std::size_t length = std::min<std::size_t>(name.size(), kFxProgramNameSize - 1);
        Bytes(reinterpret_cast<const unsigned char*>(name.data()), length);
        Zeros(kFxProgramNameSize - length);
    }
    std::size_t Size() const { return m_bytes.size(); }
    // byteSize counts everything after itself, so it is known only once the record is written.
    void PatchInt(std::size_t at, std::int32_t value)
    {
        const auto bits = static_cast<std::uint32_t>(value);
        for (int i = 0; i < 4; ++i)
            m_bytes[at + static_cast<std::size_t>(i)] = static_cast<unsigned char>(bits >> (24 - 8 * i));
    }
    std::vector<unsigned char>& Result() { return m_bytes; }

private:
    std::vector<unsigned char> m_bytes;
};

void WriteProgram(Writer& out, std::int32_t fxID, std::int32_t fxVersion, const FxProgram& program)
{
    const std::size_t start = out.Size();
    out.Int(kChunkMagic);
    out.Int(0);
    out.Int(program.opaque ? kProgramChunkMagic : kProgramMagic);
    out.Int(1);
    out.Int(fxID);
    out.Int(fxVersion);
    out.Int(program.opaque ? program.numParams : static_cast<std::int32_t>(program.params.size()));
    out.Name(program.name);
    if (program.opaque) {
        out.Int(static_cast<std::int32_t>(program.chunk.size()));
        out.Bytes(program.chunk.data(), program.chunk.size());
    } else {
        for (float value : program.params) out.Float(value);
    }
    out.PatchInt(start + 4, static_cast<std::int32_t>(out.Size() - start - 8));
}

void WriteBank(Writer& out, std::int32_t fxID, std::int32_t fxVersion, const FxBank& bank)
{
    out.Int(kChunkMagic);
    out.Int(0);
    out.Int(bank.opaque ? kBankChunkMagic : kBankMagic);
    out.Int(2);
    out.Int(fxID);
    out.Int(fxVersion);
    out.Int(bank.opaque ? bank.numPrograms : static_cast<std::int32_t>(bank.programs.size()));
    out.Int(bank.currentProgram);
    out.Zeros(kBankReservedSize);
    if (bank.opaque) {
        out.Int(static_cast<std::int32_t>(bank.chunk.size()));
        out.Bytes(bank.chunk.data(), bank.chunk.size());
    } else {
        for (const FxProgram& program : bank.programs) WriteProgram(out, fxID, fxVersion, program);
    }
    out.PatchInt(4, static_cast<std::int32_t>(out.Size() - 8));
}

// ---- Reading -----------------------------------------------------------------------------

// A bounded view of the file: every read checks that its bytes exist.
class Reader {
public:
    Reader(const unsigned char* data, std::size_t size) : m_data(data), m_size(size) {}
    bool Has(std::size_t count) const { return count <= m_size - m_pos; }
    std::size_t Position() const { return m_pos; }
    std::size_t Remaining() const { return m_size - m_pos; }
    std::int32_t Int()
    {
        std::uint32_t bits = 0;
        for (int i = 0; i < 4; ++i) bits = (bits << 8) | m_data[m_pos++];
        return static_cast<std::int32_t>(bits);
    }
    float Float()
    {
        const auto bits = static_cast<std::uint32_t>(Int());
        float value = 0.0f;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    const unsigned char* Take(std::size_t count)
    {
        const unsigned char* at = m_data + m_pos;
        m_pos += count;
        return at;
    }

private:
    const unsigned char* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

bool Truncated(std::string& error, const char* what)
{
    error = std::string("the file ends inside ") + what;
    return false;
}

// Reads the 'CcnK' head shared by both kinds and narrows the reader to the record's byteSize.
bool ReadRecordHead(Reader& in, std::int32_t& magic, std::size_t& end, std::string& error)
{
    if (!in.Has(12)) return Truncated(error, "the preset header");
    if (in.Int() != kChunkMagic) {
        error = "no 'CcnK' header, so not a VST preset file";
        return false;
    }
    const std::int32_t byteSize = in.Int();
    // byteSize counts from after itself, and the kind's magic comes next, so it is at least 4.
    if (byteSize < 4 || static_cast<std::size_t>(byteSize) > in.Remaining()) {
        error = "the header gives a size of " + std::to_string(byteSize) + " bytes but " +
                std::to_string(in.Remaining()) + " follow it";
        return false;
    }
    end = in.Position() + static_cast<std::size_t>(byteSize);
    magic = in.Int();
    return true;
}

bool ReadOpaque(Reader& in, std::size_t end, std::vector<unsigned char>& chunk, std::string& error)
{
    if (in.Position() + 4 > end) return Truncated(error, "the chunk size");
    const std::int32_t size = in.Int();
    if (size < 0 || static_cast<std::size_t>(size) > end - in.Position()) return Truncated(error, "the chunk");
    const unsigned char* data = in.Take(static_cast<std::size_t>(size));
    chunk.assign(data, data + size);
    return true;
}

// After the magic: version, fxID, fxVersion, numParams, name, then the state.
bool ReadProgramBody(Reader& in, std::size_t end, bool opaque, FxFile& file, FxProgram& program, std::string& error)
{
    if (in.Position() + kProgramHeaderSize - 12 > end) return Truncated(error, "the program header");
    in.Int(); // the format version; versions 1 and 2 share this layout
    file.fxID = in.Int();
    file.fxVersion = in.Int();
    program.numParams = in.Int();
    const unsigned char* name = in.Take(kFxProgramNameSize);
    program.name.assign(reinterpret_cast<const char*>(name),
                        strnlen(reinterpret_cast<const char*>(name), kFxProgramNameSize));
    program.opaque = opaque;
    if (opaque) return ReadOpaque(in, end, program.chunk, error);
    if (program.numParams < 0) {
        error = "the program claims " + std::to_string(program.numParams) + " parameters";
        return false;
    }
    if (static_cast<std::size_t>(program.numParams) > (end - in.Position()) / 4) {
        return Truncated(error, "the parameter values");
    }
    program.params.resize(static_cast<std::size_t>(program.numParams));
    for (float& value : program.params) value = in.Float();
    return true;
}

bool ReadBankBody(Reader& in, std::size_t end, bool opaque, FxFile& file, std::string& error)
{
    if (in.Position() + kBankHeaderSize - 12 > end) return Truncated(error, "the bank header");
    const std::int32_t version = in.Int();
    file.fxID = in.Int();
    file.fxVersion = in.Int();
    FxBank& bank = file.bank;
    bank.numPrograms = in.Int();
    bank.currentProgram = in.Int();
    in.Take(kBankReservedSize);
    // Version 1 banks kept those four bytes reserved too.
    if (version < 2) bank.currentProgram = 0;
    bank.opaque = opaque;
    if (opaque) return ReadOpaque(in, end, bank.chunk, error);
    if (bank.numPrograms < 0) {
        error = "the bank claims " + std::to_string(bank.numPrograms) + " programs";
        return false;
    }
    // Every program record takes at least its header, which bounds a garbage count.
    if (static_cast<std::size_t>(bank.numPrograms) > (end - in.Position()) / kProgramHeaderSize) {
        return Truncated(error, "the bank's programs");
    }
    bank.programs.resize(static_cast<std::size_t>(bank.numPrograms));
    for (std::size_t i = 0; i < bank.programs.size(); ++i) {
        std::int32_t magic = 0;
        std::size_t programEnd = 0;
        std::string reason;
        FxFile nested;
        bool ok = ReadRecordHead(in, magic, programEnd, reason);
        if (ok && programEnd > end) {
            reason = "it runs past the end of the bank";
            ok = false;
        }
        if (ok && magic != kProgramMagic) {
            reason = "it is no 'FxCk' program record";
            ok = false;
        }
        if (ok) ok = ReadProgramBody(in, programEnd, false, nested, bank.programs[i], reason);
        if (!ok) {
            error = "program " + std::to_string(i) + " of the bank is damaged: " + reason;
            return false;
        }
        in.Take(programEnd - in.Position());
    }
    return true;
}

} // namespace

std::string FourCCText(std::int32_t code)
{
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<unsigned char>(static_cast<std::uint32_t>(code) >> shift);
        text += (c >= 0x20 && c < 0x7f) ? static_cast<char>(c) : '?';
    }
    return text;
}

std::vector<unsigned char> EncodeFxFile(const FxFile& file)
{
    Writer out;
    if (file.isBank)
        WriteBank(out, file.fxID, file.fxVersion, file.bank);
    else
        WriteProgram(out, file.fxID, file.fxVersion, file.program);
    return std::move(out.Result());
}

bool DecodeFxFile(const std::vector<unsigned char>& bytes, FxFile& file, std::string& error)
{
    Reader in(bytes.data(), bytes.size());
    std::int32_t magic = 0;
    std::size_t end = 0;
    if (!ReadRecordHead(in, magic, end, error)) return false;
    file = FxFile{};
    switch (magic) {
    case kProgramMagic:
    case kProgramChunkMagic:
        file.isBank = false;
        return ReadProgramBody(in, end, magic == kProgramChunkMagic, file, file.program, error);
    case kBankMagic:
    case kBankChunkMagic: file.isBank = true; return ReadBankBody(in, end, magic == kBankChunkMagic, file, error);
    default: error = "unknown preset kind '" + FourCCText(magic) + "'"; return false;
    }
}

} // namespace hosttool
