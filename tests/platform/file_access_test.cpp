// Sequence file access: opening, short reads at the end, seeking both ways, 64-bit positions,
// the file name, and that nothing is ever written.
#include "platform/file_access.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "tests/support/sequence_files.h"

namespace {

using platform::CFile;
using testing_support::TempDir;
using testing_support::WriteBytes;

std::vector<uint8_t> Counting(size_t n) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) {
        bytes[i] = uint8_t(i * 7 + 3);
    }
    return bytes;
}

TEST(CFile, OpenFailsForMissingFilesAndFolders) {
    TempDir dir;
    CFile f;
    EXPECT_FALSE(f.Open(dir.File("missing.yuv")));
    EXPECT_FALSE(f.IsOpen());
    EXPECT_FALSE(f.Open(dir.path().string()));
    EXPECT_FALSE(f.IsOpen());
    uint8_t b[4];
    EXPECT_EQ(f.Read(b, 4), 0u);
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing.yuv")));  // never created
}

TEST(CFile, OpensAtByteZeroAndReadsShortAtTheEnd) {
    TempDir dir;
    const auto bytes = Counting(100);
    WriteBytes(dir.File("s.raw"), bytes);
    CFile f;
    ASSERT_TRUE(
        f.Open(dir.File("s.raw"), CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary));
    EXPECT_EQ(f.GetPosition(), 0u);
    EXPECT_EQ(f.GetLength(), 100u);
    std::vector<uint8_t> buf(64, 0xee);
    EXPECT_EQ(f.Read(buf.data(), 64), 64u);
    EXPECT_EQ(buf, std::vector<uint8_t>(bytes.begin(), bytes.begin() + 64));
    EXPECT_EQ(f.GetPosition(), 64u);
    std::fill(buf.begin(), buf.end(), 0xee);
    EXPECT_EQ(f.Read(buf.data(), 64), 36u);
    EXPECT_TRUE(std::equal(bytes.begin() + 64, bytes.end(), buf.begin()));
    EXPECT_EQ(buf[36], 0xee);  // nothing written past the delivered bytes
    EXPECT_EQ(f.GetPosition(), 100u);
    EXPECT_EQ(f.Read(buf.data(), 64), 0u);
    EXPECT_EQ(f.GetPosition(), 100u);
}

TEST(CFile, SeeksFromTheBeginningAndFromTheCurrentPosition) {
    TempDir dir;
    const auto bytes = Counting(300);
    WriteBytes(dir.File("s.raw"), bytes);
    CFile f;
    ASSERT_TRUE(f.Open(dir.File("s.raw")));
    EXPECT_EQ(f.Seek(200, CFile::begin), 200u);
    uint8_t b = 0;
    ASSERT_EQ(f.Read(&b, 1), 1u);
    EXPECT_EQ(b, bytes[200]);
    EXPECT_EQ(f.Seek(-101, CFile::current), 100u);
    ASSERT_EQ(f.Read(&b, 1), 1u);
    EXPECT_EQ(b, bytes[100]);
    EXPECT_EQ(f.Seek(50, CFile::current), 151u);
    EXPECT_EQ(f.GetPosition(), 151u);
    // Past the end: reads deliver nothing; before the start: the position stops at 0.
    EXPECT_EQ(f.Seek(1000, CFile::begin), 1000u);
    EXPECT_EQ(f.Read(&b, 1), 0u);
    EXPECT_EQ(f.Seek(-5000, CFile::current), 0u);
    ASSERT_EQ(f.Read(&b, 1), 1u);
    EXPECT_EQ(b, bytes[0]);
}

