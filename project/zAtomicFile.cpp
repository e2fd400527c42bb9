#include "zAtomicFile.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "zXMLUtils.h"

namespace ardvin {

int TVELFileOps::Open(const char* path, int flags, mode_t mode) {
    return ::open(path, flags, mode);
}

ssize_t TVELFileOps::Write(int fd, const void* data, size_t size) {
    return ::write(fd, data, size);
}

int TVELFileOps::Fsync(int fd) {
    return ::fsync(fd);
}

int TVELFileOps::Fchmod(int fd, mode_t mode) {
    return ::fchmod(fd, mode);
}

int TVELFileOps::Close(int fd) {
    return ::close(fd);
}

int TVELFileOps::Rename(const char* from, const char* to) {
    return ::rename(from, to);
}

int TVELFileOps::Unlink(const char* path) {
    return ::unlink(path);
}

TVELFileOps& SystemFileOps() {
    static TVELFileOps ops;
    return ops;
}

namespace {

namespace fs = std::filesystem;

// The file a name stands for: a symbolic link is replaced by writing its target, so that the
// link survives the save.
std::string ReplacedFile(const std::string& fileName) {
    std::error_code ec;
    if (!fs::is_symlink(fileName, ec)) return fileName;
    const fs::path target = fs::weakly_canonical(fileName, ec);
    return ec ? fileName : target.string();
}

std::string FolderOf(const std::string& fileName) {
    const fs::path folder = fs::path(fileName).parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

} // namespace

TVELAtomicFile::TVELAtomicFile(const std::string& fileName, TVELFileOps& ops)
    : ops_(ops), fileName_(fileName), target_(ReplacedFile(fileName)) {
    struct stat st {};
    if (::stat(target_.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) Fail("", EISDIR);
        keepMode_ = true;
        mode_ = st.st_mode & 07777;
    }
    const fs::path target(target_);
    const std::string stem =
        FolderOf(target_) + "/." + target.filename().string() + "." + IntToStr(::getpid());
    for (int n = 1;; ++n) {
        const std::string name = stem + "." + IntToStr(n) + ".tmp";
        fd_ = ops_.Open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            temporary_ = name;
            return;
        }
        if (errno != EEXIST) Fail("", errno);
    }
}

TVELAtomicFile::~TVELAtomicFile() {
    Discard();
}

void TVELAtomicFile::Discard() noexcept {
    if (fd_ >= 0) ops_.Close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) ops_.Unlink(temporary_.c_str());
    temporary_.clear();
}

void TVELAtomicFile::Fail(const std::string& what, int error) {
    Discard();
    std::string text = "Cannot write file \"" + fileName_ + "\"";
    if (!what.empty()) text += " (" + what + ")";
    throw EVELError(text + ": " + std::strerror(error) + ".");
}

void TVELAtomicFile::Write(std::string_view data) {
    if (fd_ < 0) Fail("", EBADF);
    while (!data.empty()) {
        const ssize_t written = ops_.Write(fd_, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            Fail("", errno);
        }
        if (written == 0) Fail("", ENOSPC);
        data.remove_prefix(static_cast<size_t>(written));
    }
}

void TVELAtomicFile::Commit() {
    if (fd_ < 0) Fail("", EBADF);
    if (keepMode_ && ops_.Fchmod(fd_, mode_) != 0) Fail("", errno);
    if (ops_.Fsync(fd_) != 0) Fail("", errno);
    const int fd = fd_;
    fd_ = -1;
    // Some file systems report delayed write errors only when the file is closed.
    if (ops_.Close(fd) != 0) Fail("", errno);
    if (ops_.Rename(temporary_.c_str(), target_.c_str()) != 0) Fail("", errno);
    temporary_.clear();
    // The rename itself reaches the disk only with the folder.
    const std::string folder = FolderOf(target_);
    const int dir = ops_.Open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (dir < 0) Fail("folder " + folder, errno);
    const int synced = ops_.Fsync(dir);
    const int error = errno;
    ops_.Close(dir);
    // File systems that cannot flush a folder say so with EINVAL; they need not.
    if (synced != 0 && error != EINVAL) Fail("folder " + folder, error);
}

} // namespace ardvin
