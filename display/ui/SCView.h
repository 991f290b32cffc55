// Base of every channel view. Each view draws into an off-screen surface of
// palette indices (one top-down byte buffer) and copies it to the screen.
// The same bytes are shown as an indexed image through the view's colour
// table, and drawn on as a grey image: grey (i, i, i) writes index i, with
// antialiasing off so that no blended (foreign) index appears. A palette
// switch swaps the colour table; nothing is redrawn.
//
// The view takes WM_ES_BACKGROUNDCOLOR and WM_ES_COLORTABLE on its own
// message window (GetSafeHwnd), which the main frame reaches with its
// broadcasts. User-interface thread only.
#pragma once

#include "display/AbstractESDoc.h"
#include "display/DIBSection.h"
#include "display/PaletteControl.h"
#include "display/ui/ViewContext.h"
#include "platform/MessageDispatcher.h"

#include <QImage>
#include <QRegion>
#include <QVector>
#include <QWidget>

#include <memory>

class CSCView : public QWidget, public IDocumentView
{
    Q_OBJECT
public:
    explicit CSCView(const SViewContext& context = {}, QWidget* parent = nullptr);
    ~CSCView() override;

    HWND GetSafeHwnd() const { return m_hwnd; }
    const SViewContext& GetContext() const { return m_context; }

    // A view of a document registers with it and takes its updates.
    void OnUpdate() override {}
    int RealizeViewPalette() override;
    virtual void OnColorChange(int palette, const LOGPALETTE* block) {}
    virtual int IsSideScan() const { return 0; }

    // What the derived view's OnInitialUpdate calls, in this order.
    void OnInitialUpdate();
    int CreateMemoryDC();
    int CreateDibSection();

    LRESULT SetBackgroundColor(WPARAM palette, LPARAM block);
    LRESULT SetColorTable(WPARAM, LPARAM);

    // The surface: indexed for showing, grey for drawing; both over the
    // same bytes, valid until the surface is made again.
    QImage SurfaceImage() const;
    QImage DrawImage();
    // The picture as the window shows it: the surface itself, unless a view
    // keeps its picture in another order (then a copy in the shown order).
    virtual QImage ShowImage() const { return SurfaceImage(); }

    // Where a rectangle of the window lies in the surface: up to
    // kMaxSurfaceParts pieces, each copied from `source` to `target`.
    struct SurfacePart
    {
        QRect target;
        QRect source;
    };
    static constexpr int kMaxSurfaceParts = 3;
    // By default the surface lies as it shows.
    virtual int SurfaceParts(const QRect& shown, SurfacePart (&parts)[kMaxSurfaceParts]) const;
    CDIBSection* GetSurface() { return m_surface.get(); }
    int GetWidth() const { return m_width; }
    int GetHeight() const { return m_height; }
    const QVector<QRgb>& GetColourTable() const { return m_table; }
    COLORREF GetTextColour() const { return m_textColour; }
    COLORREF GetBackgroundColour() const { return m_backgroundColour; }
    bool HasMemoryDC() const { return m_memoryDC; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    // Empty in the base; a derived view copies the surface and adds overlays.
    virtual void OnDraw(QPainter& painter) {}
    // Copies to the window the part of the surface that the paint running
    // now repaints, and only that, from PaintImage.
    void DrawSurface(QPainter& painter) const;
    // What DrawSurface copies from, laid out as the surface: by default the
    // surface itself, converted through the colour table as it is drawn.
    virtual QImage PaintImage() const { return SurfaceImage(); }
    // The colour table changed (palette, colour table or realised palette).
    virtual void ColourTableChanged() {}
    // What the paint running now repaints (empty outside a paint).
    const QRegion& PaintRegion() const { return m_paintRegion; }
    // The messages of the view's message window; a derived view takes its
    // own and passes the rest on.
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    void OnSize(int cx, int cy);

    const SViewContext m_context;
    HWND m_hwnd = 0;
    bool m_memoryDC = false;
    std::unique_ptr<CDIBSection> m_surface;
    int m_width = 0;
    int m_height = 0;
    COLORREF m_textColour = PALETTEINDEX(CPaletteControl::kTextIndex);
    COLORREF m_backgroundColour = PALETTEINDEX(CPaletteControl::kBackgroundIndex);
    QVector<QRgb> m_table;
    QRegion m_paintRegion;
};
