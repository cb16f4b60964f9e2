// A stand-in for the system's wallpaper agent, for end-to-end runs in a sandbox HOME.
// It remembers the store index as it was when it started. When stopped with SIGTERM it writes
// that copy back over the index (as an agent saving its stale state would) while the number in
// the mode file given as its argument is above zero, and counts that number down.
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <csignal>
#include <cstdio>

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

}

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: WallpaperAgent <mode file>\n");
        return 2;
    }
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigprocmask(SIG_BLOCK, &stop, nullptr);

    const QString modeFile = QString::fromLocal8Bit(argv[1]);
    const QString index = QDir::homePath() + QStringLiteral("/Library/Application Support/com.apple.wallpaper/Store/Index.plist");
    const QByteArray remembered = readFile(index);
    std::printf("ready\n");
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stop, &signal);

    const int rewrites = readFile(modeFile).trimmed().toInt();
    if (rewrites > 0 && !remembered.isEmpty()) {
        if (!writeFile(index, remembered) || !writeFile(modeFile, QByteArray::number(rewrites - 1)))
            return 1;
    }
    return 0;
}
