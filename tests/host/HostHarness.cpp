#include "HostHarness.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace hosttest {

std::string pluginPath()
{
    const char* override = std::getenv("WAYFARER_PLUGIN");
    if (override != nullptr && *override != '\0') return override;
    return WAYFARER_PLUGIN_PATH;
}

std::unique_ptr<vsthost::Plugin> loadPlugin(vsthost::Host& host)
{
    std::string error;
    std::unique_ptr<vsthost::Plugin> plugin = host.Load(pluginPath(), &error);
    if (!plugin) ADD_FAILURE() << error;
    return plugin;
}

const char* const kFactoryProgramNames[kNumPrograms] = {
    "RESET to defaults", "Pan hard left",  "Pan left", "Pan slight left", "Pan center", "Pan slight right",
    "Pan right",         "Pan hard right", "User 1",   "User 2",          "User 3",     "User 4",
};

void LoadedPlugin::SetUp()
{
    plugin = loadPlugin(host);
    ASSERT_TRUE(plugin);
}

void OpenPlugin::SetUp()
{
    LoadedPlugin::SetUp();
    ASSERT_TRUE(plugin);
    plugin->Open();
    host.Log().Clear();
}

// ---- Chunks ------------------------------------------------------------------------------

// Chunks are little-endian whatever the machine; the bytes are assembled by hand.
void appendInt32(Bytes& bytes, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<unsigned char>(bits >> shift));
}

void appendDouble(Bytes& bytes, double value)
{
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    for (int shift = 0; shift < 64; shift += 8) bytes.push_back(static_cast<unsigned char>(bits >> shift));
}

std::int32_t readInt32(const unsigned char* at)
{
    std::uint32_t bits = 0;
    for (int i = 3; i >= 0; --i) bits = (bits << 8) | at[i];
    return static_cast<std::int32_t>(bits);
}

double readDouble(const unsigned char* at)
{
    std::uint64_t bits = 0;
    for (int i = 7; i >= 0; --i) bits = (bits << 8) | at[i];
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

Bytes chunkHeader() { return Bytes{'t', 'f', 'f', 'p', 0x00, 0x00, 0x01, 0x00}; }

Bytes programChunk(double pan, double wetMix)
{
    Bytes bytes = chunkHeader();
    appendDouble(bytes, pan);
    appendDouble(bytes, wetMix);
    return bytes;
}

Bytes getChunk(vsthost::Plugin& plugin, VstInt32 kind)
{
    void* data = nullptr;
    const VstIntPtr size = plugin.Dispatch(effGetChunk, kind, 0, &data);
    if (size <= 0 || data == nullptr) return Bytes();
    const auto* first = static_cast<const unsigned char*>(data);
    return Bytes(first, first + size);
}

VstIntPtr setChunk(vsthost::Plugin& plugin, VstInt32 kind, const Bytes& bytes)
{
    // The plug-in must not write through ptr; a copy keeps that honest for const callers.
    Bytes copy = bytes;
    return plugin.Dispatch(effSetChunk, kind, static_cast<VstIntPtr>(copy.size()), copy.data());
}

PlainValues plainValues(vsthost::Plugin& plugin)
{
    const Bytes chunk = getChunk(plugin, kProgramChunk);
    EXPECT_EQ(chunk.size(), 24u) << "program chunk";
    if (chunk.size() < 24) return PlainValues{NAN, NAN};
    return PlainValues{readDouble(&chunk[8]), readDouble(&chunk[16])};
}

void setPlainValues(vsthost::Plugin& plugin, double pan, double wetMix)
{
    ASSERT_EQ(setChunk(plugin, kProgramChunk, programChunk(pan, wetMix)), 1);
}

std::vector<BankRecord> parseBank(const Bytes& bank, bool* ok)
{
    *ok = false;
    std::vector<BankRecord> records;
    if (bank.size() < 8 || !std::equal(bank.begin(), bank.begin() + 8, chunkHeader().begin())) return records;
    std::size_t pos = 8;
    for (int i = 0; i < kNumPrograms; ++i) {
        if (pos + 4 > bank.size()) return records;
        const std::int32_t length = readInt32(&bank[pos]);
        pos += 4;
        if (length < 0 || pos + static_cast<std::size_t>(length) + 1 > bank.size()) return records;
        BankRecord record;
        record.name.assign(reinterpret_cast<const char*>(&bank[pos]), static_cast<std::size_t>(length));
        pos += static_cast<std::size_t>(length);
        record.initialized = bank[pos++] != 0;
        if (record.initialized) {
            if (pos + 8 * kNumParams > bank.size()) return records;
            for (int p = 0; p < kNumParams; ++p, pos += 8) record.values.push_back(readDouble(&bank[pos]));
        }
        records.push_back(record);
    }
    *ok = pos == bank.size();
    return records;
}

Bytes buildBank(const std::vector<BankRecord>& records)
{
    Bytes bank = chunkHeader();
    for (const BankRecord& record : records) {
        appendInt32(bank, static_cast<std::int32_t>(record.name.size()));
        bank.insert(bank.end(), record.name.begin(), record.name.end());
        bank.push_back(record.initialized ? 1 : 0);
        if (record.initialized) {
            for (double value : record.values) appendDouble(bank, value);
        }
    }
    return bank;
}

// ---- Host buffers --------------------------------------------------------------------------

std::string CanaryBuffer::text() const
{
    std::size_t length = 0;
    while (length < bytes_.size() && bytes_[length] != 0) ++length;
    return std::string(reinterpret_cast<const char*>(bytes_.data()), length);
}

bool CanaryBuffer::untouchedFrom(std::size_t offset) const
{
    for (std::size_t i = offset; i < bytes_.size(); ++i) {
        if (bytes_[i] != kCanary) return false;
    }
    return true;
}

} // namespace hosttest
