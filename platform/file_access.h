// Read-only access to sequence files, shaped after the framework file object the engine was
// written against. Positions are 64-bit: 4K sequences pass 4 GiB within a few hundred frames.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

class CFile {
public:
    // Mode bits; only the read-only, shared, binary combination is ever used.
    static constexpr unsigned modeRead = 0x0000;
    static constexpr unsigned shareDenyNone = 0x0040;
    static constexpr unsigned typeBinary = 0x8000;

    enum SeekPosition { begin = 0, current = 1, end = 2 };

    CFile() = default;
    ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens the path for reading; never creates, truncates, writes or locks the file.
    // Returns false (and leaves the object closed) when the file cannot be opened.
    bool Open(const std::string& path, unsigned flags = modeRead | shareDenyNone | typeBinary);
    // Reads up to count bytes at the current position; returns the bytes delivered
    // (fewer at the end of the file, 0 past it or on error).
    uint32_t Read(void* buffer, uint32_t count);
    // Moves the position; a negative result is clamped to 0. Returns the new position.
    uint64_t Seek(int64_t offset, SeekPosition from);
    uint64_t GetPosition() const { return position_; }
    uint64_t GetLength() const;
    // The name of the open file without its directory.
    std::string GetFileName() const;
    const std::string& GetFilePath() const { return path_; }
    bool IsOpen() const { return fd_ >= 0; }
    // Tells the system that reads go forward from here, so cold files stream.
    void HintSequential();
    // Tells the system that count bytes from the current position are read next, so it can
    // start reading them while the caller works. Only a hint: nothing is read or kept here.
    void HintNext(uint32_t count);
    void Close();

private:
    int fd_ = -1;
    uint64_t position_ = 0;
    std::string path_;
};

}  // namespace platform
