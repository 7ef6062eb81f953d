#include "install/lz_expand.h"

#include <mspack.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace lumigal::install {

namespace {

constexpr std::array<unsigned char, 8> kSzddSignature = {'S',  'Z',  'D',  'D',
                                                         0x88, 0xF0, 0x27, 0x33};
constexpr std::size_t kSzddHeaderSize = 14;
constexpr const char* kInputName = "source";
constexpr const char* kOutputName = "destination";

bool readAll(int fd, void* buffer, std::size_t size, off_t offset, std::size_t& got) {
    got = 0;
    auto* bytes = static_cast<unsigned char*>(buffer);
    while (got < size) {
        const ssize_t n = ::pread(fd, bytes + got, size - got, offset + static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

bool writeAll(int fd, const void* buffer, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// libmspack reads and writes through this I/O layer: it names its files
// kInputName and kOutputName, which stand for the two descriptors given
// by the caller, and the output refuses any byte past the declared size.
struct ExpansionIo;

struct IoFile {
    ExpansionIo* io;
    bool output;
    off_t position;
};

struct ExpansionIo {
    mspack_system system;  // first member: libmspack hands back its address
    int sourceFd;
    int destFd;
    off_t sourceSize = 0;
    off_t limit = 0;
    off_t written = 0;
    bool overflow = false;
    bool writeError = false;
    bool readError = false;
    IoFile input{this, false, 0};
    IoFile output{this, true, 0};
};

ExpansionIo* ioOf(mspack_system* self) { return reinterpret_cast<ExpansionIo*>(self); }
IoFile* fileOf(mspack_file* file) { return reinterpret_cast<IoFile*>(file); }

mspack_file* ioOpen(mspack_system* self, const char* name, int mode) {
    ExpansionIo* io = ioOf(self);
    if (std::strcmp(name, kInputName) == 0 && mode == MSPACK_SYS_OPEN_READ) {
        io->input.position = 0;
        return reinterpret_cast<mspack_file*>(&io->input);
    }
    if (std::strcmp(name, kOutputName) == 0 && mode == MSPACK_SYS_OPEN_WRITE) {
        return reinterpret_cast<mspack_file*>(&io->output);
    }
    return nullptr;
}

void ioClose(mspack_file*) {}

int ioRead(mspack_file* file, void* buffer, int bytes) {
    IoFile* f = fileOf(file);
    if (f->output || bytes < 0) return -1;
    std::size_t got = 0;
    if (!readAll(f->io->sourceFd, buffer, static_cast<std::size_t>(bytes), f->position, got)) {
        f->io->readError = true;
        return -1;
    }
    f->position += static_cast<off_t>(got);
    return static_cast<int>(got);
}

int ioWrite(mspack_file* file, void* buffer, int bytes) {
    IoFile* f = fileOf(file);
    ExpansionIo* io = f->io;
    if (!f->output || bytes < 0) return -1;
    if (io->written + bytes > io->limit) {
        io->overflow = true;
        return -1;
    }
    if (!writeAll(io->destFd, buffer, static_cast<std::size_t>(bytes))) {
        io->writeError = true;
        return -1;
    }
    io->written += bytes;
    return bytes;
}

int ioSeek(mspack_file* file, off_t offset, int mode) {
    IoFile* f = fileOf(file);
    if (f->output) return -1;
    off_t base = 0;
    switch (mode) {
        case MSPACK_SYS_SEEK_START:
            base = 0;
            break;
        case MSPACK_SYS_SEEK_CUR:
            base = f->position;
            break;
        case MSPACK_SYS_SEEK_END:
            base = f->io->sourceSize;
            break;
        default:
            return -1;
    }
    if (base + offset < 0) return -1;
    f->position = base + offset;
    return 0;
}

off_t ioTell(mspack_file* file) { return fileOf(file)->position; }
void ioMessage(mspack_file*, const char*, ...) {}
void* ioAlloc(mspack_system*, size_t bytes) { return std::malloc(bytes); }
void ioFree(void* pointer) { std::free(pointer); }
void ioCopy(void* source, void* dest, size_t bytes) { std::memmove(dest, source, bytes); }

struct DecompressorDeleter {
    void operator()(msszdd_decompressor* d) const { mspack_destroy_szdd_decompressor(d); }
};
using Decompressor = std::unique_ptr<msszdd_decompressor, DecompressorDeleter>;

ExpandStatus copyUnchanged(int sourceFd, int destFd) {
    std::array<unsigned char, 64 * 1024> buffer{};
    off_t offset = 0;
    for (;;) {
        std::size_t got = 0;
        if (!readAll(sourceFd, buffer.data(), buffer.size(), offset, got)) {
            return ExpandStatus::ReadFailed;
        }
        if (got == 0) return ExpandStatus::Ok;
        if (!writeAll(destFd, buffer.data(), got)) return ExpandStatus::WriteFailed;
        offset += static_cast<off_t>(got);
    }
}

}  // namespace

bool hasSzddSignature(int fd) {
    std::array<unsigned char, kSzddSignature.size()> head{};
    std::size_t got = 0;
    return readAll(fd, head.data(), head.size(), 0, got) && got == head.size() &&
           head == kSzddSignature;
}

std::optional<std::uint32_t> declaredSzddSize(int sourceFd) {
    if (!hasSzddSignature(sourceFd)) return std::nullopt;
    std::array<unsigned char, kSzddHeaderSize> header{};
    std::size_t got = 0;
    if (!readAll(sourceFd, header.data(), header.size(), 0, got) || got != header.size()) {
        return std::nullopt;
    }
    return std::uint32_t{header[10]} | (std::uint32_t{header[11]} << 8) |
           (std::uint32_t{header[12]} << 16) | (std::uint32_t{header[13]} << 24);
}

ExpandStatus expandInto(int sourceFd, int destFd) {
    if (!hasSzddSignature(sourceFd)) return copyUnchanged(sourceFd, destFd);

    ExpansionIo io{};
    io.input = IoFile{&io, false, 0};
    io.output = IoFile{&io, true, 0};
    io.sourceFd = sourceFd;
    io.destFd = destFd;
    io.sourceSize = ::lseek(sourceFd, 0, SEEK_END);
    if (io.sourceSize < 0) return ExpandStatus::ReadFailed;
    io.system = mspack_system{ioOpen,    ioClose, ioRead, ioWrite, ioSeek, ioTell,
                              ioMessage, ioAlloc, ioFree, ioCopy,  nullptr};

    Decompressor decompressor(mspack_create_szdd_decompressor(&io.system));
    if (!decompressor) return ExpandStatus::ReadFailed;
    msszddd_header* header = decompressor->open(decompressor.get(), kInputName);
    if (header == nullptr) {
        return io.readError ? ExpandStatus::ReadFailed : ExpandStatus::Damaged;
    }
    const std::optional<std::uint32_t> declared = declaredSzddSize(sourceFd);
    if (header->format != MSSZDD_FMT_NORMAL || !declared) {
        decompressor->close(decompressor.get(), header);
        return ExpandStatus::Damaged;
    }
    io.limit = static_cast<off_t>(*declared);
    const int result = decompressor->extract(decompressor.get(), header, kOutputName);
    decompressor->close(decompressor.get(), header);

    if (io.readError) return ExpandStatus::ReadFailed;
    if (io.writeError) return ExpandStatus::WriteFailed;
    if (io.overflow || result != MSPACK_ERR_OK || io.written != io.limit) {
        return ExpandStatus::Damaged;
    }
    return ExpandStatus::Ok;
}

}  // namespace lumigal::install
