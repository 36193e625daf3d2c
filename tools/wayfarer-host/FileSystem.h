#pragma once
// The file system as wayfarer-host uses it, the same on every platform. Paths are as the user
// wrote them: under Wine an absolute Unix path ("/work/...") is reached through the Z: drive, as
// the plug-in loader does. Whatever differs between POSIX and Windows stays behind these calls.
#include <cstdio>
#include <string>

namespace hosttool {

// The path as the C library and libsndfile take it.
std::string SystemPath(const std::string& path);

// std::fopen of the path. Null when it cannot be opened, with the system's reason.
std::FILE* OpenFile(const std::string& path, const char* mode, std::string& reason);

// A name for a temporary file beside `path`, in the same folder so that MoveOver is a rename,
// and one that no other call, in this process or another, is handed.
std::string TemporaryPathBeside(const std::string& path);

// Renames `from` to `to`, replacing a file of that name. False with the system's reason when it
// cannot; `to` is then as it was.
bool MoveOver(const std::string& from, const std::string& to, std::string& reason);

// Removes the file; nothing happens when there is none.
void RemoveFile(const std::string& path);

} // namespace hosttool
