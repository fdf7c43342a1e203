#include "platform/FileReplace.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// Hidden beside the file, and unique to this process, thread and call.
std::string TemporaryBeside(const std::string& path, int attempt) {
    static std::atomic<unsigned> counter{0};
    const std::size_t slash = path.find_last_of('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return folder + "." + name + "." + std::to_string(::getpid()) + "-" +
           std::to_string(std::hash<std::thread::id>{}(std::this_thread::get_id()) % 100000) +
           "-" + std::to_string(counter++) + "-" + std::to_string(attempt) + ".part";
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = ENOSPC;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The temporary file is made private, and given its final mode before the first byte, unless
// the umask gives that mode already: a document the user keeps private never shows for a moment.
struct TModePlan {
    mode_t Create = 0600;
    bool Change = true;
    mode_t Final = 0600;
};

TModePlan PlanMode(const std::string& path, TFileMode mode) {
    struct stat st {};
    if (mode.KeepReplaced && ::stat(path.c_str(), &st) == 0)
        return {0600, true, static_cast<mode_t>(st.st_mode & 07777)};
    if (!mode.UnderUmask)
        return {0600, true, static_cast<mode_t>(mode.NewFile)};
    return {static_cast<mode_t>(mode.NewFile), false, 0};
}

bool ApplyMode(int fd, const TModePlan& plan, TFileMode mode) {
    struct stat st {};
    if (!plan.Change || (::fstat(fd, &st) == 0 && (st.st_mode & 07777) == plan.Final))
        return true;
    // Documents and INI files were always saved on file systems that keep no modes; a private
    // file that could not be made private is not written.
    return ::fchmod(fd, plan.Final) == 0 || mode.KeepReplaced;
}

} // namespace

bool ReplaceFileContents(const std::string& path, const std::string& bytes, TFileMode mode,
                         std::string& reason) {
    if (path.empty()) {
        reason = std::strerror(ENOENT);
        return false;
    }
    const TModePlan plan = PlanMode(path, mode);
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = TemporaryBeside(path, attempt);
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, plan.Create);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    // A full disk may only show when the data reach it.
    bool ok = ApplyMode(fd, plan, mode) && WriteAll(fd, bytes) && ::fsync(fd) == 0;
    int error = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        reason = std::strerror(error != 0 ? error : EIO);
    }
    return ok;
}

bool MakePrivateFolders(const std::string& path, std::string& reason) {
    if (path.empty()) {
        reason = std::strerror(ENOENT);
        return false;
    }
    // Component by component, as create_directories would, but with our own mode on each
    // folder we make.
    std::string prefix;
    std::size_t from = 0;
    while (from <= path.size()) {
        const std::size_t slash = path.find('/', from);
        const std::size_t end = slash == std::string::npos ? path.size() : slash;
        prefix = path.substr(0, end);
        from = end + 1;
        if (prefix.empty() || prefix.back() == '/' || prefix.ends_with("/.") || prefix == ".")
            continue;
        if (::mkdir(prefix.c_str(), 0700) == 0 || errno == EEXIST)
            continue;
        // A folder above that exists but cannot be written to is no failure of ours.
        struct stat st {};
        if ((errno == EACCES || errno == EROFS) && ::stat(prefix.c_str(), &st) == 0 &&
            S_ISDIR(st.st_mode))
            continue;
        reason = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        reason = std::strerror(ENOTDIR);
        return false;
    }
    return true;
}
