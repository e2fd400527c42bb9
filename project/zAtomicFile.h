// Replacing a file as a whole: the new content goes to a temporary file in the same folder,
// which is flushed to the disk and then renamed over the old file, so that a crash, a full disk
// or any other failure leaves either the old file or the complete new one.
#pragma once

#include <string>
#include <string_view>

#include <sys/types.h>

namespace ardvin {

// The system calls of a replacement. Tests derive from it to make any one of them fail.
class TVELFileOps {
public:
    virtual ~TVELFileOps() = default;
    virtual int Open(const char* path, int flags, mode_t mode);
    virtual ssize_t Write(int fd, const void* data, size_t size);
    virtual int Fsync(int fd);
    virtual int Fchmod(int fd, mode_t mode);
    virtual int Close(int fd);
    virtual int Rename(const char* from, const char* to);
    virtual int Unlink(const char* path);
};

// The operations of the running process.
TVELFileOps& SystemFileOps();

// One replacement of a file. The temporary file is made by the constructor; Commit puts it in
// place; a replacement that is not committed removes its temporary file. Every failure raises
// EVELError naming the file and the reason.
class TVELAtomicFile {
public:
    explicit TVELAtomicFile(const std::string& fileName, TVELFileOps& ops = SystemFileOps());
    ~TVELAtomicFile();
    TVELAtomicFile(const TVELAtomicFile&) = delete;
    TVELAtomicFile& operator=(const TVELAtomicFile&) = delete;

    void Write(std::string_view data);
    // Flushes the temporary file, gives it the old file's permissions, renames it over the file
    // and flushes the folder.
    void Commit();

    const std::string& TargetName() const { return target_; }
    const std::string& TemporaryName() const { return temporary_; }

private:
    [[noreturn]] void Fail(const std::string& what, int error);
    void Discard() noexcept;

    TVELFileOps& ops_;
    std::string fileName_; // as given, for messages
    std::string target_;   // the file replaced: a symbolic link is followed to its target
    std::string temporary_;
    int fd_ = -1;
    bool keepMode_ = false;
    mode_t mode_ = 0;
};

} // namespace ardvin
