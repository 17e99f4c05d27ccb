#include "platform/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

CFile::~CFile() {
    Close();
}

bool CFile::Open(const std::string& path, unsigned) {
    Close();
    // Non-blocking only for the open itself: a named pipe without a writer would otherwise
    // wait for one. Pipes and sockets have no positions and are refused like folders.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode) || S_ISFIFO(st.st_mode) ||
        S_ISSOCK(st.st_mode) || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    position_ = 0;
    path_ = path;
    return true;
}

uint32_t CFile::Read(void* buffer, uint32_t count) {
    if (fd_ < 0) {
        return 0;
    }
    // pread keeps the position ours alone: a file that another program truncates or grows
    // under us never moves it.
    auto* out = static_cast<unsigned char*>(buffer);
    uint32_t done = 0;
    while (done < count) {
        ssize_t n = ::pread(fd_, out + done, count - done, static_cast<off_t>(position_ + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        done += static_cast<uint32_t>(n);
    }
    position_ += done;
    return done;
}

uint64_t CFile::Seek(int64_t offset, SeekPosition from) {
    int64_t base = 0;
    if (from == current) {
        base = static_cast<int64_t>(position_);
    } else if (from == end) {
        base = static_cast<int64_t>(GetLength());
    }
    int64_t target = base + offset;
    position_ = target < 0 ? 0 : static_cast<uint64_t>(target);
    return position_;
}

uint64_t CFile::GetLength() const {
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
        return 0;
    }
    return static_cast<uint64_t>(st.st_size);
}

std::string CFile::GetFileName() const {
    auto slash = path_.find_last_of('/');
    return slash == std::string::npos ? path_ : path_.substr(slash + 1);
}

void CFile::HintSequential() {
    if (fd_ >= 0) {
        ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
}

void CFile::HintNext(uint32_t count) {
    if (fd_ >= 0 && count > 0) {
        ::posix_fadvise(fd_, static_cast<off_t>(position_), static_cast<off_t>(count),
                        POSIX_FADV_WILLNEED);
    }
}

void CFile::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = -1;
    position_ = 0;
    path_.clear();
}

}  // namespace platform
