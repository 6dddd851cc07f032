// What the plain C++ floors of quorvel-strip share: code page 1252, the
// default code page of the strips they read and write, and whole files.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quorvel::bench {

// The default key of each channel.
inline constexpr std::uint8_t kFloorKey = 42;

// The characters of codes 0x80 to 0x9F; every other code is the character
// of the same number.
inline constexpr std::array<char16_t, 32> kHigh1252 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

inline char16_t CharOf1252(std::uint8_t code) {
  return code >= 0x80 && code < 0xA0 ? kHigh1252[code - 0x80] : char16_t{code};
}

// The code of a character, or -1 for one the page does not have.
inline int CodeOf1252(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int>(c);
  for (std::size_t i = 0; i < kHigh1252.size(); ++i) {
    if (kHigh1252[i] == c) return static_cast<int>(0x80 + i);
  }
  return -1;
}

// Bytes in memory that is not cleared first: what is read or written fills it.
struct Bytes {
  std::unique_ptr<char[]> data;
  std::size_t size = 0;

  explicit Bytes(std::size_t n = 0) : data(new char[n]), size(n) {}
  unsigned char operator[](std::size_t i) const { return static_cast<unsigned char>(data[i]); }
};

// The whole file, read at once into room of its size, or false.
inline bool ReadWholeFile(const char* path, Bytes& bytes) {
  const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0) return false;
  bytes = Bytes(static_cast<std::size_t>(st.st_size));
  std::size_t done = 0;
  while (done < bytes.size) {
    const ssize_t n = ::read(fd, bytes.data.get() + done, bytes.size - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return done == bytes.size;
}

}  // namespace quorvel::bench
