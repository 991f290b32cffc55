// One history picture of the history dialog: shows a bitmap file of the
// history folder scaled to the widget, in the dialog's echogram colours, and
// draws the same picture into a printer's page, the left or the right half.
#pragma once

#include "display/PaletteControl.h"

#include <QImage>
#include <QWidget>

#include <array>
#include <optional>
#include <string>

class CDIBSection;
class QPainter;

class CHistoryPicture final : public QWidget
{
public:
    static constexpr int kColourCount = 14;
    using Colours = std::array<COLORREF, kColourCount>;
    // Print flags: the client area, and the right half of the page with it.
    static constexpr unsigned kPrintLeft = 4;
    static constexpr unsigned kPrintRight = 0x10004;

    explicit CHistoryPicture(QWidget* parent = nullptr);

    // Shows the bitmap file at path; false (and the picture kept) when it
    // cannot be read as one.
    bool ShowFile(const std::string& path);
    // Colour index i below 14 of a file is shown in colour i; indices 14
    // and 15, and every index without these colours, in the file's own.
    void SetColors(const Colours& colours);
    // Draws the picture into the page: flags kPrintLeft the left half,
    // kPrintRight the right half.
    void Print(QPainter& painter, const QRect& page, unsigned flags) const;

    const QImage& Image() const { return m_image; }
    const std::string& File() const { return m_file; }
    const std::optional<Colours>& GetColors() const { return m_colours; }

    // The picture of a loaded bitmap with the colour rule above; null for a
    // bit count the history does not use (1, 4, 8 and 24 bits are shown).
    static QImage ToImage(const CDIBSection& dib, const std::optional<Colours>& colours);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<Colours> m_colours;
    std::string m_file;
    QImage m_image;
};
