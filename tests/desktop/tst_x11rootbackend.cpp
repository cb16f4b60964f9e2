#include "X11RootBackend.h"

#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

// Xlib calls its connection type "Display", as our display record is called.
#define Display XDisplay
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#undef Display

// Against the real X server of the test run (Xvfb, started with -noreset so the root picture
// outlives its clients).
class X11RootBackendTest : public QObject
{
    Q_OBJECT

    XDisplay *m_x = nullptr;
    QSize m_rootSize;
    QTemporaryDir m_folder;

    Window root() const { return DefaultRootWindow(m_x); }

    Pixmap pixmapAtom(const char *name) const
    {
        const Atom atom = XInternAtom(m_x, name, False);
        Atom type = None;
        int format = 0;
        unsigned long count = 0, remaining = 0;
        unsigned char *data = nullptr;
        Pixmap pixmap = None;
        if (XGetWindowProperty(m_x, root(), atom, 0, 1, False, XA_PIXMAP, &type, &format, &count, &remaining, &data)
                == Success
            && count == 1)
            pixmap = *reinterpret_cast<unsigned long *>(data);
        if (data)
            XFree(data);
        return pixmap;
    }

    bool pixmapExists(Pixmap pixmap) const
    {
        static bool failed;
        failed = false;
        const auto previous = XSetErrorHandler([](XDisplay *, XErrorEvent *) {
            failed = true;
            return 0;
        });
        Window ignored;
        int x, y;
        unsigned int w, h, border, depth;
        XGetGeometry(m_x, pixmap, &ignored, &x, &y, &w, &h, &border, &depth);
        XSync(m_x, False);
        XSetErrorHandler(previous);
        return !failed;
    }

    // What the root window shows: the picture a user sees.
    QImage grabRoot() const
    {
        XImage *image = XGetImage(m_x, root(), 0, 0, unsigned(m_rootSize.width()), unsigned(m_rootSize.height()),
                                  AllPlanes, ZPixmap);
        if (!image)
            return {};
        QImage grabbed(m_rootSize, QImage::Format_RGB32);
        for (int y = 0; y < image->height; ++y) {
            for (int x = 0; x < image->width; ++x) {
                const unsigned long pixel = XGetPixel(image, x, y);
                grabbed.setPixel(x, y, qRgb(int((pixel & image->red_mask) >> 16), int((pixel & image->green_mask) >> 8),
                                            int(pixel & image->blue_mask)));
            }
        }
        XDestroyImage(image);
        return grabbed;
    }

    // A picture of coloured bands along its long side, saved under a name with spaces and
    // non-ASCII characters.
    QString writeBands(const QString &name, QSize size, const QList<QPair<int, QColor>> &bands)
    {
        QImage image(size, QImage::Format_RGB32);
        QPainter painter(&image);
        const bool wide = size.width() >= size.height();
        int start = 0;
        for (const auto &[end, colour] : bands) {
            painter.fillRect(wide ? QRect(start, 0, end - start, size.height()) : QRect(0, start, size.width(), end - start),
                             colour);
            start = end;
        }
        painter.end();
        const QString file = m_folder.filePath(name);
        image.save(file, "PNG");
        return file;
    }

    static void verifyColour(const QImage &image, QPoint at, QColor expected)
    {
        const QColor actual = image.pixelColor(at);
        const bool close = qAbs(actual.red() - expected.red()) <= 3 && qAbs(actual.green() - expected.green()) <= 3
                           && qAbs(actual.blue() - expected.blue()) <= 3;
        QVERIFY2(close, qPrintable(QStringLiteral("at %1,%2: %3, expected %4")
                                       .arg(at.x())
                                       .arg(at.y())
                                       .arg(actual.name(), expected.name())));
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("needs an X server (run under xvfb-run, as scripts/test.sh does)");
        m_x = XOpenDisplay(nullptr);
        QVERIFY(m_x);
        m_rootSize = QSize(DisplayWidth(m_x, DefaultScreen(m_x)), DisplayHeight(m_x, DefaultScreen(m_x)));
    }

    void cleanupTestCase()
    {
        if (m_x)
            XCloseDisplay(m_x);
    }

