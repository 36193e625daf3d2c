#include "FileSystem.h"

#include "VstHost.h"

#include <atomic>
#include <cerrno>
#include <cstring>

#if defined(_WIN32)
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace hosttool {

namespace {

long ProcessId()
{
#if defined(_WIN32)
    return _getpid();
#else
    return static_cast<long>(getpid());
#endif
}

#if defined(_WIN32)
// The reason the last Win32 call failed, in the system's words.
std::string LastSystemError()
{
    char text[256] = {};
    const DWORD code = GetLastError();
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, sizeof text,
                   nullptr);
    std::string message(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' ')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(code) : message;
}
#endif

} // namespace

std::string SystemPath(const std::string& path) { return vsthost::NativePath(path); }

std::FILE* OpenFile(const std::string& path, const char* mode, std::string& reason)
{
    std::FILE* file = std::fopen(SystemPath(path).c_str(), mode);
    if (file == nullptr) reason = std::strerror(errno);
    return file;
}

std::string TemporaryPathBeside(const std::string& path)
{
    static std::atomic<unsigned> counter{0};
    return path + ".partial-" + std::to_string(ProcessId()) + "-" + std::to_string(counter++);
}

bool MoveOver(const std::string& from, const std::string& to, std::string& reason)
{
#if defined(_WIN32)
    // rename() on Windows refuses to replace an existing file.
    if (MoveFileExA(SystemPath(from).c_str(), SystemPath(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0) return true;
    reason = LastSystemError();
#else
    if (std::rename(SystemPath(from).c_str(), SystemPath(to).c_str()) == 0) return true;
    reason = std::strerror(errno);
#endif
    return false;
}

void RemoveFile(const std::string& path) { std::remove(SystemPath(path).c_str()); }

} // namespace hosttool
