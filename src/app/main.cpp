#include "ZarnovaApp.h"

int main(int argc, char *argv[])
{
    return ZarnovaApp::run(argc, argv);
}
