// The plugin's file operations on Windows: wide paths and handles, with GetLastError as the error.
// Files are shared for reading, writing and deleting, so a reader never stops a rename.
#include <windows.h>

#include <new>

#include "host/SystemFiles.h"

namespace {

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD LongestWrite = 1u << 30;

// A host whose answer throws fails the operation as an I/O error would. A failure after part of a
// write is the write's own; elsewhere it is the error alone.
int SimulatedWithPart(std::string_view operation) noexcept {
    try {
        return SimulatedFileError(operation);
    } catch (...) {
        return ERROR_GEN_FAILURE;
    }
}

int Simulated(std::string_view operation) noexcept {
    const int error = SimulatedWithPart(operation);
    return error < 0 ? -error : error;
}

int LastError() { return static_cast<int>(GetLastError()); }

HANDLE Handle(SystemFile file) { return reinterpret_cast<HANDLE>(file.handle); }

// UTF-8 to UTF-16; false with the error set when the text is not UTF-8.
bool Wide(const std::string& text, std::wstring& wide) noexcept {
    try {
        if (text.empty()) return true;
        const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                             static_cast<int>(text.size()), nullptr, 0);
        if (size <= 0) return false;
        wide.resize(static_cast<size_t>(size));
        return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                   static_cast<int>(text.size()), wide.data(), size) == size;
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
}

std::string Utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    utf8.pop_back();  // the terminator
    return utf8;
}