TEST(CFile, PositionsBeyondFourGibibytes) {
    TempDir dir;
    const std::string path = dir.File("big.yuv");
    const uint64_t far = (uint64_t(4) << 30) + 12345;  // past 32 bits
    {
        int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        const uint8_t mark[4] = {1, 2, 3, 4};
        ASSERT_EQ(::pwrite(fd, mark, 4, off_t(far)), 4);
        ::close(fd);
    }
    CFile f;
    ASSERT_TRUE(f.Open(path));
    EXPECT_EQ(f.GetLength(), far + 4);
    EXPECT_EQ(f.Seek(int64_t(far), CFile::begin), far);
    uint8_t b[8] = {};
    EXPECT_EQ(f.Read(b, 8), 4u);
    EXPECT_EQ(b[0], 1);
    EXPECT_EQ(b[3], 4);
    EXPECT_EQ(f.GetPosition(), far + 4);
    EXPECT_EQ(f.Seek(-int64_t(far), CFile::current), 4u);
    f.Seek(int64_t(far) - 2, CFile::begin);
    EXPECT_EQ(f.Read(b, 8), 6u);
    EXPECT_EQ(b[0], 0);  // the hole reads as zeros
    EXPECT_EQ(b[2], 1);
}

TEST(CFile, FileNameWithoutItsDirectory) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "sub.yuv");
    const std::string path = (dir.path() / "sub.yuv" / "clip.YUV").string();
    WriteBytes(path, {1, 2, 3});
    CFile f;
    ASSERT_TRUE(f.Open(path));
    EXPECT_EQ(f.GetFileName(), "clip.YUV");
    EXPECT_EQ(f.GetFilePath(), path);
    f.Close();
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(f.GetPosition(), 0u);
}

TEST(CFile, NeverWritesTheFile) {
    TempDir dir;
    const std::string path = dir.File("keep.yuv");
    const auto bytes = Counting(4096);
    WriteBytes(path, bytes);
    struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), old, 0), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    {
        CFile f;
        ASSERT_TRUE(f.Open(path));
        std::vector<uint8_t> buf(1000);
        f.Read(buf.data(), 1000);
        f.Seek(-500, CFile::current);
        f.Read(buf.data(), 1000);
        f.Seek(5000, CFile::begin);
        f.Read(buf.data(), 1000);
        f.HintSequential();
        f.HintNext(1000);
        f.Close();
        CFile g;
        ASSERT_TRUE(g.Open(path));
    }
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_size, before.st_size);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(after.st_mode, before.st_mode);
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> now((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(now, bytes);
}

TEST(CFile, HintsMoveNothing) {
    TempDir dir;
    const std::string path = dir.File("hint.yuv");
    const auto bytes = Counting(3000);
    WriteBytes(path, bytes);
    CFile f;
    f.HintNext(100);  // closed: nothing to hint
    ASSERT_TRUE(f.Open(path));
    std::vector<uint8_t> buf(1000);
    f.HintSequential();
    f.HintNext(1000);
    EXPECT_EQ(f.GetPosition(), 0u);
    EXPECT_EQ(f.Read(buf.data(), 1000), 1000u);
    f.Seek(2500, CFile::begin);
    f.HintNext(1000);  // reaches past the end
    f.HintNext(0);
    EXPECT_EQ(f.GetPosition(), 2500u);
    EXPECT_EQ(f.Read(buf.data(), 1000), 500u);
    EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + 500, bytes.begin() + 2500));
}

TEST(CFile, SeesAFileThatAnotherProgramChanges) {
    TempDir dir;
    const std::string path = dir.File("live.yuv");
    WriteBytes(path, Counting(10));
    CFile f;
    ASSERT_TRUE(f.Open(path));
    uint8_t b[16];
    EXPECT_EQ(f.Read(b, 16), 10u);
    testing_support::AppendBytes(path, Counting(6));
    EXPECT_EQ(f.Read(b, 16), 6u);  // grown: the new bytes follow
    std::filesystem::resize_file(path, 4);
    f.Seek(0, CFile::begin);
    EXPECT_EQ(f.Read(b, 16), 4u);  // truncated: a short read, never a fault
    EXPECT_EQ(f.Read(b, 16), 0u);
}

}  // namespace
