// Draws a finished page: into the page itself for a history file (texts in
// page colours, the header strip at its foot), or onto a printer's page.
// It runs on the printing's worker on a copy of the page; it touches no
// widget, only images, fonts and the printer it is given.
#pragma once

#include "display/PrinterPage.h"
#include "display/PrinterTexts.h"

#include <QImage>
#include <QRgb>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class QPrinter;

class CPageRenderer
{
public:
    using Colours = std::array<QRgb, CPrinterPage::kColours>;
    static constexpr int kHeaderHeight = 28;

    // A page at the end of its job, as the view handed it over.
    struct SPage
    {
        CPrinterPage page;
        std::vector<SPrintedText> texts;
        std::vector<SPrintedText> scales;
        std::uint64_t startTime = 0;  // file time of the page's first ping
        int pageNumber = 1;
        bool transparentTexts = false;
        Colours printer{};
        Colours history{};
    };

    // "hh:mm:ss   dd MM yyyy" of a file time, local.
    static std::string StartText(std::uint64_t fileTime);
    // The page's pixels in the given colours.
    static QImage ToImage(const CPrinterPage& page, const Colours& colours);

    // The texts and the header ("... File <number>") drawn into the page in
    // page colours: black on white, as near as the printer colours have them.
    static void DrawHistory(SPage& page, int fileNumber);
    // The page printed on an open printer: the picture over 97 % of the
    // height, "Page n" and the start time below it, the scale marks and the
    // texts over it. False when the printer cannot be painted on.
    static bool PrintPaper(QPrinter& printer, SPage& page);
};
