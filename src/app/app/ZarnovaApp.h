#pragma once

#include <QStringList>

// The application: builds the services, the delegate, the three scenes and the tray icon.
class ZarnovaApp
{
public:
    // Runs the event loop; with "--self-test" loads every view headless and exits instead.
    static int run(int argc, char *argv[]);
};
