#include "XfceBackend.h"

#define Display XDisplay
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#undef Display

namespace {
const QString xfconfQuery = QStringLiteral("xfconf-query");
const QStringList channel{QStringLiteral("-c"), QStringLiteral("xfce4-desktop")};
constexpr int zoomStyle = 5;  // fill the display, cropped
}

XfceBackend::XfceBackend(std::shared_ptr<CommandRunner> runner, CurrentWorkspace currentWorkspace)
    : m_runner(std::move(runner))
    , m_currentWorkspace(std::move(currentWorkspace))
{
}

std::optional<int> XfceBackend::x11CurrentWorkspace()
{
    XDisplay *display = XOpenDisplay(nullptr);
    if (!display)
        return std::nullopt;
    std::optional<int> workspace;
    const Atom atom = XInternAtom(display, "_NET_CURRENT_DESKTOP", True);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char *data = nullptr;
    if (atom != None
        && XGetWindowProperty(display, DefaultRootWindow(display), atom, 0, 1, False, XA_CARDINAL, &type,
                              &format, &count, &remaining, &data) == Success
        && type == XA_CARDINAL && format == 32 && count == 1 && data)
        workspace = int(*reinterpret_cast<unsigned long *>(data));
    if (data)
        XFree(data);
    XCloseDisplay(display);
    return workspace;
}

std::optional<QString> XfceBackend::query(const QStringList &arguments, QString *value) const
{
    const CommandOutput output = m_runner->run(xfconfQuery, channel + arguments);
    if (auto error = output.failure(xfconfQuery))
        return error;
    if (value)
        *value = QString::fromUtf8(output.standardOutput).trimmed();
    return std::nullopt;
}

std::optional<XfceBackend::Workspace> XfceBackend::workspaceOf(const Display &display, QString *error) const
{
    QString listing;
    if (auto failure = query({QStringLiteral("-p"), QStringLiteral("/backdrop"), QStringLiteral("-l")}, &listing)) {
        *error = *failure;
        return std::nullopt;
    }
    Workspace workspace;
    workspace.existing = listing.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString &line : workspace.existing)
        line = line.trimmed();

    // In single-workspace mode every workspace shows the picture of the one it names.
    std::optional<int> number;
    QString singleMode;
    if (workspace.existing.contains(QLatin1String("/backdrop/single-workspace-mode"))
        && !query({QStringLiteral("-p"), QStringLiteral("/backdrop/single-workspace-mode")}, &singleMode)
        && singleMode == QLatin1String("true")) {
        QString single;
        if (!query({QStringLiteral("-p"), QStringLiteral("/backdrop/single-workspace-number")}, &single))
            number = single.toInt();
    }
    if (!number)
        number = m_currentWorkspace();
    if (!number) {
        *error = QStringLiteral("cannot tell which XFCE workspace is showing");
        return std::nullopt;
    }
    workspace.base = QStringLiteral("/backdrop/screen0/monitor%1/workspace%2").arg(display.name).arg(*number);
    return workspace;
}

std::optional<QString> XfceBackend::setProperty(const Workspace &workspace, const QString &key,
                                                const QString &type, const QString &value)
{
    const QString path = workspace.base + QLatin1Char('/') + key;
    QStringList arguments{QStringLiteral("-p"), path};
    if (!workspace.existing.contains(path))
        arguments += {QStringLiteral("-n"), QStringLiteral("-t"), type};
    arguments += {QStringLiteral("-s"), value};
    return query(arguments);
}

std::optional<QString> XfceBackend::setPicture(const Display &display, const QString &imageFile)
{
    QString error;
    const auto workspace = workspaceOf(display, &error);
    if (!workspace)
        return error;
    if (auto failure = setProperty(*workspace, QStringLiteral("image-style"), QStringLiteral("int"),
                                   QString::number(zoomStyle)))
        return failure;
    return setProperty(*workspace, QStringLiteral("last-image"), QStringLiteral("string"), imageFile);
}

std::optional<QString> XfceBackend::picture(const Display &display) const
{
    QString error;
    const auto workspace = workspaceOf(display, &error);
    if (!workspace)
        return std::nullopt;
    QString image;
    if (query({QStringLiteral("-p"), workspace->base + QStringLiteral("/last-image")}, &image) || image.isEmpty())
        return std::nullopt;
    return image;
}