    void fillsAndCropsEachDisplayAndKeepsTheOthers()
    {
        const int half = m_rootSize.width() / 2;
        const Display left{QStringLiteral("left"), QRect(0, 0, half, m_rootSize.height()), true};
        const Display right{QStringLiteral("right"), QRect(half, 0, m_rootSize.width() - half, m_rootSize.height()), false};
        X11RootBackend backend(QStringLiteral("X11"), PictureRecord(m_folder.filePath("record.json")));

        // Wide picture on a tall display: the height fills it and only the middle fifth of the
        // width shows, green on the left half of the display, blue on the right.
        const QString wide = writeBands(QString::fromUtf8("wide Café ☀.png"), QSize(400, 100),
                                        {{160, Qt::red}, {200, Qt::green}, {240, Qt::blue}, {400, Qt::yellow}});
        // Tall picture: the width fills it; the middle rows show.
        const QString tall = writeBands(QStringLiteral("tall it's.png"), QSize(100, 400),
                                        {{150, Qt::cyan}, {200, Qt::magenta}, {250, Qt::white}, {400, Qt::black}});

        QCOMPARE(backend.setPicture(left, wide), std::nullopt);
        const Pixmap first = pixmapAtom("_XROOTPMAP_ID");
        QVERIFY(first != None);
        QCOMPARE(pixmapAtom("ESETROOT_PMAP_ID"), first);
        // Our connection is closed: the pixmap lives on because it was retained.
        QVERIFY(pixmapExists(first));

        QCOMPARE(backend.setPicture(right, tall), std::nullopt);
        const Pixmap second = pixmapAtom("_XROOTPMAP_ID");
        QCOMPARE(pixmapAtom("ESETROOT_PMAP_ID"), second);
        QVERIFY(second != first);
        QVERIFY2(!pixmapExists(first), "the replaced root pixmap is freed");

        const QImage screen = grabRoot();
        QVERIFY(!screen.isNull());
        const int height = m_rootSize.height();
        // The tall display's crop: rows scale by width/100; the middle `height` rows show.
        const double scale = double(right.frame.width()) / 100;
        const double top = (400 * scale - height) / 2;
        const auto rowOf = [&](double pictureRow) { return int(pictureRow * scale - top); };
        verifyColour(screen, QPoint(half / 4, height / 2), Qt::green);
        verifyColour(screen, QPoint(half * 3 / 4, height / 2), Qt::blue);
        verifyColour(screen, QPoint(half + right.frame.width() / 2, (rowOf(150) + rowOf(200)) / 2), Qt::magenta);
        verifyColour(screen, QPoint(half + right.frame.width() / 2, (rowOf(200) + rowOf(250)) / 2), Qt::white);
        verifyColour(screen, QPoint(half + 5, (rowOf(200) + rowOf(250)) / 2), Qt::white);

        QCOMPARE(backend.picture(left), wide);
        QCOMPARE(backend.picture(right), tall);
        QCOMPARE(backend.picture(Display{QStringLiteral("other"), QRect(0, 0, 10, 10), false}), std::nullopt);
    }

    void readsNothingOnceAnotherProgramSetsTheRoot()
    {
        const Display whole{QStringLiteral("whole"), QRect(QPoint(0, 0), m_rootSize), true};
        X11RootBackend backend(QStringLiteral("X11"), PictureRecord(m_folder.filePath("record.json")));
        const QString file = writeBands(QStringLiteral("plain.png"), QSize(160, 90), {{160, Qt::darkGreen}});
        QCOMPARE(backend.setPicture(whole, file), std::nullopt);
        QCOMPARE(backend.picture(whole), file);
        verifyColour(grabRoot(), QPoint(10, 10), Qt::darkGreen);

        const Pixmap other = XCreatePixmap(m_x, root(), 8, 8, unsigned(DefaultDepth(m_x, DefaultScreen(m_x))));
        XChangeProperty(m_x, root(), XInternAtom(m_x, "_XROOTPMAP_ID", False), XA_PIXMAP, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char *>(&other), 1);
        XSync(m_x, False);
        QCOMPARE(backend.picture(whole), std::nullopt);

        // Setting again after it: the other program's pixmap is only named by one atom, so it
        // is left alone.
        QCOMPARE(backend.setPicture(whole, file), std::nullopt);
        QVERIFY(pixmapExists(other));
        QCOMPARE(backend.picture(whole), file);
        XFreePixmap(m_x, other);
    }

    void failures_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QString>("errorStart");
        QTest::newRow("missing picture") << "/nonexistent/a.png" << QRect(0, 0, 100, 100)
                                         << "cannot read the picture /nonexistent/a.png: ";
        QTest::newRow("display outside the screen") << QFINDTESTDATA("tst_x11rootbackend.cpp") << QRect(-500, -500, 100, 100)
                                                    << "the display's area lies outside the X screen";
    }
    void failures()
    {
        QFETCH(QString, file);
        QFETCH(QRect, frame);
        QFETCH(QString, errorStart);
        X11RootBackend backend(QStringLiteral("X11"), PictureRecord(m_folder.filePath("record.json")));
        const auto error = backend.setPicture(Display{QStringLiteral("d"), frame, true}, file);
        QVERIFY(error.has_value());
        QVERIFY2(error->startsWith(errorStart), qPrintable(*error));
    }

    void noXServer()
    {
        X11RootBackend backend(QStringLiteral("X11"), PictureRecord(m_folder.filePath("none.json")),
                               QStringLiteral(":9999"));
        QCOMPARE(backend.setPicture(Display{QStringLiteral("d"), QRect(0, 0, 10, 10), true}, QStringLiteral("/tmp/a.png")),
                 QStringLiteral("cannot open the X display :9999"));
    }
};

QTEST_MAIN(X11RootBackendTest)
#include "tst_x11rootbackend.moc"
