#include "WallpaperCommandLine.h"

#include "StoreFileError.h"
#include "WallpaperError.h"

#include <QFileInfo>
#include <QUrl>

namespace {

// The engine's failures in the words shown to the user.
template<typename Action>
std::optional<QString> failureOf(Action &&action)
{
    try {
        action();
    } catch (const WallpaperError &error) {
        return error.description();
    } catch (const StoreFileError &error) {
        return error.description();
    }
    return std::nullopt;
}

} // namespace

WallpaperCommandLine::WallpaperCommandLine(WallpaperEngine &engine, WallpaperPlatform &platform, QTextStream &out,
                                           QTextStream &err)
    : m_engine(engine)
    , m_platform(platform)
    , m_out(out)
    , m_err(err)
{
}

QString WallpaperCommandLine::usage()
{
    return QStringLiteral(
        "Usage: zarnova-wallpaper set [--all-spaces] FILE\n"
        "       zarnova-wallpaper undo\n"
        "       zarnova-wallpaper current\n"
        "\n"
        "  set FILE       Set the picture on the workspace each display shows now.\n"
        "  --all-spaces   Set it on every workspace of every display, with a backup to undo.\n"
        "  undo           Restore the desktops as they were before the last --all-spaces change.\n"
        "  current        Show the picture of each display.\n"
        "  --help         Show this text.\n"
        "\n"
        "Exits 0 when done, 1 when the desktop was not (or only partly) changed, 2 on wrong usage.\n");
}

WallpaperCommandLine::ExitStatus WallpaperCommandLine::run(const QStringList &arguments)
{
    QStringList words = arguments.mid(1);
    if (words.contains(QLatin1String("--help")) || words.contains(QLatin1String("-h"))) {
        m_out << usage();
        m_out.flush();
        return succeeded;
    }
    if (words.isEmpty())
        return usageFailure(QStringLiteral("no command given"));

    const QString command = words.takeFirst();
    if (command == QLatin1String("set")) {
        bool allSpaces = false;
        bool optionsEnded = false;  // after "--" a file may be called "--all-spaces"
        QStringList files;
        for (const QString &word : std::as_const(words)) {
            if (!optionsEnded && word == QLatin1String("--"))
                optionsEnded = true;
            else if (!optionsEnded && word == QLatin1String("--all-spaces"))
                allSpaces = true;
            else if (!optionsEnded && word.startsWith(QLatin1Char('-')))
                return usageFailure(QStringLiteral("unknown option ") + word);
            else
                files.append(word);
        }
        if (files.size() != 1)
            return usageFailure(QStringLiteral("set takes one picture file"));
        return set(files.first(), allSpaces);
    }
    if (!words.isEmpty())
        return usageFailure(command + QStringLiteral(" takes no arguments"));
    if (command == QLatin1String("undo"))
        return undo();
    if (command == QLatin1String("current"))
        return current();
    return usageFailure(QStringLiteral("unknown command ") + command);
}

WallpaperCommandLine::ExitStatus WallpaperCommandLine::usageFailure(const QString &problem)
{
    m_err << "zarnova-wallpaper: " << problem << "\n\n" << usage();
    m_err.flush();
    return usageError;
}

WallpaperCommandLine::ExitStatus WallpaperCommandLine::set(const QString &file, bool allSpaces)
{
    const QUrl url = QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath());
    if (allSpaces) {
        const AllSpacesOutcome outcome = m_engine.setAllSpaces(url);
        (outcome.didApply() ? m_out : m_err) << outcome.description() << '\n';
        m_out.flush();
        m_err.flush();
        return outcome.didApply() ? succeeded : failed;
    }

    ThisSpaceResult result;
    if (const auto failure = failureOf([&] { result = m_engine.setThisSpace(url); })) {
        m_err << "Couldn't set wallpaper: " << *failure << '\n';
        m_err.flush();
        return failed;
    }
    if (!result.isPartial()) {
        m_out << "Set for This Space.\n";
        m_out.flush();
        return succeeded;
    }
    m_err << "Set for This Space on " << result.appliedDisplays << " display(s); " << result.failures.size()
          << " display(s) failed.\n";
    for (const QString &failure : result.failures)
        m_err << "  " << failure << '\n';
    m_err.flush();
    return failed;
}

WallpaperCommandLine::ExitStatus WallpaperCommandLine::undo()
{
    if (const auto failure = failureOf([&] { m_engine.restorePreviousAllSpaces(); })) {
        m_err << "Couldn't undo: " << *failure << '\n';
        m_err.flush();
        return failed;
    }
    m_out << "Restored the previous wallpaper.\n";
    m_out.flush();
    return succeeded;
}

WallpaperCommandLine::ExitStatus WallpaperCommandLine::current()
{
    const QList<Display> displays = m_platform.displays();
    if (displays.isEmpty()) {
        m_err << "no displays (not connected to the window server)\n";
        m_err.flush();
        return failed;
    }
    for (qsizetype i = 0; i < displays.size(); ++i) {
        const std::optional<QString> picture = m_platform.desktopImage(displays[i]);
        m_out << "display " << i + 1 << " (" << displays[i].name << "): "
              << picture.value_or(QStringLiteral("unknown")) << '\n';
    }
    m_out.flush();
    return succeeded;
}
