#include "X11RootBackend.h"

#include <QImage>
#include <QImageReader>
#include <QMutex>
#include <QPainter>
#include <QSysInfo>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

// Xlib calls its connection type "Display", as our display record is called.
#define Display XDisplay
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#undef Display

namespace {

// Xlib's default error handler exits the process; while we talk to the server we collect
// errors instead. The handler is process-wide, so one trap at a time.
QMutex errorTrapMutex;
XDisplay *trappedDisplay = nullptr;
int trappedError = 0;

int collectError(XDisplay *display, XErrorEvent *event)
{
    if (display == trappedDisplay && trappedError == 0)
        trappedError = event->error_code;
    return 0;
}

class XConnection
{
public:
    explicit XConnection(const QString &name)
        : m_lock(&errorTrapMutex)
    {
        const QByteArray encoded = name.toLocal8Bit();
        m_display = XOpenDisplay(name.isEmpty() ? nullptr : encoded.constData());
        if (!m_display)
            return;
        trappedDisplay = m_display;
        trappedError = 0;
        m_previousHandler = XSetErrorHandler(collectError);
    }
    ~XConnection()
    {
        if (!m_display)
            return;
        XSync(m_display, False);
        XSetErrorHandler(m_previousHandler);
        trappedDisplay = nullptr;
        XCloseDisplay(m_display);
    }
    XConnection(const XConnection &) = delete;
    XConnection &operator=(const XConnection &) = delete;

    XDisplay *get() const { return m_display; }

    // The first X error since the last check, 0 when none.
    int takeError()
    {
        XSync(m_display, False);
        const int error = trappedError;
        trappedError = 0;
        return error;
    }
    QString errorText(int code) const
    {
        char text[256] = {};
        XGetErrorText(m_display, code, text, sizeof text);
        return QString::fromLocal8Bit(text);
    }

private:
    QMutexLocker<QMutex> m_lock;
    XDisplay *m_display = nullptr;
    XErrorHandler m_previousHandler = nullptr;
};

QString displayNameForErrors(const QString &name)
{
    const QString shown = name.isEmpty() ? qEnvironmentVariable("DISPLAY") : name;
    return shown.isEmpty() ? QStringLiteral("(DISPLAY is not set)") : shown;
}

Pixmap pixmapProperty(XDisplay *display, Window root, const char *atomName)
{
    const Atom atom = XInternAtom(display, atomName, True);
    if (atom == None)
        return None;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char *data = nullptr;
    Pixmap pixmap = None;
    if (XGetWindowProperty(display, root, atom, 0, 1, False, XA_PIXMAP, &type, &format, &count,
                           &remaining, &data) == Success
        && type == XA_PIXMAP && format == 32 && count == 1 && data)
        pixmap = Pixmap(*reinterpret_cast<unsigned long *>(data));
    if (data)
        XFree(data);
    return pixmap;
}

// How one colour channel sits in a pixel value.
struct Channel
{
    int shift = 0;
    int bits = 0;

