// The runtime's stream files on the device root. A text-mode stream writes each
// line end as CR LF and reads CR LF back as one line end, as the handheld's
// runtime does; the 16-bit text functions go through the 8-bit code page.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/WinKernel.h"
#include "platform/kernel/KernelInternal.h"
#include "platform/kernel/StorageFaults.h"

namespace qplat {

namespace {

struct Stream {
    int fd = -1;
    bool text = false;
    // Read-ahead of a text stream, so a CR can be paired with the LF after it.
    char raw[4096];
    size_t pos = 0;
    size_t len = 0;
};

// Next raw byte of a text stream: the byte, -1 at the end, -2 on an error.
int Peek(Stream* s)
{
    if (s->pos == s->len) {
        ssize_t n;
        do {
            n = ::read(s->fd, s->raw, sizeof s->raw);
        } while (n < 0 && errno == EINTR);
        if (n < 0)
            return -2;
        s->pos = 0;
        s->len = static_cast<size_t>(n);
        if (n == 0)
            return -1;
    }
    return static_cast<unsigned char>(s->raw[s->pos]);
}

ssize_t WriteAll(int fd, const char* data, size_t size)
{
    size_t done = 0;
    while (done < size) {
        size_t allowed = faults::AllowedWriteBytes(size - done);
        if (allowed == 0) {
            errno = ENOSPC;
            return -1;
        }
        ssize_t n = ::write(fd, data + done, allowed);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(size);
}

ssize_t StreamWrite(void* cookie, const char* data, size_t size)
{
    auto* s = static_cast<Stream*>(cookie);
    if (!s->text)
        return WriteAll(s->fd, data, size) < 0 ? -1 : static_cast<ssize_t>(size);
    std::string out;
    out.reserve(size + size / 8);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n')
            out.push_back('\r');
        out.push_back(data[i]);
    }
    return WriteAll(s->fd, out.data(), out.size()) < 0 ? -1 : static_cast<ssize_t>(size);
}

ssize_t StreamRead(void* cookie, char* buffer, size_t size)
{
    auto* s = static_cast<Stream*>(cookie);
    if (!s->text) {
        for (;;) {
            ssize_t n = ::read(s->fd, buffer, size);
            if (n < 0 && errno == EINTR)
                continue;
            return n;
        }
    }
    size_t out = 0;
    while (out < size) {
        int c = Peek(s);
        if (c == -2)
            return out ? static_cast<ssize_t>(out) : -1;
        if (c == -1)
            break;
        ++s->pos;
        if (c == '\r' && Peek(s) == '\n') {
            ++s->pos;
            c = '\n';
        }
        buffer[out++] = static_cast<char>(c);
    }
    return static_cast<ssize_t>(out);
}

int StreamSeek(void* cookie, off64_t* position, int whence)
{
    auto* s = static_cast<Stream*>(cookie);
    off_t distance = static_cast<off_t>(*position);
    if (whence == SEEK_CUR)
        distance -= static_cast<off_t>(s->len - s->pos);  // read ahead but not delivered
    s->pos = s->len = 0;
    off_t result = ::lseek(s->fd, distance, whence);
    if (result < 0)
        return -1;
    *position = result;
    return 0;
}

int StreamClose(void* cookie)
{
    auto* s = static_cast<Stream*>(cookie);
    int result = ::close(s->fd);
    delete s;
    return result;
}

}  // namespace

}  // namespace qplat

using namespace qplat;

FILE* _wfopen(LPCWSTR name, LPCWSTR mode)
{
    if (!name || !mode || !name[0]) {
        SetLastError(ERROR_INVALID_PARAMETER);
        errno = EINVAL;
        return nullptr;
    }
    char kind = static_cast<char>(mode[0]);
    bool plus = false;
    bool binary = false;
    for (const WCHAR* m = mode + 1; *m; ++m) {
        if (*m == u'+')
            plus = true;
        else if (*m == u'b')
            binary = true;
    }
    int flags = O_CLOEXEC;
    const char* cmode;
    switch (kind) {
    case 'r':
        flags |= plus ? O_RDWR : O_RDONLY;
        cmode = plus ? "r+" : "r";
        break;
    case 'w':
        flags |= (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC;
        cmode = plus ? "w+" : "w";
        break;
    case 'a':
        flags |= (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
        cmode = plus ? "a+" : "a";
        break;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        errno = EINVAL;
        return nullptr;
    }
    ResolvedPath r = ResolveDevicePath(name);
    if (!r.ok || r.isRoot) {
        SetLastError(ERROR_INVALID_NAME);
        errno = EINVAL;
        return nullptr;
    }
    if (!r.parentExists) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        errno = ENOENT;
        return nullptr;
    }
    int fd = OpenRegularHostFile(r.host, flags);
    if (fd < 0) {
        SetLastError(ErrorFromErrno(errno));
        return nullptr;
    }
    auto* stream = new Stream;
    stream->fd = fd;
    stream->text = !binary;
    cookie_io_functions_t io{StreamRead, StreamWrite, StreamSeek, StreamClose};
    FILE* file = ::fopencookie(stream, cmode, io);
    if (!file) {
        ::close(fd);
        delete stream;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return file;
}

int fputws(LPCWSTR text, FILE* stream)
{
    if (!text || !stream)
        return EOF;
    std::string bytes = ToCodePage(text);
    if (bytes.empty())
        return 0;
    return std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size() ? 0 : EOF;
}

WCHAR* fgetws(WCHAR* buffer, int count, FILE* stream)
{
    if (!buffer || count <= 0 || !stream)
        return nullptr;
    int n = 0;
    while (n < count - 1) {
        int c = std::fgetc(stream);
        if (c == EOF)
            break;
        buffer[n++] = FromCodePageChar(static_cast<unsigned char>(c));
        if (c == '\n')
            break;
    }
    if (n == 0)
        return nullptr;
    buffer[n] = 0;
    return buffer;
}
