// The plugin's file operations on POSIX systems: descriptors, with errno as the error.
#include "host/SystemFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

// A host whose answer throws fails the operation as an I/O error would. A failure after part of a
// write is the write's own; elsewhere it is the error alone.
int SimulatedWithPart(std::string_view operation) noexcept {
    try {
        return SimulatedFileError(operation);
    } catch (...) {
        return EIO;
    }
}

int Simulated(std::string_view operation) noexcept {
    const int error = SimulatedWithPart(operation);
    return error < 0 ? -error : error;
}

int Descriptor(SystemFile file) { return static_cast<int>(file.handle); }

FileOpened Open(const std::string& path, int flags) noexcept {
    const int descriptor = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
    if (descriptor < 0) return {{}, errno};
    return {{descriptor}, 0};
}

bool IsRegularFile(const std::string& folder, const char* name) {
    struct stat status {};
    const std::string path = folder + "/" + name;
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace

FileOpened OpenForAppend(const std::string& path) noexcept {
    if (const int error = Simulated("OpenForAppend")) return {{}, error};
    FileOpened opened = Open(path, O_WRONLY | O_APPEND | O_CREAT);
    struct stat status {};
    if (opened.error == 0 && ::fstat(Descriptor(opened.file), &status) == 0) {
        opened.file.device = static_cast<uint64_t>(status.st_dev);
        opened.file.index = static_cast<uint64_t>(status.st_ino);
    }
    return opened;
}

FileOpened OpenForReading(const std::string& path) noexcept {
    if (const int error = Simulated("OpenForReading")) return {{}, error};
    return Open(path, O_RDONLY);
}

FileTransfer AppendBytes(SystemFile file, std::string_view bytes) noexcept {
    const int simulated = SimulatedWithPart("AppendBytes");
    if (simulated > 0) return {0, simulated};
    FileTransfer done;
    if (simulated < 0) bytes = bytes.substr(0, bytes.size() / 2);
    while (done.bytes < bytes.size()) {
        const ssize_t written =
            ::write(Descriptor(file), bytes.data() + done.bytes, bytes.size() - done.bytes);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            done.error = written < 0 ? errno : EIO;
            break;
        }
        done.bytes += static_cast<size_t>(written);
    }
    if (simulated < 0 && done.error == 0) done.error = -simulated;
    return done;
}

FileLocked OpenLocked(const std::string& path) noexcept {
    if (const int error = Simulated("OpenLocked")) return {{}, error, false};
    const FileOpened opened = Open(path, O_RDWR | O_CREAT);
    if (opened.error != 0) return {{}, opened.error, false};
    // flock, not fcntl: its lock belongs to this open, so two loads in one process exclude each
    // other too, and closing another descriptor of the file keeps it.
    while (::flock(Descriptor(opened.file), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        const int error = errno;
        ::close(Descriptor(opened.file));
        return {{}, error == EWOULDBLOCK ? 0 : error, error == EWOULDBLOCK};
    }
    return {opened.file, 0, false};
}

FileAtPath StillAtPath(SystemFile file, const std::string& path) noexcept {
    if (const int error = Simulated("StillAtPath")) return {false, error};
    struct stat atPath {};
    if (::stat(path.c_str(), &atPath) != 0)
        return {false, errno == ENOENT || errno == ENOTDIR ? 0 : errno};
    return {file.index != 0 && file.device == static_cast<uint64_t>(atPath.st_dev) &&
                file.index == static_cast<uint64_t>(atPath.st_ino),
            0};
}

FolderMade CreateFolder(const std::string& folder) noexcept {
    if (const int error = Simulated("CreateFolder")) return {error, false};
    if (::mkdir(folder.c_str(), 0755) == 0) return {0, true};
    return {errno == EEXIST ? 0 : errno, false};
}

FileTransfer ReadBytesAt(SystemFile file, uint64_t offset, char* buffer, size_t size) noexcept {
    if (const int error = Simulated("ReadBytesAt")) return {0, error};
    FileTransfer done;
    while (done.bytes < size) {
        const ssize_t read = ::pread(Descriptor(file), buffer + done.bytes, size - done.bytes,
                                     static_cast<off_t>(offset + done.bytes));
        if (read < 0 && errno == EINTR) continue;
        if (read < 0) done.error = errno;
        if (read <= 0) break;
        done.bytes += static_cast<size_t>(read);
    }
    return done;
}

FileSize SizeOfFile(SystemFile file) noexcept {
    if (const int error = Simulated("SizeOfFile")) return {0, error};
    struct stat status {};
    if (::fstat(Descriptor(file), &status) != 0) return {0, errno};
    return {static_cast<uint64_t>(status.st_size), 0};
}

int CloseFile(SystemFile file) noexcept {
    const int simulated = Simulated("CloseFile");
    const int error = ::close(Descriptor(file)) == 0 ? 0 : errno;
    return simulated != 0 ? simulated : error;
}

int EmptyFile(const std::string& path) noexcept {
    if (const int error = Simulated("EmptyFile")) return error;
    while (::truncate(path.c_str(), 0) != 0)
        if (errno != EINTR) return errno;
    return 0;
}

FileRenamed RenameFile(const std::string& from, const std::string& to) noexcept {
    if (const int error = Simulated("RenameFile")) return {error, false};
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
    // A file system that cannot rename without replacing: look first.
    if (errno == EINVAL || errno == ENOSYS) {
        if (::access(to.c_str(), F_OK) == 0) return {EEXIST, true};
        if (::rename(from.c_str(), to.c_str()) == 0) return {};
    }
    return {errno, errno == EEXIST};
}

FolderFiles ListFiles(const std::string& folder) noexcept {
    if (const int error = Simulated("ListFiles")) return {{}, error};
    FolderFiles files;
    DIR* directory = ::opendir(folder.c_str());
    if (directory == nullptr) return {{}, errno};
    try {
        while (const dirent* entry = ::readdir(directory)) {
            const bool regular = entry->d_type == DT_REG ||
                                 ((entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) &&
                                  IsRegularFile(folder, entry->d_name));
            if (regular) files.names.emplace_back(entry->d_name);
        }
    } catch (const std::bad_alloc&) {
        files = {{}, ENOMEM};
    }
    ::closedir(directory);
    return files;
}

std::string FileErrorText(int error) { return std::strerror(error); }
