// The plugin's own files on disk: each operation the destruction journal and the outbox make, with
// the system's error number when it fails (errno, or GetLastError on Windows). Paths are UTF-8.
// Nothing here throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// The host may make a file operation fail as the system would (a full disk, a folder gone): the
// system error number it fails with, 0 for none. `operation` is the name of the call below. A
// negative answer fails AppendBytes with the error -answer after part of the bytes reached the
// file.
int SimulatedFileError(std::string_view operation);
// The host may ask for journal files smaller than the plugin's own rotation size (a test that
// wants rotations soon); 0 keeps the plugin's.
uint64_t SimulatedRotationSize();

// A file opened by the calls below: a descriptor, or a Windows handle.
struct SystemFile {
    std::intptr_t handle = -1;
    // Which file it is (device and file number), as OpenForAppend found it, for StillAtPath.
    uint64_t device = 0;
    uint64_t index = 0;
    bool IsOpen() const { return handle != -1; }
};

struct FileOpened {
    SystemFile file;
    int error = 0;
};
// Creates the file when missing; every write goes to its end. Others may read, append to and
// rename it while it is open.
FileOpened OpenForAppend(const std::string& path) noexcept;
FileOpened OpenForReading(const std::string& path) noexcept;

struct FileLocked {
    SystemFile file;
    int error = 0;
    bool heldByOther = false;  // another open of the file holds its lock: nothing failed
};
// Opens (creating it) and locks the file for this open alone, without waiting; the lock ends when
// the file is closed or the process ends, however it ends.
FileLocked OpenLocked(const std::string& path) noexcept;

struct FileAtPath {
    bool same = false;  // the open file is the one at the path
    int error = 0;      // why the path could not be looked at; none when nothing is there
};
// Whether the file at `path` is still the open `file` (one OpenForAppend opened): not removed,
// renamed or replaced. One look at the path, as cheap as the system allows.
FileAtPath StillAtPath(SystemFile file, const std::string& path) noexcept;

struct FolderMade {
    int error = 0;
    bool created = false;  // it was missing
};
// Creates the folder when missing (its parent must exist).
FolderMade CreateFolder(const std::string& folder) noexcept;

struct FileTransfer {
    size_t bytes = 0;  // what reached the file or the buffer, also when the call failed
    int error = 0;
};
// Writes all of `bytes` or fails; a failure may come after some of them reached the file.
FileTransfer AppendBytes(SystemFile file, std::string_view bytes) noexcept;
// Reads up to `size` bytes at `offset`; fewer only at the file's end.
FileTransfer ReadBytesAt(SystemFile file, uint64_t offset, char* buffer, size_t size) noexcept;

struct FileSize {
    uint64_t bytes = 0;
    int error = 0;
};
FileSize SizeOfFile(SystemFile file) noexcept;

// The file is closed whatever the outcome; the error says what the close reported.
int CloseFile(SystemFile file) noexcept;

// Cuts the file to nothing, also while it is open for appending elsewhere; the next append goes
// to its start.
int EmptyFile(const std::string& path) noexcept;

struct FileRenamed {
    int error = 0;
    bool targetExists = false;  // failed because `to` is there: nothing is replaced
};
FileRenamed RenameFile(const std::string& from, const std::string& to) noexcept;

struct FolderFiles {
    std::vector<std::string> names;  // regular files only, links followed
    int error = 0;
};
FolderFiles ListFiles(const std::string& folder) noexcept;

// A path as the calls above take it.
inline std::string Utf8Path(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

// The system's text for an error number of the calls above.
std::string FileErrorText(int error);
