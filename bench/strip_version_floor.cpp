// The floor of `quorvel-strip --version`: a Qt Core program of a few lines
// that prints a version line.
#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  std::fputs("quorvel-strip " QUORVEL_VERSION "\n", stdout);
  return 0;
}