// The file's number on its volume.
uint64_t FileIndex(const BY_HANDLE_FILE_INFORMATION& information) {
    return (static_cast<uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
}

FileOpened Open(const std::string& path, DWORD access, DWORD disposition) noexcept {
    std::wstring wide;
    if (!Wide(path, wide)) return {{}, LastError()};
    const HANDLE handle = CreateFileW(wide.c_str(), access, ShareAll, nullptr, disposition,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return {{}, LastError()};
    return {{reinterpret_cast<std::intptr_t>(handle)}, 0};
}

}  // namespace

FileOpened OpenForAppend(const std::string& path) noexcept {
    if (const int error = Simulated("OpenForAppend")) return {{}, error};
    FileOpened opened =
        Open(path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE, OPEN_ALWAYS);
    BY_HANDLE_FILE_INFORMATION information{};
    if (opened.error == 0 && GetFileInformationByHandle(Handle(opened.file), &information)) {
        opened.file.device = information.dwVolumeSerialNumber;
        opened.file.index = FileIndex(information);
    }
    return opened;
}

FileOpened OpenForReading(const std::string& path) noexcept {
    if (const int error = Simulated("OpenForReading")) return {{}, error};
    return Open(path, GENERIC_READ, OPEN_EXISTING);
}

FileTransfer AppendBytes(SystemFile file, std::string_view bytes) noexcept {
    const int simulated = SimulatedWithPart("AppendBytes");
    if (simulated > 0) return {0, simulated};
    if (simulated < 0) bytes = bytes.substr(0, bytes.size() / 2);
    FileTransfer done;
    while (done.bytes < bytes.size()) {
        const size_t left = bytes.size() - done.bytes;
        const DWORD length = left < LongestWrite ? static_cast<DWORD>(left) : LongestWrite;
        DWORD written = 0;
        if (!WriteFile(Handle(file), bytes.data() + done.bytes, length, &written, nullptr)) {
            done.error = LastError();
            done.bytes += written;
            break;
        }
        if (written == 0) {
            done.error = ERROR_WRITE_FAULT;
            break;
        }
        done.bytes += written;
    }
    if (simulated < 0 && done.error == 0) done.error = -simulated;
    return done;
}

FileLocked OpenLocked(const std::string& path) noexcept {
    if (const int error = Simulated("OpenLocked")) return {{}, error, false};
    const FileOpened opened = Open(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
    if (opened.error != 0) return {{}, opened.error, false};
    // A lock far past any content: readers of the file are never stopped by it.
    OVERLAPPED at{};
    at.OffsetHigh = 0x7FFFFFFF;
    if (LockFileEx(Handle(opened.file), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1,
                   0, &at))
        return {opened.file, 0, false};
    const int error = LastError();
    CloseHandle(Handle(opened.file));
    const bool other = error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING;
    return {{}, other ? 0 : error, other};
}

FileAtPath StillAtPath(SystemFile file, const std::string& path) noexcept {
    if (const int error = Simulated("StillAtPath")) return {false, error};
    BY_HANDLE_FILE_INFORMATION atPath{};
    std::wstring wide;
    if (!Wide(path, wide)) return {false, LastError()};
    const HANDLE handle = CreateFileW(wide.c_str(), FILE_READ_ATTRIBUTES, ShareAll, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const int error = LastError();
        const bool gone = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return {false, gone ? 0 : error};
    }
    const bool read = GetFileInformationByHandle(handle, &atPath);
    const int error = read ? 0 : LastError();
    CloseHandle(handle);
    if (!read) return {false, error};
    return {file.index != 0 && file.device == atPath.dwVolumeSerialNumber &&
                file.index == FileIndex(atPath),
            0};
}

FolderMade CreateFolder(const std::string& folder) noexcept {
    if (const int error = Simulated("CreateFolder")) return {error, false};
    std::wstring wide;
    if (!Wide(folder, wide)) return {LastError(), false};
    if (CreateDirectoryW(wide.c_str(), nullptr)) return {0, true};
    const int error = LastError();
    return {error == ERROR_ALREADY_EXISTS ? 0 : error, false};
}

FileTransfer ReadBytesAt(SystemFile file, uint64_t offset, char* buffer, size_t size) noexcept {
    if (const int error = Simulated("ReadBytesAt")) return {0, error};
    FileTransfer done;
    while (done.bytes < size) {
        const size_t left = size - done.bytes;
        const DWORD length = left < LongestWrite ? static_cast<DWORD>(left) : LongestWrite;
        const uint64_t at = offset + done.bytes;
        OVERLAPPED position{};
        position.Offset = static_cast<DWORD>(at & 0xFFFFFFFFu);
        position.OffsetHigh = static_cast<DWORD>(at >> 32);
        DWORD read = 0;
        if (!ReadFile(Handle(file), buffer + done.bytes, length, &read, &position)) {
            if (GetLastError() != ERROR_HANDLE_EOF) done.error = LastError();
            break;
        }
        if (read == 0) break;
        done.bytes += read;
    }
    return done;
}

FileSize SizeOfFile(SystemFile file) noexcept {
    if (const int error = Simulated("SizeOfFile")) return {0, error};
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(Handle(file), &size)) return {0, LastError()};
    return {static_cast<uint64_t>(size.QuadPart), 0};
}

int CloseFile(SystemFile file) noexcept {
    const int simulated = Simulated("CloseFile");
    const int error = CloseHandle(Handle(file)) ? 0 : LastError();
    return simulated != 0 ? simulated : error;
}

int EmptyFile(const std::string& path) noexcept {
    if (const int error = Simulated("EmptyFile")) return error;
    std::wstring wide;
    if (!Wide(path, wide)) return LastError();
    // The append handle shares writing, so this one may cut the file under it.
    const HANDLE handle = CreateFileW(wide.c_str(), GENERIC_WRITE, ShareAll, nullptr,
                                      TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastError();
    return CloseHandle(handle) ? 0 : LastError();
}

FileRenamed RenameFile(const std::string& from, const std::string& to) noexcept {
    if (const int error = Simulated("RenameFile")) return {error, false};
    std::wstring wideFrom, wideTo;
    if (!Wide(from, wideFrom) || !Wide(to, wideTo)) return {LastError(), false};
    // Without MOVEFILE_REPLACE_EXISTING an existing target fails the move.
    if (MoveFileExW(wideFrom.c_str(), wideTo.c_str(), MOVEFILE_WRITE_THROUGH)) return {};
    const int error = LastError();
    return {error, error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS};
}

FolderFiles ListFiles(const std::string& folder) noexcept {
    if (const int error = Simulated("ListFiles")) return {{}, error};
    std::wstring pattern;
    if (!Wide(folder, pattern)) return {{}, LastError()};
    FolderFiles files;
    try {
        pattern += L"\\*";
        WIN32_FIND_DATAW entry{};
        const HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry,
                                               FindExSearchNameMatch, nullptr, 0);
        if (search == INVALID_HANDLE_VALUE) {
            const int error = LastError();
            return {{}, error == ERROR_FILE_NOT_FOUND ? 0 : error};
        }
        do {
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
                files.names.push_back(Utf8(entry.cFileName));
        } while (FindNextFileW(search, &entry));
        const int error = LastError();
        FindClose(search);
        if (error != ERROR_NO_MORE_FILES) files.error = error;
    } catch (const std::bad_alloc&) {
        files = {{}, ERROR_NOT_ENOUGH_MEMORY};
    }
    return files;
}

std::string FileErrorText(int error) {
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length == 0 || text == nullptr) return "system error " + std::to_string(error);
    std::string message = Utf8(text);
    LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    return message;
}
