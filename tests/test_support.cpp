#include "tests/test_support.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>
#include <QDir>
#include <QFile>

#include <QtEndian>
#include <cstring>

#include "platform/clock.h"
#include "platform/twips.h"

namespace quorvel::testing {

void QtFixture::SetUp() {
  dir_ = std::make_unique<QTemporaryDir>();
  ASSERT_TRUE(dir_->isValid());
  data_home_ = dir_->path();
  qputenv("XDG_DATA_HOME", data_home_.toUtf8());
  messages_.clear();
  platform::SetMessageHandler(
      [this](const platform::MessageRecord& record) { messages_.push_back(record); });
  platform::SetTodayForTesting(QDate(2026, 12, 6));
}

void QtFixture::TearDown() {
  platform::SetMessageHandler({});
  platform::SetTodayForTesting(std::nullopt);
  platform::SetTwipsPerPixelForTesting(std::nullopt);
}

QString QtFixture::Drive(const QString& relative) const {
  const QString root = data_home_ + QStringLiteral("/quorvel/drive_c");
  return relative.isEmpty() ? root : root + u'/' + relative;
}

bool MakeNode(const QString& path, char kind) {
  const QByteArray name = QFile::encodeName(path);
  switch (kind) {
    case 'p':
      return ::mkfifo(name.constData(), 0644) == 0;
    case 'c':
      return ::geteuid() == 0 && ::mknod(name.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    case 'd':
      return QDir().mkpath(path);
    case 's': {
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      if (name.size() >= static_cast<qsizetype>(sizeof address.sun_path)) return false;
      std::memcpy(address.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
      const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
      const bool made = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
      ::close(fd);
      return made;
    }
  }
  return false;
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray MakeBmp(int width, int height, int bits, bool top_down,
                   const std::vector<std::uint32_t>& pixels,
                   const std::vector<std::uint32_t>& palette) {
  const int row = ((width * bits + 31) / 32) * 4;
  const int palette_bytes = bits == 8 ? 4 * static_cast<int>(palette.size()) : 0;
  const int offset = 54 + palette_bytes;
  QByteArray b(offset + row * height, '\0');
  char* h = b.data();
  h[0] = 'B';
  h[1] = 'M';
  qToLittleEndian<quint32>(static_cast<quint32>(b.size()), h + 2);
  qToLittleEndian<quint32>(static_cast<quint32>(offset), h + 10);
  qToLittleEndian<quint32>(40, h + 14);
  qToLittleEndian<qint32>(width, h + 18);
  qToLittleEndian<qint32>(top_down ? -height : height, h + 22);
  qToLittleEndian<quint16>(1, h + 26);
  qToLittleEndian<quint16>(static_cast<quint16>(bits), h + 28);
  qToLittleEndian<quint32>(static_cast<quint32>(row * height), h + 34);
  qToLittleEndian<quint32>(static_cast<quint32>(palette.size()), h + 46);
  for (std::size_t i = 0; i < palette.size() && bits == 8; ++i) {
    qToLittleEndian<quint32>(palette[i], h + 54 + 4 * i);
  }
  for (int y = 0; y < height; ++y) {
    const int stored = top_down ? y : height - 1 - y;
    auto* out = reinterpret_cast<unsigned char*>(h + offset + row * stored);
    for (int x = 0; x < width; ++x) {
      const std::uint32_t p = pixels[static_cast<std::size_t>(y * width + x)];
      if (bits == 8) {
        out[x] = static_cast<unsigned char>(p);
      } else {
        const int n = bits / 8;
        out[x * n] = static_cast<unsigned char>(p);
        out[x * n + 1] = static_cast<unsigned char>(p >> 8);
        out[x * n + 2] = static_cast<unsigned char>(p >> 16);
        if (n == 4) out[x * n + 3] = 0;
      }
    }
  }
  return b;
}

}  // namespace quorvel::testing