    explicit Channel(unsigned long mask)
    {
        if (mask == 0)
            return;
        while (!(mask & 1)) {
            mask >>= 1;
            ++shift;
        }
        while (mask & 1) {
            mask >>= 1;
            ++bits;
        }
    }
    unsigned long encode(int value) const { return (unsigned long)(value >> (8 - std::min(bits, 8))) << shift; }
    int decode(unsigned long pixel) const
    {
        if (bits == 0)
            return 0;
        const unsigned long value = (pixel >> shift) & ((1ul << bits) - 1);
        return int(value * 255 / ((1ul << bits) - 1));
    }
};

bool hostIsLittleEndian()
{
    return QSysInfo::ByteOrder == QSysInfo::LittleEndian;
}

// An XImage whose pixels are laid out like QImage::Format_RGB32 in host byte order.
bool matchesRgb32(const XImage *image)
{
    return image->bits_per_pixel == 32 && image->red_mask == 0xff0000 && image->green_mask == 0xff00
           && image->blue_mask == 0xff
           && image->byte_order == (hostIsLittleEndian() ? LSBFirst : MSBFirst);
}

QImage toQImage(XImage *image)
{
    if (matchesRgb32(image)) {
        return QImage(reinterpret_cast<const uchar *>(image->data), image->width, image->height,
                      image->bytes_per_line, QImage::Format_RGB32)
            .copy();
    }
    const Channel red(image->red_mask), green(image->green_mask), blue(image->blue_mask);
    QImage result(image->width, image->height, QImage::Format_RGB32);
    for (int y = 0; y < image->height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(result.scanLine(y));
        for (int x = 0; x < image->width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            line[x] = qRgb(red.decode(pixel), green.decode(pixel), blue.decode(pixel));
        }
    }
    return result;
}

// What the root pixmap shows now, so displays we do not touch keep their picture.
QImage currentRootPicture(XDisplay *display, Window root, const Visual *visual, QSize size, int depth)
{
    const Pixmap current = pixmapProperty(display, root, "_XROOTPMAP_ID");
    if (current == None)
        return {};
    Window ignoredRoot = None;
    int x = 0, y = 0;
    unsigned int width = 0, height = 0, border = 0, pixmapDepth = 0;
    if (!XGetGeometry(display, current, &ignoredRoot, &x, &y, &width, &height, &border, &pixmapDepth)
        || int(width) != size.width() || int(height) != size.height() || int(pixmapDepth) != depth)
        return {};
    XImage *image = XGetImage(display, current, 0, 0, width, height, AllPlanes, ZPixmap);
    if (!image)
        return {};
    // A pixmap has no visual, so Xlib leaves the colour masks empty: they are the screen's.
    image->red_mask = visual->red_mask;
    image->green_mask = visual->green_mask;
    image->blue_mask = visual->blue_mask;
    QImage picture = toQImage(image);
    XDestroyImage(image);
    return picture;
}

// Decodes the picture no larger than needed to fill `target`, upright per its EXIF orientation.
QImage readPicture(const QString &file, QSize target, QString *error)
{
    QImageReader reader(file);
    reader.setAutoTransform(true);
    const QSize raw = reader.size();
    if (raw.isValid()) {
        const bool turned = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
        const QSize upright = turned ? raw.transposed() : raw;
        const double scale = std::max(double(target.width()) / upright.width(),
                                      double(target.height()) / upright.height());
        if (scale < 1.0)
            reader.setScaledSize(QSize(int(std::ceil(raw.width() * scale)), int(std::ceil(raw.height() * scale))));
    }
    QImage picture = reader.read();
    if (picture.isNull())
        *error = QStringLiteral("cannot read the picture ") + file + QStringLiteral(": ") + reader.errorString();
    return picture;
}

QImage filledAndCropped(const QImage &picture, QSize size)
{
    const QImage scaled = picture.scaled(size, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    const QPoint offset((scaled.width() - size.width()) / 2, (scaled.height() - size.height()) / 2);
    return scaled.copy(QRect(offset, size));
}

struct XImageDeleter
{
    void operator()(XImage *image) const { XDestroyImage(image); }
};

// Uploads the picture into a new pixmap the size of the root window.
Pixmap uploadPixmap(XDisplay *display, Window root, Visual *visual, int depth, const QImage &canvas)
{
    std::unique_ptr<XImage, XImageDeleter> image(
        XCreateImage(display, visual, unsigned(depth), ZPixmap, 0, nullptr, unsigned(canvas.width()),
                     unsigned(canvas.height()), 32, 0));
    if (!image)
        return None;
    image->data = static_cast<char *>(std::malloc(size_t(image->bytes_per_line) * size_t(canvas.height())));
    if (!image->data)
        return None;
    // Our pixels are in host order; Xlib swaps them if the server wants the other order.
    image->byte_order = hostIsLittleEndian() ? LSBFirst : MSBFirst;
    if (matchesRgb32(image.get())) {
        for (int y = 0; y < canvas.height(); ++y)
            std::memcpy(image->data + size_t(y) * size_t(image->bytes_per_line), canvas.constScanLine(y),
                        size_t(canvas.width()) * 4);
    } else {
        const Channel red(image->red_mask), green(image->green_mask), blue(image->blue_mask);
        for (int y = 0; y < canvas.height(); ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(canvas.constScanLine(y));
            for (int x = 0; x < canvas.width(); ++x)
                XPutPixel(image.get(), x, y,
                          red.encode(qRed(line[x])) | green.encode(qGreen(line[x])) | blue.encode(qBlue(line[x])));
        }
    }
    const Pixmap pixmap = XCreatePixmap(display, root, unsigned(canvas.width()), unsigned(canvas.height()),
                                        unsigned(depth));
    GC gc = XCreateGC(display, pixmap, 0, nullptr);
    XPutImage(display, pixmap, gc, image.get(), 0, 0, 0, 0, unsigned(canvas.width()), unsigned(canvas.height()));
    XFreeGC(display, gc);
    return pixmap;
}

} // namespace

X11RootBackend::X11RootBackend(QString name, PictureRecord record, QString xDisplayName)
    : m_name(std::move(name))
    , m_record(std::move(record))
    , m_xDisplayName(std::move(xDisplayName))
{
}

std::optional<QString> X11RootBackend::setPicture(const Display &display, const QString &imageFile)
{
    XConnection connection(m_xDisplayName);
    XDisplay *x = connection.get();
    if (!x)
        return QStringLiteral("cannot open the X display ") + displayNameForErrors(m_xDisplayName);

    const int screen = DefaultScreen(x);
    const Window root = RootWindow(x, screen);
    const QSize rootSize(DisplayWidth(x, screen), DisplayHeight(x, screen));
    const int depth = DefaultDepth(x, screen);
    const QRect area = display.frame.intersected(QRect(QPoint(0, 0), rootSize));
    if (area.isEmpty())
        return QStringLiteral("the display's area lies outside the X screen");

    QString readError;
    const QImage picture = readPicture(imageFile, area.size(), &readError);
    if (picture.isNull())
        return readError;

    QImage canvas = currentRootPicture(x, root, DefaultVisual(x, screen), rootSize, depth);
    connection.takeError();  // a stale pixmap id only means there is nothing to keep
    if (canvas.isNull()) {
        canvas = QImage(rootSize, QImage::Format_RGB32);
        canvas.fill(Qt::black);
    }
    {
        QPainter painter(&canvas);
        painter.drawImage(area.topLeft(), filledAndCropped(picture, area.size()));
    }

    const Pixmap pixmap = uploadPixmap(x, root, DefaultVisual(x, screen), depth, canvas);
    if (const int error = connection.takeError(); error != 0 || pixmap == None)
        return QStringLiteral("the X server refused the picture: ") + connection.errorText(error);

    // Whoever set the previous picture left its pixmap for the next setter to free when both
    // atoms name it; a pixmap named by only one atom belongs to a program still running.
    const Pixmap previous = pixmapProperty(x, root, "_XROOTPMAP_ID");
    if (previous != None && previous == pixmapProperty(x, root, "ESETROOT_PMAP_ID")) {
        XKillClient(x, previous);
        connection.takeError();
    }

    for (const char *atomName : {"_XROOTPMAP_ID", "ESETROOT_PMAP_ID"}) {
        const Atom atom = XInternAtom(x, atomName, False);
        XChangeProperty(x, root, atom, XA_PIXMAP, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char *>(&pixmap), 1);
    }
    XSetWindowBackgroundPixmap(x, root, pixmap);
    XClearWindow(x, root);
    XSetCloseDownMode(x, RetainPermanent);
    if (const int error = connection.takeError(); error != 0)
        return QStringLiteral("the X server refused the root picture: ") + connection.errorText(error);

    return m_record.update(QLatin1String(recordSection), [&](PictureRecord::Section &section) {
        // Another program replaced our pixmap since: what we noted for other displays is gone.
        if (section.pixmap != previous)
            section.files.clear();
        section.pixmap = pixmap;
        section.files.insert(display.name, imageFile);
    });
}

std::optional<QString> X11RootBackend::picture(const Display &display) const
{
    const PictureRecord::Section section = m_record.read(QLatin1String(recordSection));
    const auto file = section.files.constFind(display.name);
    if (section.pixmap == 0 || file == section.files.cend())
        return std::nullopt;
    XConnection connection(m_xDisplayName);
    if (!connection.get())
        return std::nullopt;
    const Window root = RootWindow(connection.get(), DefaultScreen(connection.get()));
    if (pixmapProperty(connection.get(), root, "_XROOTPMAP_ID") != Pixmap(section.pixmap))
        return std::nullopt;
    return *file;
}
